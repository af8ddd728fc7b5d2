#include "sprite.h"

#include "modulebase.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <climits>

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
    if (AImage.isNull() || FWidth <= 0 || FHeight <= 0)
        return -1;
    const int first = int(FImages.size());
    if (AImage.height() == FHeight && AImage.width() > FWidth) {
        for (int x = 0; x + FWidth <= AImage.width(); x += FWidth)
            Append(AImage.copy(x, 0, FWidth, FHeight));
    } else {
        Append(AImage.size() == QSize(FWidth, FHeight) ? AImage : AImage.scaled(FWidth, FHeight));
    }
    return first;
}

void TImageList::Append(const QImage &AImage)
{
    QImage image = AImage.convertToFormat(QImage::Format_ARGB32);
    // Key-coloured pixels let the parent's picture show through.
    for (int row = 0; row < image.height(); ++row) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
        for (int col = 0; col < image.width(); ++col)
            if ((line[col] & 0xFFFFFF) == (KeyRgb & 0xFFFFFF))
                line[col] = 0;
    }
    FImages.append(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QImage TImageList::GetImage(int AIndex) const
{
    if (AIndex < 0 || AIndex >= FImages.size())
        return {};
    return FImages.at(AIndex);
}

TSprite::TSprite(QObject *AOwner)
    : TPanel(nullptr)
{
    // The owner frees the sprite when it goes; until it is given a parent the
    // sprite is drawn nowhere. A sprite on a parent is freed with it at the
    // latest.
    if (AOwner)
        connect(AOwner, &QObject::destroyed, this, [this] { delete this; });
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(0, 0);
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
    emit Changed();
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
    // count - 1: the last image of a list is never reached by the step.
    // Tested before the step, which an index set at an int's edge would overflow.
    if (FImageIndex >= FImageList->Count() - 2) {
        FImageIndex = 0;
        if (FCount < INT_MAX) // an endless animation runs on past any count
            ++FCount;
    } else {
        ++FImageIndex;
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
    // In 64 bits: a sprite far out, or an area set far out, must not overflow.
    const TRect &h = FHitArea;
    return {SaturatedInt(int64_t(x()) + h.Left), SaturatedInt(int64_t(y()) + h.Top),
            SaturatedInt(int64_t(x()) + h.Right), SaturatedInt(int64_t(y()) + h.Bottom)};
}

QVariantMap TSprite::GetHitAreaMap() const
{
    const TRect r = GetHitArea();
    return {{"Left", r.Left}, {"Top", r.Top}, {"Right", r.Right}, {"Bottom", r.Bottom}};
}

void TSprite::SetHitAreaMap(const QVariantMap &V)
{
    SetHitArea({WholeField(V.value("Left")), WholeField(V.value("Top")), WholeField(V.value("Right")),
                WholeField(V.value("Bottom"))});
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
    // The parent's size as a script reads it: a form's Width and Height are
    // its outer frame's.
    const auto *form = qobject_cast<const TModuleBase *>(p);
    const int w = form ? form->GetWidth() : p->width();
    const int h = form ? form->GetHeight() : p->height();
    return !Intersects({0, 0, w, h}, {x(), y(), GetRight(), GetBottom()});
}

void TSprite::SetImageList(TImageList *V)
{
    FImageList = V;
    if (!V)
        return;
    SizeTo(V->Width(), V->Height());
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
    if (!FImageList)
        return;
    const QImage image = FImageList->GetImage(FImageIndex);
    if (image.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, image);
}
