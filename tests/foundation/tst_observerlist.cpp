#include "observerbase.h"
#include "observerlist.h"
#include "testsupport.h"

#include <QTest>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace {

// Records what it receives in a journal shared by all observers of a test.
class Recorder : public QObject
{
    Q_OBJECT
public:
    Recorder(QString name, QStringList *journal) : FName(std::move(name)), FJournal(journal) {}

    std::function<void(TValueList *)> OnPing;
    TValueList *LastPacket = nullptr;
    Qt::HANDLE Thread = nullptr;

    Q_INVOKABLE void rp_Ping(TValueList *AParams)
    {
        LastPacket = AParams;
        Thread = QThread::currentThreadId();
        *FJournal << FName + ":" + AParams->Values("Arg");
        if (OnPing)
            OnPing(AParams);
    }
    Q_INVOKABLE void rp_Inner(TValueList *) { *FJournal << FName + ":inner"; }

private:
    QString FName;
    QStringList *FJournal;
};

class DerivedObserver : public TBaseObserver
{
    Q_OBJECT
public:
    using TBaseObserver::TBaseObserver;
    Q_INVOKABLE void RP_BOTH(TValueList *) { Received << "derived:Both"; }
};

// A handler name with the wrong argument type: not a packet handler.
class WrongArgumentObserver : public TBaseObserver
{
    Q_OBJECT
public:
    using TBaseObserver::TBaseObserver;
    Q_INVOKABLE void rp_Ping(int) { Received << "wrong:int"; }
    Q_INVOKABLE void rp_Both(const QString &) { Received << "wrong:QString"; }
};

// Leaves the list when freed, as the system's observers do.
class SelfRemoving : public QObject
{
    Q_OBJECT
public:
    SelfRemoving(TObserverList *list, QObject *parent) : QObject(parent), FList(list) {}
    ~SelfRemoving() override { FList->Remove(this); }

private:
    TObserverList *FList;
};

struct NotAnException
{
};

TValueList ping(const QString &arg = QString())
{
    TValueList p;
    p.SetValues("Code", "Ping");
    p.SetValues("Arg", arg);
    return p;
}

class ObserverListTest : public ::testing::Test
{
protected:
    QStringList journal;
    TObserverList list;
    std::vector<std::unique_ptr<Recorder>> owned;

    Recorder *make(const QString &name)
    {
        owned.push_back(std::make_unique<Recorder>(name, &journal));
        return owned.back().get();
    }
    ~ObserverListTest() override { list.Clear(); }
};

} // namespace

TEST_F(ObserverListTest, DeliversNewestFirstAndOnlyToMatchingHandlers)
{
    Recorder *a = make("A"), *b = make("B"), *c = make("C");
    QObject plain;
    list.Add(a);
    list.Add(&plain);
    list.Add(b);
    list.Add(c);
    TValueList p = ping("1");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"C:1", "B:1", "A:1"}));
    EXPECT_EQ(list.LastCommand(), "Ping");

    // Letter case of the code does not matter.
    journal.clear();
    TValueList lower;
    lower.SetText("Code=ping<tAv>Arg=2<tAv>");
    list.BroadCast(&lower);
    EXPECT_EQ(journal, QStringList({"C:2", "B:2", "A:2"}));

    // No "Code": nobody, and the last command becomes empty.
    journal.clear();
    TValueList none;
    none.SetValues("Arg", "3");
    list.BroadCast(&none);
    EXPECT_TRUE(journal.isEmpty());
    EXPECT_EQ(list.LastCommand(), QString());
}

TEST_F(ObserverListTest, EmptyListRecordsCommandOnly)
{
    EXPECT_EQ(list.LastCommand(), QString());
    TValueList p = ping();
    list.BroadCast(&p);
    EXPECT_EQ(list.LastCommand(), "Ping");
}

