// The engine's own controls: the board's pins, the LED and the dial, and the
// factory that makes them for a module window.
#include "controls.h"

#include "inttext.h"
#include "valuelist.h"

#include <QKeyEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QWheelEvent>
#include <cmath>
#include <numbers>

namespace {
const char *const KBoardName = "kbPinBoard";

bool IsPin(int APin) { return APin >= 0 && APin < TPinBoard::PinCount; }
} // namespace

// ---------------------------------------------------------------------------

TPinBoard::TPinBoard(QObject *AOwner) : QObject(AOwner)
{
    setObjectName(QLatin1String(KBoardName));
}

TPinBoard *TPinBoard::For(QObject *AOwner)
{
    if (!AOwner)
        return nullptr;
    if (auto *B = AOwner->findChild<TPinBoard *>(QLatin1String(KBoardName), Qt::FindDirectChildrenOnly))
        return B;
    return new TPinBoard(AOwner);
}

bool TPinBoard::IsHigh(int APin) const
{
    return IsPin(APin) && FHigh[size_t(APin)];
}

void TPinBoard::SetLevel(int APin, bool AHigh)
{
    if (!IsPin(APin) || FHigh[size_t(APin)] == AHigh)
        return;
    FHigh[size_t(APin)] = AHigh;
    emit Changed();
}

void TPinBoard::Reset()
{
    if (FHigh == decltype(FHigh){})
        return;
    FHigh = {};
    emit Changed();
}

// ---------------------------------------------------------------------------

TLED::TLED(TPinBoard *ABoard, const QColor &AColor) : FBoard(ABoard), FColor(AColor)
{
    setAttribute(Qt::WA_TranslucentBackground);
    resize(32, 32);
    if (FBoard)
        connect(FBoard, &TPinBoard::Changed, this, qOverload<>(&QWidget::update));
}

void TLED::SetPlus(int APin)
{
    FPlus = APin;
    update();
}

void TLED::SetMinus(int APin)
{
    FMinus = APin;
    update();
}

void TLED::SetColor(const QColor &AColor)
{
    if (AColor.isValid())
        FColor = AColor;
    update();
}

bool TLED::IsLit() const
{
    return FBoard && FBoard->IsHigh(FPlus) && !FBoard->IsHigh(FMinus);
}

void TLED::paintEvent(QPaintEvent *)
{
    QPainter P(this);
    P.setRenderHint(QPainter::Antialiasing);
    const QPointF C(width() / 2.0, height() / 2.0);
    const qreal S = std::min(width(), height()) / 32.0; // drawn for 32 x 32, scaled
    const bool Lit = IsLit();

    if (Lit) {
        // The glow reaches the control's edge and fades out there.
        QRadialGradient Glow(C, 16 * S);
        QColor G = FColor;
        G.setAlpha(170);
        Glow.setColorAt(0.45, G);
        G.setAlpha(60);
        Glow.setColorAt(0.75, G);
        G.setAlpha(0);
        Glow.setColorAt(1.0, G);
        P.setPen(Qt::NoPen);
        P.setBrush(Glow);
        P.drawEllipse(C, 16 * S, 16 * S);
    }

    // The flange at the foot of the dome.
    QColor Rim = Lit ? FColor.lighter(110) : FColor.darker(260);
    P.setPen(QPen(QColor(0, 0, 0, 90), 0.8 * S));
    P.setBrush(Rim);
    P.drawEllipse(C, 10.5 * S, 10.5 * S);

    // The dome: lit, white-hot in the middle; dark, a tinted translucent body.
    QRadialGradient Body(C - QPointF(2 * S, 2 * S), 10 * S);
    if (Lit) {
        Body.setColorAt(0.0, Qt::white);
        Body.setColorAt(0.35, FColor.lighter(150));
        Body.setColorAt(1.0, FColor);
    } else {
        Body.setColorAt(0.0, FColor.darker(140));
        Body.setColorAt(1.0, FColor.darker(330));
    }
    P.setPen(QPen(QColor(0, 0, 0, Lit ? 60 : 140), 0.8 * S));
    P.setBrush(Body);
    P.drawEllipse(C, 8.5 * S, 8.5 * S);

    // Specular highlight, so that it reads as a glass dome.
    QRadialGradient Spot(C - QPointF(3.2 * S, 3.2 * S), 3.2 * S);
    Spot.setColorAt(0.0, QColor(255, 255, 255, Lit ? 230 : 170));
    Spot.setColorAt(1.0, QColor(255, 255, 255, 0));
    P.setPen(Qt::NoPen);
    P.setBrush(Spot);
    P.drawEllipse(C - QPointF(3.2 * S, 3.2 * S), 3.2 * S, 3.2 * S);
}

// ---------------------------------------------------------------------------

