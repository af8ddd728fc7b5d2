// Throughput of the observer bus: synchronous broadcasts to ten observers,
// and packets posted from a second thread and delivered by the event loop.
#include "observerlist.h"
#include "packetcodes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

class Counter : public QObject
{
    Q_OBJECT
public:
    std::atomic<long> Count{0};
    Q_INVOKABLE void rp_Tick(TValueList *) { ++Count; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TObserverList list;
    std::vector<std::unique_ptr<Counter>> observers;
    for (int i = 0; i < 10; ++i) {
        observers.push_back(std::make_unique<Counter>());
        list.Add(observers.back().get());
    }
    TValueList packet;
    packet.SetValues(PacketKey::Code, QStringLiteral("Tick"));
    packet.SetValues(PacketKey::Name, ToolBarMode::Module);

    const int syncRounds = 200000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < syncRounds; ++i)
        list.BroadCast(&packet);
    const double syncSeconds = t.nsecsElapsed() / 1e9;
    std::printf("sync broadcasts to 10 observers: %.0f per second (%.2f us each)\n",
                syncRounds / syncSeconds, syncSeconds / syncRounds * 1e6);

    for (auto &o : observers)
        o->Count = 0;
    const long posts = 200000;
    t.restart();
    std::unique_ptr<QThread> poster(QThread::create([&] {
        for (long i = 0; i < posts; ++i)
            list.AsyncBroadcast(&packet);
    }));
    poster->start();
    // Polled after every pass, not with QTest::qWaitFor: its 10 ms sleeps
    // would be counted as delivery time.
    while (observers[0]->Count < posts)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    poster->wait();
    const double postSeconds = t.nsecsElapsed() / 1e9;
    std::printf("posted packets from a second thread, delivered to 10 observers: %.0f per second\n",
                posts / postSeconds);
    list.Clear(); // the list frees observers still listed; these are owned here
    return 0;
}

#include "bus_bench.moc"
