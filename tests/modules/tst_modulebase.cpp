#include "appexception.h"
#include "modulefakes.h"
#include "observerlist.h"
#include "saveforminfo.h"
#include "tavgraphics.h"
#include "testsupport.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// The windows made here are this program's, so the core variable is too, as
// a module library's entry defines its own.
ICore *GCore = nullptr;

namespace {

// A module window as the modules write them, with a show handler of its own
// that logs where it ran.
class TfmModule : public TModuleBase
{
    Q_OBJECT

public:
    explicit TfmModule(QObject *AOwner) : TModuleBase(AOwner) {}
    TRecordingCore *Core = nullptr;
    bool OverrideAddObjects = true;

    void AddObjects() override
    {
        if (!OverrideAddObjects) {
            TModuleBase::AddObjects();
            return;
        }
        ScriptAddObject(this, QStringLiteral("Screen"));
    }

protected:
    void FormShow() override
    {
        if (Core)
            Core->Log << QStringLiteral("FormShow");
    }
};

// A window that leaves AddObjects to the base.
class TfmPlain : public TModuleBase
{
    Q_OBJECT
public:
    explicit TfmPlain(QObject *AOwner) : TModuleBase(AOwner) {}
};

// One monitor of the given size at 0,0, and an ini file of the test's own.
class ModuleBaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FPreviousFile = TSaveFormInfo::SetFileName(FDir.filePath("FormInfo.ini"));
        SetMonitors({{0, 0, 1920, 1080}});
    }
    void TearDown() override
    {
        SetMonitorSource(FPreviousMonitors);
        TSaveFormInfo::SetFileName(FPreviousFile);
        GCore = nullptr;
    }
    void SetMonitors(QList<TRect> AMonitors)
    {
        auto prev = SetMonitorSource([AMonitors] { return AMonitors; });
        if (!FMonitorsSet) {
            FPreviousMonitors = prev;
            FMonitorsSet = true;
        }
    }
    TfmModule *NewWindow()
    {
        auto *w = new TfmModule(qApp);
        w->Core = &FCore;
        w->SetCore(&FCore);
        return w;
    }
    QString IniFile() const { return FDir.filePath("FormInfo.ini"); }

    TRecordingEngineScope FEngine;
    TRecordingCore FCore;
    QTemporaryDir FDir;
    QString FPreviousFile;
    TMonitorSource FPreviousMonitors;
    bool FMonitorsSet = false;
};

} // namespace

TEST_F(ModuleBaseTest, DefaultLeftFollowsMonitorWidth)
{
    SetMonitors({{0, 0, 1504, 900}});
    EXPECT_EQ(TModuleBase::DefaultLeft(0, 0), 1024);
    SetMonitors({{0, 0, 1503, 900}});
    EXPECT_EQ(TModuleBase::DefaultLeft(0, 0), 0);
    // The monitor nearest the corner decides, not the primary one.
    SetMonitors({{0, 0, 1280, 1024}, {-1600, 0, 0, 1200}});
    EXPECT_EQ(TModuleBase::DefaultLeft(-10, 5), 1024);
    EXPECT_EQ(TModuleBase::DefaultLeft(10, 5), 0);
}