TDial::TDial(int AMinAngle, int AMaxAngle, const QImage &AFace)
    : FFace(AFace), FMinAngle(AMinAngle), FMaxAngle(AMaxAngle)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    resize(120, 120);
}

void TDial::SetPosition(int APosition)
{
    APosition = std::clamp(APosition, 0, 100);
    if (APosition == FPosition)
        return;
    FPosition = APosition;
    update();
    emit PositionChanged(FPosition);
}

void TDial::SetMinAngle(int A)
{
    FMinAngle = A;
    update();
}

void TDial::SetMaxAngle(int A)
{
    FMaxAngle = A;
    update();
}

double TDial::AngleOf(double APosition) const
{
    return FMinAngle + (FMaxAngle - FMinAngle) * APosition / 100.0;
}

int TDial::PositionAt(const QPointF &APoint) const
{
    const double Dx = APoint.x() - width() / 2.0;
    const double Dy = APoint.y() - height() / 2.0;
    if (FMaxAngle == FMinAngle || (Dx == 0 && Dy == 0))
        return FPosition;
    // Clockwise from straight down, in screen coordinates (y grows downwards).
    double T = std::atan2(-Dx, Dy) * 1800.0 / std::numbers::pi;
    if (T < 0)
        T += 3600;
    const double Lo = std::min(FMinAngle, FMaxAngle), Hi = std::max(FMinAngle, FMaxAngle);
    // Bring T into the dial's turn when the range reaches past 0 or 3600.
    if (T > Hi && T - 3600 >= Lo)
        T -= 3600;
    else if (T < Lo && T + 3600 <= Hi)
        T += 3600;
    double Along;
    if (T >= Lo && T <= Hi) {
        Along = T;
    } else {
        // In the dead zone: snap to the nearer end of the scale.
        const double ToLo = std::fmod(Lo - T + 7200, 3600), ToHi = std::fmod(T - Hi + 7200, 3600);
        Along = ToLo < ToHi ? Lo : Hi;
    }
    double Pos = (Along - FMinAngle) * 100.0 / (FMaxAngle - FMinAngle);
    return std::clamp(int(std::lround(Pos)), 0, 100);
}

