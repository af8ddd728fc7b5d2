// Pictures of the engine's controls: the LED off and lit, the dial at 0, 50
// and 100. Writes PNGs into the folder given as the first argument (a fresh
// temporary folder without one) and prints their paths.
#include "controls.h"
#include "scripthost.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

// The control on white, as the lesson window shows it, magnified for viewing.
QImage Shot(QWidget *AControl, int AScale)
{
    QImage Img(AControl->size() * AScale, QImage::Format_ARGB32_Premultiplied);
    Img.fill(Qt::white);
    QPainter P(&Img);
    P.scale(AScale, AScale);
    AControl->render(&P, QPoint(), QRegion(), QWidget::DrawChildren);
    return Img;
}

bool Save(const QImage &AImage, const QDir &ADir, const QString &AName)
{
    const QString Path = ADir.filePath(AName);
    const bool Ok = AImage.save(Path);
    std::printf("%s %s\n", Ok ? "wrote" : "FAILED", qPrintable(Path));
    return Ok;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    std::unique_ptr<QTemporaryDir> Temp;
    QString Folder;
    if (argc > 1) {
        Folder = QString::fromLocal8Bit(argv[1]);
    } else {
        Temp = std::make_unique<QTemporaryDir>();
        Temp->setAutoRemove(false);
        Folder = Temp->path();
    }
    QDir Dir(Folder);
    if (!Dir.mkpath(QStringLiteral(".")))
        return 1;

    QWidget Owner;
    bool Ok = true;
    std::unique_ptr<QWidget> Led(CreateObject(&Owner, u"TLED", u"Color=red", nullptr));
    Led->setProperty("minus", TPinBoard::GND);
    Led->setProperty("plus", 13);
    Ok &= Save(Shot(Led.get(), 1), Dir, QStringLiteral("led_off.png"));
    Ok &= Save(Shot(Led.get(), 6), Dir, QStringLiteral("led_off_x6.png"));
    TPinBoard::For(&Owner)->SetLevel(13, true);
    Ok &= Save(Shot(Led.get(), 1), Dir, QStringLiteral("led_lit.png"));
    Ok &= Save(Shot(Led.get(), 6), Dir, QStringLiteral("led_lit_x6.png"));

    std::unique_ptr<QWidget> Dial(CreateObject(&Owner, u"TDial", u"MinAngle=145; MaxAngle=3450", nullptr));
    for (int Pos : {0, 50, 100}) {
        Dial->setProperty("Position", Pos);
        Ok &= Save(Shot(Dial.get(), 2), Dir, QStringLiteral("dial_%1.png").arg(Pos));
    }
    return Ok ? 0 : 1;
}
