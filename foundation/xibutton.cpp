#include "xibutton.h"

#include "dialogkeys.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QtMath>

#include <array>
#include <cmath>

namespace {

// Delphi-style integer halving: truncated toward zero, remainder with the
// sign of the value.
constexpr int Half(int AValue) { return AValue / 2; }
constexpr int Odd(int AValue) { return AValue - 2 * Half(AValue); }

// Nearest integer, halves to the even neighbour.
double RoundHalfEven(double AValue)
{
    const double floor = std::floor(AValue);
    const double fraction = AValue - floor;
    if (fraction > 0.5)
        return floor + 1;
    if (fraction < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

int Channel(double AValue)
{
    return qBound(0, int(RoundHalfEven(AValue)), 255);
}

// Fills only rectangles with room in them, as a line of length zero draws
// nothing.
void FillSpan(QPainter &ACanvas, int X, int Y, int AWidth, int AHeight, const QColor &AColor)
{
    if (AWidth > 0 && AHeight > 0)
        ACanvas.fillRect(X, Y, AWidth, AHeight, AColor);
}

// A one-pixel outline of the rectangle (ALeft, ATop)-(ARight, ABottom), right
// and bottom edges excluded.
void Outline(QPainter &ACanvas, int ALeft, int ATop, int ARight, int ABottom, const QColor &AColor)
{
    const int width = ARight - ALeft;
    const int height = ABottom - ATop;
    if (width <= 0 || height <= 0)
        return;
    FillSpan(ACanvas, ALeft, ATop, width, 1, AColor);
    FillSpan(ACanvas, ALeft, ABottom - 1, width, 1, AColor);
    FillSpan(ACanvas, ALeft, ATop, 1, height, AColor);
    FillSpan(ACanvas, ARight - 1, ATop, 1, height, AColor);
}

constexpr int KColorCount = 25;
constexpr qint64 KKeep = -1;

struct TScheme
{
    TXiButton::TColorScheme Scheme;
    std::array<qint64, KColorCount> Colors; // KKeep leaves the colour as it is
    bool Gradient;
};

using enum TXiButton::TColorScheme;

// Colours by property index; the plain schemes keep the four gradient colours.
constexpr std::array<TScheme, 12> KSchemes{{
    {csNeoDesert, {0xC6ECFF, 0x37BEFF, 0x009CE8, 0xB9E7FF, 0x005680, 0x000000, 0xB3E7FF, 0x00A3F0, 0x008ED2, 0x95DAFF, 0x005680, 0x000000, 0x2BBAFF, 0x77D2FF, 0x8AD9FF, 0x0077B7, 0x0070A6, 0x000000, 0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x4080FF}, true},
    {csNeoSky, {0xFFEEDD, 0xFFB66C, 0xFFA851, 0xFFECD9, 0xB35900, 0x000000, 0xFFEBD7, 0xFFA346, 0xFF9E3E, 0xFFE4CA, 0xB35900, 0x000000, 0xFFB366, 0xFFCE9D, 0xFFD3A8, 0xFF9E3E, 0xB35900, 0x000000, 0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xFFA953}, true},
    {csNeoGrass, {0xDDF9E8, 0x5EDF8E, 0x24B95C, 0xCBF5DB, 0x156F37, 0x000000, 0xBFF2D2, 0x3DD877, 0x23B459, 0xB5F0CB, 0x17793D, 0x000000, 0x4EDC83, 0x80E6A6, 0x89E7AC, 0x177D3E, 0x167439, 0x000000, 0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x24B95C}, true},
    {csNeoSilver, {0xF3F3F3, 0xBCBCBC, 0xA7A7A7, 0xF7F7F7, 0x626262, 0x000000, 0xF0F0F0, 0xA6A6A6, 0xA2A2A2, 0xEEEEEE, 0x757575, 0x000000, 0xCACACA, 0xDADADA, 0xE9E9E9, 0x7C7C7C, 0x4E4E4E, 0x000000, 0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xADADAD}, true},
    {csNeoRose, {0xE8E8FF, 0x9595FF, 0x8282FF, 0xDDDDFF, 0x00009D, 0x000000, 0xDFDFFF, 0x7777FF, 0x6A6AFF, 0xD7D7FF, 0x00009D, 0x000000, 0xA6A6FF, 0xB9B9FF, 0xCECEFF, 0x5E5EFF, 0x00009D, 0x000000, 0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x5E5EFF}, true},
    {csNeoSun, {0xF0FFFF, 0x20D8F9, 0x00BBBB, 0xF2FFFF, 0x006464, 0x000000, 0xD5FCFF, 0x05BCDC, 0x00A6A6, 0xCCFFFF, 0x006464, 0x000000, 0x05D1F5, 0x66F0FB, 0x66F3FF, 0x008484, 0x006464, 0x000000, 0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x00BBBB}, true},
    {csDesert, {0x95DDFF, KKeep, 0x009CE8, 0xB9E7FF, 0x005680, 0x000000, 0x6FD0FF, KKeep, 0x008ED2, 0x95DAFF, 0x005680, 0x000000, 0x6FD0FF, KKeep, 0x8AD9FF, 0x0077B7, 0x0070A6, 0x000000, 0xE2E2E2, KKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x4080FF}, false},
    {csGrass, {0x98EBB7, KKeep, 0x24B95C, 0xCBF5DB, 0x156F37, 0x000000, 0x68E196, KKeep, 0x23B459, 0xB5F0CB, 0x17793D, 0x000000, 0x4EDC83, KKeep, 0x89E7AC, 0x177D3E, 0x167439, 0x000000, 0xE2E2E2, KKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x00A421}, false},
    {csSky, {0xFFE0C1, KKeep, 0xFFA953, 0xFFECD9, 0xB35900, 0x000000, 0xFFCD9B, KKeep, 0xFFB164, 0xFFE4CA, 0xB35900, 0x000000, 0xFFC082, KKeep, 0xFFD3A8, 0xFF9122, 0xB35900, 0x000000, 0xE2E2E2, KKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0xDC9B14}, false},
    {csSun, {0xA8FFFF, KKeep, 0x00BBBB, 0xF2FFFF, 0x006464, 0x000000, 0x66F3FF, KKeep, 0x00A6A6, 0xCCFFFF, 0x006464, 0x000000, 0x22EEFF, KKeep, 0x66F3FF, 0x008484, 0x006464, 0x000000, 0xE2E2E2, KKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x008CF4}, false},
    {csRose, {0xC6C6FF, KKeep, 0x8282FF, 0xDDDDFF, 0x00009D, 0x000000, 0xB0B0FF, KKeep, 0x6A6AFF, 0xD7D7FF, 0x00009D, 0x000000, 0x9F9FFF, KKeep, 0x8888FF, 0x5E5EFF, 0x00009D, 0x000000, 0xE2E2E2, KKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x5E5EFF}, false},
    {csSilver, {0xE0E0E0, KKeep, 0xAEAEAE, 0xF7F7F7, 0x626262, 0x000000, 0xCFCFCF, KKeep, 0x797979, 0xEEEEEE, 0x757575, 0x000000, 0xD3D3D3, KKeep, 0xE9E9E9, 0x7C7C7C, 0x4E4E4E, 0x000000, 0xE2E2E2, KKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x8A8A8A}, false},
}};

} // namespace

TXiButton::TXiButton(QWidget *AOwner) : QWidget(AOwner)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(75, 25);
    SetCtl3D(true);
    FGlyph = QImage();
    SetTransparentGlyph(true);
    SetGradient(false);
    SetTabStop(true);
    SetSpacing(4);
    SetCancel(false);
    SetDefault(false);
    SetHotTrack(true);
    SetColorScheme(csNeoDesert);
    FClicked = false;
    // Set behind the scheme's back, so that ColorScheme still reads csNeoDesert.
    FOverColorGrad = 0xFFFFFF;
    FDownColorGrad = 0xFFFFFF;
    FDisabledColorGrad = 0xFFFFFF;
}

TXiButton::~TXiButton() = default;

TColor TXiButton::GetColor(int AIndex) const
{
    switch (AIndex) {
    case 0: return FColorFace;
    case 1: return FColorGrad;
    case 2: return FColorDark;
    case 3: return FColorLight;
    case 4: return FColorBorder;
    case 5: return FColorText;
    case 6: return FOverColorFace;
    case 7: return FOverColorGrad;
    case 8: return FOverColorDark;
    case 9: return FOverColorLight;
    case 10: return FOverColorBorder;
    case 11: return FOverColorText;
    case 12: return FDownColorFace;
    case 13: return FDownColorGrad;
    case 14: return FDownColorDark;
    case 15: return FDownColorLight;
    case 16: return FDownColorBorder;
    case 17: return FDownColorText;
    case 18: return FDisabledColorFace;
    case 19: return FDisabledColorGrad;
    case 20: return FDisabledColorDark;
    case 21: return FDisabledColorLight;
    case 22: return FDisabledColorBorder;
    case 23: return FDisabledColorText;
    case 24: return FColorFocusRect;
    default: return 0;
    }
}

void TXiButton::SetColor(int AIndex, TColor AValue)
{
    // Indexes run Face, Grad, Dark, Light, Border, Text within a look.
    TColor *fields[KColorCount] = {
        &FColorFace, &FColorGrad, &FColorDark, &FColorLight, &FColorBorder, &FColorText,
        &FOverColorFace, &FOverColorGrad, &FOverColorDark, &FOverColorLight, &FOverColorBorder, &FOverColorText,
        &FDownColorFace, &FDownColorGrad, &FDownColorDark, &FDownColorLight, &FDownColorBorder, &FDownColorText,
        &FDisabledColorFace, &FDisabledColorGrad, &FDisabledColorDark, &FDisabledColorLight,
        &FDisabledColorBorder, &FDisabledColorText,
        &FColorFocusRect,
    };
    if (AIndex < 0 || AIndex >= KColorCount)
        return;
    *fields[AIndex] = AValue;
    SetColorScheme(csCustom);
    update();
}

void TXiButton::SetColorScheme(TColorScheme AValue)
{
    FColorScheme = AValue;
    for (const TScheme &scheme : KSchemes) {
        if (scheme.Scheme != AValue)
            continue;
        for (int i = 0; i < KColorCount; ++i)
            if (scheme.Colors[i] != KKeep)
                SetColor(i, TColor(scheme.Colors[i]));
        SetGradient(scheme.Gradient);
    }
    update();
    // Each colour write above passed through csCustom.
    FColorScheme = AValue;
}

void TXiButton::SetCtl3D(bool AValue)
{
    FCtl3D = AValue;
    update();
}

void TXiButton::SetLayout(TButtonLayout AValue)
{
    FLayout = AValue;
    update();
}

void TXiButton::SetGlyph(const QImage &AValue)
{
    FGlyph = AValue;
    update();
}

void TXiButton::SetSpacing(int AValue)
{
    FSpacing = AValue;
    update();
}

void TXiButton::SetTransparentGlyph(bool AValue)
{
    FTransparentGlyph = AValue;
    update();
}

void TXiButton::SetGradient(bool AValue)
{
    FGradient = AValue;
    update();
}

void TXiButton::SetCaption(const QString &AValue)
{
    FCaption = AValue;
    update();
}

bool TXiButton::TabStop() const
{
    return focusPolicy() != Qt::NoFocus;
}

void TXiButton::SetTabStop(bool AValue)
{
    // A mouse press takes the focus in mousePressEvent, not through Qt.
    setFocusPolicy(AValue ? Qt::TabFocus : Qt::NoFocus);
}

bool TXiButton::CanFocus() const
{
    return isVisible() && isEnabled();
}

QSize TXiButton::sizeHint() const
{
    return QSize(75, 25);
}

void TXiButton::Click()
{
    if (QWidget *form = GetParentForm(this))
        SetFormModalResult(form, FModalResult);
    FBtnState = bsNormal;
    // Shown released before the handler runs.
    repaint();
    emit OnClick();
}

TXiButton::TLook TXiButton::CurrentLook() const
{
    if (!isEnabled())
        return {FDisabledColorFace, FDisabledColorGrad, FDisabledColorBorder,
                FDisabledColorLight, FDisabledColorDark, FDisabledColorText};
    switch (FBtnState) {
    case bsOver:
        return {FOverColorFace, FOverColorGrad, FOverColorBorder,
                FOverColorLight, FOverColorDark, FOverColorText};
    case bsDown:
        return {FDownColorFace, FDownColorGrad, FDownColorBorder,
                FDownColorLight, FDownColorDark, FDownColorText};
    case bsNormal:
        break;
    }
    return {FColorFace, FColorGrad, FColorBorder, FColorLight, FColorDark, FColorText};
}

void TXiButton::PaintGradient(QPainter &ACanvas, TColor AFrom, TColor ATo) const
{
    const int w = width();
    const int h = height();
    if (h <= 0)
        return;
    const int from[3] = {int(AFrom & 0xFF), int((AFrom >> 8) & 0xFF), int((AFrom >> 16) & 0xFF)};
    const int to[3] = {int(ATo & 0xFF), int((ATo >> 8) & 0xFF), int((ATo >> 16) & 0xFF)};
    double step[3];
    double value[3];
    for (int c = 0; c < 3; ++c) {
        step[c] = double(to[c] - from[c]) / h;
        value[c] = from[c];
    }
    for (int y = 0; y < h; ++y) {
        // Running sums, not start + y * step: rows must match the sums exactly.
        ACanvas.fillRect(0, y, w, 1, QColor(Channel(value[0]), Channel(value[1]), Channel(value[2])));
        for (int c = 0; c < 3; ++c)
            value[c] += step[c];
    }
}

QImage TXiButton::PaintImage() const
{
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0)
        return QImage();