void TDial::mousePressEvent(QMouseEvent *AEvent)
{
    if (AEvent->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(AEvent);
    setFocus(Qt::MouseFocusReason);
    SetPosition(PositionAt(AEvent->position()));
}

void TDial::mouseMoveEvent(QMouseEvent *AEvent)
{
    if (AEvent->buttons() & Qt::LeftButton)
        SetPosition(PositionAt(AEvent->position()));
}

void TDial::wheelEvent(QWheelEvent *AEvent)
{
    // High-resolution wheels send fractions of a notch; a notch turns by 5.
    FWheelRest += AEvent->angleDelta().y();
    const int Notches = FWheelRest / 120;
    FWheelRest -= Notches * 120;
    if (Notches)
        SetPosition(FPosition + 5 * Notches);
    AEvent->accept();
}

void TDial::keyPressEvent(QKeyEvent *AEvent)
{
    switch (AEvent->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Plus:
        SetPosition(FPosition + 1);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Minus:
        SetPosition(FPosition - 1);
        break;
    case Qt::Key_PageUp:
        SetPosition(FPosition + 10);
        break;
    case Qt::Key_PageDown:
        SetPosition(FPosition - 10);
        break;
    case Qt::Key_Home:
        SetPosition(0);
        break;
    case Qt::Key_End:
        SetPosition(100);
        break;
    default:
        return QWidget::keyPressEvent(AEvent);
    }
    AEvent->accept();
}

namespace {
// The unit vector of an angle in tenths of a degree clockwise from down.
QPointF Direction(double ATenths)
{
    const double R = ATenths * std::numbers::pi / 1800.0;
    return {-std::sin(R), std::cos(R)};
}
} // namespace

void TDial::PaintFace(QPainter &P, const QRectF &R) const
{
    const QPointF C = R.center();
    const double Rad = R.width() / 2.0;

    QRadialGradient Bezel(C - QPointF(Rad * 0.3, Rad * 0.3), Rad * 1.4);
    Bezel.setColorAt(0, QColor(120, 124, 130));
    Bezel.setColorAt(1, QColor(40, 42, 46));
    P.setPen(Qt::NoPen);
    P.setBrush(Bezel);
    P.drawEllipse(C, Rad, Rad);

    QRadialGradient Face(C - QPointF(0, Rad * 0.4), Rad * 1.2);
    Face.setColorAt(0, QColor(252, 252, 248));
    Face.setColorAt(1, QColor(214, 214, 206));
    P.setBrush(Face);
    P.drawEllipse(C, Rad * 0.9, Rad * 0.9);

    // The scale: a tick every 2, a long one with its number every 20.
    QFont F = P.font();
    F.setPixelSize(std::max(7, int(Rad * 0.16)));
    F.setBold(true);
    P.setFont(F);
    for (int V = 0; V <= 100; V += 2) {
        const QPointF D = Direction(AngleOf(V));
        const bool Major = V % 20 == 0;
        P.setPen(QPen(QColor(40, 40, 40), Major ? Rad * 0.035 : Rad * 0.018, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(C + D * Rad * (Major ? 0.68 : 0.74), C + D * Rad * 0.84);
        if (Major) {
            const QPointF T = C + D * Rad * 0.53;
            P.drawText(QRectF(T.x() - Rad * 0.2, T.y() - Rad * 0.1, Rad * 0.4, Rad * 0.2),
                       Qt::AlignCenter, QString::number(V));
        }
    }
}

void TDial::paintEvent(QPaintEvent *)
{
    QPainter P(this);
    P.setRenderHint(QPainter::Antialiasing);
    P.setRenderHint(QPainter::SmoothPixmapTransform);
    const double Side = std::min(width(), height());
    const QRectF R((width() - Side) / 2.0, (height() - Side) / 2.0, Side, Side);
    const QPointF C = R.center();
    const double Rad = Side / 2.0;

    if (FFace.isNull())
        PaintFace(P, R);
    else
        P.drawImage(R, FFace);

    // The knob, with a pointer line running out to the scale.
    const QPointF D = Direction(AngleOf(FPosition));
    QRadialGradient Knob(C - QPointF(Rad * 0.1, Rad * 0.12), Rad * 0.36);
    Knob.setColorAt(0, QColor(96, 98, 104));
    Knob.setColorAt(1, QColor(22, 22, 26));
    P.setPen(QPen(QColor(0, 0, 0, 150), 1));
    P.setBrush(Knob);
    P.drawEllipse(C, Rad * 0.3, Rad * 0.3);
    P.setPen(QPen(QColor(214, 40, 30), std::max(2.0, Rad * 0.05), Qt::SolidLine, Qt::RoundCap));
    P.drawLine(C + D * Rad * 0.08, C + D * Rad * 0.8);
    P.setPen(Qt::NoPen);
    P.setBrush(QColor(230, 230, 230));
    P.drawEllipse(C, Rad * 0.05, Rad * 0.05);
    if (hasFocus()) {
        P.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
        P.setBrush(Qt::NoBrush);
        P.drawEllipse(C, Rad - 1, Rad - 1);
    }
}

// --- the factory ---------------------------------------------------------------

namespace {

// Frees an engine-made control together with its owner, unless it went first.
class TOwnedControl : public QObject
{
public:
    TOwnedControl(QObject *AOwner, QWidget *AControl) : QObject(AOwner), FControl(AControl) {}
    ~TOwnedControl() override { delete FControl.data(); }

private:
    QPointer<QWidget> FControl;
};

// "Name=Value" pairs separated by ';' (or line breaks), names in any case.
TValueList ParseParams(const QString &AText)
{
    TValueList L;
    for (QString Part : AText.split(QRegularExpression(QStringLiteral("[;\r\n]")), Qt::SkipEmptyParts)) {
        Part = Part.trimmed();
        const qsizetype Eq = Part.indexOf(QLatin1Char('='));
        if (Eq > 0)
            L.SetValues(Part.left(Eq).trimmed(), Part.mid(Eq + 1).trimmed());
    }
    return L;
}

// A colour by name ("red") or as $00BBGGRR.
QColor ParseColor(const QString &AText, const QColor &ADefault)
{
    if (AText.startsWith(QLatin1Char('$'))) {
        bool Ok = false;
        const uint V = AText.mid(1).toUInt(&Ok, 16);
        if (Ok)
            return QColor(int(V & 0xFF), int((V >> 8) & 0xFF), int((V >> 16) & 0xFF));
    }
    QColor C = QColor::fromString(AText);
    return C.isValid() ? C : ADefault;
}

int IntParam(const TValueList &L, const char *AName, int ADefault)
{
    int32_t V = 0;
    return L.Exists(QLatin1String(AName)) && ParseInt32(L.Values(QLatin1String(AName)), V) ? V : ADefault;
}

} // namespace

QWidget *CreateControl(QObject *AOwner, const QString &AClassName, const QString &AParams, const QImage *APicture)
{
    const TValueList P = ParseParams(AParams);
    QWidget *W = nullptr;
    if (AClassName.compare(QLatin1String("TLED"), Qt::CaseInsensitive) == 0) {
        W = new TLED(TPinBoard::For(AOwner), ParseColor(P.Values(QStringLiteral("Color")), Qt::red));
    } else if (AClassName.compare(QLatin1String("TDial"), Qt::CaseInsensitive) == 0) {
        W = new TDial(IntParam(P, "MinAngle", 145), IntParam(P, "MaxAngle", 3450), APicture ? *APicture : QImage());
    }
    if (W && AOwner)
        new TOwnedControl(AOwner, W);
    return W;
}
