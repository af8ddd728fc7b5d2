// The engine's rules as a program meets them in the real game window: reads
// that see the program's own writes, properties that change without the
// program read afresh, errors on their lines, and the window's Stop in the
// middle of each of these.
#include "modulefakes.h"
#include "saveforminfo.h"
#include "sprite.h"
#include "testsupport.h"

#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The engine's table with one object more for the program: an asteroid of
// the pool as "Rock", which the game itself never hands over.
struct TWithRock
{
    static inline TScriptHostApi Engine{};
    static inline QPointer<QObject> Rock;
    static void Start(const char16_t *ACode)
    {
        if (Rock)
            Engine.AddObject(Rock, u"Rock");
        Engine.StartScriptHost(ACode);
    }
};

// Every program ends its run with this line, so that a test sees the end.
const char *const KShutdown = "\nfunction shutdown() { print('down'); }\n";

struct TGameProgram
{
    const char *Name;
    const char *Code;
    const char *Error; // its own error as the pane gets it; null for none
    std::vector<const char *> Messages; // all it prints when it runs to its error
};

void PrintTo(const TGameProgram &AProgram, std::ostream *AOut)
{
    *AOut << AProgram.Name;
}

const TGameProgram KReadsAfterWrites{
    "ReadsAfterWrites",
    "print('going');\n"
    "Ship.Visible = true;\n"
    "for (var pass = 0; pass < 3; pass++) {\n"
    "  Ship.Top = 7;\n"
    "  for (var i = 0; i < 1000; i++) if (Ship.Top !== 7) throw new Error('stale ' + Ship.Top);\n"
    "  for (var k = 0; k < 100; k++) {\n"
    "    Ship.Top = k;\n"
    "    if (Ship.Bottom !== k + Ship.Height) throw new Error('Bottom ' + Ship.Bottom + ' after Top ' + k);\n"
    "    Ship.Left = 2 * k;\n"
    "    if (Ship.Right !== 2 * k + Ship.Width) throw new Error('Right ' + Ship.Right + ' after Left ' + 2 * k);\n"
    "    Ship.Bottom = 300 - k;\n"
    "    if (Ship.Top !== 300 - k - Ship.Height) throw new Error('Top ' + Ship.Top + ' after Bottom ' + (300 - k));\n"
    "    Ship.CenterX = 200 + k;\n"
    "    if (Ship.Left !== 200 + k - (Ship.Width >> 1)) throw new Error('Left ' + Ship.Left + ' after CenterX');\n"
    "    Missile.Top = Ship.Top + 1;\n"
    "    if (Missile.Top !== Ship.Top + 1) throw new Error('Missile.Top ' + Missile.Top);\n"
    "    Ship.Visible = k % 2 == 0;\n"
    "    if (Ship.Visible !== (k % 2 == 0)) throw new Error('Visible ' + Ship.Visible + ' at ' + k);\n"
    "  }\n"
    "}\n"
    "Ship.Left = 22;\n"
    "Ship.Top = 11;\n"
    "print('ok ' + Ship.Left + ' ' + Ship.Top);\n"
    "function loop() {}\n",
    nullptr,
    {}};

// Reads whatever changed, each time it has changed: a line "<name> <value>".
const TGameProgram KFreshReads{
    "FreshReads",
    "print('going');\n"
    "var seen = {};\n"
    "function show(name, value) {\n"
    "  if (seen[name] !== value) { seen[name] = value; print(name + ' ' + value); }\n"
    "}\n"
    "Ship.Left = 0;\n"
    "show('Ship.IsOutOfScreen', Ship.IsOutOfScreen);\n"
    "Ship.Left = 600;\n"
    "show('Ship.IsOutOfScreen', Ship.IsOutOfScreen);\n"
    "var before = Rock.Left;\n"
    "Asteroids.Move(5);\n"
    "print('Rock moved by ' + (before - Rock.Left));\n"
    "Missile.Left = 200;\n"
    "Missile.Top = 150;\n"
    "Missile.Visible = true;\n"
    "function loop() {\n"
    "  show('Missile.Visible', Missile.Visible);\n"
    "  show('Missile.IsOutOfScreen', Missile.IsOutOfScreen);\n"
    "  if (Asteroids.CheckCollision(Missile)) print('hit');\n"
    "  show('Screen.Height', Screen.Height);\n"
    "}\n",
    nullptr,
    {}};

