// Figures of the game: its own program in the real game window for a minute
// with the asteroid pool cycling (whole-process CPU, the repeaters' rates
// against their nominal ones), a paint of the play field with 22 sprites
// visible, and the time a sound call takes. Loads Modules/libSkivo.so from
// the program folder as the host does.
#include "benchsupport.h"
#include "interfacebase.h"
#include "modulebase.h"
#include "modulelibrary.h"
#include "packetcodes.h"
#include "sprite.h"
#include "valuelist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

class TCore : public ICore, public IView
{
public:
    bool QueryInterface(const QUuid &, void **O) override { *O = nullptr; return false; }
    int _AddRef() override { return -1; }
    int _Release() override { return -1; }
    QString GetSouceCode() override { return Source; }
    IView *GetView() override { return this; }
    void Add(QObject *) override {}
    void Remove(QObject *) override {}
    void sp_SetToolBar(const QString &) override {}
    void sp_SetSourceCode(const QString &T) override { Program = T; }
    void sp_CodeError(const TValueList *E) override
    {
        std::printf("  script error: %s\n", qPrintable(E->Values(PacketKey::ErrorMsg)));
    }
    void sp_Message(const QString &M) override { Messages << M; }
    QString Source, Program;
    QStringList Messages;
};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void Key(QWidget *AWindow, QEvent::Type AType, int AKey)
{
    QKeyEvent e(AType, AKey, Qt::NoModifier);
    QCoreApplication::sendEvent(AWindow, &e);
}

// The game's program as it is, with each repeater's calls counted: the
// counting wrapper goes in front, the report into shutdown() behind it.
QString Instrumented(const QString &AProgram)
{
    return QStringLiteral(
               "var kbCounts = {};\n"
               "var kbCreate = createRepeater;\n"
               "createRepeater = function (interval) {\n"
               "  var r = kbCreate(interval), key = String(interval);\n"
               "  kbCounts[key] = 0;\n"
               "  return { set OnInterval(f) { r.OnInterval = function () { kbCounts[key]++; f(); }; } };\n"
               "};\n")
           + AProgram
           + QStringLiteral("\nvar kbShutdown = shutdown;\n"
                            "shutdown = function () { console.log(JSON.stringify(kbCounts)); kbShutdown(); };\n");
}

// Counts the paints of the object it watches.
class TPaintCounter : public QObject
{
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override
    {
        Paints += AEvent->type() == QEvent::Paint;
        return QObject::eventFilter(AWatched, AEvent);
    }
};

