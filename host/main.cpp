#include <QApplication>
#include <QLabel>

// Placeholder window until the main window exists.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Kitebench"));
    label.setWindowTitle(QStringLiteral("Kitebench"));
    label.resize(1008, 730);
    label.setAlignment(Qt::AlignCenter);
    label.show();
    return app.exec();
}
