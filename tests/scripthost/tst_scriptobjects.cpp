// What the script does to a module's objects: every access on the UI thread
// and in order, the engine's LED, dial, pins, keyboard and repeaters.
#include "controls.h"
#include "scripthostfixture.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

namespace {

TProbe *NewProbe(QWidget *AOwner, const char *AName)
{
    auto *P = new TProbe(AOwner);
    P->setObjectName(AName);
    return P;
}

TEST_F(ScriptHostTest, PropertiesAndMethodsRunOnTheUiThread)
{
    auto *P = NewProbe(Window.get(), "Probe");
    Run(QStringLiteral("Probe.Value = 5;\n"
                       "Probe.Caption = 'hello';\n"
                       "print(Probe.Value, Probe.Caption, Probe.Fixed, Probe.Add(2, 3), Probe.Name());\n"),
        {P});
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("5 hello 7 5 Probe"));
    EXPECT_FALSE(P->WrongThread);
    EXPECT_GT(P->Accesses, 5);
}

TEST_F(ScriptHostTest, QueuedWritesKeepTheirOrderAgainstReads)
{
    auto *P = NewProbe(Window.get(), "Probe");
    Run(QStringLiteral("var bad = 0;\n"
                       "for (var i = 1; i <= 2000; i++) { Probe.Value = i; if (i % 100 == 0 && Probe.Value != i) bad++; }\n"
                       "print(bad);"),
        {P});
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("0"));
    ASSERT_EQ(P->Writes.size(), 2000);
    for (int I = 0; I < 2000; ++I)
        ASSERT_EQ(P->Writes[I], I + 1);
}

TEST_F(ScriptHostTest, ObjectsPassBackIntoMethodsAsThemselves)
{
    auto *A = NewProbe(Window.get(), "Ship");
    auto *B = NewProbe(Window.get(), "Missile");
    Run(QStringLiteral("Ship.Other = Missile;\n"
                       "print(Ship.Same(Missile), Ship.Same(Ship), Ship.Other === Missile, Ship.Same(null));"),
        {A, B});
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("true false true false"));
    EXPECT_EQ(A->GetOther(), B);
}

TEST_F(ScriptHostTest, MissingArgumentsArriveEmpty)
{
    auto *P = NewProbe(Window.get(), "Ship");
    Run(QStringLiteral("Ship.Start(); Ship.Start(3); print('ok');"), {P});
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(P->Started, QList<int>({0, 3}));
}

TEST_F(ScriptHostTest, MistakesOnObjectsAreReportedWithTheirLine)
{
    auto *P = NewProbe(Window.get(), "Probe");
    struct TCase { const char *Code; const char *MsgPart; } Cases[] = {
        {"var a = 1;\nProbe.Fixed = 3;\n", "read-only"},
        {"var a = 1;\nProbe.value = 3;\n", "no property \"value\""},
        {"var a = 1;\nProbe.FailRead();\n", "probe read failed"},
    };
    int N = 0;
    for (const auto &C : Cases) {
        Run(QString::fromUtf8(C.Code), {P});
        ASSERT_TRUE(WaitForErrors(++N));
        EXPECT_EQ(Core.Errors.back().LineNo, 2) << C.Code;
        EXPECT_TRUE(Core.Errors.back().ErrorMsg.contains(QString::fromUtf8(C.MsgPart)))
            << qPrintable(Core.Errors.back().ErrorMsg);
    }
    // A queued call that fails ends the run at the program's next call.
    Run(QStringLiteral("Probe.Fail();\nwhile (true) Probe.Value = 1;\n"), {P});
    ASSERT_TRUE(WaitForErrors(++N));
    EXPECT_TRUE(Core.Errors.back().ErrorMsg.contains("probe failed"));
}

TEST_F(ScriptHostTest, GlobalFunctionsRunOnTheUiThreadAndReturnObjects)
{
    TProbeFunctions::Pings = 0;
    Run(QStringLiteral("ping(); ping();\n"
                       "var p = makeProbe();\n"
                       "p.Value = 12;\n"
                       "print(twice(21), p.Name(), p.Value, makeProbe() === p);"),
        {}, true);
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("42 made 12 false"));
    EXPECT_EQ(TProbeFunctions::Pings, 2);
    EXPECT_TRUE(TProbeFunctions::OnUiThread);
}

TEST_F(ScriptHostTest, FreedObjectReadsUndefinedAndIgnoresWrites)
{
    auto *P = NewProbe(Window.get(), "Probe");
    Run(QStringLiteral("function loop() { Probe.Value = 1; if (Probe.Fixed === undefined) { print('gone'); "
                       "Probe.Start(2); } }"),
        {P});
    ASSERT_TRUE(processEventsUntil([&] { return P->Writes.size() > 3; }));
    delete P;
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_TRUE(Core.Errors.empty());
}