const TGameProgram KRepeaterThrows{
    "RepeaterThrowsOnItsThousandthCall",
    "print('going');\n"
    "var calls = 0;\n"
    "createRepeater(500).OnInterval = function () {\n"
    "  Ship.Left = Ship.Left + 1;\n"
    "  if (++calls == 1000)\n"
    "    throw new Error('call ' + calls);\n"
    "};\n"
    "function loop() {}\n",
    "CodeError 6: Error: call 1000",
    {"going", "down"}};

const TGameProgram KUndefinedInLoop{
    "UndefinedNameInLoop",
    "print('going');\n"
    "var n = 0;\n"
    "function loop() {\n"
    "  Ship.Top = n % 100;\n"
    "  if (++n == 500)\n"
    "    Shipp.Top = 1;\n"
    "}\n",
    "CodeError 6: ReferenceError: Shipp is not defined",
    {"going", "down"}};

// The program's own loop() gives way to the one it assigns; only the new
// one can reach the error.
const TGameProgram KLoopRedefined{
    "LoopRedefinedWhileRunning",
    "print('going');\n"
    "Ship.Top = 0;\n"
    "var n = 0;\n"
    "function loop() {\n"
    "  if (++n < 300) return;\n"
    "  print('first ' + n);\n"
    "  loop = function () {\n"
    "    Ship.Top = Ship.Top + 1;\n"
    "    if (Ship.Top == 300)\n"
    "      throw new Error('second at ' + Ship.Top);\n"
    "  };\n"
    "}\n",
    "CodeError 10: Error: second at 300",
    {"going", "first 300", "down"}};

// The game window from the program folder's Modules/, on a recording core
// and the real engine, with the asteroid pool made and its spawner parked:
// its first asteroid stands still on the field for the program as "Rock".
class GameScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FPreviousFile = TSaveFormInfo::SetFileName(FDir.filePath("FormInfo.ini"));
        Window = CreateWindow("Skivo");
        ASSERT_TRUE(Window);
        Window->SetCore(&Core);
        Window->show();
        Ship = Window->findChild<TSprite *>("Ship");
        Missile = Window->findChild<TSprite *>("Missile");
        Screen = Window->findChild<QWidget *>("Screen");
        Asteroids = Window->findChild<QObject *>("Asteroids");
        ASSERT_TRUE(Ship && Missile && Screen && Asteroids);
        QMetaObject::invokeMethod(Asteroids, "Start");
        Asteroids->setProperty("Parent", QVariant::fromValue<QWidget *>(nullptr));
        QList<TSprite *> Pool = Screen->findChildren<TSprite *>(Qt::FindDirectChildrenOnly);
        Pool.removeAll(Ship);
        Pool.removeAll(Missile);
        ASSERT_FALSE(Pool.isEmpty());
        Rock = Pool.first();
        Rock->move(300, 100);
        Rock->SetVisible(true);

        TWithRock::Engine = ScriptHost();
        TWithRock::Rock = Rock;
        TScriptHostApi Api = TWithRock::Engine;
        Api.StartScriptHost = &TWithRock::Start;
        FPreviousApi = SetScriptHostApi(Api);
        FApiSet = true;
    }
    void TearDown() override
    {
        delete Window.data(); // ends a run still going
        if (FApiSet)
            SetScriptHostApi(FPreviousApi);
        TWithRock::Rock = nullptr;
        TSaveFormInfo::SetFileName(FPreviousFile);
    }

    void Click(const char *AButton) { QMetaObject::invokeMethod(Window->findChild<QObject *>(AButton), "Click"); }
    void RunProgram(const TGameProgram &AProgram)
    {
        Core.Source = QString::fromUtf8(AProgram.Code) + QLatin1String(KShutdown);
        Click("btRun");
    }
    QStringList Errors() const { return Core.Log.filter(QRegularExpression("^CodeError")); }
    QStringList Messages() const
    {
        QStringList M;
        for (const QString &L : Core.Log)
            if (L.startsWith("Message "))
                M << L.mid(8);
        return M;
    }
    bool WaitForMessage(const QString &AText)
    {
        return processEventsUntil([&] { return Messages().contains(AText); });
    }

    TRecordingCore Core;
    QPointer<TModuleInterface> Window;
    TSprite *Ship = nullptr;
    TSprite *Missile = nullptr;
    TSprite *Rock = nullptr;
    QWidget *Screen = nullptr;
    QObject *Asteroids = nullptr;

