// Draws the module pictures: the board with its wires, the dial face and the
// window icon. Run it with an output folder to regenerate the PNGs that the
// modules embed (modules/art/*.png).
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>

namespace {

// Where the LED control sits on the board picture (its top-left, 32 x 32).
constexpr int LedLeft = 136;
constexpr int LedTop = 374;

const QColor BoardColor(0x00, 0x7f, 0x8c);
const QColor BoardEdge(0x00, 0x5a, 0x64);
const QColor Silk(0xf2, 0xf6, 0xf6);
const QColor HeaderBlack(0x1c, 0x1c, 0x1e);
const QColor Gold(0xd8, 0xb0, 0x4c);
const QColor WireRed(0xd3, 0x1f, 0x1f);
const QColor WireDark(0x25, 0x25, 0x28);

QFont SilkFont(int pixels, bool bold = false)
{
    QFont f("DejaVu Sans");
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void DrawHole(QPainter &p, QPointF c, double r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0xc8, 0xc0));
    p.drawEllipse(c, r + 2.5, r + 2.5);
    p.setBrush(QColor(255, 255, 255, 0));
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawEllipse(c, r, r);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// A row of female header sockets, left to right, with labels on the board
// side. Returns the centres of the sockets.
QList<QPointF> DrawHeader(QPainter &p, double x, double y, const QStringList &labels, bool labelsAbove)
{
    const double pitch = 13.0;
    const double w = pitch * labels.size() + 4;
    p.setPen(QPen(QColor(0x0d, 0x0d, 0x0f), 1));
    p.setBrush(HeaderBlack);
    p.drawRoundedRect(QRectF(x, y, w, 15), 2, 2);
    QList<QPointF> centres;
    p.setFont(SilkFont(7, true));
    for (int i = 0; i < labels.size(); ++i) {
        const QPointF c(x + 2 + pitch * i + pitch / 2, y + 7.5);
        centres << c;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x05, 0x05, 0x05));
        p.drawRect(QRectF(c.x() - 3, c.y() - 3, 6, 6));
        p.setBrush(QColor(0x40, 0x40, 0x40));
        p.drawRect(QRectF(c.x() - 1.5, c.y() - 1.5, 3, 3));
        // Labels run across the board, rotated like the real silk-screen.
        p.save();
        p.setPen(Silk);
        p.translate(c.x(), labelsAbove ? y - 3 : y + 18);
        p.rotate(-90);
        const QRectF box = labelsAbove ? QRectF(0, -5, 30, 10) : QRectF(-30, -5, 30, 10);
        p.drawText(box, (labelsAbove ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, labels[i]);
        p.restore();
    }
    return centres;
}

void DrawChip(QPainter &p, QRectF r, int pinsPerSide, bool vertical)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0xb8, 0xb8));
    for (int i = 0; i < pinsPerSide; ++i) {
        const double t = (i + 0.5) / pinsPerSide;
        if (vertical) {
            const double yy = r.top() + t * r.height();
            p.drawRect(QRectF(r.left() - 4, yy - 1.5, 4, 3));
            p.drawRect(QRectF(r.right(), yy - 1.5, 4, 3));
        } else {
            const double xx = r.left() + t * r.width();
            p.drawRect(QRectF(xx - 1.5, r.top() - 4, 3, 4));
            p.drawRect(QRectF(xx - 1.5, r.bottom(), 3, 4));
        }
    }
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x34, 0x34, 0x38));
    g.setColorAt(1, QColor(0x16, 0x16, 0x18));
    p.setBrush(g);
    p.drawRoundedRect(r, 2, 2);
}

void DrawSmd(QPainter &p, QRectF r, QColor body)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xcf, 0xcf, 0xcf));
    p.drawRect(r);
    p.setBrush(body);
    p.drawRect(r.adjusted(r.width() * 0.25, 0, -r.width() * 0.25, 0));
}

