#include "appexception.h"
#include "caption.h"
#include "editorframe.h"
#include "hosttestsupport.h"
#include "mainform.h"
#include "messages.h"
#include "observerlist.h"
#include "saveforminfo.h"
#include "testsupport.h"
#include "toolbars.h"
#include "web.h"
#include "xibutton.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <gtest/gtest.h>

KB_WEB_ENGINE_SANITIZER_OPTIONS

namespace {

// A sample file in the test program's Samples folder, removed afterwards.
class Sample
{
public:
    Sample(const QString &AName, const QByteArray &AData)
        : FPath(GetExecPath() + QStringLiteral("Samples/") + AName)
    {
        QDir().mkpath(QFileInfo(FPath).absolutePath());
        QFile f(FPath);
        if (f.open(QIODevice::WriteOnly))
            f.write(AData);
    }
    ~Sample() { QFile::remove(FPath); }

private:
    QString FPath;
};

// Types a file name into the dialog, as the user would, and confirms it.
void Choose(QFileDialog *ADialog, const QString &APath)
{
    ADialog->setDirectory(QFileInfo(APath).absolutePath());
    auto *edit = ADialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QFileInfo(APath).fileName());
    static_cast<QDialog *>(ADialog)->accept();
}

class MainFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrepareWebEngineEnvironmentForTests();
        FIniFile = FDir.filePath(QStringLiteral("FormInfo.ini"));
        FPreviousIni = TSaveFormInfo::SetFileName(FIniFile);
        FPreviousHandler = SetApplicationOnException([this](const std::exception &E) {
            Exceptions << QString::fromUtf8(E.what());
        });
        Form = new TfmMain;
        Form->show();
    }

    void TearDown() override
    {
        if (QPointer<TModuleInterface> window = TModule::Obj()->CurrentModule()) {
            window->close();
            EXPECT_TRUE(WaitFor([&] { return window.isNull(); }));
        }
        TModule::Obj()->Finalize();
        delete Form;
        SetApplicationOnException(FPreviousHandler);
        TSaveFormInfo::SetFileName(FPreviousIni);
    }

    static void PrepareWebEngineEnvironmentForTests()
    {
        if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }

    // Follows a link as the web pane does and lets the posted packets arrive.
    void Follow(const QString &AURL)
    {
        ASSERT_TRUE(Form->frWeb->WebBrowserBeforeNavigate2(AURL));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    void SendToolBar(const QString &AName)
    {
        HostView()->sp_SetToolBar(AName);
        ToolBarRecorder waiter;
        HostView()->sp_SetToolBar(AName);
        ASSERT_TRUE(WaitFor([&] { return !waiter.Names.isEmpty(); }));
    }

    bool InModuleMode() const
    {
        return !Form->frToolBarModule->isHidden() && Form->frToolBarMain->isHidden()
               && !Form->frEditor->isHidden() && Form->frWeb->isHidden() && Form->Menu() != nullptr;
    }

    bool InMainMode() const
    {
        return Form->frToolBarModule->isHidden() && !Form->frToolBarMain->isHidden()
               && Form->frEditor->isHidden() && !Form->frWeb->isHidden() && Form->Menu() == nullptr;
    }

    QTemporaryDir FDir;
    QString FIniFile;
    QString FPreviousIni;
    TExceptionEvent FPreviousHandler;
    QStringList Exceptions;
    TfmMain *Form = nullptr;
};

} // namespace

TEST_F(MainFormTest, StartsInMainModeWithItsFramesOnTheBus)
{
    EXPECT_EQ(fmMain, Form);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Kitebench"));
    EXPECT_TRUE(InMainMode());
    EXPECT_TRUE(Form->frMessages->isHidden());
    EXPECT_TRUE(Form->Splitter->isHidden());
    EXPECT_TRUE(Form->frCaption->isHidden());
    EXPECT_EQ(GEditorFrame, Form->frEditor);
    EXPECT_NE(Form->SaveFormInfo(), nullptr);
    EXPECT_EQ(Form->SaveFormInfo()->Section(), QStringLiteral("TfmMain"));

    // Oldest first: core, module tool bar, main tool bar, messages, editor,
    // web pane, banner, then the main window.
    TObserverList *list = TCore::Obj()->View()->ObserverList();
    const int n = list->Count();
    ASSERT_GE(n, 8);
    const QList<QObject *> expected{TCore::Obj(),       Form->frToolBarModule, Form->frToolBarMain,
                                    Form->frMessages,   Form->frEditor,        Form->frWeb,
                                    Form->frCaption,    Form};
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(list->Observers(n - expected.size() + i), expected[i]) << i;

    // Another show does not read the placement again.
    TSaveFormInfo *info = Form->SaveFormInfo();
    Form->hide();
    Form->show();
    EXPECT_EQ(Form->SaveFormInfo(), info);
}

