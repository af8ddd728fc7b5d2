#include "formcontrols.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

bool IsOpaque(const QImage &AImage)
{
    if (!AImage.hasAlphaChannel())
        return true;
    if (AImage.format() != QImage::Format_ARGB32 && AImage.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    for (int y = 0; y < AImage.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(AImage.constScanLine(y));
        for (int x = 0; x < AImage.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

} // namespace

void TPanel::setVisible(bool V)
{
    // show() and hide() come here too.
    QWidget::setVisible(V);
    emit Changed();
}

void TPanel::MoveTo(int ALeft, int ATop)
{
    move(ALeft, ATop);
    emit Changed();
}

void TPanel::SizeTo(int AWidth, int AHeight)
{
    resize(AWidth, AHeight);
    emit Changed();
}

void TPanel::moveEvent(QMoveEvent *AEvent)
{
    QWidget::moveEvent(AEvent);
    emit Changed();
}

void TPanel::resizeEvent(QResizeEvent *AEvent)
{
    QWidget::resizeEvent(AEvent);
    emit Changed();
}

void TImage::SetPicture(const QImage &APicture)
{
    FPicture = APicture;
    FOpaque = IsOpaque(FPicture);
    update();
}

void TImage::paintEvent(QPaintEvent *AEvent)
{
    if (FPicture.isNull())
        return;
    QPainter p(this);
    // Where every pixel is opaque, copying gives what blending would.
    if (FOpaque)
        p.setCompositionMode(QPainter::CompositionMode_Source);
    // Each dirty rectangle on its own, so that a paint costs the pixels it
    // changes: drawn whole through the clip of all of them, the picture is
    // blended line by line against that clip, and in parallel on Qt's
    // thread pool, which costs more than the pixels themselves.
    for (const QRect &r : AEvent->region()) {
        const QRect part = r & FPicture.rect();
        if (!part.isEmpty())
            p.drawImage(part.topLeft(), FPicture, part);
    }
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(FBrushColor);
    p.drawEllipse(rect().adjusted(0, 0, -1, -1));
}
