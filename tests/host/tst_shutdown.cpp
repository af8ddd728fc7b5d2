// The orderly shut-down finalizes the process-wide core, so it has a test
// program of its own.

#include "editorframe.h"
#include "hosttestsupport.h"
#include "mainform.h"
#include "saveforminfo.h"
#include "testsupport.h"
#include "toolbars.h"
#include "web.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

KB_WEB_ENGINE_SANITIZER_OPTIONS

namespace {

// Notes when a timer first fires, before any handler of its timeout runs.
class TFiredFirst : public QObject
{
public:
    explicit TFiredFirst(QTimer *ATimer) { ATimer->installEventFilter(this); }
    bool Fired = false;

protected:
    bool eventFilter(QObject *, QEvent *AEvent) override
    {
        Fired |= AEvent->type() == QEvent::Timer;
        return false;
    }
};

} // namespace

TEST(ShutDownTest, CloseIsRefusedModulesCloseAndTheTimerFreesTheLibraryAndEnds)
{
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("FormInfo.ini"));
    const QString previousIni = TSaveFormInfo::SetFileName(ini);

    auto *form = new TfmMain;
    form->show();
    ASSERT_TRUE(form->frWeb->WebBrowserBeforeNavigate2(QStringLiteral("kb://a/b/Good")));
    ASSERT_TRUE(WaitFor([] { return TModule::Obj()->CurrentModule() != nullptr; }));
    QPointer<TModuleInterface> window = TModule::Obj()->CurrentModule();
    // Whether the module window was gone before the close timer came to free
    // its library (the library's unloading would delete a live one).
    TFiredFirst timer(form->tmClose);
    bool freedBeforeTheTimer = false;
    QObject::connect(window, &QObject::destroyed, [&] { freedBeforeTheTimer = !timer.Fired; });

    ASSERT_TRUE(WaitFor([&] { return !form->frToolBarModule->isHidden(); }));

    // With changes in the editor the learner is asked first; Cancel keeps
    // the program running as it was.
    GEditorFrame->moSrc->setCursorPosition(0, 0);
    QTest::keyClicks(GEditorFrame->moSrc, QStringLiteral("unsaved"));
    const QString typed = GEditorFrame->Lines().Text();
    {
        Learner learner(QMessageBox::Cancel);
        EXPECT_FALSE(form->close());
        EXPECT_EQ(learner.Questions, 1);
    }
    EXPECT_FALSE(window.isNull());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(TCore::Obj()->IsFinalized());
    EXPECT_TRUE(TCore::Obj()->View()->Active());
    EXPECT_FALSE(form->tmClose->isActive());
    EXPECT_EQ(GEditorFrame->Lines().Text(), typed);

    // Save writes the file, then the shut-down goes on.
    const QString saved = dir.filePath(QStringLiteral("unsaved.js"));
    Learner learner(QMessageBox::Save, saved);
    // The request is refused; the module window closes at once; the core is
    // finalized; the library stays until the timer.
    EXPECT_FALSE(form->close());
    EXPECT_EQ(learner.Questions, 1);
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), QString(typed).replace("\r\n", "\n") + u'\n');
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(window.isNull() || !window->isVisible());
    EXPECT_TRUE(TCore::Obj()->IsFinalized());
    EXPECT_FALSE(TCore::Obj()->View()->Active());
    EXPECT_TRUE(form->tmClose->isActive());
    EXPECT_TRUE(TModule::Obj()->IsLoaded());

    // A second request within the delay changes nothing and asks nothing.
    QTest::keyClicks(GEditorFrame->moSrc, QStringLiteral("more"));
    const int remaining = form->tmClose->remainingTime();
    EXPECT_FALSE(form->close());
    EXPECT_EQ(learner.Questions, 1);
    EXPECT_LE(form->tmClose->remainingTime(), remaining);

    // The application ends when the close timer fires, not before: a
    // coarse timer may fire up to 5% early.
    const int left = form->tmClose->remainingTime();
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(HangLimitMs(), [] { QCoreApplication::exit(1); }); // safety net
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_GE(clock.elapsed(), left - left / 20 - 1);

    // The window freed itself before its library went; the "Main" that it
    // posted was dropped, so the panes kept module mode.
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(freedBeforeTheTimer);
    EXPECT_FALSE(TModule::Obj()->IsLoaded());
    EXPECT_FALSE(IsResident(QStringLiteral("Good")));
    EXPECT_FALSE(form->frToolBarModule->isHidden());
    EXPECT_TRUE(form->frWeb->isHidden());

    // Destruction writes the placement.
    const QRect bounds = form->frameGeometry();
    delete form;
    EXPECT_EQ(fmMain, nullptr);
    EXPECT_EQ(ReadIniInteger(ini, QStringLiteral("TfmMain"), QStringLiteral("Width"), -1), bounds.width());
    EXPECT_EQ(ReadIniInteger(ini, QStringLiteral("TfmMain"), QStringLiteral("Height"), -1), bounds.height());
    EXPECT_NE(ReadIniInteger(ini, QStringLiteral("TfmMain"), QStringLiteral("Left"), -12345), -12345);
    TSaveFormInfo::SetFileName(previousIni);
}