TEST_F(MainFormTest, ModeTable)
{
    SendToolBar(QStringLiteral("Module"));
    EXPECT_TRUE(InModuleMode());
    EXPECT_EQ(Form->Menu(), Form->frToolBarModule->MainMenu);
    EXPECT_EQ(Form->Menu()->actions().value(0)->text(), QStringLiteral("File"));

    // A report shows the message pane; "Module" again leaves it.
    HostView()->sp_Message(QStringLiteral("note"));
    SendToolBar(QStringLiteral("Module"));
    EXPECT_FALSE(Form->frMessages->isHidden());
    EXPECT_FALSE(Form->Splitter->isHidden());
    // Under the editor, 180 pixels high, the bar right above it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(Form->frMessages->height(), 180);
    // The handle reaches a pixel into each neighbour to be easier to grab;
    // what shows is its contents.
    const QRect bar = Form->Splitter->contentsRect().translated(Form->Splitter->pos());
    EXPECT_EQ(bar.height(), 3);
    EXPECT_EQ(bar.bottom() + 1, Form->frMessages->geometry().top());
    EXPECT_GT(Form->frMessages->geometry().top(), Form->frEditor->geometry().bottom());

    SendToolBar(QStringLiteral("Main"));
    EXPECT_TRUE(InMainMode());
    EXPECT_TRUE(Form->frMessages->isHidden());
    EXPECT_TRUE(Form->Splitter->isHidden());
    EXPECT_TRUE(Form->frMessages->Lines().isEmpty());

    for (const QString &other : {QStringLiteral("main"), QStringLiteral("module"), QString()}) {
        SCOPED_TRACE(other.toStdString());
        SendToolBar(other);
        EXPECT_TRUE(Form->frToolBarMain->isHidden());
        EXPECT_TRUE(Form->frToolBarModule->isHidden());
        EXPECT_TRUE(Form->frWeb->isHidden());
        EXPECT_TRUE(Form->frEditor->isHidden());
        EXPECT_EQ(Form->Menu(), nullptr);
    }
}

TEST_F(MainFormTest, PanesStandInTheirOrderFromTopToBottom)
{
    SendToolBar(QStringLiteral("Module"));
    HostView()->sp_Message(QStringLiteral("note"));
    ASSERT_TRUE(WaitFor([&] { return !Form->frMessages->isHidden(); }));
    // Shown beside the rest only here, to see where they stand.
    Form->frToolBarMain->show();
    Form->frCaption->show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

    const QList<QWidget *> order{Form->Menu(),   Form->frToolBarMain, Form->frToolBarModule, Form->frCaption,
                                 Form->frEditor, Form->Splitter,      Form->frMessages};
    const auto area = [&](QWidget *AWidget) {
        // What shows of the bar is its contents; it reaches into both panes.
        const QRect r = AWidget == Form->Splitter ? AWidget->contentsRect() : AWidget->rect();
        return r.translated(AWidget->mapTo(Form, QPoint(0, 0)));
    };
    EXPECT_EQ(area(order.first()).top(), 0);
    for (int i = 1; i < order.size(); ++i) {
        EXPECT_FALSE(area(order[i]).isEmpty()) << i;
        EXPECT_EQ(area(order[i]).top(), area(order[i - 1]).bottom() + 1) << i;
    }
    EXPECT_EQ(area(order.last()).bottom(), Form->height() - 1);
}

TEST_F(MainFormTest, APlacementThatCannotBeWrittenOnDestructionIsTraced)
{
    const QString line = QStringLiteral("[QX] TfmMain.Destroy - FreeAndNil(FSaveFormInfo)");
    {
        TraceCapture trace;
        delete Form;
        Form = nullptr;
        EXPECT_FALSE(trace.lines().contains(line));
    }
    // No folder to hold the file.
    TSaveFormInfo::SetFileName(FDir.filePath(QStringLiteral("missing/FormInfo.ini")));
    Form = new TfmMain;
    Form->show();
    TraceCapture trace;
    delete Form;
    Form = nullptr;
    EXPECT_TRUE(trace.lines().contains(line)) << trace.lines().join(u'|').toStdString();
}