private:
    QTemporaryDir FDir;
    QString FPreviousFile;
    TScriptHostApi FPreviousApi{};
    bool FApiSet = false;
};

TEST_F(GameScriptTest, ReadsSeeTheProgramsOwnWrites)
{
    RunProgram(KReadsAfterWrites);
    ASSERT_TRUE(processEventsUntil([&] { return Messages().size() >= 2 || !Errors().isEmpty(); }));
    EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join('\n'));
    EXPECT_EQ(Messages(), QStringList({"going", "ok 22 11"})) << qPrintable(Messages().join(" | "));
    // The writes reached the ship itself.
    EXPECT_EQ(Ship->pos(), QPoint(22, 11));
    Click("btStop");
    ASSERT_TRUE(WaitForMessage("down"));
}

TEST_F(GameScriptTest, PropertiesThatChangeByThemselvesAreReadAfresh)
{
    RunProgram(KFreshReads);
    ASSERT_TRUE(WaitForMessage("Screen.Height 320")) << qPrintable(Core.Log.join('\n'));
    EXPECT_EQ(Messages().mid(0, 7),
              QStringList({"going", "Ship.IsOutOfScreen false", "Ship.IsOutOfScreen true", "Rock moved by 5",
                           "Missile.Visible true", "Missile.IsOutOfScreen false", "Screen.Height 320"}))
        << qPrintable(Messages().join(" | "));
    EXPECT_EQ(Rock->GetLeft(), 295);

    // An asteroid put on the missile: the program's check hits it, and the
    // missile, hidden behind the program's back, reads as hidden.
    Rock->move(190, 130);
    ASSERT_TRUE(WaitForMessage("hit"));
    Missile->SetVisible(false);
    ASSERT_TRUE(WaitForMessage("Missile.Visible false"));

    // The play field made lower from here, so low that the missile is off it.
    Screen->resize(Screen->width(), 100);
    ASSERT_TRUE(WaitForMessage("Screen.Height 100"));
    ASSERT_TRUE(WaitForMessage("Missile.IsOutOfScreen true"));
    EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join('\n'));
    Click("btStop");
    ASSERT_TRUE(WaitForMessage("down"));
}

// What a read gives is true when it is made: a change the sprite cannot
// see (its hidden field made narrower) included. Qt's own widget members
// are no part of the objects; the program cannot reach them.
TEST_F(GameScriptTest, ReadsAreTrueAndOnlyTheObjectsOwnMembersAreThere)
{
    Core.Source = QStringLiteral(
        "Ship.Visible = true;\n"
        "Ship.Left = 200;\n"
        "print('before ' + Ship.IsOutOfScreen);\n"
        "Screen.Visible = false;\n"
        "Screen.Width = 100;\n"
        "delay(300);\n"
        "print('after ' + Ship.IsOutOfScreen);\n"
        "['pos', 'geometry', 'size', 'minimumWidth', 'windowFilePath', 'windowTitle', 'close'].forEach(function (n) {\n"
        "  try { Form[n] = 1; print(n + ' written'); } catch (e) { print(e.message); }\n"
        "});\n"
        "print('keys ' + Object.keys(Ship).join(','));\n"
        "function shutdown() { print('down'); }\n");
    Click("btRun");
    ASSERT_TRUE(WaitForMessage("down")) << qPrintable(Core.Log.join('\n'));
    EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join('\n'));
    EXPECT_EQ(Messages(), QStringList({"before false", "after true", "Form has no property \"pos\"",
                                       "Form has no property \"geometry\"", "Form has no property \"size\"",
                                       "Form has no property \"minimumWidth\"",
                                       "Form has no property \"windowFilePath\"",
                                       "Form has no property \"windowTitle\"", "Form has no property \"close\"",
                                       "keys Left,Top,Width,Height,Visible,Active,ImageIndex,HitArea,IsOutOfScreen,"
                                       "Right,Bottom,CenterX,CenterY,ImageList,Interval",
                                       "down"}))
        << qPrintable(Messages().join(" | "));
}

