#pragma once

#include "framebase.h"
#include "kbhost_export.h"

#include <QFrame>
#include <QStringList>

class QsciScintilla;
class TValueList;

// The read-only message pane at the bottom of the main window: script errors
// and messages, shown with the splitter above it when a line arrives,
// cleared and hidden before each run and on the return to main mode.
class KBHOST_EXPORT TfrMessages : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrMessages(QWidget *AOwner = nullptr);
    ~TfrMessages() override;

    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams);
    Q_INVOKABLE void rp_CodeError(TValueList *AParams);
    Q_INVOKABLE void rp_ClearErrorMessage(TValueList *AParams);
    Q_INVOKABLE void rp_Message(TValueList *AParams);

    QStringList Lines() const { return FLines; }

    QFrame *plClient = nullptr;
    QsciScintilla *moMsg = nullptr;

private:
    void ShowPane();
    void AddLine(const QString &ALine);

    // The lines as the pane holds them; the editor control only shows them.
    QStringList FLines;
};