TEST_F(MainFormTest, OnlyLinksHoldingTheSchemeAreCancelled)
{
    TfrWeb *web = Form->frWeb;
    EXPECT_FALSE(web->WebBrowserBeforeNavigate2(QStringLiteral("file:///opt/Kitebench/index.html")));
    EXPECT_FALSE(web->WebBrowserBeforeNavigate2(QStringLiteral("https://example.org/kb:/x")));
    EXPECT_FALSE(web->WebBrowserBeforeNavigate2(QStringLiteral("about:blank")));
    EXPECT_TRUE(web->WebBrowserBeforeNavigate2(QStringLiteral("KB://a/b/DoesNotExist")));
    EXPECT_TRUE(web->WebBrowserBeforeNavigate2(QStringLiteral("Kb://a/b/DoesNotExist")));
    EXPECT_TRUE(web->WebBrowserBeforeNavigate2(QStringLiteral("https://x.org/?go=kb://a/b/DoesNotExist")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Exceptions.isEmpty());
    EXPECT_EQ(TModule::Obj()->CurrentModule(), nullptr);
}

TEST_F(MainFormTest, LinkOpensTheModuleAndLoadsItsSample)
{
    const Sample sample(QStringLiteral("Mixed Case 예제.js"), "// sample\nfunction setup() {}\n");
    Follow(QStringLiteral("KB://kitebench/open/Good/Mixed%20Case%20%EC%98%88%EC%A0%9C.js"));
    TModuleInterface *window = TModule::Obj()->CurrentModule();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("// sample\r\nfunction setup() {}"));
    ASSERT_TRUE(WaitFor([&] { return InModuleMode(); }));

    // Closing the window brings main mode back.
    Form->frToolBarModule->btClose->Click();
    ASSERT_TRUE(WaitFor([&] { return InMainMode(); }));
    EXPECT_EQ(TModule::Obj()->CurrentModule(), nullptr);
    EXPECT_TRUE(Exceptions.isEmpty());
}

TEST_F(MainFormTest, LinkWithoutSampleOrModuleEmptiesTheEditor)
{
    const QString links[] = {
        QStringLiteral("kb://a/b/Good"),          QStringLiteral("kb://a/b/Good/"),
        QStringLiteral("kb://a/b/Good/Missing.js"), QStringLiteral("kb://a/b/Good/.."),
        QStringLiteral("kb://a/b"),
    };
    for (const QString &link : links) {
        SCOPED_TRACE(link.toStdString());
        GEditorFrame->Lines().SetText(QStringLiteral("old text"));
        Follow(link);
        EXPECT_EQ(GEditorFrame->Lines().Count(), 0);
        if (QPointer<TModuleInterface> window = TModule::Obj()->CurrentModule()) {
            window->close();
            ASSERT_TRUE(WaitFor([&] { return window.isNull(); }));
        }
    }
    // kb://a/b names no module: lib.so was tried, nothing is held.
    EXPECT_FALSE(TModule::Obj()->IsLoaded());
    EXPECT_TRUE(Exceptions.isEmpty());
}

TEST_F(MainFormTest, SampleNamesReachSubfoldersOfSamplesButNeverLeaveIt)
{
    const auto removeSub = qScopeGuard([] { QDir().rmdir(GetExecPath() + QStringLiteral("Samples/sub")); });
    const Sample inner(QStringLiteral("sub/x.js"), "inner();\n");
    const Sample top(QStringLiteral("x.js"), "top();\n");
    const QString outside = GetExecPath() + QStringLiteral("x.js");
    {
        QFile f(outside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("outside();\n");
    }
    const auto removeOutside = qScopeGuard([&] { QFile::remove(outside); });

    // The "\" of a sample name is a folder separator.
    GEditorFrame->Lines().SetText(QStringLiteral("old text"));
    Follow(QStringLiteral("kb://a/b/DoesNotExist/sub%5Cx.js"));
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("inner();"));

    // Out of the folder, a folder, and a NUL that would cut the name short:
    // refused as a missing sample is.
    for (const QString &name : {QStringLiteral("..\\x.js"), QStringLiteral("\\etc\\passwd"), QStringLiteral("sub\\"),
                                QStringLiteral("sub\\..\\..\\x.js"), QStringLiteral("x.js%00.txt")}) {
        SCOPED_TRACE(name.toStdString());
        GEditorFrame->Lines().SetText(QStringLiteral("old text"));
        Follow(QStringLiteral("kb://a/b/DoesNotExist/") + name);
        EXPECT_EQ(GEditorFrame->Lines().Count(), 0);
    }
    EXPECT_TRUE(Exceptions.isEmpty());
}