TEST_F(ObserverListTest, BroadCastHandsOneCopySharedByObserversButNotTheCaller)
{
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    b->OnPing = [](TValueList *p) { p->SetValues("Arg", "changed"); };
    TValueList p = ping("orig");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"B:orig", "A:changed"}));
    EXPECT_EQ(p.Values("Arg"), "orig");
    EXPECT_NE(a->LastPacket, &p);
    EXPECT_EQ(a->LastPacket, b->LastPacket);

    // BroadCastToOther and Notify hand over the caller's packet itself.
    journal.clear();
    list.BroadCastToOther(nullptr, &p);
    EXPECT_EQ(p.Values("Arg"), "changed");
    EXPECT_EQ(a->LastPacket, &p);
    TValueList q = ping("n");
    list.Notify(b, &q);
    EXPECT_EQ(q.Values("Arg"), "changed");
}

TEST_F(ObserverListTest, BroadCastToOtherSkipsSenderAtEveryPosition)
{
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    list.Add(a);
    TValueList p = ping("x");
    list.BroadCastToOther(a, &p);
    EXPECT_EQ(journal, QStringList({"B:x"}));
    journal.clear();
    list.BroadCastToOther(make("stranger"), &p);
    EXPECT_EQ(journal, QStringList({"A:x", "B:x", "A:x"}));
}

TEST_F(ObserverListTest, InactiveListDeliversOnlyThroughNotify)
{
    Recorder *a = make("A");
    list.Add(a);
    list.SetActive(false);
    TValueList p = ping("x");
    list.BroadCast(&p);
    list.BroadCast(p.Text());
    list.BroadCastToOther(nullptr, &p);
    list.BroadCastToOther(nullptr, p.Text());
    list.AsyncBroadcast(&p);
    list.AsyncBroadcast(p.Text());
    QCoreApplication::processEvents();
    EXPECT_TRUE(journal.isEmpty());
    EXPECT_EQ(list.LastCommand(), QString());
    list.Notify(a, &p);
    EXPECT_EQ(journal, QStringList({"A:x"}));
    EXPECT_EQ(list.LastCommand(), "Ping");
    list.SetActive(true);
    list.BroadCast(p.Text());
    EXPECT_EQ(journal.size(), 2);
}

TEST_F(ObserverListTest, RegistrationKeepsDuplicatesAndRemovesTheOldest)
{
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    list.Add(a);
    TValueList p = ping("1");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"A:1", "B:1", "A:1"}));
    list.Remove(a);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Observers(0), b);
    EXPECT_EQ(list.Observers(1), a);
    list.Remove(make("never"));
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(ObserverListTest, HandlersChangingTheListDuringDelivery)
{
    // A newly registered observer gets only the following packets.
    Recorder *a = make("A"), *b = make("B"), *late = make("Late");
    list.Add(a);
    list.Add(b);
    bool once = true;
    b->OnPing = [&](TValueList *) {
        if (std::exchange(once, false))
            list.Add(late);
    };
    TValueList p = ping("1");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"B:1", "A:1"}));
    journal.clear();
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"Late:1", "B:1", "A:1"}));
}

TEST_F(ObserverListTest, HandlerRemovingItselfLeavesOthersServedOnce)
{
    Recorder *a = make("A"), *b = make("B"), *c = make("C");
    list.Add(a);
    list.Add(b);
    list.Add(c);
    b->OnPing = [&](TValueList *) { list.Remove(b); };
    TValueList p = ping("1");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"C:1", "B:1", "A:1"}));
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(ObserverListTest, HandlerRemovingALowerObserverRepeatsItself)
{
    Recorder *a = make("A"), *b = make("B"), *c = make("C");
    list.Add(a);
    list.Add(b);
    list.Add(c);
    bool once = true;
    b->OnPing = [&](TValueList *) {
        if (std::exchange(once, false))
            list.Remove(a);
    };
    TValueList p = ping("1");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"C:1", "B:1", "B:1"}));
}

TEST_F(ObserverListTest, ListShrunkBelowNextPositionRaisesListError)
{
    Recorder *a = make("A"), *b = make("B"), *c = make("C");
    list.Add(a);
    list.Add(b);
    list.Add(c);
    c->OnPing = [&](TValueList *) { list.Clear(); };
    TValueList p = ping("1");
    EXPECT_THROW(list.BroadCast(&p), EListError);
    // The lock was left: another thread can take it.
    bool added = false;
    std::unique_ptr<QThread> t(QThread::create([&] {
        list.Add(a);
        added = true;
    }));
    t->start();
    ASSERT_TRUE(t->wait(5000));
    EXPECT_TRUE(added);
}

