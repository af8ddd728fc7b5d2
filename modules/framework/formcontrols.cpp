#include "formcontrols.h"

#include <QPainter>

void TImage::paintEvent(QPaintEvent *)
{
    if (FPicture.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, FPicture);
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(FBrushColor);
    p.drawEllipse(rect().adjusted(0, 0, -1, -1));
}
