// Figures of the game: its own program in the real game window for a minute
// with the asteroid pool cycling (whole-process CPU, each thread's share and
// its wakes a second, the repeaters' rates against their nominal ones), a
// paint of the play field with 22 sprites visible, the time a sound call
// takes, and the CPU the window takes while idle and while a program sleeps.
// Loads Modules/libSkivo.so from the program folder as the host does.
//   game_bench [SECONDS_OF_PLAY [SECONDS_IDLE]]     (60 and 10 by default)
// The last block repeats the main figures one a line, name and value, for
// before/after tables.
#include "benchsupport.h"
#include "interfacebase.h"
#include "modulebase.h"
#include "modulelibrary.h"
#include "packetcodes.h"
#include "sprite.h"
#include "valuelist.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <unistd.h>
#include <utility>
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

// The CPU time of each of the process's threads, in clock ticks, and the
// times it gave up the core to wait (its wakes), by thread id, with its name.
struct TThreadTime
{
    QString Name;
    long long Ticks = 0;
    long long Wakes = 0;
};
using TThreadTimes = std::map<int, TThreadTime>;

long long VoluntarySwitches(const QString &AStatusFile)
{
    QFile status(AStatusFile);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("voluntary_ctxt_switches:"))
            return line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    return 0;
}

TThreadTimes ReadThreadTimes()
{
    TThreadTimes T;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(tid + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue; // ended meanwhile
        const QByteArray line = stat.readAll();
        // "tid (comm) state ...": the name may hold spaces and parentheses.
        const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 13)
            continue;
        // After the name: state is field 3 of the line; utime 14, stime 15.
        T[tid.toInt()] = {QString::fromUtf8(line.mid(open + 1, close - open - 1)),
                          fields[11].toLongLong() + fields[12].toLongLong(),
                          VoluntarySwitches(tasks.filePath(tid + QStringLiteral("/status")))};
    }
    return T;
}

// Each thread name's share of one core between A and B, threads of one
// name together (threads that a std::thread or a pool starts carry their
// starter's name), the main thread on its own; largest first.
struct TThreadShare
{
    QString Name;
    int Threads = 0;
    double Percent = 0;
    double WakesPerSecond = 0;
};

std::vector<TThreadShare> ThreadShares(const TThreadTimes &A, const TThreadTimes &B, double ASeconds)
{
    const double tick = double(sysconf(_SC_CLK_TCK));
    struct TGroup
    {
        long long Ticks = 0, Wakes = 0;
        int Threads = 0;
    };
    std::map<QString, TGroup> byName;
    for (const auto &[tid, entry] : B) {
        const auto before = A.find(tid);
        auto &g = byName[tid == getpid() ? QStringLiteral("main") : entry.Name];
        g.Ticks += entry.Ticks - (before == A.end() ? 0 : before->second.Ticks);
        g.Wakes += entry.Wakes - (before == A.end() ? 0 : before->second.Wakes);
        ++g.Threads;
    }
    std::vector<TThreadShare> shares;
    for (const auto &[name, g] : byName)
        shares.push_back({name, g.Threads, 100.0 * double(g.Ticks) / tick / ASeconds, double(g.Wakes) / ASeconds});
    std::stable_sort(shares.begin(), shares.end(), [](const auto &x, const auto &y) { return x.Percent > y.Percent; });
    return shares;
}

// Whole-process CPU over ASeconds of the event loop, in % of one core, and
// each thread's share.
struct TIdle
{
    double Percent = 0;
    std::vector<TThreadShare> Threads;
};

TIdle IdleCpu(int ASeconds)
{
    const double cpu0 = CpuSeconds();
    const TThreadTimes threads0 = ReadThreadTimes();
    QElapsedTimer wall;
    wall.start();
    Pump(ASeconds * 1000);
    const double seconds = wall.elapsed() / 1000.0;
    return {100.0 * (CpuSeconds() - cpu0) / seconds, ThreadShares(threads0, ReadThreadTimes(), seconds)};
}

