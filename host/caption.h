#pragma once

#include "framebase.h"
#include "kbhost_export.h"

#include <QFrame>

// The caption banner below the tool bars. The system never shows it; until
// its pages exist it is an empty banner in its background colour.
class KBHOST_EXPORT TfrCaption : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrCaption(QWidget *AOwner = nullptr);
    ~TfrCaption() override;
};
