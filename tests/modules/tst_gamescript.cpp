// The engine's rules as a program meets them in the real game window: reads
// that see the program's own writes, properties that change without the
// program read afresh, errors on their lines, and the window's Stop in the
// middle of each of these.
#include "modulefakes.h"
#include "saveforminfo.h"
#include "sprite.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QMetaProperty>
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

// Extreme numbers written to every integer member that our own classes give
// a script object (not those of Qt's classes), as properties, as fields of
// a map-valued property and as each integer argument of a method, methods
// called three times over. Each write or call must be refused with the
// rule's error, or taken, and every property must then read as a whole
// number. The program prints "swept <tries> <faults>" and its faults.
const char *const KSweep = R"(
var values = [NaN, Infinity, -Infinity, 1e308, -1e308, 2147483647, -2147483648, 2147483648, -2147483649,
              0.5, -0.5, 1000000000, -1000000000];
var tries = 0, faults = [];
function wanted(v, field) {
  if (isNaN(v)) return field ? 'RangeError' : 'TypeError';
  return Math.abs(v) <= 1000000000 ? 'ok' : 'RangeError';
}
function outcome(f) { try { f(); return 'ok'; } catch (e) { return e.name; } }
function check(what, v, got, field) {
  tries++;
  if (got !== wanted(v, field)) faults.push(what + ' ' + v + ': ' + got);
}
function readAll(o, name) {
  Object.keys(o).forEach(function (k) {
    var x = o[k];
    if (typeof x === 'number' && !Number.isInteger(x)) faults.push(name + '.' + k + ' reads ' + x);
  });
}
function sweep(o, name, plan) {
  plan.forEach(function (m) {
    values.forEach(function (v) {
      if (m.kind === 'prop') {
        check(name + '.' + m.name, v, outcome(function () { o[m.name] = v; }), false);
      } else if (m.kind === 'map') {
        check(name + '.' + m.name, v, outcome(function () { o[m.name] = { Left: v, Top: v, Right: v, Bottom: v }; }), true);
      } else {
        m.ints.forEach(function (i) {
          var args = m.params.map(function (p) { return p ? 0 : undefined; });
          args[i] = v;
          for (var n = 0; n < 3; n++)
            check(name + '.' + m.name + ' #' + i, v, outcome(function () { o[m.name].apply(o, args); }), false);
        });
      }
      readAll(o, name);
    });
  });
}
)";