    QImage image(w, h, QImage::Format_RGB32);
    const TLook look = CurrentLook();
    image.fill(TColorToQColor(look.Face));

    QPainter canvas(&image);
    if (FGradient)
        PaintGradient(canvas, look.Face, look.Grad);

    canvas.setFont(font());
    const QFontMetrics metrics = canvas.fontMetrics();
    const bool hasCaption = !FCaption.isEmpty();
    // Measured as written, ampersands included; an empty caption has no
    // height, so that a glyph alone stands centred.
    const QSize text(metrics.horizontalAdvance(FCaption), hasCaption ? metrics.height() : 0);
    const bool hasGlyph = !FGlyph.isNull() && FGlyph.width() > 0 && FGlyph.height() > 0;
    const TXiButtonPlacement place = XiButtonPlacement(
        QSize(w, h), text, hasGlyph ? FGlyph.size() : QSize(), FLayout, FSpacing, hasCaption,
        FBtnState == bsDown);

    if (hasGlyph) {
        QImage glyph = FGlyph.convertToFormat(QImage::Format_ARGB32);
        if (FTransparentGlyph) {
            // The glyph's own top-left pixel names its transparent colour.
            const QRgb key = glyph.pixel(0, 0);
            for (int y = 0; y < glyph.height(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(glyph.scanLine(y));
                for (int x = 0; x < glyph.width(); ++x)
                    if (line[x] == key)
                        line[x] = 0;
            }
        }
        canvas.drawImage(place.GlyphPos, glyph);
    }

    if (hasCaption) {
        canvas.setPen(TColorToQColor(look.Text));
        canvas.drawText(place.TextRect,
                        Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextDontClip,
                        FCaption);
    }

    Outline(canvas, 0, 0, w, h, TColorToQColor(look.Border));

    if (FCtl3D) {
        // Two lines each, as a line drawn from point to point leaves out its
        // end point: light up the left and along the top, dark down the right
        // and back along the bottom.
        const QColor light = TColorToQColor(look.Light);
        const QColor dark = TColorToQColor(look.Dark);
        FillSpan(canvas, 1, 2, 1, h - 3, light);
        FillSpan(canvas, 1, 1, w - 2, 1, light);
        FillSpan(canvas, w - 2, 1, 1, h - 3, dark);
        FillSpan(canvas, 2, h - 2, w - 3, 1, dark);
    }

    if (FFocused)
        Outline(canvas, 3, 3, w - 3, h - 3, TColorToQColor(FColorFocusRect));

    return image;
}

void TXiButton::paintEvent(QPaintEvent *)
{
    const QImage image = PaintImage();
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

bool TXiButton::event(QEvent *AEvent)
{
    if (AEvent->type() == TDialogKeyEvent::KeyType()) {
        auto *key = static_cast<TDialogKeyEvent *>(AEvent);
        key->setAccepted(DialogKey(*key));
        return true;
    }
    if (AEvent->type() == TDialogKeyEvent::CharType()) {
        auto *character = static_cast<TDialogKeyEvent *>(AEvent);
        character->setAccepted(DialogChar(*character));
        return true;
    }
    return QWidget::event(AEvent);
}

bool TXiButton::DialogKey(const TDialogKeyEvent &AEvent)
{
    const bool enter = AEvent.Key() == Qt::Key_Return || AEvent.Key() == Qt::Key_Enter;
    const bool escape = AEvent.Key() == Qt::Key_Escape;
    if (((enter && FFocused) || (escape && FCancel)) && !AEvent.HasShiftKeys() && CanFocus()) {
        Click();
        return true;
    }
    // The default button takes Enter whatever shift keys are held.
    if (FDefault && enter && CanFocus()) {
        Click();
        return true;
    }
    return false;
}

bool TXiButton::DialogChar(const TDialogKeyEvent &AEvent)
{
    const QString text = AEvent.Text();
    if (text.size() != 1 || !IsAccel(text.at(0), FCaption) || !isEnabled())
        return false;
    Click();
    return true;
}

void TXiButton::changeEvent(QEvent *AEvent)
{
    QWidget::changeEvent(AEvent);
    if (AEvent->type() == QEvent::EnabledChange || AEvent->type() == QEvent::FontChange)
        update();
}

void TXiButton::showEvent(QShowEvent *AEvent)
{
    QWidget::showEvent(AEvent);
    // Every window that shows a button routes its dialog keys.
    if (parentWidget())
        TDialogKeys::Install(this);
}

void TXiButton::MouseEnter()
{
    FPointerInside = true;
    if (!FHotTrack)
        return;
    FBtnState = FClicked ? bsDown : bsOver;
    repaint();
}

void TXiButton::MouseLeave()
{
    FPointerInside = false;
    FBtnState = bsNormal;
    repaint();
}

void TXiButton::enterEvent(QEnterEvent *AEvent)
{
    QWidget::enterEvent(AEvent);
    if (!FPointerInside)
        MouseEnter();
}

void TXiButton::leaveEvent(QEvent *AEvent)
{
    QWidget::leaveEvent(AEvent);
    if (FPointerInside)
        MouseLeave();
}

void TXiButton::mousePressEvent(QMouseEvent *AEvent)
{
    MousePress(AEvent, false);
}

void TXiButton::mouseDoubleClickEvent(QMouseEvent *AEvent)
{
    MousePress(AEvent, true);
}

void TXiButton::MousePress(QMouseEvent *AEvent, bool ADouble)
{
    const QPoint pos(qFloor(AEvent->position().x()), qFloor(AEvent->position().y()));
    QPointer<TXiButton> self(this);
    FPointerInside = true;
    const bool left = AEvent->button() == Qt::LeftButton;
    if (left)
        FClickPending = !ADouble;
    emit OnMouseDown(AEvent->button(), AEvent->modifiers(), pos.x(), pos.y());
    if (!self || !left)
        return;
    FClicked = true;
    FBtnState = bsDown;
    if (TabStop())
        setFocus(Qt::MouseFocusReason);
    repaint();
}

void TXiButton::mouseMoveEvent(QMouseEvent *AEvent)
{
    const QPoint pos(qFloor(AEvent->position().x()), qFloor(AEvent->position().y()));
    QPointer<TXiButton> self(this);
    emit OnMouseMove(AEvent->buttons(), AEvent->modifiers(), pos.x(), pos.y());
    if (!self || AEvent->buttons() == Qt::NoButton)
        return;
    const bool inside = rect().contains(pos);
    if (inside && !FPointerInside)
        MouseEnter();
    else if (!inside && FPointerInside)
        MouseLeave();
}

void TXiButton::mouseReleaseEvent(QMouseEvent *AEvent)
{
    const QPoint pos(qFloor(AEvent->position().x()), qFloor(AEvent->position().y()));
    QPointer<TXiButton> self(this);
    // The click comes before the button's own release handling; the whole
    // client area counts for it, column 0 and row 0 included.
    if (AEvent->button() == Qt::LeftButton && FClickPending) {
        FClickPending = false;
        if (rect().contains(pos))
            Click();
        if (!self)
            return;
    }
    emit OnMouseUp(AEvent->button(), AEvent->modifiers(), pos.x(), pos.y());
    if (!self)
        return;
    FClicked = false;
    if (pos.x() > 0 && pos.x() < width() && pos.y() > 0 && pos.y() < height())
        FBtnState = FHotTrack ? bsOver : bsNormal;
    repaint();
}

void TXiButton::focusInEvent(QFocusEvent *AEvent)
{
    QWidget::focusInEvent(AEvent);
    FFocused = true;
    repaint();
}

void TXiButton::focusOutEvent(QFocusEvent *AEvent)
{
    QWidget::focusOutEvent(AEvent);
    FFocused = false;
    FBtnState = bsNormal;
    repaint();
}

void TXiButton::keyPressEvent(QKeyEvent *AEvent)
{
    // Taken whatever the key, like the platform button that keeps its key
    // messages from the window.
    AEvent->accept();
    QPointer<TXiButton> self(this);
    if (AEvent->key() == Qt::Key_Space)
        FBtnState = bsDown;
    else if (AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter)
        Click();
    if (self)
        repaint();
}

void TXiButton::keyReleaseEvent(QKeyEvent *AEvent)
{
    AEvent->accept();
    // A held space repeats its press only; its one release clicks once.
    if (AEvent->key() != Qt::Key_Space || AEvent->isAutoRepeat())
        return;
    FBtnState = bsNormal;
    repaint();
    Click();
}

TXiButtonPlacement XiButtonPlacement(QSize AButton, QSize AText, QSize AGlyph,
                                     TXiButton::TButtonLayout ALayout, int ASpacing,
                                     bool AHasCaption, bool ADown)
{
    const int w = AButton.width();
    const int h = AButton.height();
    const int tw = AText.width();
    const int th = AText.height();
    int textX = Half(w - tw);
    int textY = Half(h - th);
    QPoint glyph;

    if (!AGlyph.isEmpty()) {
        const int gw = AGlyph.width();
        const int gh = AGlyph.height();
        const int s = ASpacing;
        int glyphX = 0;
        int glyphY = 0;
        switch (ALayout) {
        case TXiButton::blGlyphLeft:
            // Half the width only: an odd-width glyph stands one pixel closer.
            glyphX = textX - Half(gw);
            glyphY = Half(h - gh);
            textX += Half(gw);
            if (AHasCaption) {
                glyphX -= Half(s) + Odd(s);
                textX += Half(s);
            }
            break;
        case TXiButton::blGlyphRight:
            glyphX = textX + tw - Half(gw);
            glyphY = Half(h - gh);
            textX -= Half(gw);
            if (AHasCaption) {
                glyphX += Half(s) + Odd(s);
                textX -= Half(s);
            }
            break;
        case TXiButton::blGlyphTop:
            glyphX = Half(w - gw);
            glyphY = textY - Half(gh) - Odd(gh);
            textY += Half(gh);
            if (AHasCaption) {
                glyphY -= Half(s) + Odd(s);
                textY += Half(s);
            }
            break;
        case TXiButton::blGlyphBottom:
            glyphX = Half(w - gw);
            glyphY = textY + th - Half(gh);
            textY -= Half(gh);
            if (AHasCaption) {
                glyphY += Half(s) + Odd(s);
                textY -= Half(s);
            }
            break;
        }
        if (ADown) {
            ++glyphX;
            ++glyphY;
        }
        glyph = QPoint(glyphX, glyphY);
    }
    if (ADown) {
        ++textX;
        ++textY;
    }
    return {glyph, QRect(textX, textY, tw, th)};
}

TXiButton *NewToolBarButton(QWidget *AParent, const QString &AName, const QString &ACaption,
                            int ALeft, int ATop, bool ATabStop)
{
    auto *button = new TXiButton(AParent);
    button->setObjectName(AName);
    button->setGeometry(ALeft, ATop, 75, 25);
    // In the order a stored form loads them: colours, scheme, then the rest.
    button->SetColorGrad(0xFFB66C);
    button->SetOverColorGrad(0xFFA346);
    button->SetDownColorGrad(0xFFCE9D);
    button->SetDisabledColorGrad(0xFFFFFF);
    button->SetColorScheme(TXiButton::csSilver);
    button->SetCtl3D(true);
    button->SetLayout(TXiButton::blGlyphLeft);
    button->SetSpacing(4);
    button->SetTransparentGlyph(true);
    button->SetGradient(false);
    button->SetHotTrack(true);
    button->SetCaption(ACaption);
    button->SetTabStop(ATabStop);
    return button;
}
