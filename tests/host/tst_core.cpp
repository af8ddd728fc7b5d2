#include "core.h"
#include "editorframe.h"
#include "observerlist.h"
#include "testsupport.h"
#include "valuelist.h"
#include "view.h"

#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

// Records every packet of the system's codes as its text form, with the
// thread that delivered it.
class Recorder : public QObject
{
    Q_OBJECT
public:
    QStringList Packets;
    QList<Qt::HANDLE> Threads;

    Q_INVOKABLE void rp_Initialize(TValueList *AParams) { record(AParams); }
    Q_INVOKABLE void rp_Finalize(TValueList *AParams) { record(AParams); }
    Q_INVOKABLE void rp_ClearErrorMessage(TValueList *AParams) { record(AParams); }
    Q_INVOKABLE void rp_CloseModules(TValueList *AParams) { record(AParams); }
    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams) { record(AParams); }
    Q_INVOKABLE void rp_SetSourceCode(TValueList *AParams) { record(AParams); }
    Q_INVOKABLE void rp_CodeError(TValueList *AParams) { record(AParams); }
    Q_INVOKABLE void rp_Message(TValueList *AParams) { record(AParams); }

private:
    void record(TValueList *AParams)
    {
        Packets << AParams->Text();
        Threads << QThread::currentThreadId();
    }
};

// Lets every posted packet reach its observers.
void drain()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QString packet(const QStringList &Lines)
{
    return Lines.join(TValueList::LineBreak) + TValueList::LineBreak;
}

IView *viewOf(ICore *ACore)
{
    return ACore->GetView();
}

// A core of the test's own, so that its state starts afresh; the recorder is
// taken off the bus before the core goes, since the view's list frees the
// observers it still holds.
class CoreTest : public ::testing::Test
{
protected:
    std::unique_ptr<TCore> core = std::make_unique<TCore>();
    Recorder recorder;

    void SetUp() override { core->View()->Add(&recorder); }
    void TearDown() override
    {
        if (core)
            core->View()->Remove(&recorder);
    }
    IView *iview() { return viewOf(core.get()); }
};

} // namespace

TEST(CoreSingleton, ObjMakesOneOwnerlessCoreThatIsItsViewsOnlyObserver)
{
    TCore *core = TCore::Obj();
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(TCore::Obj(), core);
    EXPECT_EQ(core->parent(), nullptr);
    ASSERT_NE(core->View(), nullptr);
    EXPECT_NE(core->Option(), nullptr);
    EXPECT_EQ(core->View()->parent(), core);
    TObserverList *list = core->View()->ObserverList();
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->Observers(0), core);
    EXPECT_TRUE(core->View()->Active());

    // The properties are published under their names.
    EXPECT_EQ(core->property("View").value<TView *>(), core->View());
    EXPECT_EQ(core->View()->property("Active").toBool(), true);
}

TEST_F(CoreTest, InterfacesAreAnsweredWithoutCountingAndOthersGiveNothing)
{
    ICore *icore = nullptr;
    ASSERT_TRUE(core->QueryInterface(ICore::IID, reinterpret_cast<void **>(&icore)));
    EXPECT_EQ(icore, static_cast<ICore *>(core.get()));

    void *other = reinterpret_cast<void *>(1);
    EXPECT_FALSE(core->QueryInterface(IView::IID, &other));
    EXPECT_EQ(other, nullptr);
    EXPECT_FALSE(core->QueryInterface(IFrameBase::IID, &other));
    EXPECT_FALSE(core->QueryInterface(ICore::IID, nullptr));

    IView *a = icore->GetView();
    IView *b = icore->GetView();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, static_cast<IView *>(core->View()));

    other = reinterpret_cast<void *>(1);
    EXPECT_FALSE(core->View()->QueryInterface(ICore::IID, &other));
    EXPECT_EQ(other, nullptr);
    void *base = nullptr;
    EXPECT_TRUE(core->View()->QueryInterface(IInterface::IID, &base));
    EXPECT_NE(base, nullptr);

    // Dropping references frees nothing; the view keeps working.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(icore->_Release(), -1);
        EXPECT_EQ(a->_Release(), -1);
    }
    EXPECT_EQ(icore->_AddRef(), -1);
    a->sp_Message("still here");
    drain();
    EXPECT_EQ(recorder.Packets, QStringList{packet({"Code=Message", "Msg=still here"})});
}

TEST_F(CoreTest, InitializePostsOnceAndNeverAfterFinalize)
{
    core->Initialize();
    EXPECT_TRUE(core->IsInitialized());
    EXPECT_TRUE(recorder.Packets.isEmpty()) << "posted, not delivered at once";
    core->Initialize();
    drain();
    EXPECT_EQ(recorder.Packets, QStringList{packet({"Code=Initialize"})});

    auto late = std::make_unique<TCore>();
    Recorder other;
    late->View()->Add(&other);
    late->Finalize();
    late->Initialize();
    drain();
    EXPECT_FALSE(late->IsInitialized());
    EXPECT_EQ(other.Packets, QStringList{packet({"Code=Finalize"})});
    late->View()->Remove(&other);
}