bool IsIntegerType(QMetaType AType)
{
    switch (AType.id()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

// Whether member AIndex of AMeta is declared by one of our classes (T...), not by Qt's.
bool IsOurs(const QMetaObject *AMeta, int AIndex, bool AProperty)
{
    const QMetaObject *C = AMeta;
    while (C && (AProperty ? C->propertyOffset() : C->methodOffset()) > AIndex)
        C = C->superClass();
    return C && C->className()[0] == 'T';
}

// The sweep of the script object AName of class AMeta, as a line of the
// program; ATries counts the checks it makes.
QString SweepOf(const QString &AName, const QMetaObject *AMeta, int &ATries)
{
    const int Values = 13;
    QJsonArray Plan;
    for (int I = 0; I < AMeta->propertyCount(); ++I) {
        const QMetaProperty P = AMeta->property(I);
        if (!IsOurs(AMeta, I, true) || !P.isWritable() || AMeta->indexOfProperty(P.name()) != I)
            continue;
        const bool Map = P.metaType() == QMetaType::fromType<QVariantMap>();
        if (!Map && !IsIntegerType(P.metaType()))
            continue;
        Plan.append(QJsonObject{{"kind", Map ? "map" : "prop"}, {"name", P.name()}});
        ATries += Values;
    }
    for (int I = 0; I < AMeta->methodCount(); ++I) {
        const QMetaMethod M = AMeta->method(I);
        if (!IsOurs(AMeta, I, false) || M.access() != QMetaMethod::Public
            || (M.methodType() != QMetaMethod::Method && M.methodType() != QMetaMethod::Slot))
            continue;
        QJsonArray Params, Ints;
        for (int A = 0; A < M.parameterCount(); ++A) {
            Params.append(IsIntegerType(M.parameterMetaType(A)));
            if (IsIntegerType(M.parameterMetaType(A)))
                Ints.append(A);
        }
        if (Ints.isEmpty())
            continue;
        Plan.append(QJsonObject{{"kind", "call"}, {"name", QString::fromLatin1(M.name())}, {"params", Params},
                                {"ints", Ints}});
        ATries += Values * 3 * int(Ints.size());
    }
    return QStringLiteral("sweep(%1, '%1', %2);\n")
        .arg(AName, QString::fromUtf8(QJsonDocument(Plan).toJson(QJsonDocument::Compact)));
}

const char *const KSweepEnd = "print('swept ' + tries + ' ' + faults.length);\n"
                              "faults.slice(0, 20).forEach(function (f) { print(f); });\n";

// The sandbox from the program folder's Modules/ on a recording core and
// the real engine.
class TSandbox
{
public:
    explicit TSandbox(TRecordingCore &ACore)
    {
        Window = CreateWindow("Empty");
        if (!Window)
            return;
        Window->SetCore(&ACore);
        Window->show();
    }
    ~TSandbox() { delete Window.data(); }
    QPointer<TModuleInterface> Window;
};

// The table's bad input, over and over until Stop: numbers out of range,
// huge intervals, lines too long to show, calls not waited for.
const TGameProgram KBadInput{
    "BadInputOverAndOver",
    "print('going');\n"
    "var long = 'x'.repeat(1000000);\n"
    "createRepeater(1e16).OnInterval = function () { throw new Error('never'); };\n"
    "function loop() {\n"
    "  try { Ship.Left = 1e12; } catch (e) {}\n"
    "  try { Asteroids.Move(-2147483648); } catch (e) {}\n"
    "  Asteroids.Move(1);\n"
    "  print(long);\n"
    "}\n",
    nullptr,
    {}};

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

// One rule for every whole number a program hands over: within a billion
// either side of zero it is taken (a fraction as before), beyond it, or
// infinite, it is a RangeError that names the member; an asteroid sent off
// by ever larger steps stays where a program can still read it.
TEST_F(GameScriptTest, WholeNumbersBeyondTheRangeAreRangeErrors)
{
    Core.Source = QStringLiteral(
        "function outcome(f) { try { f(); return 'ok'; } catch (e) { return e.name + ': ' + e.message; } }\n"
        "print(outcome(function () { Ship.Left = 1e12; }));\n"
        "print(outcome(function () { Ship.Left = Infinity; }));\n"
        "print(outcome(function () { Ship.Left = 2147483647; }));\n"
        "print(outcome(function () { Asteroids.Move(-2147483648); }));\n"
        "print(outcome(function () { Ship.HitArea = { Left: 0, Top: 0, Right: 1e12, Bottom: 1 }; }));\n"
        "Ship.Left = 1000000000;\n"
        "print(Ship.Left + ' ' + (Ship.Right - Ship.Width));\n"
        "Ship.Left = -1000000000;\n"
        "print(Ship.Left + ' ' + (Ship.Right - Ship.Width));\n"
        "Ship.Left = 10.7; var a = Ship.Left;\n"
        "Ship.Left = -10.7; print(a + ' ' + Ship.Left);\n"
        "Ship.Left = 5; Ship.Right = 300.5; print(Ship.Right);\n"
        "for (var i = 0; i < 3; i++) Asteroids.Move(-1000000000);\n"
        "print(Rock.Left);\n"
        "print('end');\n"
        "function shutdown() { print('down'); }\n");
    Click("btRun");
    ASSERT_TRUE(WaitForMessage("end")) << qPrintable(Core.Log.join('\n'));
    const QString Rule = QStringLiteral(" takes a whole number from -1000000000 to 1000000000, not ");
    EXPECT_EQ(Messages().mid(0, 11).join('\n').toStdString(),
              QStringList({"RangeError: Ship.Left" + Rule + "1000000000000", "RangeError: Ship.Left" + Rule + "Infinity",
                           "RangeError: Ship.Left" + Rule + "2147483647",
                           "RangeError: Asteroids.Move" + Rule + "-2147483648",
                           "RangeError: Ship.HitArea.Right" + Rule + "1000000000000", "1000000000 1000000000",
                           "-1000000000 -1000000000", "11 -11", "301", "1000000000", "end"})
                  .join('\n')
                  .toStdString());
    EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join('\n'));
    EXPECT_EQ(Rock->GetLeft(), 1000000000);
}

// Every integer member of the game's and the sandbox's objects, with every
// extreme number: refused by the rule or taken, and nothing overflows.
TEST_F(GameScriptTest, ExtremeNumbersForEveryIntegerMember)
{
    int Tries = 0;
    QString Code = QLatin1String(KSweep);
    for (QObject *O : {static_cast<QObject *>(Window.data()), static_cast<QObject *>(Screen),
                       static_cast<QObject *>(Ship), static_cast<QObject *>(Missile), Asteroids})
        Code += SweepOf(O == Window ? QStringLiteral("Form") : O->objectName(), O->metaObject(), Tries);
    Core.Source = Code + QLatin1String(KSweepEnd);
    Click("btRun");
    ASSERT_TRUE(processEventsUntil([&] { return Messages().size() >= 1 || !Errors().isEmpty(); }))
        << qPrintable(Core.Log.join('\n'));
    EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join('\n'));
    EXPECT_EQ(Messages().join('\n').toStdString(), QStringLiteral("swept %1 0").arg(Tries).toStdString());
    EXPECT_GT(Tries, 13 * 40) << "the game's members were not found";
    Click("btStop");

    // The sandbox's engine is the current one from here.
    TRecordingCore SandboxCore;
    TSandbox Sandbox(SandboxCore);
    ASSERT_TRUE(Sandbox.Window);
    Tries = 0;
    Code = QLatin1String(KSweep) + SweepOf("Screen", Sandbox.Window->metaObject(), Tries)
           + QStringLiteral("var Sprite = createSprite();\n") + SweepOf("Sprite", &TSprite::staticMetaObject, Tries);
    Sandbox.Window->Start(Code + QLatin1String(KSweepEnd));
    const QRegularExpression Reports("^Message|^CodeError");
    ASSERT_TRUE(processEventsUntil(
        [&] { return !SandboxCore.Log.filter(QRegularExpression("^Message swept|^CodeError")).isEmpty(); }))
        << qPrintable(SandboxCore.Log.join('\n'));
    EXPECT_EQ(SandboxCore.Log.filter(Reports).join('\n').toStdString(),
              QStringLiteral("Message swept %1 0").arg(Tries).toStdString());
    EXPECT_GT(Tries, 13 * 15) << "the sandbox's members were not found";
}