// --- pins and the LED ------------------------------------------------------------

TEST_F(ScriptHostTest, LedLightsWhilePlusPinIsHigh)
{
    std::unique_ptr<QWidget> Led(CreateObject(Window.get(), u"TLED", u"Color=red", nullptr));
    ASSERT_TRUE(Led);
    EXPECT_EQ(Led->parent(), nullptr);
    Led->setParent(Window.get());
    Led->setObjectName("LED");
    auto Lit = [&] { return Led->property("Lit").toBool(); };
    auto *Pins = TPinBoard::For(Window.get());

    Run(QStringLiteral("LED.minus = pin(GND);\nLED.plus  = pin(13);\ndigitalWrite(13, HIGH);\nprint(LED.Lit);\n"),
        {Led.get()});
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("true"));
    EXPECT_TRUE(Lit());
    EXPECT_EQ(Led->property("plus").toInt(), 13);
    EXPECT_EQ(Led->property("minus").toInt(), TPinBoard::GND);

    Pins->SetLevel(12, true); // another pin changes nothing
    Pins->SetLevel(13, false);
    EXPECT_FALSE(Lit());
    Led->setProperty("minus", 12); // both ends HIGH: no current
    Pins->SetLevel(13, true);
    EXPECT_FALSE(Lit());
    Pins->SetLevel(12, false);
    EXPECT_TRUE(Lit());

    // A new run powers the board up afresh: every pin LOW.
    Run(QStringLiteral("print(LED.Lit);"), {Led.get()});
    ASSERT_TRUE(WaitForMessages(2));
    EXPECT_EQ(Core.Messages.value(1), QStringLiteral("false"));
}

TEST_F(ScriptHostTest, BlinkLessonTogglesTheLed)
{
    QWidget *Led = CreateObject(Window.get(), u"TLED", u"Color=red", nullptr);
    Led->setParent(Window.get());
    Led->setObjectName("LED");
    TLitChanges Changes(TPinBoard::For(Window.get()), Led);
    Run(QStringLiteral("function setup() {\n  LED.minus = pin(GND);\n  LED.plus  = pin(13);\n}\n\n"
                       "function loop() {\n  digitalWrite(13, HIGH);\n  delay(20);\n  digitalWrite(13, LOW);\n"
                       "  delay(20);\n}"),
        {Led});
    ASSERT_TRUE(processEventsUntil([&] { return Changes.Count >= 4; }));
}

TEST_F(ScriptHostTest, ControlsAreOwnedByTheirOwner)
{
    QPointer<QWidget> Led = CreateObject(Window.get(), u"TLED", u"Color=$0000FF00", nullptr);
    QPointer<QWidget> Dial = CreateObject(Window.get(), u"TDial", u"MinAngle=145; MaxAngle=3450", nullptr);
    ASSERT_TRUE(Led && Dial);
    EXPECT_EQ(Led->property("Color").value<QColor>(), QColor(0, 255, 0));
    EXPECT_EQ(Dial->property("MinAngle").toInt(), 145);
    EXPECT_EQ(Dial->property("MaxAngle").toInt(), 3450);
    EXPECT_EQ(CreateObject(Window.get(), u"TButton", u"", nullptr), nullptr);
    Window.reset();
    EXPECT_TRUE(Led.isNull());
    EXPECT_TRUE(Dial.isNull());
}

// --- the dial ------------------------------------------------------------------------

