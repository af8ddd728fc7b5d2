// The game window, loaded as the host loads it: its form and objects with a
// recording engine, then its own program on the real engine.
#include "disk.h"
#include "formcontrols.h"
#include "modulefakes.h"
#include "saveforminfo.h"
#include "sprite.h"
#include "testsupport.h"

#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString GameProgram()
{
    QFile file(QStringLiteral(KB_SKIVO_DIR "/program.js"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class GameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FPreviousFile = TSaveFormInfo::SetFileName(FDir.filePath("FormInfo.ini"));
    }
    void TearDown() override
    {
        delete Window.data();
        TSaveFormInfo::SetFileName(FPreviousFile);
    }
    void Open()
    {
        Window = CreateWindow("Skivo");
        ASSERT_TRUE(Window);
        Window->SetCore(&Core);
        Window->show();
        Ship = Window->findChild<TSprite *>("Ship");
        Missile = Window->findChild<TSprite *>("Missile");
        Screen = Window->findChild<QWidget *>("Screen");
        Asteroids = Window->findChild<QObject *>("Asteroids");
        ASSERT_TRUE(Ship && Missile && Screen && Asteroids);
    }
    // The asteroid field's pool: the other sprites on the field, in order.
    QList<TSprite *> Rocks() const
    {
        QList<TSprite *> rocks = Screen->findChildren<TSprite *>(Qt::FindDirectChildrenOnly);
        rocks.removeAll(Ship);
        rocks.removeAll(Missile);
        return rocks;
    }
    TImageList *RockImages() const { return Asteroids->property("ImageList").value<TImageList *>(); }
    TImageList *ExplosionImages() const { return Asteroids->property("ImageListExplode").value<TImageList *>(); }
    void Click(const char *AButton)
    {
        QMetaObject::invokeMethod(Window->findChild<QObject *>(AButton), "Click");
    }

    TRecordingCore Core;
    QTemporaryDir FDir;
    QString FPreviousFile;
    QPointer<TModuleInterface> Window;
    TSprite *Ship = nullptr;
    TSprite *Missile = nullptr;
    QWidget *Screen = nullptr;
    QObject *Asteroids = nullptr;
};

class GameFormTest : public GameTest
{
protected:
    TRecordingEngineScope FEngine;
};

} // namespace

