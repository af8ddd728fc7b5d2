// Output floods through the real bus and message pane: a program that logs
// 100,000 lines, programs that log very long lines, and programs that log
// without pause until Stop. Prints the longest stall of the user-interface
// thread's event loop, the lines shown per second and how long Stop takes to
// end the flood (its shutdown() line shown, nothing after it). The first
// argument sets the number of lines of the first program (100,000 by
// default). Goals: no stall over 50 ms, Stop within 20 ms.
#include "benchsupport.h"
#include "core.h"
#include "messages.h"
#include "scripthost.h"
#include "valuelist.h"
#include "view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using TClock = std::chrono::steady_clock;

// Another observer of the bus: sees every line the pane is given.
class TLineCounter : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE void rp_Message(TValueList *AParams)
    {
        ++Lines;
        const QString M = AParams->Values(QStringLiteral("Msg"));
        if (M == QLatin1String("down")) {
            DownAt = TClock::now();
            Down = true;
        } else if (Down) {
            ++AfterDown;
        }
    }
    Q_INVOKABLE void rp_CodeError(TValueList *AParams)
    {
        std::printf("  script error: %s\n", qPrintable(AParams->Values(QStringLiteral("ErrorMsg"))));
    }
    void Reset() { Lines = 0; AfterDown = 0; Down = false; }

    long Lines = 0;
    long AfterDown = 0;
    bool Down = false;
    TClock::time_point DownAt;
};

// The event loop's latency: a 1 ms timer that notes its longest gap.
class TLatency : public QObject
{
public:
    TLatency()
    {
        FTimer.setTimerType(Qt::PreciseTimer);
        FTimer.setInterval(1);
        connect(&FTimer, &QTimer::timeout, this, [this] {
            const auto Now = TClock::now();
            Worst = std::max(Worst, std::chrono::duration<double, std::milli>(Now - FLast).count());
            FLast = Now;
        });
    }
    void Start() { Worst = 0; FLast = TClock::now(); FTimer.start(); }
    double Stop() { FTimer.stop(); return Worst; }
    double Worst = 0;

private:
    QTimer FTimer;
    TClock::time_point FLast;
};

struct TBench
{
    QWidget Window;
    TfrMessages Pane;
    TLineCounter Counter;
    TLatency Latency;

    TBench()
    {
        TCore::Obj()->View()->Add(&Counter);
        CreateScriptHost(qApp, &Window, TCore::Obj());
        Window.show();
        Pane.resize(1000, 180);
    }
    ~TBench() { TCore::Obj()->View()->Remove(&Counter); }

    // The longest time clearing the pane took before a run.
    double WorstClear = 0;

    void Run(const QString &ACode)
    {
        TValueList Clear;
        const auto T0 = TClock::now();
        Pane.rp_ClearErrorMessage(&Clear);
        WorstClear = std::max(WorstClear, std::chrono::duration<double, std::milli>(TClock::now() - T0).count());
        Counter.Reset();
        PrepareScriptHost();
        StartScriptHost(ACode.toStdU16String().c_str());
    }
};

void Lines(TBench &B, long N)
{
    B.Latency.Start();
    const auto T0 = TClock::now();
    B.Run(QStringLiteral("for (var i = 0; i < %1; i++) console.log('line ' + i + ' of the flood');").arg(N));
    const bool Done = Until([&] { return B.Counter.Lines >= N; }, 600000);
    const double S = std::chrono::duration<double>(TClock::now() - T0).count();
    const double Worst = B.Latency.Stop();
    std::printf("%ld lines from one program: %s in %.2f s, %.0f lines shown per second; "
                "longest event-loop stall %.1f ms (goal < 50)\n",
                N, Done ? "all shown" : "NOT all shown", S, B.Counter.Lines / S, Worst);
    std::printf("  the pane holds %lld lines\n", static_cast<long long>(B.Pane.Lines().size()));
}

