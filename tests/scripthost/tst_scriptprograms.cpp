// The shipped programs, word for word, against stand-ins with the script
// vocabulary of the real objects; and what a learner sees for the usual
// mistakes.
#include "controls.h"
#include "programstandins.h"
#include "scripthostfixture.h"

#include <QKeyEvent>

namespace {

const char *const KLesson1 =
    "// Run 버턴을 클릭하면 한 번만 실행 됩니다.\r\n"
    "function setup() {\r\n"
    "  LED.minus = pin(GND);\r\n"
    "  LED.plus  = pin(13);\r\n"
    "}\r\n"
    "\r\n"
    "// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.\r\n"
    "function loop() {\r\n"
    "  // 13번 핀에 전기를 공급합니다.  결과적으로 LED에 불이 들어 옵니다.\r\n"
    "  digitalWrite(13, HIGH);\r\n"
    "\r\n"
    "  // 1초 동안 기다립니다.\r\n"
    "  delay(1000);\r\n"
    "\r\n"
    "  // 13번 핀에 전기 공급을 중단합니다.  결과적으로 LED에 불이 꺼집니다.\r\n"
    "  digitalWrite(13, LOW);\r\n"
    "\r\n"
    "  // 1초 동안 기다립니다.\r\n"
    "  delay(1000);\r\n"
    "}";

const char *const KLesson2 =
    "// Run 버턴을 클릭하면 한 번만 실행 됩니다.\r\n"
    "function setup() {\r\n"
    "  LED.minus = pin(GND);\r\n"
    "  LED.plus  = pin(13);\r\n"
    "\r\n"
    "  Dial.Position = 50;\r\n"
    "}\r\n"
    "\r\n"
    "// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.\r\n"
    "function loop() {\r\n"
    "  // 다이얼은 0부터 100까지 변합니다.  여기에 10을 곱하면 0부터 1초까지 변하게 됩니다. \r\n"
    "  var p = Dial.Position * 10;\r\n"
    "  \r\n"
    "  // 현재 p의 값을 표기합니다.\r\n"
    "  Label.Caption = p.toString(); \r\n"
    "\r\n"
    "  // 13번 핀에 전기를 공급합니다.  결과적으로 LED에 불이 들어 옵니다.\r\n"
    "  digitalWrite(13, HIGH);\r\n"
    "\r\n"
    "  // 다이얼이 가르치는 숫자만큼 기다립니다.\r\n"
    "  delay(p);\r\n"
    "\r\n"
    "  // 13번 핀에 전기 공급을 중단합니다.  결과적으로 LED에 불이 꺼집니다.\r\n"
    "  digitalWrite(13, LOW);\r\n"
    "\r\n"
    "  // 다이얼이 가르치는 숫자만큼 기다립니다.\r\n"
    "  delay(p);\r\n"
    "}";

const char *const KGame =
    "Ship.Visible = true;\r\n"
    "Ship.Top = 0;\r\n"
    "Ship.Start();\r\n"
    "\r\n"
    "function on_RepeatForShip() {\r\n"
    "  const\r\n"
    "    STEADY = 0,\r\n"
    "    UP = -1,\r\n"
    "    DOWN = 1;\r\n"
    "\r\n"
    "  var iUpAndDown = STEADY;\r\n"
    "  if (Keyboard.IsUp)   iUpAndDown = UP;\r\n"
    "  if (Keyboard.IsDown) iUpAndDown = DOWN;\r\n"
    "\r\n"
    "  Ship.Top = Ship.Top + iUpAndDown;\r\n"
    "\r\n"
    "  if (Ship.Top < 0) Ship.Top = 0;\r\n"
    "  if ((Ship.Top + Ship.Height) > Screen.Height) Ship.Top = Screen.Height - Ship.Height;\r\n"
    "}\r\n"
    "\r\n"
    "createRepeater( 5 * 1000 ).OnInterval = on_RepeatForShip;\r\n"
    "\r\n"
    "//\r\n"
    "\r\n"
    "Missile.Visible = false;\r\n"
    "\r\n"
    "function on_RepeatForMissile() {\r\n"
    "  const\r\n"
    "    MISSILE_SPEED = 1;\r\n"
    "\r\n"
    "  // 미사일은 화면에 하나만 허용하기로 한다.\r\n"
    "  if (Missile.Visible) {\r\n"
    "    Missile.Left = Missile.Left + MISSILE_SPEED;\r\n"
    "    if (Missile.IsOutOfScreen) Missile.Visible = false;\r\n"
    "    return;\r\n"
    "  }\r\n"
    "\r\n"
    "  if (Keyboard.IsFire && Ship.Visible) {\r\n"
    "    Missile.Left = Ship.Width;\r\n"
    "    Missile.Top  = Ship.Top + (Ship.Height / 2) - (Missile.Height / 2);\r\n"
    "    Missile.Visible = true;\r\n"
    "    soundFire();\r\n"
    "  }\r\n"
    "}\r\n"
    "\r\n"
    "createRepeater( 2 * 1000 ).OnInterval = on_RepeatForMissile;\r\n"
    "\r\n"
    "//\r\n"
    "\r\n"
    "Asteroids.Start();\r\n"
    "\r\n"
    "function on_RepeatForAsteroids() {\r\n"
    "  const\r\n"
    "    ASTEROIDS_SPEED = 1;\r\n"
    "\r\n"
    "  Asteroids.Move( ASTEROIDS_SPEED );\r\n"
    "\r\n"
    "  if (Asteroids.CheckCollision(Missile)) {\r\n"
    "    Missile.Visible = false;\r\n"
    "    soundBoom();\r\n"
    "  }\r\n"
    "\r\n"
    "  if (Asteroids.CheckCollision(Ship)) {\r\n"
    "    Ship.Visible = false;\r\n"
    "    soundBoom();\r\n"
    "  }\r\n"
    "}\r\n"
    "\r\n"
    "createRepeater( 4 * 1000 ).OnInterval = on_RepeatForAsteroids;\r\n"
    "\r\n"
    "// Stop 버턴이 클릭되거나 프로그램이 종료되면 한 번만 실행 됩니다.\r\n"
    "function shutdown() {\r\n"
    "  Ship.Stop();\r\n"
    "  Asteroids.Stop();\r\n"
    "}\r\n"
    "\r\n"
    "// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.\r\n"
    "function loop() {\r\n"
    "}";

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
    Run(QString::fromUtf8(KLesson1), {Led});
    auto Lit = [&] { return Led->property("Lit").toBool(); };
    ASSERT_TRUE(processEventsUntil(Lit, 10000));
    ASSERT_TRUE(processEventsUntil([&] { return !Lit(); }, 10000));
    ASSERT_TRUE(processEventsUntil(Lit, 10000));
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
    Run(QString::fromUtf8(KLesson2), {Led, Dial, Label});
    ASSERT_TRUE(processEventsUntil([&] { return Label->GetCaption() == "500"; }, 10000));
    EXPECT_EQ(Dial->GetPosition(), 50);
    // Turned right down, the LED flickers without a pause.
    Dial->SetPosition(0);
    ASSERT_TRUE(processEventsUntil([&] { return Label->GetCaption() == "0"; }, 10000));
    int Changes = 0;
    bool Last = Led->property("Lit").toBool();
    ASSERT_TRUE(processEventsUntil([&] {
        const bool Now = Led->property("Lit").toBool();
        Changes += Now != Last;
        Last = Now;
        return Changes >= 2;
    }, 10000));
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
        StartScriptHost(QString::fromUtf8(KGame).toStdU16String().c_str());
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
    ASSERT_TRUE(processEventsUntil([&] { return Asteroids->Moved > 20; }, 10000));
    EXPECT_TRUE(Ship->GetVisible());
    EXPECT_EQ(Ship->GetTop(), 0);
    EXPECT_EQ(Ship->Starts, QList<int>{0});
    EXPECT_FALSE(Missile->GetVisible());
    EXPECT_EQ(Asteroids->Starts, 1);

