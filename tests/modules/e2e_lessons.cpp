// The whole program, built as its main builds it, driven the way a learner
// drives it: a home-page link opens a module, Run runs the lesson, the LED
// blinks, Close returns to the home page. With KB_SCREENSHOT_DIR set, the
// module windows are saved there as PNGs.
#include "application.h"
#include "core.h"
#include "disk.h"
#include "editorframe.h"
#include "mainform.h"
#include "module.h"
#include "saveforminfo.h"
#include "testsupport.h"
#include "toolbars.h"
#include "view.h"
#include "web.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString LinkTo(const QString &AModule, const QString &ASample = {})
{
    return QStringLiteral("kb://kitebench/lesson/%1/%2").arg(AModule, ASample);
}

// Follows a link as the web pane does when it is clicked.
TModuleInterface *FollowLink(const QString &ALink, const char *ACaption)
{
    EXPECT_TRUE(fmMain->frWeb->WebBrowserBeforeNavigate2(ALink));
    TModuleInterface *w = nullptr;
    EXPECT_TRUE(WaitFor([&] {
        w = TModule::Obj()->CurrentModule();
        return w && w->windowTitle() == QLatin1String(ACaption) && w->isVisible();
    })) << ACaption << " did not open";
    return w;
}

QWidget *FindControl(QWidget *AWindow, const char *AClass)
{
    for (QWidget *w : AWindow->findChildren<QWidget *>())
        if (qstrcmp(w->metaObject()->className(), AClass) == 0)
            return w;
    return nullptr;
}

void Screenshot(QWidget *AWindow, const QString &AName)
{
    const QString dir = qEnvironmentVariable("KB_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    AWindow->grab().save(dir + QLatin1Char('/') + AName);
}

void CloseModule(QPointer<TModuleInterface> AWindow)
{
    fmMain->frToolBarModule->btClose->Click();
    EXPECT_TRUE(WaitFor([&] { return AWindow.isNull(); }));
    // Back in the main mode.
    EXPECT_TRUE(WaitFor([] { return fmMain->frWeb->isVisibleTo(fmMain); }));
}

// Waits until the LED shows AOn and returns how long it took; -1 if it
// never did.
qint64 WaitLed(QWidget *ALed, bool AOn)
{
    QElapsedTimer t;
    t.start();
    if (!WaitFor([&] { return ALed->property("Lit").toBool() == AOn; }))
        return -1;
    return t.elapsed();
}

} // namespace

TEST(EndToEnd, SandboxKeepsTheLinksSample)
{
    QPointer<TModuleInterface> w = FollowLink(LinkTo("Empty", "Hello.js"), "Empty");
    ASSERT_TRUE(w);
    QFile sample(GetExecPath() + "Samples/Hello.js");
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QString expected = TEditorLines::SplitLines(QString::fromUtf8(sample.readAll())).join("\r\n");
    // Give any late packet its chance to arrive: none replaces the sample.
    QTest::qWait(300);
    EXPECT_EQ(EditorSourceText(), expected);
    EXPECT_TRUE(fmMain->frEditor->isVisibleTo(fmMain));

    // Script-made sprites appear on the window.
    fmMain->frToolBarModule->btRun->Click();
    QTest::qWait(300);
    Screenshot(w, "sandbox.png");
    CloseModule(w);
}

TEST(EndToEnd, LessonOneBlinksTheLedOnPin13)
{
    QPointer<TModuleInterface> w = FollowLink(LinkTo("Glow0001", "Hello.js"), "Glow0001 - Blinking a LED");
    ASSERT_TRUE(w);
    // The lesson's program replaces the sample the link loaded.
    ASSERT_TRUE(WaitFor([] { return EditorSourceText().startsWith("// Run 버턴을 클릭하면 한 번만"); }));
    EXPECT_EQ(EditorSourceText().split("\r\n").size(), 20);

    QWidget *led = FindControl(w, "TLED");
    ASSERT_NE(led, nullptr);
    EXPECT_EQ(led->geometry(), QRect(136, 374, 32, 32));
    EXPECT_FALSE(led->property("Lit").toBool());

    // Run pressed twice: the second run takes the place of the first.
    fmMain->frToolBarModule->btRun->Click();
    fmMain->frToolBarModule->btRun->Click();
    ASSERT_GE(WaitLed(led, true), 0);
    Screenshot(w, "lesson1-lit.png");
    // On a busy machine the first run may light the LED before the second
    // takes over and sets its pins up again: time a whole blink after that.
    ASSERT_GE(WaitLed(led, false), 0);
    ASSERT_GE(WaitLed(led, true), 0);
    const qint64 litFor = WaitLed(led, false);
    ASSERT_GE(litFor, 0);
    EXPECT_GE(litFor, 500); // delay(1000) keeps it lit about a second
    ASSERT_GE(WaitLed(led, true), 0); // and it comes back on

    fmMain->frToolBarModule->btStop->Click();
    CloseModule(w);
}