TEST_F(MainFormTest, ModuleThatCannotLoadStillGetsItsSampleAndTheHostStaysInMainMode)
{
    const Sample sample(QStringLiteral("Lonely.js"), "lonely();\n");
    for (const QString &module : {QStringLiteral("DoesNotExist"), QStringLiteral("NotALib"),
                                  QStringLiteral("NoExport")}) {
        SCOPED_TRACE(module.toStdString());
        GEditorFrame->Lines().Clear();
        Follow(QStringLiteral("kb://a/b/%1/Lonely.js").arg(module));
        EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("lonely();"));
        QCoreApplication::processEvents();
        EXPECT_TRUE(InMainMode());
    }
    EXPECT_TRUE(Exceptions.isEmpty());
}

TEST_F(MainFormTest, ExceptionsWhileOpeningGoToTheApplicationAndSkipTheSample)
{
    const Sample sample(QStringLiteral("Skipped.js"), "skipped();\n");
    GEditorFrame->Lines().SetText(QStringLiteral("before"));
    Follow(QStringLiteral("kb://a/b/Throws/Skipped.js"));
    EXPECT_EQ(Exceptions, QStringList{QStringLiteral("CreateModule failed on purpose")});
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("before"));
    EXPECT_TRUE(InMainMode());

    // A sample that exists but is not text: the module is open, the editor
    // keeps what it had.
    const Sample binary(QStringLiteral("Binary.js"), QByteArray("\xFF\xFE\x00\x01", 4));
    Follow(QStringLiteral("kb://a/b/Good/Binary.js"));
    EXPECT_NE(TModule::Obj()->CurrentModule(), nullptr);
    ASSERT_EQ(Exceptions.size(), 2);
    EXPECT_TRUE(Exceptions.last().contains(QStringLiteral("UTF-8")));
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("before"));
}

TEST_F(MainFormTest, RunAndStopReachTheOpenModuleOnly)
{
    Follow(QStringLiteral("kb://a/b/Good"));
    QPointer<TModuleInterface> window = TModule::Obj()->CurrentModule();
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitFor([&] { return InModuleMode(); }));
    HostView()->sp_Message(QStringLiteral("old report"));
    ASSERT_TRUE(WaitFor([&] { return !Form->frMessages->isHidden(); }));

    GEditorFrame->Lines().SetText(QStringLiteral("a\nb"));
    Form->frToolBarModule->btRun->Click();
    Form->frToolBarModule->btStop->Click();
    GEditorFrame->Lines().Clear();
    Form->frToolBarModule->btRun->Click();
    EXPECT_EQ(window->property("Log").toStringList(),
              (QStringList{QStringLiteral("SetCore"), QStringLiteral("Start:a\r\nb"),
                           QStringLiteral("Stop"), QStringLiteral("Start:")}));
    // The pane is cleared once the posted packet arrives.
    EXPECT_FALSE(Form->frMessages->isHidden());
    ASSERT_TRUE(WaitFor([&] { return Form->frMessages->isHidden(); }));
    EXPECT_TRUE(Form->frMessages->Lines().isEmpty());

    // Once the window has gone, Run and Stop call nothing.
    window->close();
    ASSERT_TRUE(WaitFor([&] { return window.isNull(); }));
    Form->frToolBarModule->btRun->Click();
    Form->frToolBarModule->btStop->Click();
    EXPECT_TRUE(Exceptions.isEmpty());
}