TEST_F(GameFormTest, WindowFieldAndSpritesAsTheProgramFindsThem)
{
    Open();
    EXPECT_STREQ(Window->metaObject()->className(), "TfmModule");
    EXPECT_EQ(Window->windowTitle(), "Skivo");
    EXPECT_EQ(Window->size(), QSize(480, 361));
    EXPECT_EQ(Window->minimumSize(), Window->maximumSize()); // a fixed frame
    EXPECT_FALSE(Window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(Screen->geometry(), QRect(0, 41, 480, 320));
    EXPECT_EQ(Screen->property("Right").toInt(), 480);
    EXPECT_EQ(Screen->property("Bottom").toInt(), 320);
    EXPECT_EQ(Screen->property("Height").toInt(), 320);
    EXPECT_FALSE(Screen->metaObject()->property(Screen->metaObject()->indexOfProperty("Right")).isWritable());
    EXPECT_EQ(Window->findChild<QWidget *>("imgBackground")->geometry(), QRect(-240, 0, 720, 320));
    EXPECT_EQ(Window->findChild<QWidget *>("imgBackground")->parentWidget(), Screen);

    // Ship and missile: hidden at 0,0 on the field, at their pictures' sizes,
    // hit areas inside them.
    for (TSprite *s : {Ship, Missile}) {
        EXPECT_EQ(s->parentWidget(), Screen);
        EXPECT_FALSE(s->GetVisible());
        EXPECT_FALSE(s->GetActive());
        EXPECT_EQ(s->pos(), QPoint(0, 0));
    }
    EXPECT_EQ(Ship->size(), QSize(122, 65));
    EXPECT_EQ(Ship->GetImageList()->Count(), 4);
    EXPECT_EQ(Ship->GetHitArea(), (TRect{40, 11, 110, 55}));
    EXPECT_EQ(Missile->size(), QSize(27, 12));
    EXPECT_EQ(Missile->GetHitArea(), (TRect{8, 2, 23, 8}));
    EXPECT_EQ(RockImages()->Count(), 12);
    EXPECT_EQ(ExplosionImages()->Count(), 4);
    EXPECT_EQ(Asteroids->property("Parent").value<QWidget *>(), Screen);

    // The program goes to the editor after module mode, trimmed, CR LF.
    QString program = GameProgram().trimmed();
    program.replace("\n", "\r\n");
    ASSERT_EQ(Core.Log.size(), 3);
    EXPECT_EQ(Core.Log.mid(0, 2), (QStringList{"Add", "SetToolBar Module"}));
    EXPECT_EQ(Core.Log[2], "SetSourceCode " + program);
}

TEST_F(GameFormTest, StoredPositionAppliesButTheGameKeepsItsSize)
{
    const QString ini = TSaveFormInfo::FileName();
    WriteIniInteger(ini, "TfmModule", "Left", 40);
    WriteIniInteger(ini, "TfmModule", "Top", 30);
    WriteIniInteger(ini, "TfmModule", "Width", 700);
    WriteIniInteger(ini, "TfmModule", "Height", 650);
    Open();
    EXPECT_TRUE(WaitFor([&] { return Window->frameGeometry().topLeft() == QPoint(40, 30); }))
        << Window->frameGeometry().x() << "," << Window->frameGeometry().y();
    EXPECT_EQ(Window->size(), QSize(480, 361));
}

TEST_F(GameFormTest, OwnRunReadsTheEditorAndAddsTheGamesObjects)
{
    Open();
    Core.Source = "Ship.Visible = true;";
    TEngineRecord::Calls().clear();
    Click("btRun");
    EXPECT_EQ(TEngineRecord::Calls(),
              (QStringList{"Prepare", "AddGlobalFunctions TJSGlobalFunctions", "AddObject Form", "AddObject Screen",
                           "AddObject Ship", "AddObject Missile", "AddObject Asteroids", "AddObject OpenDialog",
                           "AddObject SaveDialog", "Start Ship.Visible = true;"}));
    EXPECT_EQ(TEngineRecord::Objects().mid(0, 5),
              (QList<QObject *>{Window.data(), Screen, Ship, Missile, Asteroids}));
    TEngineRecord::Calls().clear();
    Click("btStop");
    EXPECT_EQ(TEngineRecord::Calls(), QStringList{"Stop"});

    // The sound functions return at once, with or without a sound device.
    const QMetaObject *functions = TEngineRecord::GlobalClass();
    ASSERT_NE(functions, nullptr);
    std::unique_ptr<QObject> f(functions->newInstance());
    ASSERT_TRUE(f);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 2000; ++i) {
        QMetaObject::invokeMethod(f.get(), "soundFire");
        QMetaObject::invokeMethod(f.get(), "soundBoom");
    }
    // They take a few milliseconds here; a call that waited for the device
    // would take seconds. The bound holds on a machine ten times slower.
    EXPECT_LT(t.elapsed(), 1000 * TimeScale());
}

TEST_F(GameFormTest, BackgroundPaintsEachDirtyRectangleAsItsPictureHasIt)
{
    Open();
    auto *background = qobject_cast<TImage *>(Window->findChild<QWidget *>("imgBackground"));
    ASSERT_NE(background, nullptr);
    const QImage picture = background->Picture();
    // Rectangles as moving sprites leave them: two that overlap, a small
    // one, and one cut by the field's edge.
    QRegion dirty;
    dirty += QRect(10, 20, 64, 64);
    dirty += QRect(60, 50, 122, 65);
    dirty += QRect(300, 200, 27, 12);
    dirty += QRect(440, 280, 64, 64);
    ASSERT_GT(dirty.rectCount(), 3);
    QImage out(Screen->size(), QImage::Format_ARGB32_Premultiplied);
    const QRgb untouched = qRgb(255, 0, 255);
    out.fill(untouched);
    // Rendering starts at the region's corner, as the field paints it.
    Screen->render(&out, dirty.boundingRect().topLeft(), dirty);
    // The picture starts 240 pixels left of the field.
    int wrong = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            wrong += out.pixel(x, y) != (dirty.contains(QPoint(x, y)) ? picture.pixel(x + 240, y) : untouched);
    EXPECT_EQ(wrong, 0);
}