// Once a run is stopped (by Stop or by its own error) no repeater fires:
// shutdown() runs alone, and an error is reported once.
TEST_F(GameScriptTest, AStoppedRunStaysStopped)
{
    Core.Source = QStringLiteral(
        "var ticks = 0;\n"
        "createRepeater(1000).OnInterval = function () { ticks++; Ship.Top = Ship.Top + 1; };\n"
        "function setup() { print('going'); }\n"
        "function loop() {}\n"
        "function shutdown() { var t = ticks, top = Ship.Top; delay(200);\n"
        "  print('down ' + (ticks - t) + ' ' + (Ship.Top - top)); }\n");
    Click("btRun");
    ASSERT_TRUE(WaitForMessage("going"));
    ASSERT_TRUE(processEventsUntil([&] { return Ship->y() > 5; }));
    Click("btStop");
    ASSERT_TRUE(WaitForMessage("down 0 0")) << qPrintable(Core.Log.join('\n'));

    Core.Log.clear();
    Core.Source = QStringLiteral(
        "var n = 0;\n"
        "createRepeater(1000).OnInterval = function () {\n"
        "  if (++n >= 3) throw new Error('tick ' + n); };\n"
        "function shutdown() { delay(200); print('down ' + n); }\n");
    Click("btRun");
    ASSERT_TRUE(WaitForMessage("down 3")) << qPrintable(Core.Log.join('\n'));
    EXPECT_EQ(Errors(), QStringList{"CodeError 3: Error: tick 3"});
}

class GameScriptErrorTest : public GameScriptTest, public ::testing::WithParamInterface<TGameProgram>
{
};

// The error is reported on the line that raised it, once, and ends the run.
TEST_P(GameScriptErrorTest, ErrorsKeepTheirLines)
{
    const TGameProgram &P = GetParam();
    RunProgram(P);
    // An old loop() that went on would print "first" again and never fail.
    ASSERT_TRUE(processEventsUntil([&] { return Messages().contains("down") || Messages().size() > 3; }))
        << qPrintable(Core.Log.join('\n'));
    QStringList Expected;
    for (const char *M : P.Messages)
        Expected << QString::fromUtf8(M);
    EXPECT_EQ(Errors(), QStringList{QString::fromUtf8(P.Error)}) << qPrintable(Errors().join(" | "));
    EXPECT_EQ(Messages(), Expected) << qPrintable(Messages().join(" | "));
}

INSTANTIATE_TEST_SUITE_P(Programs, GameScriptErrorTest,
                         ::testing::Values(KRepeaterThrows, KUndefinedInLoop, KLoopRedefined),
                         [](const auto &Info) { return std::string(Info.param.Name); });

class GameScriptStopTest : public GameScriptTest, public ::testing::WithParamInterface<TGameProgram>
{
};

// Stop under way: shutdown() runs, and the run ends (the next run starts
// only once it has ended or been given up; given up it must not be).
TEST_P(GameScriptStopTest, StopInTheMiddleEndsTheRun)
{
    const TGameProgram &P = GetParam();
    TraceCapture Trace;
    RunProgram(P);
    ASSERT_TRUE(WaitForMessage("going"));
    Click("btStop");
    ASSERT_TRUE(WaitForMessage("down")) << qPrintable(Core.Log.join('\n'));
    Core.Source = QStringLiteral("print('again');");
    Click("btRun");
    ASSERT_TRUE(WaitForMessage("again"));
    EXPECT_TRUE(Trace.lines().filter("given up").isEmpty()) << qPrintable(Trace.lines().join(""));
    // Stop is no error; a program that failed before Stop came failed with its own.
    for (const QString &E : Errors())
        EXPECT_EQ(E, QString::fromUtf8(P.Error ? P.Error : "")) << P.Name;
}

INSTANTIATE_TEST_SUITE_P(Programs, GameScriptStopTest,
                         ::testing::Values(KReadsAfterWrites, KFreshReads, KRepeaterThrows, KUndefinedInLoop,
                                           KLoopRedefined),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