// A program whose ACount messages (ACode prints them) are all shown before
// it ends.
void LongOutput(TBench &B, const char *AName, long ACount, const QString &ACode)
{
    B.Latency.Start();
    const auto T0 = TClock::now();
    B.Run(ACode);
    const bool Done = Until([&] { return B.Counter.Lines >= ACount; }, 600000);
    const double S = std::chrono::duration<double>(TClock::now() - T0).count();
    Pump(100); // the pane's own work after the last line
    const double Worst = B.Latency.Stop();
    qsizetype Chars = 0;
    const QStringList Shown = B.Pane.Lines();
    for (const QString &L : Shown)
        Chars += L.size();
    std::printf("%s: %s in %.2f s; longest event-loop stall %.1f ms (goal < 50); "
                "the pane holds %lld lines, %lld characters\n",
                AName, Done ? "all shown" : "NOT all shown", S, Worst, static_cast<long long>(Shown.size()),
                static_cast<long long>(Chars));
}

void LongLines(TBench &B, long ACount, long ALength)
{
    const QByteArray Name = QStringLiteral("%1 lines of %2 characters").arg(ACount).arg(ALength).toUtf8();
    LongOutput(B, Name.constData(), ACount,
               QStringLiteral("var s = 'x'.repeat(%1);\nfor (var i = 0; i < %2; i++) console.log(s);").arg(ALength).arg(ACount));
}

void StopInFlood(TBench &B, const char *AName, const QString &AFlood)
{
    double WorstStop = 0, WorstStall = 0, Sum = 0;
    long After = 0, Shown = 0;
    const int Runs = 5;
    for (int I = 0; I < Runs; ++I) {
        B.Run(QStringLiteral("var i = 0;\nfunction shutdown() { console.log('down'); }\n") + AFlood);
        B.Latency.Start();
        Pump(1000);
        const auto T0 = TClock::now();
        StopScriptHost();
        const bool Down = Until([&] { return B.Counter.Down; }, 60000);
        Pump(300);
        WorstStall = std::max(WorstStall, B.Latency.Stop());
        if (!Down) {
            std::printf("  %-22s shutdown() line never shown\n", AName);
            return;
        }
        const double Ms = std::chrono::duration<double, std::milli>(B.Counter.DownAt - T0).count();
        WorstStop = std::max(WorstStop, Ms);
        Sum += Ms;
        After += B.Counter.AfterDown;
        Shown += B.Counter.Lines;
    }
    std::printf("  %-22s Stop to shutdown() line shown: mean %7.2f ms, worst %7.2f ms (goal < 20); "
                "%ld lines after it; longest stall %.1f ms; %.0f lines shown per second before Stop\n",
                AName, Sum / Runs, WorstStop, After, WorstStall, Shown / double(Runs));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const long N = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    TBench B;
    Lines(B, N);
    LongLines(B, 10, 1000000);
    LongLines(B, 20, 100000);
    LongLines(B, 2000, 5000); // a flood of lines that are all cut
    LongOutput(B, "one message of 1,000,000 line breaks", 1, QStringLiteral("console.log('\\n'.repeat(1000000));"));
    LongOutput(B, "one message of 200 lines of 5,000 characters", 1,
               QStringLiteral("console.log(('x'.repeat(5000) + '\\n').repeat(200));"));
    std::printf("Stop in mid-flood (1 s of flood, then Stop):\n");
    StopInFlood(B, "console.log in loop()", QStringLiteral("function loop() { console.log('x ' + i++); }"));
    StopInFlood(B, "while (true) log", QStringLiteral("while (true) console.log('x ' + i++);"));
    StopInFlood(B, "log and writes", QStringLiteral("while (true) { console.log('x ' + i++); digitalWrite(13, i % 2); }"));
    StopScriptHost();
    Pump(100);
    std::printf("Clearing the pane before a run (Run's own step): worst %.1f ms\n", B.WorstClear);
    return 0;
}

#include "flood_bench.moc"
