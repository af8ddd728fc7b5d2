// The run as a learner meets it: phases in order, a fresh environment per
// run, errors with their lines, and Stop in every situation.
#include "runstate.h"
#include "scripthostfixture.h"

#include <QDir>
#include <QRegularExpression>
#include <QTimer>
#include <condition_variable>
#include <thread>

// A value whose text the test hands out: the script's String() of it stays
// inside that one built-in call, deaf to Stop, until the gate opens.
struct TGatedValue
{
};

class TGatedProbe : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TGatedValue Value READ GetValue)

public:
    using QObject::QObject;
    TGatedValue GetValue() const { return {}; }
};

namespace {

class TGate
{
public:
    TGate()
    {
        static const bool Converts = QMetaType::registerConverter<TGatedValue, QString>([](const TGatedValue &) {
            Current->Pass();
            return QStringLiteral("gated");
        });
        EXPECT_TRUE(Converts);
        Current = this;
    }
    // Never leaves a thread waiting.
    ~TGate() { Open(); }
    void Shut()
    {
        std::lock_guard L(FLock);
        FEntered = FOpen = false;
    }
    bool Entered() const
    {
        std::lock_guard L(FLock);
        return FEntered;
    }
    bool IsOpen() const
    {
        std::lock_guard L(FLock);
        return FOpen;
    }
    void Open()
    {
        std::lock_guard L(FLock);
        FOpen = true;
        FChanged.notify_all();
    }
    // Opens when told to, or once AMs have passed.
    void OpenWithin(int AMs)
    {
        std::unique_lock L(FLock);
        FChanged.wait_for(L, std::chrono::milliseconds(AMs), [this] { return FOpen; });
        FOpen = true;
        FChanged.notify_all();
    }

private:
    void Pass()
    {
        std::unique_lock L(FLock);
        FEntered = true;
        FChanged.wait(L, [this] { return FOpen; });
    }

    static inline TGate *Current = nullptr;
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    bool FEntered = false;
    bool FOpen = false;
};

int ScriptRunThreads()
{
    int N = 0;
    const QDir Tasks(QStringLiteral("/proc/self/task"));
    for (const QString &T : Tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile Name(Tasks.filePath(T + QStringLiteral("/comm")));
        N += Name.open(QIODevice::ReadOnly) && Name.readAll().trimmed() == "ScriptRun";
    }
    return N;
}

TEST_F(ScriptHostTest, PhasesRunInOrderAndShutdownOnStop)
{
    Run(QStringLiteral("print('top');\n"
                       "function setup() { print('setup'); }\n"
                       "var n = 0;\n"
                       "function loop() { if (n < 3) print('loop ' + n); n++; }\n"
                       "function shutdown() { print('shutdown'); }\n"));
    ASSERT_TRUE(WaitForMessages(5));
    StopScriptHost();
    ASSERT_TRUE(WaitForMessages(6));
    EXPECT_EQ(Core.Messages, QStringList({"top", "setup", "loop 0", "loop 1", "loop 2", "shutdown"}));
    EXPECT_TRUE(Core.Errors.empty());
    EXPECT_FALSE(Core.WrongThread);
}

TEST_F(ScriptHostTest, ProgramWithoutLoopEndsAndShutsDownOnce)
{
    Run(QStringLiteral("function setup() { print('setup'); }\n"
                       "function shutdown() { print('shutdown'); }\n"),
        {}, true);
    ASSERT_TRUE(WaitForRunsToEnd());
    StopScriptHost(); // no run any more: nothing happens
    StopScriptHost();
    EXPECT_EQ(Core.Messages, QStringList({"setup", "shutdown"}));
}

TEST_F(ScriptHostTest, EachRunStartsFromAFreshEnvironment)
{
    Run(QStringLiteral("var kept = 41; print(typeof kept);"));
    ASSERT_TRUE(WaitForMessages(1));
    Run(QStringLiteral("print(typeof kept); print(typeof setup);"));
    ASSERT_TRUE(WaitForMessages(3));
    EXPECT_EQ(Core.Messages, QStringList({"number", "undefined", "undefined"}));
}

TEST_F(ScriptHostTest, StartDuringARunEndsTheOldRunFirst)
{
    Run(QStringLiteral("function loop() { }\nfunction shutdown() { print('old shutdown'); }\nprint('old top');"));
    ASSERT_TRUE(WaitForMessages(1));
    Run(QStringLiteral("print('new top');"));
    ASSERT_TRUE(WaitForMessages(3));
    EXPECT_EQ(Core.Messages, QStringList({"old top", "old shutdown", "new top"}));
}

TEST_F(ScriptHostTest, ConsoleLogJoinsItsArguments)
{
    Run(QStringLiteral("console.log('a', 1, true, null, {x: 2}, [1, 2]);"));
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("a 1 true null {\"x\":2} [1,2]"));
}

