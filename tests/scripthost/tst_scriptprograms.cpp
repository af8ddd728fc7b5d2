// The shipped programs, word for word, against stand-ins with the script
// vocabulary of the real objects; and what a learner sees for the usual
// mistakes.
#include "controls.h"
#include "programstandins.h"
#include "scripthostfixture.h"

#include <QFile>
#include <QKeyEvent>

namespace {

// A shipped program as the editor hands it over: read from the module's
// own source file, with CR LF line ends and trimmed as a lesson sends it.
QString ShippedProgram(const char *AModule)
{
    QFile File(QStringLiteral(KB_MODULES_SOURCE_DIR "/%1/program.js").arg(QLatin1String(AModule)));
    if (!File.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(File.readAll()).replace(QLatin1Char('\n'), QStringLiteral("\r\n")).trimmed();
}

QString ErrorsOf(const TFakeCore &ACore)
{
    QStringList L;
    for (const auto &E : ACore.Errors)
        L << QStringLiteral("%1: %2").arg(E.LineNo).arg(E.ErrorMsg);
    return L.join('\n');
}

TEST_F(ScriptHostTest, BlinkLessonProgramBlinksOnceASecond)
{
    QWidget *Led = CreateObject(Window.get(), u"TLED", u"Color=red", nullptr);
    Led->setParent(Window.get());
    Led->setObjectName("LED");
    const QString Program = ShippedProgram("glow0001");
    ASSERT_TRUE(Program.startsWith(QStringLiteral("// Run 버턴을")));
    TLitChanges Changes(TPinBoard::For(Window.get()), Led);
    Run(Program, {Led});
    ASSERT_TRUE(processEventsUntil([&] { return Changes.Count >= 3; })); // on, off, on
    StopScriptHost();
    EXPECT_TRUE(Core.Errors.empty()) << qPrintable(ErrorsOf(Core));
}

TEST_F(ScriptHostTest, PotentiometerLessonProgramFollowsTheDial)
{
    QWidget *Led = CreateObject(Window.get(), u"TLED", u"Color=red", nullptr);
    Led->setParent(Window.get());
    Led->setObjectName("LED");
    auto *Dial = static_cast<TDial *>(CreateObject(Window.get(), u"TDial", u"MinAngle=145; MaxAngle=3450", nullptr));
    Dial->setParent(Window.get());
    Dial->setObjectName("Dial");
    auto *Label = new TStandInLabel(Window.get());
    Label->setObjectName("Label");
    const QString Program = ShippedProgram("glow0002");
    ASSERT_TRUE(Program.contains(QStringLiteral("Label.Caption = p.toString(); \r\n")));
    Run(Program, {Led, Dial, Label});
    ASSERT_TRUE(processEventsUntil([&] { return Label->GetCaption() == "500"; }));
    EXPECT_EQ(Dial->GetPosition(), 50);
    // Turned right down, the LED flickers without a pause.
    Dial->SetPosition(0);
    ASSERT_TRUE(processEventsUntil([&] { return Label->GetCaption() == "0"; }));
    TLitChanges Changes(TPinBoard::For(Window.get()), Led);
    ASSERT_TRUE(processEventsUntil([&] { return Changes.Count >= 2; }));
    StopScriptHost();
    EXPECT_TRUE(Core.Errors.empty()) << qPrintable(ErrorsOf(Core));
}

class GameProgramTest : public ScriptHostTest
{
protected:
    void SetUp() override
    {
        ScriptHostTest::SetUp();
        Screen = new TStandInScreen(Window.get());
        Screen->resize(480, 320);
        Ship = new TStandInSprite(Screen, 122, 65);
        Missile = new TStandInSprite(Screen, 27, 12);
        Asteroids = new TStandInAsteroids(Window.get());
        TStandInGameFunctions::Fires = 0;
        TStandInGameFunctions::Booms = 0;
    }
    void RunGame()
    {
        PrepareScriptHost();
        AddGlobalFunctions(&TStandInGameFunctions::staticMetaObject);
        AddObject(Window.get(), u"Form");
        AddObject(Screen, u"Screen");
        AddObject(Ship, u"Ship");
        AddObject(Missile, u"Missile");
        AddObject(Asteroids, u"Asteroids");
        StartScriptHost(ShippedProgram("skivo").toStdU16String().c_str());
    }
    void Key(QEvent::Type AType, int AKey)
    {
        QKeyEvent E(AType, AKey, Qt::NoModifier);
        QCoreApplication::sendEvent(Window.get(), &E);
    }

    TStandInScreen *Screen = nullptr;
    TStandInSprite *Ship = nullptr;
    TStandInSprite *Missile = nullptr;
    TStandInAsteroids *Asteroids = nullptr;
};

TEST_F(GameProgramTest, ShipMissileAndAsteroidsDoWhatTheProgramSays)
{
    RunGame();
    ASSERT_TRUE(processEventsUntil([&] { return Asteroids->Moved > 20; }));
    EXPECT_TRUE(Ship->GetVisible());
    EXPECT_EQ(Ship->GetTop(), 0);
    EXPECT_EQ(Ship->Starts, QList<int>{0});
    EXPECT_FALSE(Missile->GetVisible());
    EXPECT_EQ(Asteroids->Starts, 1);

    // Down held: the ship sinks to the bottom of the play field and stays there.
    Key(QEvent::KeyPress, Qt::Key_Down);
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetTop() == 320 - 65; }));
    Key(QEvent::KeyRelease, Qt::Key_Down);
    Key(QEvent::KeyPress, Qt::Key_Up);
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetTop() < 200; }));
    Key(QEvent::KeyRelease, Qt::Key_Up);

    // Fire: one missile leaves the ship's nose, flies off the field and is hidden.
    Key(QEvent::KeyPress, Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return TStandInGameFunctions::Fires >= 1; }));
    Key(QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_TRUE(Missile->GetVisible() || Missile->GetLeft() >= 480);
    ASSERT_TRUE(processEventsUntil([&] { return !Missile->GetVisible(); }));
    EXPECT_GE(Missile->GetLeft(), 480);
    EXPECT_EQ(TStandInGameFunctions::Fires, 1);

    // An asteroid hits the ship.
    Asteroids->HitNext = Ship;
    ASSERT_TRUE(processEventsUntil([&] { return TStandInGameFunctions::Booms == 1; }));
    EXPECT_FALSE(Ship->GetVisible());

    StopScriptHost();
    ASSERT_TRUE(processEventsUntil([&] { return Asteroids->Stops == 1 && Ship->Stops == 1; }));
    EXPECT_FALSE(Asteroids->WrongArgument);
    EXPECT_FALSE(Ship->WrongThread || Missile->WrongThread);
    EXPECT_TRUE(Core.Errors.empty()) << qPrintable(ErrorsOf(Core));
}