TEST_F(CoreTest, FinalizeLeavesTheViewBroadcastsOnceAndDeactivates)
{
    TObserverList *list = core->View()->ObserverList();
    ASSERT_EQ(list->Count(), 2);
    // Queued before Finalize, so it must be dropped after.
    iview()->sp_SetToolBar("Main");

    core->Finalize();
    EXPECT_TRUE(core->IsFinalized());
    EXPECT_EQ(recorder.Packets, QStringList{packet({"Code=Finalize"})}) << "synchronous";
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(list->Observers(0), &recorder) << "the core has left the bus";
    EXPECT_FALSE(core->View()->Active());

    core->Finalize();
    core->View()->sp_CloseModules();
    iview()->sp_Message("lost");
    drain();
    EXPECT_EQ(recorder.Packets, QStringList{packet({"Code=Finalize"})});

    // References stay usable after finalization.
    EXPECT_EQ(iview(), static_cast<IView *>(core->View()));
}

TEST_F(CoreTest, DestroyingACoreFinalizesIt)
{
    // Reports what it received when the view's list frees it.
    class OwnedRecorder : public Recorder
    {
    public:
        QStringList *Out = nullptr;
        ~OwnedRecorder() override { *Out = Packets; }
    };
    core->View()->Remove(&recorder);
    QStringList seen;
    auto *owned = new OwnedRecorder;
    owned->Out = &seen;
    core->View()->Add(owned);
    core.reset();
    EXPECT_EQ(seen, QStringList{packet({"Code=Finalize"})});
}

TEST_F(CoreTest, SendersMakeTheTablesPacketsAndPostAllButTwo)
{
    TView *view = core->View();
    view->sp_CloseModules();
    EXPECT_EQ(recorder.Packets, QStringList{packet({"Code=CloseModules"})}) << "synchronous";
    recorder.Packets.clear();

    view->sp_ClearErrorMessage();
    iview()->sp_SetToolBar("Module");
    iview()->sp_SetSourceCode("function setup() {\r\n}\r\n\nloop();");
    iview()->sp_Message("hello = world");
    EXPECT_TRUE(recorder.Packets.isEmpty()) << "posted senders return before delivery";
    drain();
    EXPECT_EQ(recorder.Packets,
              (QStringList{packet({"Code=ClearErrorMessage"}), packet({"Code=SetToolBar", "Name=Module"}),
                           packet({"Code=SetSourceCode", "Text=function setup() {\r\n}\r\n\nloop();"}),
                           packet({"Code=Message", "Msg=hello = world"})}));
}

TEST_F(CoreTest, EmptyTextsLeaveTheirKeysOut)
{
    iview()->sp_SetToolBar("");
    iview()->sp_SetSourceCode(QString());
    iview()->sp_Message("");
    drain();
    EXPECT_EQ(recorder.Packets, (QStringList{packet({"Code=SetToolBar"}), packet({"Code=SetSourceCode"}),
                                             packet({"Code=Message"})}));
    TValueList received;
    received.SetText(recorder.Packets.first());
    EXPECT_EQ(received.Values("Name"), QString());
}

TEST_F(CoreTest, CodeErrorCopiesTheCallersLinesAndPlacesCode)
{
    TValueList error;
    error.SetIntegers("LineNo", 12);
    error.SetValues("ErrorMsg", "x is not defined");
    error.SetValues("ErrorText", "  x++;");
    const QString before = error.Text();
    iview()->sp_CodeError(&error);
    EXPECT_EQ(error.Text(), before) << "the caller's list is only read";

    TValueList withCode;
    withCode.Add("LineNo=1");
    withCode.Add("code=Other");
    withCode.Add("ErrorMsg=a\r\nb");
    iview()->sp_CodeError(&withCode);

    TValueList empty;
    iview()->sp_CodeError(&empty);
    iview()->sp_CodeError(nullptr);

    // A single line holding ordinary line breaks stays one line.
    TValueList plain;
    plain.Add("LineNo=3\r\nErrorMsg=boom");
    iview()->sp_CodeError(&plain);

    drain();
    EXPECT_EQ(recorder.Packets,
              (QStringList{packet({"LineNo=12", "ErrorMsg=x is not defined", "ErrorText=  x++;", "Code=CodeError"}),
                           packet({"LineNo=1", "Code=CodeError", "ErrorMsg=a\r\nb"}), packet({"Code=CodeError"}),
                           packet({"Code=CodeError"}), packet({"LineNo=3\r\nErrorMsg=boom", "Code=CodeError"})}));
}

TEST_F(CoreTest, PacketsSentFromAnotherThreadArriveOnTheUserInterfaceThread)
{
    IView *view = iview();
    std::thread engine([view] {
        view->sp_Message("from the engine");
        TValueList error;
        error.SetValues("LineNo", "4");
        view->sp_CodeError(&error);
    });
    engine.join();
    ASSERT_TRUE(WaitFor([&] { return recorder.Packets.size() == 2; }));
    EXPECT_EQ(recorder.Packets, (QStringList{packet({"Code=Message", "Msg=from the engine"}),
                                             packet({"LineNo=4", "Code=CodeError"})}));
    for (Qt::HANDLE t : recorder.Threads)
        EXPECT_EQ(t, QThread::currentThreadId());
}

#include "tst_core.moc"