TEST_F(ScriptHostTest, ScriptsReachNoHostFacilities)
{
    Run(QStringLiteral("print([typeof require, typeof XMLHttpRequest, typeof Qt, typeof process,"
                       " typeof importScripts].join(','));"));
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("undefined,undefined,undefined,undefined,undefined"));
}

// --- errors ------------------------------------------------------------------

struct TErrorCase
{
    const char *Name;
    const char *Code;
    int Line;
    const char *Text;
    const char *MsgPart;
};

class ScriptErrorTest : public ScriptHostTest, public ::testing::WithParamInterface<TErrorCase>
{
};

TEST_P(ScriptErrorTest, ReportsLineMessageAndTextAndEndsTheRun)
{
    const TErrorCase &C = GetParam();
    Run(QString::fromUtf8(C.Code), {}, true);
    ASSERT_TRUE(WaitForRunsToEnd());
    ASSERT_EQ(Core.Errors.size(), 1u);
    EXPECT_EQ(Core.Errors[0].LineNo, C.Line);
    EXPECT_EQ(Core.Errors[0].ErrorText, QString::fromUtf8(C.Text));
    EXPECT_TRUE(Core.Errors[0].ErrorMsg.contains(QString::fromUtf8(C.MsgPart))) << qPrintable(Core.Errors[0].ErrorMsg);
    EXPECT_FALSE(Core.WrongThread);
}