    // Down held: the ship sinks to the bottom of the play field and stays there.
    Key(QEvent::KeyPress, Qt::Key_Down);
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetTop() == 320 - 65; }, 20000));
    Key(QEvent::KeyRelease, Qt::Key_Down);
    Key(QEvent::KeyPress, Qt::Key_Up);
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetTop() < 200; }, 20000));
    Key(QEvent::KeyRelease, Qt::Key_Up);

    // Fire: one missile leaves the ship's nose, flies off the field and is hidden.
    Key(QEvent::KeyPress, Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return TStandInGameFunctions::Fires >= 1; }, 10000));
    Key(QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_TRUE(Missile->GetVisible() || Missile->GetLeft() >= 480);
    ASSERT_TRUE(processEventsUntil([&] { return !Missile->GetVisible(); }, 20000));
    EXPECT_GE(Missile->GetLeft(), 480);
    EXPECT_EQ(TStandInGameFunctions::Fires, 1);

    // An asteroid hits the ship.
    Asteroids->HitNext = Ship;
    ASSERT_TRUE(processEventsUntil([&] { return TStandInGameFunctions::Booms == 1; }, 10000));
    EXPECT_FALSE(Ship->GetVisible());

    StopScriptHost();
    ASSERT_TRUE(processEventsUntil([&] { return Asteroids->Stops == 1 && Ship->Stops == 1; }, 10000));
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
