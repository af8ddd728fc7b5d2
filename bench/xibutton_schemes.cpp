// Writes one picture of every named colour scheme of TXiButton in its four
// looks (normal, pointer over, pressed, disabled), one scheme a row, for a
// person to look at. Usage: xibutton_schemes [output.png]

#include "xibutton.h"

#include <QApplication>
#include <QMetaEnum>
#include <QPainter>

#include <cstdio>

namespace {

// Reaches the look, which only the mouse and the keyboard set otherwise.
class TLookButton : public TXiButton
{
public:
    using TXiButton::TXiButton;
    void SetLook(TBtnState AState) { FBtnState = AState; }
};

constexpr int KCellWidth = 91;
constexpr int KCellHeight = 33;
constexpr int KLabelWidth = 96;
constexpr int KHeaderHeight = 24;

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QStringLiteral("xibutton_schemes.png");

    const int scale = argc > 2 ? qBound(1, QByteArray(argv[2]).toInt(), 16) : 1;

    const QMetaEnum schemes = QMetaEnum::fromType<TXiButton::TColorScheme>();
    const char *looks[] = {"Normal", "Over", "Down", "Disabled"};
    const int rows = TXiButton::csCustom;

    QImage sheet(KLabelWidth + 4 * KCellWidth, KHeaderHeight + rows * KCellHeight,
                 QImage::Format_RGB32);
    sheet.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter painter(&sheet);
    painter.setPen(Qt::black);
    for (int look = 0; look < 4; ++look)
        painter.drawText(QRect(KLabelWidth + look * KCellWidth, 0, KCellWidth, KHeaderHeight),
                         Qt::AlignCenter, QString::fromLatin1(looks[look]));

    TLookButton button;
    button.SetCaption(QStringLiteral("&Run"));
    for (int row = 0; row < rows; ++row) {
        const auto scheme = static_cast<TXiButton::TColorScheme>(row);
        const int top = KHeaderHeight + row * KCellHeight;
        painter.setPen(Qt::black);
        painter.drawText(QRect(6, top, KLabelWidth - 6, KCellHeight), Qt::AlignVCenter | Qt::AlignLeft,
                         QString::fromLatin1(schemes.valueToKey(scheme)));
        button.SetColorScheme(scheme);
        for (int look = 0; look < 4; ++look) {
            button.setEnabled(look != 3);
            button.SetLook(look == 1   ? TXiButton::bsOver
                           : look == 2 ? TXiButton::bsDown
                                       : TXiButton::bsNormal);
            const QImage image = button.grab().toImage();
            painter.drawImage(KLabelWidth + look * KCellWidth + (KCellWidth - image.width()) / 2,
                              top + (KCellHeight - image.height()) / 2, image);
        }
    }
    painter.end();

    if (scale > 1)
        sheet = sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!sheet.save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(output));
    return 0;
}