INSTANTIATE_TEST_SUITE_P(
    Phases, ScriptErrorTest,
    ::testing::Values(
        TErrorCase{"Syntax", "var a = 1;\r\nvar b = ;\r\n", 2, "var b = ;", "SyntaxError"},
        TErrorCase{"TopLevel", "var a = 1;\n\nnothing.here = 2;\n", 3, "nothing.here = 2;", "ReferenceError"},
        TErrorCase{"Setup", "function setup() {\n  null.x;\n}\n", 2, "  null.x;", "TypeError"},
        TErrorCase{"Loop", "var n = 0;\nfunction loop() {\n  if (++n == 5)\n    throw new Error('five');\n}\n", 4,
                   "    throw new Error('five');", "five"},
        TErrorCase{"ThrownValue", "function setup() {\n  throw 42;\n}\n", 2, "  throw 42;", "42"},
        TErrorCase{"ThrownValueInLoop", "function loop() {\n  throw 'stop';\n}\n", 2, "  throw 'stop';", "stop"},
        TErrorCase{"Repeater", "createRepeater(2000).OnInterval = function () {\n  undefinedFn();\n};\n", 2,
                   "  undefinedFn();", "undefinedFn"},
        TErrorCase{"RepeaterDuringDelay",
                   "createRepeater(2000).OnInterval = function () {\n  bad();\n};\nfunction loop() {\n  delay(100000);\n}\n",
                   2, "  bad();", "bad"},
        TErrorCase{"Shutdown", "function shutdown() {\n  x.y;\n}\n", 2, "  x.y;", "x"},
        TErrorCase{"BadPin", "function setup() {\n  digitalWrite(99, HIGH);\n}\n", 2, "  digitalWrite(99, HIGH);",
                   "no pin 99"},
        TErrorCase{"DeepRecursion", "function r(n) { return r(n + 1) + 1; }\nr(0);\n", 1,
                   "function r(n) { return r(n + 1) + 1; }", "RangeError"},
        TErrorCase{"LineSeparators", "var a = 1;\u2028var b = c;\n", 2, "var b = c;", "ReferenceError"}),
    [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(ScriptHostTest, ShutdownRunsOnceAfterAnError)
{
    Run(QStringLiteral("function loop() { boom(); }\nfunction shutdown() { print('down'); }\n"), {}, true);
    ASSERT_TRUE(WaitForRunsToEnd());
    EXPECT_EQ(Core.Messages, QStringList{"down"});
    EXPECT_EQ(Core.Errors.size(), 1u);
}

// --- stop ------------------------------------------------------------------------

struct TStopCase
{
    const char *Name;
    const char *Code;
};

class ScriptStopTest : public ScriptHostTest, public ::testing::WithParamInterface<TStopCase>
{
};

// The program signals that it is under way, then runs away; Stop must end it
// and let shutdown() run, and never report the interruption as an error.
TEST_P(ScriptStopTest, StopEndsTheRunawayAndRunsShutdown)
{
    auto *P = new TProbe(Window.get());
    P->setObjectName("Probe");
    Run(QStringLiteral("function shutdown() { print('down'); }\nprint('going');\n") + QString::fromUtf8(GetParam().Code),
        {P});
    ASSERT_TRUE(WaitForMessages(1));
    QTest::qWait(30); // most likely into the runaway by then; Stop must end the run either way
    StopScriptHost();
    ASSERT_TRUE(WaitForMessages(2));
    EXPECT_EQ(Core.Messages, QStringList({"going", "down"}));
    EXPECT_TRUE(Core.Errors.empty()) << qPrintable(Core.Errors.empty() ? QString() : Core.Errors[0].ErrorMsg);
    // A new run works afterwards.
    Run(QStringLiteral("print('again');"));
    ASSERT_TRUE(WaitForMessages(3));
}

INSTANTIATE_TEST_SUITE_P(
    Runaways, ScriptStopTest,
    ::testing::Values(TStopCase{"BusyLoop", "while (true) {}"},
                      TStopCase{"CatchingLoop", "while (true) { try { while (true) {} } catch (e) {} }"},
                      TStopCase{"LongDelay", "delay(1e9);"},
                      TStopCase{"DelayInLoop", "function loop() { delay(100000); }"},
                      TStopCase{"Recursion", "function r() { r(); }\nwhile (true) { try { r(); } catch (e) {} }"},
                      TStopCase{"WriteFlood", "while (true) Probe.Value = 1;"},
                      TStopCase{"ReadFlood", "var s = 0; while (true) s += Probe.Value;"},
                      TStopCase{"CallFlood", "while (true) Probe.Start(1);"},
                      TStopCase{"BusyRepeater", "createRepeater(2000).OnInterval = function () { while (true) {} };"}),
    [](const auto &Info) { return std::string(Info.param.Name); });

// A shutdown() that never ends is cut off at the give-up time and reported,
// when it calls delay(), on the line it was on: the cut waits for its next
// delay() when the give-up time finds it running script (here half of the
// time); the run still ends as any run does, not given up.
TEST_F(ScriptHostTest, RunawayShutdownIsCutOffAtItsTimeLimit)
{
    TraceCapture Trace;
    const QString Spinning = QStringLiteral("  while (true) { delay(10); for (var t = Date.now(); Date.now() - t < 10;) spins++; }");
    Run(QStringLiteral("function shutdown() {\n"
                       "  var spins = 0;\n")
            + Spinning
            + QStringLiteral("\n"
                             "}\n"
                             "function loop() {}\n"
                             "print('going');\n"),
        {}, true);
    ASSERT_TRUE(WaitForMessages(1)); // under way, so shutdown() is defined
    StopScriptHost();
    ASSERT_TRUE(WaitForRunsToEnd());
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(Core.Errors.size(), 1u);
    EXPECT_EQ(Core.Errors[0].LineNo, 3);
    EXPECT_EQ(Core.Errors[0].ErrorText, Spinning) << qPrintable(Core.Errors[0].ErrorText);
    EXPECT_TRUE(Core.Errors[0].ErrorMsg.contains("shutdown()")) << qPrintable(Core.Errors[0].ErrorMsg);
    EXPECT_TRUE(Core.Errors[0].ErrorMsg.contains("stopped")) << qPrintable(Core.Errors[0].ErrorMsg);
    EXPECT_TRUE(Trace.lines().filter("given up").isEmpty()) << qPrintable(Trace.lines().join(""));
    Run(QStringLiteral("print('next');"));
    ASSERT_TRUE(WaitForMessages(2));
}

// shutdown() may take as long as a stopped run may take to end.
TEST_F(ScriptHostTest, ShutdownMayTakeAsLongAsAStoppedRunMayTakeToEnd)
{
    Run(QStringLiteral("function shutdown() { delay(1000); print('done'); }\nfunction loop() {}\nprint('going');\n"), {},
        true);
    ASSERT_TRUE(WaitForMessages(1));
    StopScriptHost();
    ASSERT_TRUE(WaitForRunsToEnd());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Core.Messages, QStringList({"going", "done"})) << qPrintable(Core.Messages.join(" | "));
    EXPECT_TRUE(Core.Errors.empty()) << qPrintable(Core.Errors.empty() ? QString() : Core.Errors[0].ErrorMsg);
}

// Stop resets the board before shutdown() runs: what shutdown() writes stays.
TEST_F(ScriptHostTest, StopResetsTheBoardBeforeShutdownRuns)
{
    TPinBoard *Board = TPinBoard::For(Window.get());
    Run(QStringLiteral("var n = 0;\n"
                       "function loop() {\n"
                       "  digitalWrite(12, HIGH);\n"
                       "  digitalWrite(13, LOW);\n"
                       "  if (n++ == 0) print('looping');\n"
                       "  delay(5);\n"
                       "}\n"
                       "function shutdown() { digitalWrite(13, HIGH); }\n"),
        {}, true);
    ASSERT_TRUE(WaitForMessages(1));
    StopScriptHost();
    ASSERT_TRUE(WaitForRunsToEnd());
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(Board->IsHigh(12)); // reset
    EXPECT_TRUE(Board->IsHigh(13));  // written by shutdown() after the reset
}

// What the program printed before Stop and the UI thread has not shown yet
// is shown, in order, before shutdown()'s lines, up to the bound of waiting
// lines; the lines beyond it are counted in one line.
TEST_F(ScriptHostTest, LinesPrintedBeforeStopAreShownBeforeShutdownsLines)
{
    // Runs ACode while the UI thread takes no events, so that none of its
    // lines is shown before Stop; then stops it and waits for the run's end.
    // shutdown()'s line tells whether the program got as far as the case
    // needs before Stop; a slow start is given longer, never taken for a fault.
    auto StopWhileLinesWait = [&](const QString &ACode) {
        for (int HoldMs = 150;; HoldMs *= 4) {
            Core.Messages.clear();
            Run(ACode, {}, true);
            QThread::msleep(HoldMs * TimeScale());
            StopScriptHost();
            if (!WaitForRunsToEnd())
                return false;
            QCoreApplication::sendPostedEvents();
            if (Core.Messages.contains("down true") || HoldMs >= 2400)
                return true;
        }
    };

    // Twenty lines, then loop(): every line waits when Stop comes.
    ASSERT_TRUE(StopWhileLinesWait(QStringLiteral("var looping = false;\n"
                                                  "for (var i = 0; i < 20; i++) print('line ' + i);\n"
                                                  "function loop() { looping = true; }\n"
                                                  "function shutdown() { print('down ' + looping); }\n")));
    QStringList Expected;
    for (int I = 0; I < 20; ++I)
        Expected << QStringLiteral("line %1").arg(I);
    EXPECT_EQ(Core.Messages, Expected + QStringList{"down true"}) << qPrintable(Core.Messages.join(" | "));

    // More lines than may wait: the program is held at the bound until Stop.
    const int Bound = int(KReportsHigh);
    ASSERT_TRUE(StopWhileLinesWait(QStringLiteral("var i = 0;\n"
                                                  "function shutdown() { print('down ' + (i >= %1)); }\n"
                                                  "for (; i < %2; i++) print('line ' + i);\n")
                                       .arg(Bound)
                                       .arg(Bound + 500)));
    ASSERT_EQ(Core.Messages.size(), Bound + 2) << qPrintable(Core.Messages.mid(Bound - 2).join('\n'));
    Expected.clear();
    for (int I = 0; I < Bound; ++I)
        Expected << QStringLiteral("line %1").arg(I);
    EXPECT_EQ(Core.Messages.mid(0, Bound), Expected) << qPrintable(Core.Messages.mid(0, 5).join(" | "));
    static const QRegularExpression KNote(QStringLiteral("^(\\d+) lines? .*(were|was) not shown$"));
    const auto Note = KNote.match(Core.Messages[Bound]);
    ASSERT_TRUE(Note.hasMatch()) << qPrintable(Core.Messages[Bound]);
    EXPECT_GE(Note.captured(1).toInt(), 1);
    EXPECT_EQ(Core.Messages.back(), "down true") << qPrintable(Core.Messages.back());
}

TEST_F(ScriptHostTest, StopWithoutRunDoesNothing)
{
    StopScriptHost();
    StopScriptHost();
    PrepareScriptHost();
    StopScriptHost();
    QTest::qWait(20);
    EXPECT_TRUE(Core.Messages.isEmpty());
    EXPECT_TRUE(Core.Errors.empty());
}

TEST_F(ScriptHostTest, WindowClosedDuringARun)
{
    auto *P = new TProbe(Window.get());
    P->setObjectName("Probe");
    Run(QStringLiteral("function shutdown() { Probe.Value = 5; print('never'); }\n"
                       "function loop() { Probe.Value = Probe.Value + 1; }"),
        {P});
    ASSERT_TRUE(processEventsUntil([&] { return P->Writes.size() > 10; }));
    Window.reset(); // frees the probe and the engine together
    QTest::qWait(50);
    StopScriptHost(); // the engine went with its window: nothing to act on
    EXPECT_TRUE(Core.Messages.isEmpty());
}

// The window goes while its program is inside a built-in call that does not
// look at Stop: the UI thread is free at once, and the run, ending later,
// touches nothing of the window; then its thread ends.
TEST_F(ScriptHostTest, WindowClosedDuringALongBuiltInCallGoesAtOnce)
{
    static TGate Gate;
    Gate.Shut();
    auto *P = new TProbe(Window.get());
    P->setObjectName("Probe");
    auto *G = new TGatedProbe(Window.get());
    G->setObjectName("Gated");
    const int Threads = ScriptRunThreads();
    Run(QStringLiteral("function shutdown() { print('down'); }\n"
                       "function loop() { Probe.Value = 1; String(Gated.Value); Probe.Value = 2; print('after'); }"),
        {P, G});
    ASSERT_TRUE(processEventsUntil([&] { return Gate.Entered(); }));
    EXPECT_EQ(P->Writes, QList<int>{1});

    // The run is held for half the give-up time at the most: a close that
    // waited on it would return only after it was let go.
    std::thread Holder([&] { Gate.OpenWithin(KGiveUpMs / 2); });
    Window.reset(); // frees the probes
    EXPECT_FALSE(Gate.IsOpen()) << "the close waited for the run";
    bool Free = false, FreeFirst = false;
    QObject Context;
    QTimer::singleShot(0, &Context, [&] { Free = true, FreeFirst = !Gate.IsOpen(); });
    EXPECT_TRUE(processEventsUntil([&] { return Free; }));
    EXPECT_TRUE(FreeFirst) << "the UI thread was held until the run was let go";
    Gate.Open();
    Holder.join();

    EXPECT_TRUE(processEventsUntil([&] { return ScriptRunThreads() <= Threads; })) << "the run's thread never ended";
    EXPECT_TRUE(Core.Messages.isEmpty()) << qPrintable(Core.Messages.join('|'));
    EXPECT_TRUE(Core.Errors.empty());
}

TEST_F(ScriptHostTest, ThousandStartStopCycles)
{
    auto *P = new TProbe(Window.get());
    P->setObjectName("Probe");
    for (int I = 1; I <= 1000; ++I) {
        Run(QStringLiteral("function loop() { Probe.Value = %1; }").arg(I), {P});
        // Every run gets under way before it is stopped; some are stopped at once.
        if (I % 4 != 0) {
            ASSERT_TRUE(processEventsUntil([&] { return !P->Writes.isEmpty() && P->Writes.last() == I; }));
        }
        StopScriptHost();
    }
    Run(QStringLiteral("print(Probe.Fixed);"), {P});
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages, QStringList{"7"});
    EXPECT_TRUE(Core.Errors.empty());
    EXPECT_FALSE(P->WrongThread);
}

} // namespace

#include "moc_scripthostfixture.cpp"
#include "tst_scriptrun.moc"