TEST_F(ModuleBaseTest, FirstShowPlacesAtDefaultsAndSharesTheSection)
{
    SetMonitors({{0, 0, 2560, 1440}});
    QPointer<TfmModule> w = NewWindow();
    w->resize(100, 100);
    w->move(0, 0);
    w->show();
    ASSERT_NE(w->SaveFormInfo(), nullptr);
    EXPECT_EQ(w->SaveFormInfo()->Section(), "TfmModule");
    EXPECT_EQ(w->GetLeft(), 1024);
    EXPECT_EQ(w->GetTop(), 0);
    EXPECT_EQ(w->GetWidth(), 480);
    EXPECT_EQ(w->GetHeight(), 600);

    // Closed somewhere else, the next module window opens there.
    w->SetLeft(200);
    w->SetTop(30);
    w->close();
    ASSERT_TRUE(WaitFor([&] { return w.isNull(); }));
    QSettings ini(IniFile(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("TfmModule/Left").toInt(), 200);

    QPointer<TfmModule> second = NewWindow();
    second->move(0, 0);
    second->show();
    EXPECT_EQ(second->GetLeft(), 200);
    EXPECT_EQ(second->GetTop(), 30);
    delete second.data();
}

TEST_F(ModuleBaseTest, ShowPostsModuleBeforeOwnHandlerEveryTime)
{
    TfmModule *w = NewWindow();
    EXPECT_EQ(FCore.Log, (QStringList{"Add"}));
    EXPECT_EQ(FCore.Observers, (QList<QObject *>{w}));
    w->show();
    EXPECT_EQ(FCore.Log, (QStringList{"Add", "SetToolBar Module", "FormShow"}));
    TSaveFormInfo *placement = w->SaveFormInfo();
    w->hide();
    w->show();
    EXPECT_EQ(FCore.Log.mid(3), (QStringList{"SetToolBar Module", "FormShow"}));
    EXPECT_EQ(w->SaveFormInfo(), placement);
    delete w;
}

TEST_F(ModuleBaseTest, CloseLeavesViewSwitchesToMainAndStopsTwice)
{
    QPointer<TfmModule> w = NewWindow();
    w->show();
    FCore.Log.clear();
    TEngineRecord::Calls().clear();
    w->close();
    EXPECT_EQ(FCore.Log, (QStringList{"Remove", "SetToolBar Main"}));
    EXPECT_TRUE(FCore.Observers.isEmpty());
    EXPECT_EQ(TEngineRecord::Calls(), (QStringList{"Stop"}));
    EXPECT_FALSE(w.isNull()); // freed later, from the event loop
    ASSERT_TRUE(WaitFor([&] { return w.isNull(); }));
    EXPECT_EQ(TEngineRecord::Calls(), (QStringList{"Stop", "Stop"}));
}

TEST_F(ModuleBaseTest, CloseModulesBroadcastClosesEveryWindowInsideTheList)
{
    TObserverList list;
    QPointer<TfmModule> a = NewWindow(), b = NewWindow();
    list.Add(a);
    list.Add(b);
    a->show();
    b->show();
    TValueList packet;
    packet.SetValues("Code", "CloseModules");
    a->Core = nullptr;
    b->Core = nullptr;
    FCore.Log.clear();
    // The recording view's Remove does not touch this list; do it the way the
    // host's view would.
    struct TListView : TRecordingCore
    {
        TObserverList *List = nullptr;
        void Remove(QObject *O) override
        {
            TRecordingCore::Remove(O);
            List->Remove(O);
        }
    } view;
    view.List = &list;
    GCore = &view;
    list.BroadCast(&packet);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(view.Log.count("SetToolBar Main"), 2);
    EXPECT_TRUE(a->isHidden());
    EXPECT_TRUE(WaitFor([&] { return a.isNull() && b.isNull(); }));
}

TEST_F(ModuleBaseTest, StartCallsEngineInOrder)
{
    TfmModule *w = NewWindow();
    TEngineRecord::Calls().clear();
    w->Start(QStringLiteral("loop();"));
    EXPECT_EQ(TEngineRecord::Calls(),
              (QStringList{"Prepare", "AddObject Screen", "AddObject OpenDialog", "AddObject SaveDialog",
                           "Start loop();"}));
    EXPECT_EQ(TEngineRecord::Objects().value(1), w->OpenDialog());
    EXPECT_EQ(TEngineRecord::Objects().value(2), w->SaveDialog());
    EXPECT_EQ(w->OpenDialog()->GetFilter(), "All file(s)|*.*");
    EXPECT_EQ(w->SaveDialog()->GetFilter(), "All file(s)|*.*");

    // Twice in a row: each Start prepares and starts again; no stop between.
    TEngineRecord::Calls().clear();
    w->Start(QString());
    w->Start(QString());
    EXPECT_EQ(TEngineRecord::Calls().count("Prepare"), 2);
    EXPECT_EQ(TEngineRecord::Calls().count("Stop"), 0);
    EXPECT_FALSE(TEngineRecord::StartTextWasNull());
    EXPECT_EQ(TEngineRecord::Calls().last(), "Start ");
    delete w;
}

TEST_F(ModuleBaseTest, MissingAddObjectsShowsErrorAndStartGoesOn)
{
    auto *w = new TfmModule(qApp);
    w->OverrideAddObjects = false;
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    w->Start(QStringLiteral("x"));
    EXPECT_EQ(shown, QStringLiteral("TModuleBase.AddObjects가 구현되지 않았습니다. (TfmModule)"));
    EXPECT_EQ(TEngineRecord::Calls(),
              (QStringList{"Prepare", "AddObject OpenDialog", "AddObject SaveDialog", "Start x"}));
    delete w;
}

TEST_F(ModuleBaseTest, WithoutCoreShowAndCloseDoNothingToTheHost)
{
    QPointer<TfmModule> w = new TfmModule(qApp);
    w->show();
    w->close();
    EXPECT_TRUE(WaitFor([&] { return w.isNull(); }));
}

TEST_F(ModuleBaseTest, ExceptionHookTracesWhileAWindowExists)
{
    QStringList before;
    auto previous = SetApplicationOnException([&](const std::exception &E) { before << E.what(); });
    {
        TraceCapture trace;
        auto *a = new TfmModule(qApp);
        auto *b = new TfmPlain(qApp);
        HandleApplicationException(std::runtime_error("boom"));
        delete a;
        // Still hooked while b lives.
        HandleApplicationException(std::runtime_error("again"));
        delete b;
        const QStringList lines = trace.lines();
        EXPECT_TRUE(lines.contains("[QX] TfmModule.ApplicationEventsException - boom")) << lines.join("|").toStdString();
        EXPECT_TRUE(lines.contains("[QX] TfmModule.ApplicationEventsException - again"));
    }
    HandleApplicationException(std::runtime_error("after"));
    EXPECT_EQ(before, (QStringList{"after"}));
    SetApplicationOnException(previous);
}

TEST_F(ModuleBaseTest, ScriptSeesTheFormProperties)
{
    TfmModule *w = NewWindow();
    const QMetaObject *mo = w->metaObject();
    for (const char *name : {"Left", "Top", "Width", "Height", "ClientWidth", "ClientHeight", "Caption", "Color",
                             "Visible"})
        EXPECT_GE(mo->indexOfProperty(name), 0) << name;
    w->setProperty("Caption", "Hello");
    EXPECT_EQ(w->windowTitle(), "Hello");
    w->setProperty("Color", 0x00FF8000); // $00BBGGRR: blue FF, green 80
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(0x00, 0x80, 0xFF));
    EXPECT_EQ(w->property("Color").toInt(), 0x00FF8000);
    w->setProperty("ClientWidth", 300);
    EXPECT_EQ(w->width(), 300);
    EXPECT_GE(w->OpenDialog()->metaObject()->indexOfMethod("Execute()"), 0);
    EXPECT_GE(w->OpenDialog()->metaObject()->indexOfProperty("FileName"), 0);
    EXPECT_GE(mo->indexOfMethod("rp_CloseModules(TValueList*)"), 0);
    delete w;
}