TEST_F(GameFormTest, WhereThePictureDoesNotReachTheFieldShowsItsColourAndNoTrail)
{
    Open();
    auto *background = qobject_cast<TImage *>(Window->findChild<QWidget *>("imgBackground"));
    ASSERT_NE(background, nullptr);
    const QImage picture = background->Picture();
    QPalette palette = Screen->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 128));
    Screen->setPalette(palette);
    Ship->SetVisible(true);
    // Grown below the picture as a program grows it, then past it on every
    // side and moved off the window's corner.
    for (const QRect &field : {QRect(0, 0, 480, 361), QRect(-30, -10, 700, 420)}) {
        Screen->setProperty("Left", field.x());
        Screen->setProperty("Top", field.y());
        Screen->setProperty("Width", field.width());
        Screen->setProperty("Height", field.height());
        ASSERT_EQ(Screen->geometry(), field);
        // Two paints into the same pixels, as the screen keeps them, with
        // the ship moved along the bare band between them.
        QImage out(Screen->size(), QImage::Format_ARGB32_Premultiplied);
        out.fill(qRgb(255, 0, 255));
        Ship->move(20, 330);
        Screen->render(&out);
        Ship->move(300, 330);
        Screen->render(&out);
        int wrong = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                if (Ship->geometry().contains(x, y))
                    continue;
                // The picture starts 240 pixels left of the field.
                const QRgb want = x < 480 && y < 320 ? picture.pixel(x + 240, y) : qRgb(0, 0, 128);
                wrong += out.pixel(x, y) != want;
            }
        EXPECT_EQ(wrong, 0) << field.width() << "x" << field.height();
    }
}

TEST_F(GameFormTest, TheFieldIsPaintedAtMostOnceAFrameAndShowsTheLastMove)
{
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.data()));
    struct TPaints : QObject
    {
        int Count = 0;
        QPoint Last;
        bool eventFilter(QObject *AWatched, QEvent *AEvent) override
        {
            if (AEvent->type() == QEvent::Paint) {
                ++Count;
                Last = static_cast<QWidget *>(AWatched)->pos();
            }
            return false;
        }
    } paints;
    Ship->installEventFilter(&paints);
    Ship->SetVisible(true);
    ASSERT_TRUE(processEventsUntil([&] { return paints.Count > 0; }));

    // A move on every pass of the event loop, far more often than frames.
    const qreal rate = Window->screen()->refreshRate();
    paints.Count = 0;
    const int moves = 500;
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= moves; ++i) {
        Ship->move(i % 300, 100);
        QCoreApplication::processEvents();
    }
    const qint64 ms = t.elapsed();
    // Paints a frame apart at least: a busier machine paints fewer, never more.
    EXPECT_LE(paints.Count, ms * rate / 1000 + 2) << "in " << ms << " ms";
    EXPECT_LT(paints.Count, moves);
    // None is lost: the last move is painted, and so is one long after.
    const QPoint last = Ship->pos();
    ASSERT_TRUE(processEventsUntil([&] { return paints.Last == last; }));
    Ship->move(7, 7);
    ASSERT_TRUE(processEventsUntil([&] { return paints.Last == QPoint(7, 7); }));
}

// The real engine on the game's own program.
class GamePlayTest : public GameTest
{
protected:
    void Key(QEvent::Type AType, int AKey)
    {
        QKeyEvent e(AType, AKey, Qt::NoModifier);
        QCoreApplication::sendEvent(Window.data(), &e);
    }
    QStringList Errors() const { return Core.Log.filter("CodeError"); }
};