// "name 1.2%, name 0.1%, ...": the threads that took any time.
QString Busiest(const std::vector<TThreadShare> &AShares)
{
    QStringList parts;
    for (const TThreadShare &t : AShares)
        if (t.Percent >= 0.01)
            parts << QStringLiteral("%1 %2%").arg(t.Name).arg(t.Percent, 0, 'f', 2);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

// The figures again, one a line, for the summary at the end.
std::vector<std::pair<QString, QString>> GSummary;
void Figure(const QString &AName, double AValue, int ADecimals = 1)
{
    GSummary.push_back({AName, QString::number(AValue, 'f', ADecimals)});
}

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
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
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

    // Idle first, printed at the end: the window open and no program run
    // yet; then a program that only sleeps.
    const TIdle idleWindow = IdleCpu(idleSeconds);
    core.Source = QStringLiteral("delay(100000);");
    QMetaObject::invokeMethod(window->findChild<QObject *>("btRun"), "Click");
    Pump(300);
    const TIdle idleDelay = IdleCpu(idleSeconds);
    QMetaObject::invokeMethod(window->findChild<QObject *>("btStop"), "Click");
    Pump(500);

    std::printf("== the game's program in the game window for %d s\n", seconds);
    core.Messages.clear();
    core.Source = Instrumented(core.Program);
    QMetaObject::invokeMethod(window->findChild<QObject *>("btRun"), "Click");
    Pump(300);
    TPaintCounter counter;
    QWidget *background = window->findChild<QWidget *>("imgBackground");
    background->installEventFilter(&counter);
    const double cpu0 = CpuSeconds();
    const TThreadTimes threads0 = ReadThreadTimes();
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
    const TThreadTimes threads1 = ReadThreadTimes();
    QMetaObject::invokeMethod(window->findChild<QObject *>("btStop"), "Click");
    Pump(800);
    std::printf("  whole-process CPU: %.1f%% of one core (at most 25%% wanted)\n", 100.0 * cpu / elapsed);
    Figure("play.cpu_pct", 100.0 * cpu / elapsed);
    std::printf("  asteroids on the field at once: up to %d; the field painted %.0f times a second\n", rocksSeen,
                counter.Paints / elapsed);
    Figure("play.paints_per_s", counter.Paints / elapsed, 0);
    background->removeEventFilter(&counter);
    const QJsonObject counts = QJsonDocument::fromJson(core.Messages.value(0).toUtf8()).object();
    const struct { const char *Key, *Name; double Nominal; } repeaters[] = {
        {"5000", "ship", 200}, {"2000", "missile", 500}, {"4000", "asteroids", 250}};
    for (const auto &r : repeaters) {
        const double rate = counts.value(r.Key).toDouble() / (elapsed + 0.3);
        std::printf("  %-9s repeater: %6.1f calls/s, %5.1f%% of %g\n", r.Name, rate, 100.0 * rate / r.Nominal, r.Nominal);
        Figure(QStringLiteral("play.%1_repeater_pct").arg(QLatin1String(r.Name)), 100.0 * rate / r.Nominal);
    }
    std::printf("  CPU by thread, in %% of one core, and its wakes a second:\n");
    double wakes = 0;
    for (const TThreadShare &t : ThreadShares(threads0, threads1, elapsed)) {
        wakes += t.WakesPerSecond;
        std::printf("    %6.1f%%  %6.0f/s  %s%s\n", t.Percent, t.WakesPerSecond, qPrintable(t.Name),
                    t.Threads > 1 ? qPrintable(QStringLiteral(" (%1 threads)").arg(t.Threads)) : "");
        QString key = t.Name.toLower();
        key.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("_"));
        key.remove(QRegularExpression(QStringLiteral("^_|_$")));
        Figure(QStringLiteral("thread.%1_pct").arg(key), t.Percent);
        Figure(QStringLiteral("thread.%1_wakes_per_s").arg(key), t.WakesPerSecond, 0);
    }
    std::printf("  wakes of all threads: %.0f a second\n", wakes);
    Figure("play.wakes_per_s", wakes, 0);

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
    Figure("paint.median_ms", paints[paints.size() / 2], 3);
    Figure("paint.p99_ms", paints[paints.size() * 99 / 100], 3);

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
        Figure("sound.median_ms", Median(calls), 4);
        Figure("sound.worst_ms", *std::max_element(calls.begin(), calls.end()), 4);
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
        Figure("sound.back_to_back_median_ms", Median(calls), 4);
        Figure("sound.back_to_back_worst_ms", *std::max_element(calls.begin(), calls.end()), 4);
    }

    std::printf("== idle, whole-process CPU over %d s\n", idleSeconds);
    std::printf("  the game window open, no program run yet: %.2f%% of one core (under 1%% wanted)\n",
                idleWindow.Percent);
    std::printf("    by thread: %s\n", qPrintable(Busiest(idleWindow.Threads)));
    std::printf("  a program asleep in delay(100000): %.2f%% of one core (about 0 wanted)\n", idleDelay.Percent);
    std::printf("    by thread: %s\n", qPrintable(Busiest(idleDelay.Threads)));
    Figure("idle.window_cpu_pct", idleWindow.Percent, 2);
    Figure("idle.delay_cpu_pct", idleDelay.Percent, 2);

    std::printf("== summary (name value)\n");
    for (const auto &[name, value] : GSummary)
        std::printf("  %-40s %10s\n", qPrintable(name), qPrintable(value));
    QMetaObject::invokeMethod(asteroids, "Stop");
    delete window;
    return 0;
}
