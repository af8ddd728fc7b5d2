// What the learner sees in the host's real message pane: the exact lines of
// each kind of error, lines too long or too many cut, a flood of lines that
// Stop ends at once, a program that takes too much memory, and the board and
// keyboard around a run.
#include "controls.h"
#include "core.h"
#include "messages.h"
#include "programstandins.h"
#include "runstate.h"
#include "scripthostfixture.h"
#include "shownlines.h"
#include "valuelist.h"
#include "view.h"

#include <QKeyEvent>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>

namespace {

// A module window on the host's real core, view and message pane. Every run
// has the probe's functions, which tell when it has ended.
class PaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Window = std::make_unique<QWidget>();
        Screen = new TStandInScreen(Window.get());
        Screen->resize(480, 320);
        Ship = new TStandInSprite(Screen, 122, 65);
        Probe = new TProbe(Window.get());
        CreateScriptHost(qApp, Window.get(), TCore::Obj());
    }
    void TearDown() override
    {
        StopScriptHost();
        Window.reset();
    }
    void Run(const QString &ACode)
    {
        TValueList Clear;
        Pane.rp_ClearErrorMessage(&Clear);
        PrepareScriptHost();
        AddGlobalFunctions(&TProbeFunctions::staticMetaObject);
        AddObject(Screen, u"Screen");
        AddObject(Ship, u"Ship");
        AddObject(Probe, u"Probe");
        StartScriptHost(ACode.toStdU16String().c_str());
    }
    bool WaitForLines(qsizetype ACount)
    {
        return processEventsUntil([&] { return Pane.Lines().size() >= ACount; });
    }

    TfrMessages Pane;
    std::unique_ptr<QWidget> Window;
    TStandInScreen *Screen = nullptr;
    TStandInSprite *Ship = nullptr;
    TProbe *Probe = nullptr;
};

struct TDiagnosis
{
    const char *Name;
    const char *Code;
    std::vector<const char *> Lines; // the pane's lines, exactly
};

class DiagnosticsTest : public PaneTest, public ::testing::WithParamInterface<TDiagnosis>
{
};

