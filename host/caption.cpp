#include "caption.h"

#include "core.h"
#include "view.h"

TfrCaption::TfrCaption(QWidget *AOwner)
    : QFrame(AOwner)
{
    setObjectName(QStringLiteral("frCaption"));
    setFixedHeight(160);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x67, 0x61, 0x59));
    setPalette(pal);
    TCore::Obj()->View()->Add(this);
}

TfrCaption::~TfrCaption()
{
    TCore::Obj()->View()->Remove(this);
}