// --- the learner's usual mistakes -------------------------------------------------------

struct TMistake
{
    const char *Name;
    const char *Code;
    int Line;
    const char *Msg; // the whole message
};

class LearnerMistakeTest : public ScriptHostTest, public ::testing::WithParamInterface<TMistake>
{
};

TEST_P(LearnerMistakeTest, SaysWhatIsWrongOnTheRightLine)
{
    auto *Ship = new TStandInSprite(Window.get(), 122, 65);
    Ship->setObjectName("Ship");
    Run(QString::fromUtf8(GetParam().Code), {Ship});
    ASSERT_TRUE(WaitForErrors(1));
    EXPECT_EQ(Core.Errors[0].LineNo, GetParam().Line);
    EXPECT_EQ(Core.Errors[0].ErrorMsg, QString::fromUtf8(GetParam().Msg));
}

INSTANTIATE_TEST_SUITE_P(
    Programs, LearnerMistakeTest,
    ::testing::Values(
        TMistake{"MisspeltRead", "function setup() {\n  Ship.Top = Ship.top + 1;\n}\n", 2,
                 "TypeError: Ship has no property \"top\""},
        TMistake{"MisspeltMethod", "function setup() {\n  Ship.Strat(1);\n}\n", 2,
                 "TypeError: Ship has no property \"Strat\""},
        TMistake{"MisspeltKey", "function loop() {\n  if (Keyboard.isUp) Ship.Top = 0;\n}\n", 2,
                 "TypeError: Keyboard has no property \"isUp\""},
        TMistake{"MisspeltRepeaterEvent", "var r = createRepeater(5000);\nr.onInterval = function () {};\n", 2,
                 "TypeError: the repeater has no property \"onInterval\""},
        TMistake{"WritingAKey", "Keyboard.IsUp = true;\n", 1, "TypeError: Keyboard.IsUp is read-only"},
        TMistake{"TextForANumber", "var a;\nShip.Left = 'ten';\n", 2, "TypeError: Ship.Left takes a number, not \"ten\""},
        TMistake{"UndefinedForANumber", "var a;\nShip.Left = a;\n", 2, "TypeError: Ship.Left takes a number, not undefined"},
        TMistake{"NoNumberArgument", "var a;\nShip.Start('x');\n", 2, "TypeError: Ship.Start takes a number, not \"x\""},
        TMistake{"NumberForASprite", "var a;\nShip.CheckCollision(5);\n", 2,
                 "TypeError: Ship.CheckCollision takes a TStandInSprite, not 5"},
        TMistake{"KeyboardForASprite", "var a;\nif (Ship.CheckCollision(Keyboard)) a = 1;\n", 2,
                 "TypeError: Ship.CheckCollision takes a TStandInSprite, not [object Keyboard]"},
        TMistake{"UndefinedFunction", "function loop() {\n  digitalwrite(13, HIGH);\n}\n", 2,
                 "ReferenceError: digitalwrite is not defined"},
        TMistake{"MissingBrace",
                 "function setup() {\n  Ship.Top = 0;\n\n// comment with a } in it\nfunction loop() {\n  var s = '{';\n}\n\n",
                 1, "SyntaxError: Expected token `;' - the '{' on this line is never closed with '}'"},
        TMistake{"ExtraBrace", "function setup() {\n}\n}\nfunction loop() {\n}\n", 3,
                 "SyntaxError: Unexpected token `}'"}),
    [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(ScriptHostTest, NumbersInTextAndWholeNumbersStillWork)
{
    auto *Ship = new TStandInSprite(Window.get(), 122, 65);
    Ship->setObjectName("Ship");
    Run(QStringLiteral("Ship.Left = '12'; Ship.Top = 26.5 + 0.5; Ship.Visible = 1; print(Ship.Left, Ship.Top, "
                       "Ship.Visible, String(Ship), typeof Ship.toString, JSON.stringify(Keyboard));"),
        {Ship});
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(Core.Messages.value(0),
              QStringLiteral("12 27 true [object Ship] function {\"IsUp\":false,\"IsDown\":false,\"IsFire\":false}"));
    EXPECT_TRUE(Core.Errors.empty()) << qPrintable(ErrorsOf(Core));
}

// A class that declares a name again over its base's: the script gets the
// most derived one, as C++ code would.
class TBaseThing : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ GetCaption)

public:
    using QObject::QObject;
    QString GetCaption() const { return QStringLiteral("base"); }
    Q_INVOKABLE QString Kind() const { return QStringLiteral("base"); }
};

class TDerivedThing : public TBaseThing
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ GetOwnCaption WRITE SetOwnCaption)

public:
    using TBaseThing::TBaseThing;
    QString GetOwnCaption() const { return FCaption; }
    void SetOwnCaption(const QString &V) { FCaption = V; }
    Q_INVOKABLE QString Kind() const { return QStringLiteral("derived"); }

private:
    QString FCaption = QStringLiteral("derived");
};

TEST_F(ScriptHostTest, RedeclaredMembersAreTheDerivedOnes)
{
    auto *T = new TDerivedThing(Window.get());
    T->setObjectName("Thing");
    Run(QStringLiteral("print(Thing.Caption, Thing.Kind()); Thing.Caption = 'set'; print(Thing.Caption);"), {T});
    ASSERT_TRUE(WaitForMessages(2));
    EXPECT_EQ(Core.Messages, QStringList({"derived derived", "set"}));
    EXPECT_TRUE(Core.Errors.empty()) << qPrintable(ErrorsOf(Core));
}

} // namespace

#include "moc_programstandins.cpp"
#include "moc_scripthostfixture.cpp"
#include "tst_scriptprograms.moc"