TEST_F(ObserverListTest, StdExceptionsAreTracedAndDeliveryGoesOn)
{
    TraceCapture trace;
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    b->OnPing = [](TValueList *p) {
        p->SetValues("Seen", "1");
        throw std::runtime_error("boom");
    };
    TValueList p = ping("1");
    EXPECT_NO_THROW(list.BroadCast(&p));
    EXPECT_EQ(journal, QStringList({"B:1", "A:1"}));
    ASSERT_EQ(trace.lines().size(), 1);
    EXPECT_EQ(trace.lines().at(0),
              "[QX] TObserverList.do_Notify - boom\r\n    - Recorder, Code=Ping<tAv>Arg=1<tAv>Seen=1<tAv>");
}

TEST_F(ObserverListTest, OtherThrownObjectsEndDeliveryAndReachTheCaller)
{
    TraceCapture trace;
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    b->OnPing = [](TValueList *) { throw NotAnException(); };
    TValueList p = ping("1");
    EXPECT_THROW(list.BroadCast(&p), NotAnException);
    EXPECT_EQ(journal, QStringList({"B:1"}));
    EXPECT_TRUE(trace.lines().isEmpty());
    // The lock was left.
    std::unique_ptr<QThread> t(QThread::create([&] { list.Remove(a); }));
    t->start();
    ASSERT_TRUE(t->wait(5000));
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(ObserverListTest, NestedBroadcastRunsToItsEndFirst)
{
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    bool once = true;
    b->OnPing = [&](TValueList *) {
        if (std::exchange(once, false))
            list.BroadCast("Code=Inner<tAv>");
    };
    TValueList p = ping("1");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"B:1", "B:inner", "A:inner", "A:1"}));
    EXPECT_EQ(list.LastCommand(), "Inner");
}

TEST_F(ObserverListTest, HandlerInBaseClassOfAnotherLibraryIsFound)
{
    DerivedObserver d;
    list.Add(&d);
    TValueList p = ping("x");
    list.BroadCast(&p);
    list.BroadCast("Code=Both<tAv>");
    EXPECT_EQ(d.Received, QStringList({"base:Ping:x", "derived:Both"}));
}

TEST_F(ObserverListTest, MethodsThatDoNotTakeThePacketAreNotHandlers)
{
    WrongArgumentObserver w;
    Recorder *a = make("A");
    list.Add(a);
    list.Add(nullptr); // an empty entry is passed over
    list.Add(&w);
    TValueList p = ping("x");
    list.BroadCast(&p);
    list.BroadCast("Code=Both<tAv>");
    list.Notify(nullptr, &p);
    EXPECT_EQ(w.Received, QStringList({"base:Ping:x", "base:Both"}));
    EXPECT_EQ(journal, QStringList({"A:x"}));
}

TEST_F(ObserverListTest, PostedPacketsArriveInOrderOnTheEventLoop)
{
    Recorder *a = make("A");
    list.Add(a);
    TValueList p = ping("1");
    list.AsyncBroadcast(&p);
    p.SetValues("Arg", "2"); // the copy was taken when posted
    list.AsyncBroadcast(&p);
    list.AsyncBroadcast("Code=Ping<tAv>Arg=3<tAv>");
    EXPECT_TRUE(journal.isEmpty());
    EXPECT_TRUE(WaitFor([&] { return journal.size() == 3; }));
    EXPECT_EQ(journal, QStringList({"A:1", "A:2", "A:3"}));
}

TEST_F(ObserverListTest, OtherThrownObjectFromAPostedPacketReachesTheLoop)
{
    // The posted packet is freed on the way out (the leak checker sees it).
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    b->OnPing = [](TValueList *) { throw NotAnException(); };
    list.AsyncBroadcast("Code=Ping<tAv>Arg=1<tAv>");
    EXPECT_THROW(QCoreApplication::sendPostedEvents(), NotAnException);
    EXPECT_EQ(journal, QStringList({"B:1"}));
    b->OnPing = nullptr;
    list.AsyncBroadcast("Code=Ping<tAv>Arg=2<tAv>");
    ASSERT_TRUE(WaitFor([&] { return journal.size() == 3; }));
}

