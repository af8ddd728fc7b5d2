#include "sprite.h"

#include <QPainter>
#include <QTimer>
#include <algorithm>

namespace {

const QRgb KeyRgb = qRgb(TSprite::KeyColor & 0xFF, (TSprite::KeyColor >> 8) & 0xFF,
                         (TSprite::KeyColor >> 16) & 0xFF);

// Rectangles exclude their right and bottom edges, so touching ones and
// empty ones do not intersect.
bool Intersects(const TRect &A, const TRect &B)
{
    const int l = std::max(A.Left, B.Left);
    const int r = std::min(A.Right, B.Right);
    const int t = std::max(A.Top, B.Top);
    const int b = std::min(A.Bottom, B.Bottom);
    return l < r && t < b;
}

} // namespace

TImageList::TImageList(int AWidth, int AHeight, QObject *AOwner)
    : QObject(AOwner), FWidth(std::max(0, AWidth)), FHeight(std::max(0, AHeight))
{
}

int TImageList::Add(const QImage &AImage)
{
    QImage image = AImage.convertToFormat(QImage::Format_ARGB32);
    if (image.size() != QSize(FWidth, FHeight))
        image = image.scaled(FWidth, FHeight);
    FImages.append(image);
    return int(FImages.size()) - 1;
}

void TImageList::AddStrip(const QImage &AStrip)
{
    if (FWidth <= 0)
        return;
    for (int x = 0; x + FWidth <= AStrip.width(); x += FWidth)
        Add(AStrip.copy(x, 0, FWidth, FHeight));
}

QImage TImageList::GetImage(int AIndex) const
{
    if (AIndex < 0 || AIndex >= FImages.size())
        return {};
    return FImages.at(AIndex);
}

TSprite::TSprite(QObject *AOwner)
    : QWidget(qobject_cast<QWidget *>(AOwner))
{
    // A widget owner frees the sprite as its child; any other owner frees it
    // when it goes.
    if (AOwner && !AOwner->isWidgetType())
        connect(AOwner, &QObject::destroyed, this, [this] { delete this; });
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QWidget::setVisible(false);
    FTimer = new QTimer(this);
    FTimer->setInterval(FInterval);
    connect(FTimer, &QTimer::timeout, this, &TSprite::do_Timer);
}

TSprite::~TSprite() = default;

void TSprite::SetParent(QWidget *AParent)
{
    // Reparenting hides the widget on its own; the sprite's flag stays.
    const bool visible = FVisible;
    QWidget::setParent(AParent);
    FVisible = visible;
    if (AParent)
        QWidget::setVisible(FVisible);
}

void TSprite::setVisible(bool V)
{
    // show() and hide() come here too, so Visible and the collision test
    // always agree with what is drawn.
    FVisible = V;
    // Without a parent a shown widget would be a window of its own.
    if (parentWidget() || !V)
        QWidget::setVisible(V);
}

void TSprite::StartTimer()
{
    if (FInterval > 0)
        FTimer->start(FInterval);
}

void TSprite::Start(int ARepeatCount)
{
    FCount = 0;
    FRepeatCount = ARepeatCount;
    FImageIndex = 0;
    FActive = true;
    StartTimer();
}

void TSprite::Stop()
{
    FActive = false;
    FTimer->stop();
}

void TSprite::do_Timer()
{
    if (!FImageList || !FActive)
        return;
    FTimer->stop();
    update();
    ++FImageIndex;
    // count - 1: the last image of a list is never reached by the step.
    if (FImageIndex >= FImageList->Count() - 1) {
        FImageIndex = 0;
        ++FCount;
    }
    if (FRepeatCount != 0 && FCount >= FRepeatCount)
        FActive = false;
    if (FActive)
        StartTimer();
}

void TSprite::SetImageIndex(int V)
{
    FImageIndex = V;
    if (!FActive)
        update();
}

TRect TSprite::GetHitArea() const
{
    const TRect &h = FHitArea;
    return {x() + h.Left, y() + h.Top, x() + h.Left + (h.Right - h.Left),
            y() + h.Top + (h.Bottom - h.Top)};
}

QVariantMap TSprite::GetHitAreaMap() const
{
    const TRect r = GetHitArea();
    return {{"Left", r.Left}, {"Top", r.Top}, {"Right", r.Right}, {"Bottom", r.Bottom}};
}

void TSprite::SetHitAreaMap(const QVariantMap &V)
{
    SetHitArea({V.value("Left").toInt(), V.value("Top").toInt(), V.value("Right").toInt(),
                V.value("Bottom").toInt()});
}

bool TSprite::CheckCollision(TSprite *ASprite) const
{
    if (!ASprite || !FVisible || !ASprite->FVisible)
        return false;
    return Intersects(ASprite->GetHitArea(), GetHitArea());
}

bool TSprite::GetIsOutOfScreen() const
{
    const QWidget *p = parentWidget();
    if (!p)
        return true;
    return !Intersects({0, 0, p->width(), p->height()},
                       {x(), y(), x() + width(), y() + height()});
}

void TSprite::SetImageList(TImageList *V)
{
    FImageList = V;
    if (!V)
        return;
    resize(V->Width(), V->Height());
    FBitmapBack = QImage(width(), height(), QImage::Format_ARGB32);
}

void TSprite::SetInterval(int V)
{
    // An interval of 0 or less fires nothing, rather than spinning; a later
    // positive one resumes the steps of an active sprite.
    FInterval = V;
    if (FActive) {
        if (V > 0)
            FTimer->start(V);
        else
            FTimer->stop();
    }
}

void TSprite::paintEvent(QPaintEvent *)
{
    if (!FImageList || FBitmapBack.isNull())
        return;
    const QImage image = FImageList->GetImage(FImageIndex);
    if (image.isNull())
        return;
    FBitmapBack.fill(KeyRgb);
    {
        QPainter back(&FBitmapBack);
        back.drawImage(0, 0, image);
    }
    // Key-coloured pixels let the parent's picture show through.
    for (int row = 0; row < FBitmapBack.height(); ++row) {
        auto *line = reinterpret_cast<QRgb *>(FBitmapBack.scanLine(row));
        for (int col = 0; col < FBitmapBack.width(); ++col)
            if ((line[col] & 0xFFFFFF) == (KeyRgb & 0xFFFFFF) || qAlpha(line[col]) == 0)
                line[col] = 0;
    }
    QPainter p(this);
    p.drawImage(0, 0, FBitmapBack);
}