double Median(std::vector<double> A)
{
    std::sort(A.begin(), A.end());
    return A.empty() ? 0 : A[A.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/../../Kitebench/Modules/libSkivo.so");
    TModuleLibrary library;
    const auto create = library.Load(path) ? library.Resolve<TCreateModule>("CreateModule") : nullptr;
    if (!create) {
        std::printf("cannot load %s: %s\n", qPrintable(path), qPrintable(library.ErrorString()));
        return 1;
    }
    TCore core;
    TModuleInterface *window = create(&app, nullptr);
    window->SetCore(&core);
    window->show();
    Pump(200);
    QWidget *screen = window->findChild<QWidget *>("Screen");
    auto *ship = window->findChild<TSprite *>("Ship");

    std::printf("== the game's program in the game window for %d s\n", seconds);
    core.Source = Instrumented(core.Program);
    QMetaObject::invokeMethod(window->findChild<QObject *>("btRun"), "Click");
    Pump(300);
    TPaintCounter counter;
    QWidget *background = window->findChild<QWidget *>("imgBackground");
    background->installEventFilter(&counter);
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // Fire all the time; steer up and down now and then.
    Key(window, QEvent::KeyPress, Qt::Key_Space);
    int rocksSeen = 0;
    while (wall.elapsed() < seconds * 1000) {
        const bool down = (wall.elapsed() / 1500) % 2 == 0;
        Key(window, QEvent::KeyRelease, down ? Qt::Key_Up : Qt::Key_Down);
        Key(window, QEvent::KeyPress, down ? Qt::Key_Down : Qt::Key_Up);
        Pump(100);
        int visible = 0;
        for (TSprite *s : screen->findChildren<TSprite *>())
            visible += s->GetVisible() && s->size() == QSize(64, 64);
        rocksSeen = std::max(rocksSeen, visible);
    }
    const double elapsed = wall.elapsed() / 1000.0;
    const double cpu = CpuSeconds() - cpu0;
    QMetaObject::invokeMethod(window->findChild<QObject *>("btStop"), "Click");
    Pump(800);
    std::printf("  whole-process CPU: %.1f%% of one core (at most 25%% wanted)\n", 100.0 * cpu / elapsed);
    std::printf("  asteroids on the field at once: up to %d; the field painted %.0f times a second\n", rocksSeen,
                counter.Paints / elapsed);
    background->removeEventFilter(&counter);
    const QJsonObject counts = QJsonDocument::fromJson(core.Messages.value(0).toUtf8()).object();
    const struct { const char *Key, *Name; double Nominal; } repeaters[] = {
        {"5000", "ship", 200}, {"2000", "missile", 500}, {"4000", "asteroids", 250}};
    for (const auto &r : repeaters) {
        const double rate = counts.value(r.Key).toDouble() / (elapsed + 0.3);
        std::printf("  %-9s repeater: %6.1f calls/s, %5.1f%% of %g\n", r.Name, rate, 100.0 * rate / r.Nominal, r.Nominal);
    }

    // A paint of the play field with 20 asteroids, the ship and the missile
    // in view.
    QObject *asteroids = window->findChild<QObject *>("Asteroids");
    QMetaObject::invokeMethod(asteroids, "Start");
    QList<TSprite *> sprites;
    for (TSprite *s : screen->findChildren<TSprite *>(Qt::FindDirectChildrenOnly))
        sprites << s;
    int i = 0;
    for (TSprite *s : sprites) {
        s->move((i * 37) % 420, (i * 53) % 260);
        s->SetVisible(true);
        ++i;
    }
    ship->move(0, 100);
    QImage target(screen->size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> paints;
    for (int n = 0; n < 300; ++n) {
        QElapsedTimer t;
        t.start();
        QPainter p(&target);
        screen->render(&p);
        p.end();
        paints.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(paints.begin(), paints.end());
    std::printf("== a paint of the play field with %lld sprites visible: median %.3f ms, 99th percentile %.3f ms, "
                "worst %.3f ms (under 2 ms wanted)\n",
                static_cast<long long>(sprites.size()), paints[paints.size() / 2], paints[paints.size() * 99 / 100],
                paints.back());

    // The sound calls as the engine makes them, on the UI thread, on an
    // instance of the class the window hands the engine.
    static const QMetaObject *functions = nullptr;
    TScriptHostApi recorder = ScriptHost();
    recorder.AddGlobalFunctions = [](const QMetaObject *C) { functions = C; };
    recorder.AddObject = [](QObject *, const char16_t *) {};
    const TScriptHostApi engine = SetScriptHostApi(recorder);
    static_cast<TModuleBase *>(window)->AddObjects();
    SetScriptHostApi(engine);
    std::unique_ptr<QObject> f(functions ? functions->newInstance() : nullptr);
    if (f) {
        std::vector<double> calls;
        for (int n = 0; n < 40; ++n) {
            QElapsedTimer t;
            t.start();
            QMetaObject::invokeMethod(f.get(), n % 2 ? "soundBoom" : "soundFire");
            calls.push_back(t.nsecsElapsed() / 1e6);
            Pump(50);
        }
        std::printf("== a sound call: median %.4f ms, worst %.4f ms (under 1 ms wanted)\n", Median(calls),
                    *std::max_element(calls.begin(), calls.end()));
        // A program that calls them in a loop: back to back, with no pause
        // for the audio thread to catch up.
        calls.clear();
        for (int n = 0; n < 5000; ++n) {
            QElapsedTimer t;
            t.start();
            QMetaObject::invokeMethod(f.get(), n % 2 ? "soundBoom" : "soundFire");
            calls.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("== 5000 sound calls back to back: median %.4f ms, worst %.4f ms (under 1 ms wanted)\n",
                    Median(calls), *std::max_element(calls.begin(), calls.end()));
    }
    QMetaObject::invokeMethod(asteroids, "Stop");
    delete window;
    return 0;
}