TEST_F(MainFormTest, OpenAndSaveThroughTheFileMenu)
{
    TfrToolBarModule *bar = Form->frToolBarModule;
    TEditorLines &lines = GEditorFrame->Lines();
    const QString source = FDir.filePath(QStringLiteral("source.js"));
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("// 열기\nopened();\n");
    }
    EXPECT_EQ(bar->OpenDialog->defaultSuffix(), QStringLiteral("js"));
    EXPECT_EQ(bar->OpenDialog->nameFilters().value(0), QStringLiteral("Java Script (*.js)"));

    // Cancel changes nothing.
    lines.SetText(QStringLiteral("unchanged"));
    WhenModal<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    bar->miOpen->trigger();
    EXPECT_EQ(lines.Text(), QStringLiteral("unchanged"));

    WhenModal<QFileDialog>([&](QFileDialog *fd) {
        Choose(fd, source);
    });
    bar->miOpen->trigger();
    EXPECT_EQ(lines.Text(), QStringLiteral("// 열기\r\nopened();"));

    // A name typed without an extension gets ".js".
    WhenModal<QFileDialog>([&](QFileDialog *fd) {
        Choose(fd, FDir.filePath(QStringLiteral("saved")));
    });
    bar->miSave->trigger();
    QFile saved(FDir.filePath(QStringLiteral("saved.js")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("// 열기\nopened();\n"));

    WhenModal<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    bar->miSave->trigger();
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(MainFormTest, UnreadableFileGivesAnErrorBoxAndKeepsTheEditor)
{
    TfrToolBarModule *bar = Form->frToolBarModule;
    const QString bad = FDir.filePath(QStringLiteral("bad.js"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xC3\x28 broken\n");
    }
    GEditorFrame->Lines().SetText(QStringLiteral("mine"));
    QString shown;
    WhenModal<QFileDialog>([&](QFileDialog *fd) {
        Choose(fd, bad);
        WhenModal<QMessageBox>([&](QMessageBox *box) {
            shown = box->text();
            box->accept();
        });
    });
    bar->miOpen->trigger();
    EXPECT_TRUE(shown.contains(QStringLiteral("bad.js"))) << shown.toStdString();
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("mine"));
}

TEST_F(MainFormTest, HomeShowsAClearPageWhenIndexIsMissing)
{
    ASSERT_FALSE(QFile::exists(TfrWeb::HomePath()));
    // Shared: the page answers outstanding requests even while it is freed.
    auto html = std::make_shared<QString>();
    ASSERT_TRUE(WaitFor(
        [&] {
            Form->frWeb->WebBrowser->page()->toHtml([html](const QString &AHtml) { *html = AHtml; });
            QCoreApplication::processEvents();
            return html->contains(QStringLiteral("could not be found"));
        }));
    EXPECT_TRUE(html->contains(QStringLiteral("index.html")));
    Form->frToolBarMain->btHome->Click();
    EXPECT_TRUE(Exceptions.isEmpty());
}

TEST_F(MainFormTest, ClickOnAPageLinkIsDispatched)
{
    bool loaded = false;
    QWebEngineView *view = Form->frWeb->WebBrowser;
    QObject::connect(view, &QWebEngineView::loadFinished, [&](bool ok) {
        loaded = ok && view->url().fileName() == QStringLiteral("page.html");
    });
    // A local page, as the home page is.
    const QString page = FDir.filePath(QStringLiteral("page.html"));
    {
        QFile f(page);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><body><a id=\"go\" href=\"kb://kitebench/open/Good\">go</a></body></html>");
    }
    Form->frWeb->WebBrowser->load(QUrl::fromLocalFile(page));
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    view->page()->runJavaScript(QStringLiteral("document.getElementById('go').click();"));
    ASSERT_TRUE(WaitFor([] { return TModule::Obj()->CurrentModule() != nullptr; }));
    EXPECT_TRUE(Exceptions.isEmpty());
}

namespace {

// Typing, as the learner does; the editor then holds changes.
void Type(const QString &AText)
{
    GEditorFrame->moSrc->setCursorPosition(0, 0);
    QTest::keyClicks(GEditorFrame->moSrc, AText);
}

} // namespace

TEST_F(MainFormTest, LinkAsksBeforeReplacingChangedTextAndCancelKeepsItAll)
{
    const Sample sample(QStringLiteral("Asked.js"), "asked();\n");
    const QString link = QStringLiteral("kb://a/b/Good/Asked.js");
    Type(QStringLiteral("mine"));
    ASSERT_TRUE(GEditorFrame->Lines().Modified());
    const QString typed = GEditorFrame->Lines().Text();
    {
        Learner learner(QMessageBox::Cancel);
        // Followed again while the question is open: dropped, not asked twice.
        ASSERT_TRUE(Form->frWeb->WebBrowserBeforeNavigate2(link));
        ASSERT_TRUE(Form->frWeb->WebBrowserBeforeNavigate2(link));
        ASSERT_TRUE(WaitFor([&] { return learner.Questions > 0; }));
        QCoreApplication::processEvents();
        EXPECT_EQ(learner.Questions, 1);
        EXPECT_EQ(learner.FileDialogs, 0);
    }
    EXPECT_EQ(GEditorFrame->Lines().Text(), typed);
    EXPECT_TRUE(GEditorFrame->Lines().Modified());
    EXPECT_EQ(TModule::Obj()->CurrentModule(), nullptr);
    EXPECT_FALSE(TModule::Obj()->IsLoaded());
    EXPECT_TRUE(InMainMode());

    {
        Learner learner(QMessageBox::Discard);
        Follow(link);
        EXPECT_EQ(learner.Questions, 1);
    }
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("asked();"));
    EXPECT_FALSE(GEditorFrame->Lines().Modified());
    QPointer<TModuleInterface> window = TModule::Obj()->CurrentModule();
    ASSERT_TRUE(window);
    window->close();
    ASSERT_TRUE(WaitFor([&] { return window.isNull(); }));

    // A loaded sample, or a lesson's program, is replaced without a question.
    {
        Learner learner(QMessageBox::Cancel);
        Follow(link);
        HostView()->sp_SetSourceCode(QStringLiteral("lesson();"));
        ASSERT_TRUE(WaitFor([] { return GEditorFrame->Lines().Text() == "lesson();"; }));
        EXPECT_FALSE(GEditorFrame->Lines().Modified());
        Follow(QStringLiteral("kb://a/b/DoesNotExist"));
        EXPECT_EQ(learner.Questions, 0);
    }
    EXPECT_EQ(GEditorFrame->Lines().Count(), 0);
    EXPECT_TRUE(Exceptions.isEmpty());
}