TEST_F(ScriptHostTest, DialFollowsMouseWheelAndKeys)
{
    std::unique_ptr<QWidget> W(CreateObject(nullptr, u"TDial", u"MinAngle=145; MaxAngle=3450", nullptr));
    auto *D = static_cast<TDial *>(W.get());
    D->resize(120, 120);
    D->show();
    // Straight up is half way round from down: 1800 tenths, (1800-145)/3305 of the scale.
    QTest::mouseClick(D, Qt::LeftButton, {}, QPoint(60, 5));
    EXPECT_EQ(D->GetPosition(), 50);
    QTest::mouseClick(D, Qt::LeftButton, {}, QPoint(5, 60)); // left: 900 tenths
    EXPECT_EQ(D->GetPosition(), 23);
    QTest::mouseClick(D, Qt::LeftButton, {}, QPoint(115, 60)); // right: 2700 tenths
    EXPECT_EQ(D->GetPosition(), 77);
    QTest::mouseClick(D, Qt::LeftButton, {}, QPoint(59, 118)); // dead zone, nearer the start
    EXPECT_EQ(D->GetPosition(), 0);
    QTest::mouseClick(D, Qt::LeftButton, {}, QPoint(61, 118)); // dead zone, nearer the end
    EXPECT_EQ(D->GetPosition(), 100);

    D->SetPosition(50);
    QTest::keyClick(D, Qt::Key_Up);
    QTest::keyClick(D, Qt::Key_Right);
    EXPECT_EQ(D->GetPosition(), 52);
    QTest::keyClick(D, Qt::Key_PageDown);
    EXPECT_EQ(D->GetPosition(), 42);
    QTest::keyClick(D, Qt::Key_End);
    QTest::keyClick(D, Qt::Key_Up);
    EXPECT_EQ(D->GetPosition(), 100);

    D->SetPosition(50);
    QWheelEvent Wheel(QPointF(60, 60), D->mapToGlobal(QPointF(60, 60)), {}, QPoint(0, 240), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(D, &Wheel);
    EXPECT_EQ(D->GetPosition(), 60);

    D->SetPosition(250);
    EXPECT_EQ(D->GetPosition(), 100);
    D->SetPosition(-3);
    EXPECT_EQ(D->GetPosition(), 0);
}

TEST_F(ScriptHostTest, ScriptReadsAndSetsTheDial)
{
    QWidget *Dial = CreateObject(Window.get(), u"TDial", u"MinAngle=145; MaxAngle=3450", nullptr);
    Dial->setParent(Window.get());
    Dial->setObjectName("Dial");
    auto *Label = NewProbe(Window.get(), "Label");
    Run(QStringLiteral("function setup() { Dial.Position = 50; }\n"
                       "function loop() { var p = Dial.Position * 10; Label.Caption = p.toString(); }"),
        {Dial, Label});
    ASSERT_TRUE(processEventsUntil([&] { return Label->GetCaption() == "500"; }));
    static_cast<TDial *>(Dial)->SetPosition(20); // the learner turns the dial
    ASSERT_TRUE(processEventsUntil([&] { return Label->GetCaption() == "200"; }));
}

// --- the keyboard ----------------------------------------------------------------------

TEST_F(ScriptHostTest, KeyboardReportsHeldGameKeys)
{
    auto *Probe = NewProbe(Window.get(), "Probe");
    Run(QStringLiteral("function loop() { Probe.Caption = [Keyboard.IsUp, Keyboard.IsDown, Keyboard.IsFire].join(); }"),
        {Probe});
    auto Key = [&](QEvent::Type T, int K, bool Repeat = false) {
        QKeyEvent E(T, K, Qt::NoModifier, QString(), Repeat);
        QCoreApplication::sendEvent(Window.get(), &E);
    };
    ASSERT_TRUE(processEventsUntil([&] { return Probe->GetCaption() == "false,false,false"; }));
    Key(QEvent::KeyPress, Qt::Key_Up);
    Key(QEvent::KeyPress, Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return Probe->GetCaption() == "true,false,true"; }));
    Key(QEvent::KeyRelease, Qt::Key_Up, true); // auto-repeat: still held
    Key(QEvent::KeyPress, Qt::Key_Up, true);
    Key(QEvent::KeyRelease, Qt::Key_Space);
    Key(QEvent::KeyPress, Qt::Key_Down);
    ASSERT_TRUE(processEventsUntil([&] { return Probe->GetCaption() == "true,true,false"; }));
    Key(QEvent::KeyRelease, Qt::Key_Up);
    Key(QEvent::KeyRelease, Qt::Key_Down);
    ASSERT_TRUE(processEventsUntil([&] { return Probe->GetCaption() == "false,false,false"; }));
}

// --- repeaters and delay -----------------------------------------------------------------

// Their rates are the timetable's (tst_scheduler); here, that a program
// with a loop() still gets its repeaters, and its loop() still runs.
TEST_F(ScriptHostTest, RepeatersFireBetweenLoops)
{
    // Each counts what the other side did since it last looked.
    Run(QStringLiteral("var a = 0, b = 0, loops = 0, seenA = 0, seenB = 0, loopsSeen = 0, done = false;\n"
                       "var lastA = 0, lastB = 0, lastLoops = 0;\n"
                       "createRepeater(2000).OnInterval = function () { a++; };\n"
                       "createRepeater(8000).OnInterval = function () {\n"
                       "  b++;\n"
                       "  if (loops != lastLoops) { loopsSeen++; lastLoops = loops; }\n"
                       "};\n"
                       "function loop() {\n"
                       "  loops++;\n"
                       "  if (a != lastA) { seenA++; lastA = a; }\n"
                       "  if (b != lastB) { seenB++; lastB = b; }\n"
                       "  if (!done && seenA >= 5 && seenB >= 5 && loopsSeen >= 5) { print('both'); done = true; }\n"
                       "}\n"));
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages, QStringList{"both"});
    EXPECT_TRUE(Core.Errors.empty());
}