TEST_F(ObserverListTest, PostedPacketDroppedWhenListBecameInactive)
{
    Recorder *a = make("A");
    list.Add(a);
    list.AsyncBroadcast("Code=Ping<tAv>Arg=1<tAv>");
    list.SetActive(false);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(journal.isEmpty());
    EXPECT_EQ(list.LastCommand(), QString());
}

TEST_F(ObserverListTest, PostFromAnotherThreadIsDeliveredOnTheListsThread)
{
    Recorder *a = make("A");
    list.Add(a);
    std::unique_ptr<QThread> t(QThread::create([&] {
        for (int i = 0; i < 100; ++i)
            list.AsyncBroadcast(QStringLiteral("Code=Ping<tAv>Arg=%1<tAv>").arg(i));
    }));
    t->start();
    ASSERT_TRUE(t->wait(5000));
    ASSERT_TRUE(WaitFor([&] { return journal.size() == 100; }));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(journal.at(i), QStringLiteral("A:%1").arg(i));
    EXPECT_EQ(a->Thread, QThread::currentThreadId());
}

TEST_F(ObserverListTest, PostDuringBroadcastArrivesAfterIt)
{
    Recorder *a = make("A"), *b = make("B");
    list.Add(a);
    list.Add(b);
    bool once = true;
    b->OnPing = [&](TValueList *) {
        if (!std::exchange(once, false))
            return;
        std::unique_ptr<QThread> t(QThread::create([&] { list.AsyncBroadcast("Code=Inner<tAv>"); }));
        t->start();
        t->wait();
    };
    TValueList p = ping("1");
    list.BroadCast(&p);
    EXPECT_EQ(journal, QStringList({"B:1", "A:1"}));
    ASSERT_TRUE(WaitFor([&] { return journal.size() == 4; }));
    EXPECT_EQ(journal.mid(2), QStringList({"B:inner", "A:inner"}));
}

TEST(ObserverListLifetime, DestructionFreesListedObserversOnceAndQueuedPackets)
{
    QStringList journal;
    QPointer<Recorder> a = new Recorder("A", &journal);
    auto *list = new TObserverList;
    list->Add(a);
    list->Add(a);
    list->AsyncBroadcast("Code=Ping<tAv>");
    delete list; // the queued copy is released with the hidden window
    EXPECT_TRUE(a.isNull());
    QCoreApplication::processEvents();
    EXPECT_TRUE(journal.isEmpty());
}

TEST(ObserverListLifetime, DestructionCopesWithObserversFreeingOrRemovingOthers)
{
    auto *list = new TObserverList;
    QPointer<QObject> parent = new QObject;
    QPointer<QObject> child = new QObject(parent.data());             // freed with parent, stays listed
    QPointer<QObject> leaving = new SelfRemoving(list, parent.data()); // freed with parent, leaves the list
    QPointer<QObject> other = new QObject;
    list->Add(other);
    list->Add(child);
    list->Add(leaving);
    list->Add(parent);
    delete list;
    EXPECT_TRUE(parent.isNull());
    EXPECT_TRUE(child.isNull());
    EXPECT_TRUE(leaving.isNull());
    EXPECT_TRUE(other.isNull());
}

TEST(HandleComponent, DispatchesMessagesByNumberThroughAncestors)
{
    TObserverList list;
    EXPECT_NE(list.Handle(), 0u);
    // An unknown number goes nowhere; a stale handle is refused; message
    // 1025 without a packet delivers nothing.
    EXPECT_TRUE(THandleComponent::PostMessageW(list.Handle(), 4711, 0, 0));
    EXPECT_TRUE(THandleComponent::PostMessageW(list.Handle(), 1025, 0, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(list.LastCommand(), QString());
    quintptr stale = 0;
    {
        TObserverList other;
        stale = other.Handle();
    }
    EXPECT_FALSE(THandleComponent::PostMessageW(stale, 1025, 0, 0));
}

TEST(DebugTraceTest, WritesPrefixAndTextOnly)
{
    TraceCapture trace;
    DebugTrace("line one\nline two");
    DebugTrace(QString());
    EXPECT_EQ(trace.lines(), QStringList({"[QX] line one\nline two", "[QX] "}));
}

#include "tst_observerlist.moc"