TEST_P(DiagnosticsTest, ThePaneShowsTheseLines)
{
    QStringList Expected;
    for (const char *L : GetParam().Lines)
        Expected << QString::fromUtf8(L);
    Run(QString::fromUtf8(GetParam().Code));
    ASSERT_TRUE(WaitForRunsToEnd());
    QCoreApplication::sendPostedEvents(); // the lines the bus still carries
    EXPECT_EQ(Pane.Lines(), Expected) << qPrintable(Pane.Lines().join(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Programs, DiagnosticsTest,
    ::testing::Values(
        TDiagnosis{"Syntax", "var a = 1;\nvar b = ;\n",
                   {"* Error: SyntaxError: Expected token `numeric literal'", "  - Line no: 2", "    var b = ;"}},
        TDiagnosis{"TopLevel", "var a = 1;\nnothing.here = 2;\n",
                   {"* Error: ReferenceError: nothing is not defined", "  - Line no: 2", "    nothing.here = 2;"}},
        TDiagnosis{"Setup", "function setup() {\n  null.x;\n}\n",
                   {"* Error: TypeError: Cannot read property 'x' of null", "  - Line no: 2", "      null.x;"}},
        TDiagnosis{"Loop", "var n = 0;\nfunction loop() {\n  if (++n == 3) throw new Error('three');\n}\n",
                   {"* Error: Error: three", "  - Line no: 3", "      if (++n == 3) throw new Error('three');"}},
        TDiagnosis{"Repeater", "createRepeater(2000).OnInterval = function () {\n  tick();\n};\n",
                   {"* Error: ReferenceError: tick is not defined", "  - Line no: 2", "      tick();"}},
        TDiagnosis{"Shutdown", "function shutdown() {\n  print('down');\n  x.y;\n}\n",
                   {"down", "* Error: ReferenceError: x is not defined", "  - Line no: 3", "      x.y;"}},
        // A member that fails on the user-interface thread, as the last statement.
        TDiagnosis{"FailingLastCall", "print('before');\nProbe.Fail();\n",
                   {"before", "* Error: Error: probe failed", "  - Line no: 2", "    Probe.Fail();"}},
        TDiagnosis{"ObjectOfTheWrongClass", "var hit = Ship.CheckCollision(Screen);\n",
                   {"* Error: TypeError: Ship.CheckCollision takes a TStandInSprite, not Screen", "  - Line no: 1",
                    "    var hit = Ship.CheckCollision(Screen);"}},
        TDiagnosis{"NumberForAnObject", "\nShip.CheckCollision(5);\n",
                   {"* Error: TypeError: Ship.CheckCollision takes a TStandInSprite, not 5", "  - Line no: 2",
                    "    Ship.CheckCollision(5);"}},
        TDiagnosis{"DelayText", "delay(\"x\");\n",
                   {"* Error: TypeError: delay() takes a number of milliseconds, not \"x\"", "  - Line no: 1",
                    "    delay(\"x\");"}},
        TDiagnosis{"DelayNegative", "delay(-1);\n",
                   {"* Error: RangeError: delay() takes a time that is not negative, not -1", "  - Line no: 1",
                    "    delay(-1);"}},
        TDiagnosis{"DelayNothing", "function loop() {\n  delay();\n}\n",
                   {"* Error: TypeError: delay() takes the time to wait in milliseconds, and none was given",
                    "  - Line no: 2", "      delay();"}},
        TDiagnosis{"DigitalWriteWithoutLevel", "digitalWrite(13);\n",
                   {"* Error: TypeError: digitalWrite() takes a pin and HIGH or LOW, not only a pin",
                    "  - Line no: 1", "    digitalWrite(13);"}},
        TDiagnosis{"OnIntervalGivenACall",
                   "function tick() {\n}\ncreateRepeater(2000).OnInterval = tick();\n",
                   {"* Error: TypeError: OnInterval takes a function, not undefined (name the function without "
                    "calling it: OnInterval = tick;)",
                    "  - Line no: 3", "    createRepeater(2000).OnInterval = tick();"}},
        // The engine's fill() is replaced by one that Stop can interrupt.
        TDiagnosis{"FillStillFills", "print([1, 2, 3, 4].fill(0, 1, -1).join(), [1, 2].fill(9).join());\n",
                   {"1,0,0,4 9,9"}},
        // The call that overflowed, not the function's first line.
        TDiagnosis{"DeepRecursion", "function down(n) {\n  var m = n + 1;\n  return down(m);\n}\ndown(0);\n",
                   {"* Error: RangeError: Maximum call stack size exceeded.", "  - Line no: 3", "      return down(m);"}}),
    [](const auto &Info) { return std::string(Info.param.Name); });

// The time figures (the event loop's longest stall, how soon Stop ends the
// flood) are flood_bench's; here, what decides them.
TEST_F(PaneTest, AFloodOfLinesNeitherFreezesTheHostNorOutlastsStop)
{
    Run(QStringLiteral("var i = 1;\nfunction shutdown() { print('down'); }\nwhile (true) console.log(i++);\n"));
    // The lines shown so far: each line is its own number.
    auto Shown = [&] { return Pane.Lines().isEmpty() ? 0 : Pane.Lines().back().toLongLong(); };
    // The engine hands the pane the program's lines in slices and lets the
    // event loop turn between them, however fast the program writes: each
    // shot of a zero-interval timer is a turn, and no turn carries more
    // lines than the engine lets wait.
    qint64 Last = 0, Most = 0;
    QTimer Turn;
    QObject::connect(&Turn, &QTimer::timeout, [&] {
        Most = std::max(Most, Shown() - Last);
        Last = Shown();
    });
    Turn.start(0);
    ASSERT_TRUE(processEventsUntil([&] { return Shown() >= qint64(4 * KReportsHigh); }));
    Turn.stop();
    EXPECT_LE(Most, qint64(KReportsHigh));

    // Stop ends the flood: the lines still waiting come first, then
    // shutdown()'s line, and nothing of the run after it once the run has
    // ended and the bus has delivered all it had.
    StopScriptHost();
    ASSERT_TRUE(processEventsUntil([&] { return Pane.Lines().back() == "down"; }));
    ASSERT_TRUE(WaitForRunsToEnd());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Pane.Lines().back(), "down");
}

// Lines too long to read, and messages of too many lines, are cut with a
// note of what was cut: the pane holds the beginnings, however much the
// program printed.
TEST_F(PaneTest, PrintedLinesTooLongOrTooManyAreCutWithANote)
{
    using namespace ShownLines;
    Run(QStringLiteral("var s = 'x'.repeat(1000000);\n"
                       "for (var i = 0; i < 10; i++) print(s);\n"
                       "print('a\\n'.repeat(1000000) + 'end');\n"));
    ASSERT_TRUE(WaitForRunsToEnd());
    QCoreApplication::sendPostedEvents();
    const QStringList Lines = Pane.Lines();
    const QString Cut = QString(KKeptChars, u'x') + QStringLiteral("… (%1 more characters not shown)")
                                                        .arg(QLocale(QLocale::English).toString(1000000 - KKeptChars));
    ASSERT_EQ(Lines.size(), 10 + KMostLines);
    // Compared, not printed: on failure the lines are megabytes long.
    EXPECT_TRUE(Lines.mid(0, 10) == QStringList(10, Cut)) << Lines[0].size();
    EXPECT_TRUE(Lines.mid(10, KMostLines - 1) == QStringList(KMostLines - 1, QStringLiteral("a")));
    // The message's 1,000,001 lines, of which the pane shows 99.
    EXPECT_EQ(Lines.back(), QStringLiteral("… (%1 more lines not shown)")
                                .arg(QLocale(QLocale::English).toString(1000001 - (KMostLines - 1))));
}

// An error on a program line too long to read shows its beginning.
TEST_F(PaneTest, AnErrorOnAVeryLongLineShowsTheLineCut)
{
    using namespace ShownLines;
    const QString Line = QStringLiteral("var s = '%1'; nothing.here = 2;").arg(QString(1000000, u'y'));
    Run(Line + QLatin1Char('\n'));
    ASSERT_TRUE(WaitForRunsToEnd());
    QCoreApplication::sendPostedEvents();
    const QStringList Lines = Pane.Lines();
    ASSERT_EQ(Lines.size(), 3);
    EXPECT_EQ(Lines[0], "* Error: ReferenceError: nothing is not defined");
    EXPECT_EQ(Lines[1], "  - Line no: 1");
    const QString Note = QStringLiteral("… (%1 more characters not shown)")
                             .arg(QLocale(QLocale::English).toString(Line.size() - KKeptChars));
    EXPECT_TRUE(Lines[2] == QStringLiteral("    ") + Line.left(KKeptChars) + Note)
        << Lines[2].size() << " " << qPrintable(Lines[2].right(60));
}

TEST_F(PaneTest, AProgramThatTakesTooMuchMemoryIsStoppedAndTheNextRunWorks)
{
    qputenv("KB_SCRIPT_MEMORY_LIMIT_MB", "200");
    for (const char *Code : {"var s = 'x';\nwhile (true) s = s + s + 'y';\n", "var a = new Array(5e8).fill(1);\n"}) {
        Run(QStringLiteral("function shutdown() { print('down'); }\n") + QString::fromUtf8(Code));
        ASSERT_TRUE(WaitForLines(2)) << Code;
        EXPECT_EQ(Pane.Lines(), (QStringList{"* Error : The program took more than 200 MB of memory and was stopped",
                                             "down"}));
    }
    qunsetenv("KB_SCRIPT_MEMORY_LIMIT_MB");
    Run(QStringLiteral("print('again');"));
    ASSERT_TRUE(WaitForLines(1));
    EXPECT_EQ(Pane.Lines(), QStringList{"again"});
}

TEST_F(PaneTest, StopResetsTheBoardButAnErrorOrAnEndLeavesIt)
{
    QWidget *Led = CreateObject(Window.get(), u"TLED", u"Color=red", nullptr);
    Led->setParent(Window.get());
    auto Lit = [&] { return Led->property("Lit").toBool(); };
    auto RunLit = [&](const char *ARest) {
        PrepareScriptHost();
        AddGlobalFunctions(&TProbeFunctions::staticMetaObject);
        AddObject(Led, u"LED");
        StartScriptHost(QString::fromUtf8("LED.minus = pin(GND);\nLED.plus = pin(13);\ndigitalWrite(13, HIGH);\n%1")
                            .arg(QString::fromUtf8(ARest))
                            .toStdU16String()
                            .c_str());
    };
    RunLit("function loop() {}\n");
    ASSERT_TRUE(processEventsUntil(Lit));
    StopScriptHost();
    ASSERT_TRUE(processEventsUntil([&] { return !Lit(); }));
    EXPECT_FALSE(TPinBoard::For(Window.get())->IsHigh(13));

    RunLit("boom();\n");
    ASSERT_TRUE(WaitForRunsToEnd());
    EXPECT_TRUE(Lit());
    RunLit("");
    ASSERT_TRUE(WaitForRunsToEnd());
    EXPECT_TRUE(Lit());
}

TEST_F(PaneTest, KeysTypedIntoTheHostsEditorDoNotReachKeyboard)
{
    QWidget HostWindow;
    auto *Editor = new QPlainTextEdit(&HostWindow);
    HostWindow.show();
    Window->show();
    Run(QStringLiteral("function loop() { Probe.Caption = [Keyboard.IsUp, Keyboard.IsDown, Keyboard.IsFire].join(); }"));
    ASSERT_TRUE(processEventsUntil([&] { return Probe->GetCaption() == "false,false,false"; }));
    auto Key = [](QWidget *ATo, QEvent::Type AType, int AKey, const QString &AText = {}) {
        QKeyEvent E(AType, AKey, Qt::NoModifier, AText);
        QCoreApplication::sendEvent(ATo, &E);
    };
    QApplication::setActiveWindow(&HostWindow);
    Editor->setFocus();
    Key(Editor, QEvent::KeyPress, Qt::Key_Space, QStringLiteral(" "));
    Key(Editor, QEvent::KeyPress, Qt::Key_Up);
    QTest::qWait(50);
    EXPECT_EQ(Probe->GetCaption(), "false,false,false");
    EXPECT_EQ(Editor->toPlainText(), " "); // the editor typed it
    Key(Editor, QEvent::KeyRelease, Qt::Key_Space);
    Key(Editor, QEvent::KeyRelease, Qt::Key_Up);

    // In the module window the same keys steer.
    QApplication::setActiveWindow(Window.get());
    Key(Window.get(), QEvent::KeyPress, Qt::Key_Up);
    Key(Ship, QEvent::KeyPress, Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return Probe->GetCaption() == "true,false,true"; }));
    // Leaving the module window lets go of every key.
    QApplication::setActiveWindow(&HostWindow);
    ASSERT_TRUE(processEventsUntil([&] { return Probe->GetCaption() == "false,false,false"; }));
}

} // namespace

#include "moc_programstandins.cpp"
#include "moc_scripthostfixture.cpp"