TEST_F(MainFormTest, SaveWritesTheChangesAndGoesOnAndAFailedSaveKeepsThem)
{
    const Sample sample(QStringLiteral("Next.js"), "next();\n");
    Type(QStringLiteral("kept"));
    ASSERT_TRUE(GEditorFrame->Lines().Modified());
    const QString typed = GEditorFrame->Lines().Text();

    // The save fails (its folder takes no new file): as Cancel, with the
    // error shown.
    const QString locked = FDir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    if (LockFolder(locked, true)) {
        {
            Learner learner(QMessageBox::Save, locked + QStringLiteral("/mine.js"));
            Follow(QStringLiteral("kb://a/b/DoesNotExist/Next.js"));
            EXPECT_EQ(learner.Questions, 1);
            EXPECT_EQ(learner.FileDialogs, 1);
            EXPECT_EQ(learner.Errors.size(), 1);
        }
        LockFolder(locked, false);
        EXPECT_EQ(GEditorFrame->Lines().Text(), typed);
        EXPECT_TRUE(GEditorFrame->Lines().Modified());
        EXPECT_FALSE(QFile::exists(locked + QStringLiteral("/mine.js")));
    }

    // The save dialog cancelled: as Cancel too.
    {
        Learner learner(QMessageBox::Save);
        Follow(QStringLiteral("kb://a/b/DoesNotExist/Next.js"));
        EXPECT_EQ(learner.FileDialogs, 1);
    }
    EXPECT_EQ(GEditorFrame->Lines().Text(), typed);

    {
        Learner learner(QMessageBox::Save, FDir.filePath(QStringLiteral("mine.js")));
        Follow(QStringLiteral("kb://a/b/DoesNotExist/Next.js"));
        EXPECT_EQ(learner.Questions, 1);
        EXPECT_TRUE(learner.Errors.isEmpty());
    }
    QFile saved(FDir.filePath(QStringLiteral("mine.js")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), QString(typed).replace("\r\n", "\n") + u'\n');
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("next();"));
}

TEST_F(MainFormTest, OpenAsksFirstAndCancelShowsNoDialog)
{
    TfrToolBarModule *bar = Form->frToolBarModule;
    const QString source = FDir.filePath(QStringLiteral("other.js"));
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("other();\n");
    }
    Type(QStringLiteral("work"));
    const QString typed = GEditorFrame->Lines().Text();
    {
        Learner learner(QMessageBox::Cancel, source);
        bar->miOpen->trigger();
        EXPECT_EQ(learner.Questions, 1);
        EXPECT_EQ(learner.FileDialogs, 0);
    }
    EXPECT_EQ(GEditorFrame->Lines().Text(), typed);
    {
        Learner learner(QMessageBox::Discard, source);
        bar->miOpen->trigger();
        EXPECT_EQ(learner.Questions, 1);
        EXPECT_EQ(learner.FileDialogs, 1);
    }
    EXPECT_EQ(GEditorFrame->Lines().Text(), QStringLiteral("other();"));
    // Just opened: no question before the next Open.
    {
        Learner learner(QMessageBox::Cancel);
        bar->miOpen->trigger();
        EXPECT_EQ(learner.Questions, 0);
        EXPECT_EQ(learner.FileDialogs, 1);
    }
}
