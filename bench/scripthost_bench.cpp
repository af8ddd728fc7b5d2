// Figures of the script engine: Stop latency per runaway kind, object calls
// per second, delay() accuracy, repeater rate and CPU use. A plain program:
// run it on a quiet machine and read the printed figures.
#include "benchsupport.h"
#include "interfacebase.h"
#include "packetcodes.h"
#include "scripthost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace {

using TClock = std::chrono::steady_clock;

class TCore : public ICore, public IView
{
public:
    bool QueryInterface(const QUuid &, void **O) override { *O = nullptr; return false; }
    int _AddRef() override { return -1; }
    int _Release() override { return -1; }
    QString GetSouceCode() override { return {}; }
    IView *GetView() override { return this; }
    void Add(QObject *) override {}
    void Remove(QObject *) override {}
    void sp_SetToolBar(const QString &) override {}
    void sp_SetSourceCode(const QString &) override {}
    void sp_CodeError(const TValueList *E) override
    {
        std::printf("  script error: %s\n", qPrintable(E->Values(PacketKey::ErrorMsg)));
    }
    void sp_Message(const QString &M) override
    {
        Messages << M;
        LastMessageAt = TClock::now();
    }
    QStringList Messages;
    TClock::time_point LastMessageAt;
};

class TBenchObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Value READ GetValue WRITE SetValue)
    Q_PROPERTY(int Left READ GetLeft WRITE SetLeft)
    Q_PROPERTY(int Top READ GetTop WRITE SetTop)
    Q_PROPERTY(int Height READ GetHeight)
    Q_PROPERTY(bool Visible READ GetVisible WRITE SetVisible)

public:
    using QObject::QObject;
    int GetValue() const { return FValue; }
    void SetValue(int V) { FValue = V; }
    int GetLeft() const { return FLeft; }
    void SetLeft(int V) { FLeft = V; }
    int GetTop() const { return FTop; }
    void SetTop(int V) { FTop = V; }
    int GetHeight() const { return 65; }
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool V) { FVisible = V; }
    Q_INVOKABLE void Mark() { Marks.push_back(TClock::now()); }
    Q_INVOKABLE void Move(int D) { FLeft -= D; }
    Q_INVOKABLE bool CheckCollision(TBenchObject *O) const { return O && O->FLeft == FLeft && O->FTop == FTop; }

    std::vector<TClock::time_point> Marks;

private:
    int FValue = 0, FLeft = 0, FTop = 0;
    bool FVisible = false;
};