TEST(EndToEnd, LessonTwoBlinkTimeFollowsTheDial)
{
    QPointer<TModuleInterface> w = FollowLink(LinkTo("Glow0002"), "Glow0002 - Potentiometer");
    ASSERT_TRUE(w);
    ASSERT_TRUE(WaitFor([] { return EditorSourceText().contains("Dial.Position = 50;"); }));
    QWidget *led = FindControl(w, "TLED");
    QWidget *dial = FindControl(w, "TDial");
    auto *label = w->findChild<QWidget *>("lbDial");
    ASSERT_TRUE(led && dial && label);
    EXPECT_EQ(dial->geometry(), QRect(95, 412, 120, 120));

    fmMain->frToolBarModule->btRun->Click();
    // setup() puts the dial at 50, so the label shows 500.
    ASSERT_TRUE(WaitFor([&] { return label->property("Caption").toString() == "500"; }));
    Screenshot(w, "lesson2-50.png");

    // Turned to 100: a blink of a second, shown as 1000.
    dial->setProperty("Position", 100);
    ASSERT_TRUE(WaitFor([&] { return label->property("Caption").toString() == "1000"; }));
    ASSERT_GE(WaitLed(led, true), 0);
    const qint64 slow = WaitLed(led, false);
    EXPECT_GE(slow, 500);
    Screenshot(w, "lesson2-100.png");

    // Turned to 0: no wait at all; the label says 0 and the run goes on.
    dial->setProperty("Position", 0);
    ASSERT_TRUE(WaitFor([&] { return label->property("Caption").toString() == "0"; }));
    QTest::qWait(200);
    Screenshot(w, "lesson2-0.png");
    dial->setProperty("Position", 100);
    ASSERT_TRUE(WaitFor([&] { return label->property("Caption").toString() == "1000"; }));

    // Closing during the run stops it.
    CloseModule(w);
}

TEST(EndToEnd, SecondLinkReplacesAnOpenModuleWhileItRuns)
{
    QPointer<TModuleInterface> first = FollowLink(LinkTo("Glow0001"), "Glow0001 - Blinking a LED");
    ASSERT_TRUE(first);
    ASSERT_TRUE(WaitFor([] { return EditorSourceText().contains("digitalWrite(13, HIGH);"); }));
    fmMain->frToolBarModule->btRun->Click();
    QWidget *led = FindControl(first, "TLED");
    ASSERT_NE(led, nullptr);
    ASSERT_GE(WaitLed(led, true), 0);

    // The first window goes with its library; the second opens and runs.
    QPointer<TModuleInterface> second = FollowLink(LinkTo("Empty", "Hello.js"), "Empty");
    ASSERT_TRUE(second);
    EXPECT_TRUE(first.isNull());
    fmMain->frToolBarModule->btRun->Click();
    QTest::qWait(300);
    fmMain->frToolBarModule->btStop->Click();
    CloseModule(second);
}

TEST(EndToEnd, GameRunsFromItsOwnRunAndTheShipFollowsTheKeys)
{
    QPointer<TModuleInterface> w = FollowLink(LinkTo("Skivo", "Hello.js"), "Skivo");
    ASSERT_TRUE(w);
    // The game's program replaces the sample the link loaded.
    ASSERT_TRUE(WaitFor([] { return EditorSourceText().startsWith("Ship.Visible = true;"); }));
    EXPECT_EQ(w->size(), QSize(480, 361));
    auto *ship = w->findChild<QWidget *>("Ship");
    auto *screen = w->findChild<QWidget *>("Screen");
    auto *run = w->findChild<QWidget *>("btRun");
    ASSERT_TRUE(ship && screen && run);
    const auto asteroidsIn = [&] {
        int n = 0;
        for (QWidget *s : screen->findChildren<QWidget *>())
            n += s != ship && s->size() == QSize(64, 64) && s->isVisibleTo(screen) && s->x() < 480;
        return n;
    };

    // The window's own Run, as a click.
    QTest::mouseClick(run, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return ship->isVisibleTo(screen) && ship->y() == 0; }));
    // An asteroid that met the ship would hide it, and a hidden ship cannot
    // fire: while the ship is steered, the field has nowhere to bring them
    // in, and any already in are taken off.
    auto *asteroids = w->findChild<QObject *>("Asteroids");
    ASSERT_NE(asteroids, nullptr);
    asteroids->setProperty("Parent", QVariant::fromValue<QWidget *>(nullptr));
    for (QWidget *s : screen->findChildren<QWidget *>())
        if (s->size() == QSize(64, 64))
            s->setProperty("Visible", false);

    QTest::keyPress(w, Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return ship->y() >= 60; }));
    QTest::keyRelease(w, Qt::Key_Down);
    // Released: at most the step already under way when the key went up.
    const int stoppedAt = ship->y();
    QTest::qWait(300);
    EXPECT_LE(ship->y() - stoppedAt, 1);

    QTest::keyPress(w, Qt::Key_Space);
    auto *missile = w->findChild<QWidget *>("Missile");
    ASSERT_TRUE(WaitFor([&] { return missile->isVisibleTo(screen); }));
    QTest::keyRelease(w, Qt::Key_Space);

    // Given the field back, the asteroids come in.
    asteroids->setProperty("Parent", QVariant::fromValue<QWidget *>(screen));
    ASSERT_TRUE(WaitFor([&] { return asteroidsIn() >= 2; }));
    Screenshot(w, "game.png");

    QTest::mouseClick(w->findChild<QWidget *>("btStop"), Qt::LeftButton);
    // shutdown() frees the asteroids.
    ASSERT_TRUE(WaitFor([&] { return asteroidsIn() == 0; }));
    CloseModule(w);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TModule::Obj();
    PrepareWebEngineEnvironment();
    TApplication app(argc, argv);
    // Placements go to a file of the test's own.
    QTemporaryDir placements;
    TSaveFormInfo::SetFileName(placements.filePath("FormInfo.ini"));

    auto *mainForm = new TfmMain;
    mainForm->show();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();

    TCore::Obj()->View()->sp_CloseModules();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TModule::Obj()->Finalize();
    delete mainForm;
    return result;
}