// Watches the game as it runs: the missile is at the ship's nose only for
// a moment, so the waits look after every pass over the events, where
// QTest::qWaitFor would sleep 10 ms between them.
TEST_F(GamePlayTest, TheSampleProgramPlaysTheGame)
{
    Open();
    Core.Source = GameProgram();
    Click("btRun");
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetVisible() && Ship->GetActive(); }));
    EXPECT_EQ(Ship->GetTop(), 0);
    EXPECT_FALSE(Missile->GetVisible());
    ASSERT_TRUE(processEventsUntil([&] { return Rocks().size() == 20; }));
    // An asteroid that met the ship would hide it, and a hidden ship cannot
    // fire: the field is left nowhere to bring asteroids in, and any already
    // in are taken off, so that only the test puts one in the way.
    Asteroids->setProperty("Parent", QVariant::fromValue<QWidget *>(nullptr));
    for (TSprite *s : Rocks())
        s->SetVisible(false);

    // The ship follows the keys and stays on the field.
    Key(QEvent::KeyPress, Qt::Key_Down);
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetBottom() == 320; }));
    Key(QEvent::KeyRelease, Qt::Key_Down);
    Key(QEvent::KeyPress, Qt::Key_Up);
    ASSERT_TRUE(processEventsUntil([&] { return Ship->GetTop() <= 100; }));
    Key(QEvent::KeyRelease, Qt::Key_Up);

    // Fire: the missile leaves from the ship's nose, level with its middle.
    Key(QEvent::KeyPress, Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return Missile->GetVisible(); }));
    Key(QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_GE(Missile->GetLeft(), Ship->GetWidth());
    EXPECT_NEAR(Missile->GetTop() - Ship->GetTop(), (Ship->GetHeight() - Missile->GetHeight()) / 2.0, 0.5);

    // An asteroid put in its way explodes, and the missile goes.
    TSprite *target = Rocks().at(0);
    target->move(Missile->GetLeft() + 40, Missile->GetTop() - 26);
    target->SetVisible(true);
    ASSERT_TRUE(processEventsUntil([&] { return target->GetImageList() == ExplosionImages(); }));
    ASSERT_TRUE(processEventsUntil([&] { return !Missile->GetVisible(); }));
    // Its explosion plays once, and the asteroid field hides it after.
    ASSERT_TRUE(processEventsUntil([&] { return !target->GetVisible(); }));

    // Given the field back, asteroids come in from its right edge.
    Asteroids->setProperty("Parent", QVariant::fromValue<QWidget *>(Screen));
    ASSERT_TRUE(processEventsUntil([&] {
        for (TSprite *s : Rocks())
            if (s->GetVisible() && s->GetImageList() == RockImages())
                return true;
        return false;
    }));

    // Stop: shutdown() stops the ship and frees the asteroids.
    Click("btStop");
    ASSERT_TRUE(processEventsUntil([&] { return !Ship->GetActive() && Rocks().isEmpty(); }));
    EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join('\n'));
}

TEST_F(GamePlayTest, CollisionsAndWrongArgumentsThroughTheEngine)
{
    Open();
    // A real collision: the engine hands the real sprite to the field.
    Core.Source = "Ship.Visible = true; Ship.Top = 100; Asteroids.Start();\n"
                  "function loop() {\n"
                  "  var a = Asteroids.CheckCollision(Ship);\n"
                  "  if (a) { console.log('hit'); Ship.Visible = false; }\n"
                  "}\n";
    Click("btRun");
    ASSERT_TRUE(processEventsUntil([&] { return Rocks().size() == 20; })) << qPrintable(Core.Log.join('\n'));
    TSprite *rock = Rocks().at(0);
    ASSERT_TRUE(processEventsUntil([&] { return rock->GetVisible(); }));
    rock->move(99, 100);
    ASSERT_TRUE(processEventsUntil([&] { return Core.Log.contains("Message hit"); }));
    EXPECT_EQ(rock->GetImageList(), ExplosionImages());
    Click("btStop");

    // What is not a sprite is refused with a clear error.
    Core.Log.clear();
    Core.Source = "var n = 0;\nAsteroids.CheckCollision(Screen);\n";
    Click("btRun");
    ASSERT_TRUE(processEventsUntil([&] { return !Errors().isEmpty(); }));
    EXPECT_EQ(Errors().value(0), "CodeError 2: TypeError: Asteroids.CheckCollision takes a TSprite, not Screen");
    Click("btStop");
}

TEST_F(GamePlayTest, ScreenIsAPanelToThePrograms)
{
    Open();
    Core.Source = "Screen.Width = 300; Screen.Height = 200;\n"
                  "console.log([Screen.Left, Screen.Top, Screen.Width, Screen.Height, Screen.Right,\n"
                  "             Screen.Bottom, Screen.Visible].join(' '));\n";
    Click("btRun");
    ASSERT_TRUE(processEventsUntil([&] { return !Core.Log.filter("Message").isEmpty() || !Errors().isEmpty(); }));
    EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join('\n'));
    EXPECT_EQ(Core.Log.filter("Message").value(0), "Message 0 41 300 200 300 200 true");
    EXPECT_EQ(Screen->size(), QSize(300, 200));
    Click("btStop");
}

TEST_F(GamePlayTest, ClosingDuringARunFreesEverythingSafely)
{
    Open();
    Core.Source = GameProgram();
    Click("btRun");
    ASSERT_TRUE(processEventsUntil([&] { return Rocks().size() == 20 && Ship->GetVisible(); }));
    Window->close();
    ASSERT_TRUE(processEventsUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return Window.isNull();
    }));
}