// Out of its parent's area as a program measures that area: a form's Width
// and Height are its outer size, larger than the client area by the frame.
TEST(SandboxScriptTest, OutOfScreenByTheFormsOuterSize)
{
    QTemporaryDir Dir;
    const QString Previous = TSaveFormInfo::SetFileName(Dir.filePath("FormInfo.ini"));
    TRecordingCore Core;
    {
        TSandbox Sandbox(Core);
        ASSERT_TRUE(Sandbox.Window);
        Sandbox.Window->Start(QStringLiteral(
            "var s = createSprite(); s.Width = 10; s.Height = 10; s.Visible = true;\n"
            "print(Screen.Width > Screen.ClientWidth && Screen.Height > Screen.ClientHeight);\n"
            "s.Left = Screen.ClientWidth + 1; print(s.IsOutOfScreen);\n"
            "s.Left = 0; s.Top = Screen.ClientHeight + 1; print(s.IsOutOfScreen);\n"
            "s.Top = Screen.Height; print(s.IsOutOfScreen);\n"
            "s.Top = 0; s.Left = Screen.Width; print(s.IsOutOfScreen);\n"
            "s.Left = -10; print(s.IsOutOfScreen);\n"
            "s.Left = -9; print(s.IsOutOfScreen);\n"
            "print('end');\n"));
        ASSERT_TRUE(processEventsUntil(
            [&] { return Core.Log.contains("Message end") || !Core.Log.filter("CodeError").isEmpty(); }))
            << qPrintable(Core.Log.join('\n'));
        EXPECT_EQ(Core.Log.filter(QRegularExpression("^Message|^CodeError")),
                  QStringList({"Message true", "Message false", "Message false", "Message true", "Message true",
                               "Message true", "Message false", "Message end"}))
            << qPrintable(Core.Log.join('\n'));
    }
    TSaveFormInfo::SetFileName(Previous);
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
                                           KLoopRedefined, KBadInput),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