TEST_F(ScriptHostTest, RepeatersRunDuringDelayAndKeepTheProgramAlive)
{
    Run(QStringLiteral("var n = 0;\n"
                       "var r = createRepeater(5 * 1000);\n"
                       "r.OnInterval = function () { n++; if (n == 3) print('three'); if (n == 10) r.Enabled = false; };\n"
                       // Waits on the repeater, not the clock: a loaded machine may skip ticks.
                       "function setup() { while (n < 3) delay(1); print('setup done'); }\n"
                       "function shutdown() { print('down ' + n); }\n"));
    ASSERT_TRUE(WaitForMessages(3));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("three"));
    EXPECT_EQ(Core.Messages.value(1), QStringLiteral("setup done"));
    // With its only repeater disabled and no loop(), the program ends by itself.
    EXPECT_EQ(Core.Messages.value(2), QStringLiteral("down 10"));
}

TEST_F(ScriptHostTest, DelayWaitsAtLeastItsTime)
{
    // A lower bound only, which a slower machine meets all the more; how
    // closely delay() keeps its time is scripthost_bench's figure.
    Run(QStringLiteral("var t = Date.now(); delay(30); var d = Date.now() - t; print(d >= 29);\n"
                       "delay(0); delay('5'); print('ok');"));
    ASSERT_TRUE(WaitForMessages(2));
    EXPECT_EQ(Core.Messages, QStringList({"true", "ok"}));
}

// An interval too long for the clock (or infinite) is the longest one, which
// reads back as such and does not come round while a short one fires often.
TEST_F(ScriptHostTest, HugeRepeaterIntervalsAreTheLongestAndNeverFire)
{
    Run(QStringLiteral("var fired = 0, ticks = 0;\n"
                       "var made = createRepeater(1e16);\n"
                       "made.OnInterval = function () { fired++; };\n"
                       "var set = createRepeater(2000);\n"
                       "set.Interval = 1e16;\n"
                       "set.OnInterval = function () { fired++; };\n"
                       "var endless = createRepeater(Infinity);\n"
                       "endless.OnInterval = function () { fired++; };\n"
                       "var clock = createRepeater(2000);\n"
                       "clock.OnInterval = function () {\n"
                       "  if (++ticks < 50) return;\n"
                       "  print(fired + ' ' + made.Interval + ' ' + set.Interval + ' ' + endless.Interval);\n"
                       "  made.Enabled = set.Enabled = endless.Enabled = clock.Enabled = false;\n"
                       "};\n"));
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0), QStringLiteral("0 1000000000000 1000000000000 1000000000000"));
    EXPECT_TRUE(Core.Errors.empty());
}

TEST_F(ScriptHostTest, RepeaterRejectsNonFunctions)
{
    Run(QStringLiteral("var r = createRepeater(2000);\nr.OnInterval = 5;\n"));
    ASSERT_TRUE(WaitForErrors(1));
    EXPECT_EQ(Core.Errors[0].LineNo, 2);
}

// --- the game's program, shortened ----------------------------------------------------------

TEST_F(ScriptHostTest, GameStyleProgramMovesAndStops)
{
    auto *Ship = NewProbe(Window.get(), "Ship");
    auto *Screen = NewProbe(Window.get(), "Screen");
    Run(QStringLiteral("Ship.Value = 0;\nShip.Start();\n"
                       "function on_RepeatForShip() {\n"
                       "  const\n    STEADY = 0,\n    UP = -1,\n    DOWN = 1;\n"
                       "  var iUpAndDown = DOWN;\n"
                       "  Ship.Value = Ship.Value + iUpAndDown;\n"
                       "  if (Ship.Value > Screen.Fixed * 10) Ship.Value = Screen.Fixed * 10;\n"
                       "}\n"
                       "createRepeater( 5 * 1000 ).OnInterval = on_RepeatForShip;\n"
                       "function shutdown() {\n  Ship.Start(99);\n}\n"
                       "function loop() {\n}\n"),
        {Ship, Screen});
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetValue() == 70; }));
    StopScriptHost();
    ASSERT_TRUE(processEventsUntil([&] { return Ship->Started.size() == 2; }));
    EXPECT_EQ(Ship->Started, QList<int>({0, 99}));
    EXPECT_FALSE(Ship->WrongThread);
    EXPECT_TRUE(Core.Errors.empty());
}

} // namespace

#include "moc_scripthostfixture.cpp"