void DrawBoard(const QString &file)
{
    QImage img(800, 600, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // The board stands upright: power and analog headers on the left, the
    // digital headers on the right, USB and power jack at the top.
    const QRectF board(28, 34, 244, 318);

    // USB socket and power jack stick out over the top edge.
    p.setPen(QPen(QColor(0x80, 0x80, 0x86), 1));
    QLinearGradient usb(0, 14, 0, 70);
    usb.setColorAt(0, QColor(0xee, 0xee, 0xf0));
    usb.setColorAt(1, QColor(0xa8, 0xa8, 0xae));
    p.setBrush(usb);
    p.drawRect(QRectF(168, 14, 50, 62));
    p.setBrush(QColor(0x55, 0x55, 0x5a));
    p.drawRect(QRectF(178, 20, 30, 10));
    p.setBrush(HeaderBlack);
    p.drawRoundedRect(QRectF(56, 20, 38, 52), 4, 4);
    p.setBrush(QColor(0x40, 0x40, 0x44));
    p.drawEllipse(QPointF(75, 36), 9, 9);
    p.setBrush(QColor(0x90, 0x90, 0x90));
    p.drawEllipse(QPointF(75, 36), 3, 3);

    // The board itself, with a drop shadow and a darker rim.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawRoundedRect(board.translated(4, 5), 10, 10);
    QLinearGradient pcb(board.topLeft(), board.bottomRight());
    pcb.setColorAt(0, BoardColor.lighter(112));
    pcb.setColorAt(1, BoardColor.darker(108));
    p.setPen(QPen(BoardEdge, 2));
    p.setBrush(pcb);
    p.drawRoundedRect(board, 10, 10);
    // Redraw the connectors' board halves on top of the board.
    p.setPen(QPen(QColor(0x80, 0x80, 0x86), 1));
    p.setBrush(usb);
    p.drawRect(QRectF(168, 34, 50, 42));
    p.setBrush(HeaderBlack);
    p.drawRoundedRect(QRectF(56, 34, 38, 38), 4, 4);

    // Traces.
    p.setPen(QPen(BoardColor.darker(125), 1.6));
    for (int i = 0; i < 6; ++i) {
        QPainterPath t;
        t.moveTo(90 + i * 8, 150);
        t.lineTo(90 + i * 8, 190 - i * 4);
        t.lineTo(150, 214 - i * 4);
        p.drawPath(t);
    }
    for (int i = 0; i < 7; ++i) {
        QPainterPath t;
        t.moveTo(196, 120 + i * 12);
        t.lineTo(222, 136 + i * 12);
        t.lineTo(236, 136 + i * 12);
        p.drawPath(t);
    }

    DrawHole(p, QPointF(48, 100), 4);
    DrawHole(p, QPointF(252, 90), 4);
    DrawHole(p, QPointF(48, 330), 4);
    DrawHole(p, QPointF(252, 332), 4);

    // Headers. Digital side, top to bottom: D0..D7, then D8..D13, GND, AREF.
    auto column = [&](double x, double y, const QStringList &labels, bool labelsLeft) {
        // Draw as a rotated row so that the sockets run down the edge.
        p.save();
        p.translate(x, y);
        p.rotate(90);
        const auto centres = DrawHeader(p, 0, 0, labels, !labelsLeft);
        p.restore();
        QList<QPointF> out;
        for (const QPointF &c : centres)
            out << QPointF(x - c.y(), y + c.x());
        return out;
    };
    column(268, 94, {"RX0", "TX1", "2", "~3", "4", "~5", "~6", "7"}, true);
    const auto upper = column(268, 206, {"8", "~9", "~10", "~11", "12", "13", "GND", "AREF"}, true);
    column(47, 126, {"IOREF", "RESET", "3V3", "5V", "GND", "GND", "VIN"}, false);
    column(47, 236, {"A0", "A1", "A2", "A3", "A4", "A5"}, false);

    // Silk-screen group names.
    p.setPen(Silk);
    p.setFont(SilkFont(9, true));
    p.save();
    p.translate(214, 300);
    p.rotate(-90);
    p.drawText(QRectF(0, 0, 140, 12), Qt::AlignLeft, "DIGITAL (PWM ~)");
    p.restore();

    // The microcontroller, the crystal, the reset button and the small LEDs.
    DrawChip(p, QRectF(124, 178, 34, 150), 14, true);
    p.setPen(Silk);
    p.setFont(SilkFont(8, true));
    p.save();
    p.translate(145, 312);
    p.rotate(-90);
    p.drawText(QRectF(0, -8, 130, 14), Qt::AlignLeft | Qt::AlignVCenter, "KB-328  MICRO");
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x4a, 0x4a));
    p.drawEllipse(QPointF(140, 182), 3, 3);
    DrawChip(p, QRectF(100, 104, 22, 22), 5, false);
    p.setBrush(QColor(0xd0, 0xd0, 0xd4));
    p.setPen(QPen(QColor(0x90, 0x90, 0x94), 1));
    p.drawRoundedRect(QRectF(104, 150, 12, 24), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd8, 0xd8, 0xdc));
    p.drawRect(QRectF(196, 92, 22, 22));
    p.setBrush(QColor(0xc0, 0x30, 0x30));
    p.drawEllipse(QPointF(207, 103), 6.5, 6.5);
    p.setPen(Silk);
    p.setFont(SilkFont(7, true));
    p.drawText(QRectF(187, 116, 40, 10), Qt::AlignCenter, "RESET");
    const struct { double y; const char *name; QColor c; } leds[] = {
        {150, "L", QColor(0xff, 0xc0, 0x40)},
        {166, "TX", QColor(0xff, 0xd8, 0x60)},
        {182, "RX", QColor(0xff, 0xd8, 0x60)},
        {210, "ON", QColor(0x70, 0xe0, 0x70)},
    };
    for (const auto &l : leds) {
        DrawSmd(p, QRectF(190, l.y, 12, 6), l.c);
        p.setPen(Silk);
        p.drawText(QRectF(170, l.y - 3, 18, 12), Qt::AlignRight | Qt::AlignVCenter, l.name);
    }
    for (int i = 0; i < 5; ++i)
        DrawSmd(p, QRectF(178, 240 + i * 14, 14, 7), QColor(0x30, 0x30, 0x30));

    // Board name.
    p.save();
    p.translate(100, 340);
    p.rotate(-90);
    p.setPen(Silk);
    p.setFont(SilkFont(16, true));
    p.drawText(QRectF(0, -14, 120, 22), Qt::AlignLeft | Qt::AlignVCenter, "KITEBENCH");
    p.setFont(SilkFont(9, true));
    p.drawText(QRectF(0, 6, 120, 12), Qt::AlignLeft | Qt::AlignVCenter, "ONE  \u2022  5V");
    p.restore();

    // The wires: pin 13 (red) and GND (dark) run out of their sockets, down
    // past the board and into the LED's place: plus on the right, minus on
    // the left.
    const QPointF pin13 = upper[5];
    const QPointF gnd = upper[6];
    const double plusX = LedLeft + 21;
    const double minusX = LedLeft + 11;
    auto wire = [&](QPointF from, double toX, double laneX, double laneY, QColor colour) {
        QPainterPath path;
        path.moveTo(from);
        path.lineTo(laneX, from.y());
        path.lineTo(laneX, laneY);
        path.lineTo(toX, laneY);
        path.lineTo(toX, LedTop + 6);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 0, 0, 60), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path.translated(1.5, 2));
        p.setPen(QPen(colour.darker(140), 5.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(QPen(colour, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(QPen(colour.lighter(150), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path.translated(-0.8, -0.8));
        // The pin end of the wire: a plug in the socket.
        p.setPen(Qt::NoPen);
        p.setBrush(Gold);
        p.drawRect(QRectF(from.x() - 3, from.y() - 3, 6, 6));
    };
    wire(gnd, minusX, 296, 358, WireDark);
    wire(pin13, plusX, 308, 368, WireRed);

    // Labels at the LED's place, beside the wire ends.
    p.setFont(SilkFont(10, true));
    p.setPen(WireRed);
    p.drawText(QRectF(LedLeft + 38, LedTop + 9, 40, 14), Qt::AlignLeft | Qt::AlignVCenter, "+ 13");
    p.setPen(WireDark);
    p.drawText(QRectF(LedLeft - 46, LedTop + 9, 40, 14), Qt::AlignRight | Qt::AlignVCenter, "GND \u2212");
    p.end();
    img.save(file);
}

void DrawDial(const QString &file)
{
    QImage img(120, 120, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(60, 60);

    // Bezel and face.
    QRadialGradient bezel(c, 60, QPointF(45, 40));
    bezel.setColorAt(0, QColor(0xf4, 0xf4, 0xf6));
    bezel.setColorAt(1, QColor(0x8a, 0x8e, 0x96));
    p.setPen(QPen(QColor(0x5a, 0x5e, 0x66), 1));
    p.setBrush(bezel);
    p.drawEllipse(c, 59, 59);
    QRadialGradient face(c, 52, QPointF(50, 45));
    face.setColorAt(0, QColor(0xff, 0xff, 0xff));
    face.setColorAt(1, QColor(0xe4, 0xe8, 0xee));
    p.setPen(QPen(QColor(0xb0, 0xb4, 0xbc), 1));
    p.setBrush(face);
    p.drawEllipse(c, 53, 53);

    // The scale follows the dial control's sweep: tenths of a degree
    // clockwise from straight down, 145 for 0 and 3450 for 100.
    const double minAngle = 14.5, maxAngle = 345.0;
    auto at = [&](double position, double radius) {
        const double a = qDegreesToRadians(minAngle + (maxAngle - minAngle) * position / 100.0);
        return QPointF(c.x() - radius * std::sin(a), c.y() + radius * std::cos(a));
    };
    // A coloured band under the scale, green to red.
    for (int i = 0; i < 100; ++i) {
        const QColor col = QColor::fromHsvF((1.0 - i / 100.0) * 0.33, 0.75, 0.9);
        p.setPen(QPen(col, 4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(at(i, 47), at(i + 1.05, 47));
    }
    for (int i = 0; i <= 100; i += 2) {
        const bool major = i % 20 == 0;
        const bool middle = i % 10 == 0;
        p.setPen(QPen(QColor(0x2a, 0x2e, 0x36), major ? 2.0 : 1.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(at(i, major ? 38 : middle ? 40 : 42), at(i, 45));
    }
    QFont f("DejaVu Sans");
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x1c, 0x20, 0x28));
    for (int i = 0; i <= 100; i += 20) {
        QPointF t = at(i, 29);
        // 0 and 100 sit close together at the bottom: push them apart.
        if (i == 0)
            t.rx() -= 3;
        if (i == 100)
            t.rx() += 5;
        p.drawText(QRectF(t.x() - 12, t.y() - 7, 24, 14), Qt::AlignCenter, QString::number(i));
    }
    p.end();
    img.save(file);
}

void DrawIcon(const QString &file)
{
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A small board with a lit LED wired to it.
    p.setPen(QPen(BoardEdge, 1));
    p.setBrush(BoardColor);
    p.drawRoundedRect(QRectF(1.5, 3.5, 20, 25), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(HeaderBlack);
    p.drawRect(QRectF(17, 6, 3, 20));
    p.drawRect(QRectF(8, 10, 5, 12));
    p.setBrush(Silk);
    p.drawRect(QRectF(3.5, 5.5, 3, 4));
    p.setPen(QPen(WireRed, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath w;
    w.moveTo(19, 20);
    w.lineTo(25, 20);
    w.lineTo(25, 16);
    p.drawPath(w);
    QRadialGradient glow(QPointF(25, 11), 7);
    glow.setColorAt(0, QColor(255, 80, 60, 230));
    glow.setColorAt(1, QColor(255, 40, 20, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(25, 11), 7, 7);
    QRadialGradient led(QPointF(24, 9.5), 5);
    led.setColorAt(0, QColor(255, 230, 220));
    led.setColorAt(0.4, QColor(255, 60, 40));
    led.setColorAt(1, QColor(180, 10, 10));
    p.setBrush(led);
    p.drawEllipse(QPointF(25, 11), 4, 4);
    p.end();
    img.save(file);
}

// How lesson 2 looks: the board and the dial on the window's white, with the
// pictures enlarged beside it, for checking the drawing by eye.
void DrawPreview(const QString &dir, const QString &file)
{
    const QImage board(dir + "/board.png"), dial(dir + "/dial.png"), icon(dir + "/icon.png");
    QImage img(480 + 370, 600, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.drawImage(QPoint(0, 0), board, QRect(0, 0, 480, 600));
    p.drawImage(QPoint(96, 412), dial);
    p.setPen(QColor(0xd0, 0xd0, 0xd0));
    p.drawRect(LedLeft, LedTop, 31, 31);
    p.drawLine(480, 0, 480, 600);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(485, 0, 360, 360), dial);
    p.drawImage(QRect(485, 370, 128, 128), icon);
    p.end();
    img.save(file);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(dir);
    DrawBoard(dir + "/board.png");
    DrawDial(dir + "/dial.png");
    DrawIcon(dir + "/icon.png");
    if (argc > 3 && QByteArray(argv[2]) == "--preview")
        DrawPreview(dir, QString::fromLocal8Bit(argv[3]));
    std::printf("pictures written to %s\n", qPrintable(dir));
    return 0;
}