double CpuSeconds()
{
    timespec T{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
    return double(T.tv_sec) + double(T.tv_nsec) / 1e9;
}

struct TBench
{
    TCore Core;
    QWidget Window;
    TBenchObject *Ship = new TBenchObject(&Window);
    TBenchObject *Missile = new TBenchObject(&Window);

    TBench() { CreateScriptHost(qApp, &Window, &Core); }

    void Run(const QString &ACode)
    {
        Core.Messages.clear();
        PrepareScriptHost();
        AddObject(Ship, u"Ship");
        AddObject(Missile, u"Missile");
        StartScriptHost(ACode.toStdU16String().c_str());
    }
};

void StopLatency(TBench &B)
{
    std::printf("Stop latency (Stop called until shutdown() has reported back):\n");
    const char *Kinds[][2] = {
        {"busy while(true)", "while (true) {}"},
        {"long delay", "delay(1e9);"},
        {"deep recursion", "function r() { r(); }\nwhile (true) { try { r(); } catch (e) {} }"},
        {"write flood", "while (true) Ship.Value = 1;"},
        {"read flood", "var s = 0; while (true) s += Ship.Value;"},
        {"call flood", "while (true) Ship.Move(1);"},
        {"busy repeater", "createRepeater(2000).OnInterval = function () { while (true) {} };"},
    };
    for (auto &K : Kinds) {
        double Worst = 0, Sum = 0;
        const int N = 10;
        for (int I = 0; I < N; ++I) {
            B.Run(QStringLiteral("function shutdown() { print('down'); }\nprint('go');\n") + QString::fromUtf8(K[1]));
            Until([&] { return B.Core.Messages.size() >= 1; }, 10000);
            Pump(20);
            const auto T0 = TClock::now();
            StopScriptHost();
            if (!Until([&] { return B.Core.Messages.size() >= 2; }, 10000)) {
                std::printf("  %-18s did not stop\n", K[0]);
                break;
            }
            const double Ms = std::chrono::duration<double, std::milli>(B.Core.LastMessageAt - T0).count();
            Worst = std::max(Worst, Ms);
            Sum += Ms;
        }
        std::printf("  %-18s mean %6.2f ms, worst %6.2f ms\n", K[0], Sum / N, Worst);
    }
}

void CallRates(TBench &B)
{
    const int Writes = 400000, Reads = 40000;
    B.Ship->SetValue(0);
    auto T0 = TClock::now();
    B.Run(QStringLiteral("for (var i = 1; i <= %1; i++) Ship.Value = i;").arg(Writes));
    Until([&] { return B.Ship->GetValue() == Writes; }, 120000);
    double S = std::chrono::duration<double>(TClock::now() - T0).count();
    std::printf("Object writes: %.0f per second (%d writes, all carried out on the UI thread)\n", Writes / S, Writes);

    B.Run(QStringLiteral("var s = 0; for (var i = 0; i < %1; i++) s += Ship.Value; print(s);").arg(Reads));
    T0 = TClock::now();
    Until([&] { return !B.Core.Messages.isEmpty(); }, 120000);
    S = std::chrono::duration<double>(B.Core.LastMessageAt - T0).count();
    std::printf("Object reads:  %.0f per second (%d reads, each a round trip)\n", Reads / S, Reads);
}

void Timing(TBench &B)
{
    B.Ship->Marks.clear();
    B.Run(QStringLiteral("for (var i = 0; i < 5; i++) { Ship.Mark(); delay(1000); } Ship.Mark(); print('done');"));
    Until([&] { return !B.Core.Messages.isEmpty(); }, 30000);
    double Worst = 0;
    for (size_t I = 1; I < B.Ship->Marks.size(); ++I) {
        const double Ms = std::chrono::duration<double, std::milli>(B.Ship->Marks[I] - B.Ship->Marks[I - 1]).count();
        Worst = std::max(Worst, std::abs(Ms - 1000.0));
    }
    std::printf("delay(1000): worst error %.3f ms over 5 delays (seen on the UI thread)\n", Worst);

    B.Run(QStringLiteral("var n = 0; createRepeater(2000).OnInterval = function () { n++; };\n"
                         "function setup() { delay(10000); print(n); }"));
    Until([&] { return !B.Core.Messages.isEmpty(); }, 30000);
    const double N = B.Core.Messages.value(0).toDouble();
    std::printf("Repeater at 2000 us over 10 s: %.0f calls, %.2f%% of nominal 5000\n", N, N / 50.0);
    StopScriptHost();
}

void Cpu(TBench &B, const char *AName, const QString &ACode)
{
    B.Run(ACode);
    Pump(300);
    const double C0 = CpuSeconds();
    const auto T0 = TClock::now();
    Pump(5000);
    const double Cpu = CpuSeconds() - C0;
    const double Wall = std::chrono::duration<double>(TClock::now() - T0).count();
    StopScriptHost();
    Pump(100);
    std::printf("CPU, %s: %.1f%% of one core (whole process)\n", AName, 100 * Cpu / Wall);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    std::printf("machine: %d hardware threads\n", QThread::idealThreadCount());
    TBench B;
    StopLatency(B);
    CallRates(B);
    Timing(B);
    Cpu(B, "idle (no run)", QString());
    Cpu(B, "empty loop()", QStringLiteral("function loop() {}"));
    Cpu(B, "game: three repeaters at 2000-5000 us",
        QStringLiteral("createRepeater(5000).OnInterval = function () {\n"
                       "  var d = Keyboard.IsUp ? -1 : (Keyboard.IsDown ? 1 : 0);\n"
                       "  Ship.Top = Ship.Top + d;\n"
                       "  if (Ship.Top < 0) Ship.Top = 0;\n"
                       "  if (Ship.Top + Ship.Height > 320) Ship.Top = 320 - Ship.Height;\n"
                       "};\n"
                       "createRepeater(2000).OnInterval = function () {\n"
                       "  if (Missile.Visible) { Missile.Left = Missile.Left + 1; if (Missile.Left > 480) Missile.Visible = false; return; }\n"
                       "  Missile.Left = 0; Missile.Top = Ship.Top + 20; Missile.Visible = true;\n"
                       "};\n"
                       "createRepeater(4000).OnInterval = function () {\n"
                       "  Ship.Move(1);\n"
                       "  if (Ship.CheckCollision(Missile)) Missile.Visible = false;\n"
                       "  if (Missile.CheckCollision(Ship)) Ship.Visible = false;\n"
                       "};\n"
                       "function loop() {}\n"));
    return 0;
}

#include "scripthost_bench.moc"