namespace {

// Calls ADialog's Execute as the engine would and runs AStep while its
// dialog shows; a dialog that AStep leaves open is cancelled later, so that
// a fault fails the test instead of hanging it.
bool ExecuteWhileShowing(TFileDialog *ADialog, QWidget *AWindow, std::function<void(QFileDialog *)> AStep)
{
    QTimer::singleShot(0, [AWindow, AStep] {
        QPointer<QFileDialog> shown = AWindow->findChild<QFileDialog *>();
        AStep(shown);
        QTimer::singleShot(3000, [shown] {
            if (shown)
                shown->reject();
        });
    });
    return ADialog->Execute();
}

} // namespace

// A program that opens its dialog again and again (in loop()) must not lock
// the learner out: the dialog blocks its own window only, and Stop, a new
// Run and Close each take it away.
TEST_F(ModuleBaseTest, ProgramDialogBlocksOnlyItsWindowAndGoesWithTheRun)
{
    QPointer<TfmModule> w = NewWindow();
    w->show();

    Qt::WindowModality modality = Qt::NonModal;
    bool visibleAfterStop = true;
    EXPECT_FALSE(ExecuteWhileShowing(w->OpenDialog(), w, [&](QFileDialog *D) {
        ASSERT_TRUE(D);
        modality = D->windowModality();
        w->Stop();
        visibleAfterStop = D->isVisible();
    }));
    EXPECT_EQ(modality, Qt::WindowModal);
    EXPECT_FALSE(visibleAfterStop);
    EXPECT_EQ(w->findChild<QFileDialog *>(), nullptr);

    bool visibleAfterStart = true;
    EXPECT_FALSE(ExecuteWhileShowing(w->SaveDialog(), w, [&](QFileDialog *D) {
        ASSERT_TRUE(D);
        w->Start(QStringLiteral("loop();"));
        visibleAfterStart = D->isVisible();
    }));
    EXPECT_FALSE(visibleAfterStart);

    // Closed, and freed, while the dialog shows.
    EXPECT_FALSE(ExecuteWhileShowing(w->OpenDialog(), w, [&](QFileDialog *) { w->close(); }));
    EXPECT_TRUE(WaitFor([&] { return w.isNull(); }));
}

TEST(FileDialogFilter, WindowsPatternsBecomeQtFilters)
{
    EXPECT_EQ(TFileDialog::QtFilter("All file(s)|*.*"), "All file(s) (*)");
    EXPECT_EQ(TFileDialog::QtFilter("Java Script|*.js|All files|*.*"), "Java Script (*.js);;All files (*)");
    EXPECT_EQ(TFileDialog::QtFilter("Pictures|*.png;*.bmp"), "Pictures (*.png *.bmp)");
    EXPECT_EQ(TFileDialog::QtFilter(""), "");
}

#include "tst_modulebase.moc"
