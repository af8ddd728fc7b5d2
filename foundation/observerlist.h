#pragma once

#include "foundation_export.h"
#include "handlecomponent.h"
#include "syncvalue.h"
#include "valuelist.h"

#include <QList>
#include <QPointer>
#include <atomic>
#include <mutex>
#include <stdexcept>

// Raised when a delivery reads a position that handlers have removed.
class FOUNDATION_EXPORT EListError : public std::out_of_range
{
public:
    using std::out_of_range::out_of_range;
};

// The locked list of observers. A packet whose "Code" is X reaches, on each
// observer, the Q_INVOKABLE method "rp_X" taking TValueList * (names compared
// without regard to case, the most derived class first). Observers without
// that method are passed over.
//
// Synchronous deliveries visit the positions from the newest down to the
// oldest, reading each afresh, with the re-entrant lock held throughout, so
// handlers may register, unregister and broadcast. A std::exception from a
// handler is traced and delivery goes on; anything else thrown ends the
// delivery and reaches the caller.
//
// AsyncBroadcast may be called from any thread: it posts a copy to the
// list's hidden window (message 1025), and the thread that made the list
// delivers it from its event loop, in posting order.
class FOUNDATION_EXPORT TObserverList : public THandleComponent
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString LastCommand READ GetLastCommand)
    KB_MESSAGE(1025, do_AsyncBroadcast)

public:
    static constexpr quint32 WM_ASYNC_BROADCAST = 1025;

    explicit TObserverList(QObject *AOwner = nullptr);
    ~TObserverList() override;

    void Add(QObject *Observer);
    void Remove(QObject *Observer);
    void Clear();

    void BroadCast(const TValueList *APacket);
    void BroadCast(const QString &AText);
    void BroadCastToOther(QObject *Sender, TValueList *APacket);
    void BroadCastToOther(QObject *Sender, const QString &AText);
    void Notify(QObject *Observer, TValueList *APacket);
    void Notify(QObject *Observer, const QString &AText);
    void AsyncBroadcast(const TValueList *APacket);
    void AsyncBroadcast(const QString &AText);

    // A plain flag, no lock; atomic only because senders on other threads
    // read it.
    bool Active() const { return FActive.load(std::memory_order_relaxed); }
    void SetActive(bool Value) { FActive.store(Value, std::memory_order_relaxed); }
    QString GetLastCommand() const;
    QString LastCommand() const { return GetLastCommand(); }

    // For tests only: the registered observers, the oldest at position 0.
    int Count() const;
    QObject *Observers(int Index) const;

private:
    // Looks up the "rp_" handler of Code on Observer's class; -1 when none.
    static int FindHandler(const QObject *Observer, const QString &Code);
    void do_Notify(QObject *Observer, TValueList *APacket);
    void SetLastCommand(const QString &Code);
    QObject *ObserverAt(int Index) const;
    void Post(TValueList *APacket);
    Q_INVOKABLE void do_AsyncBroadcast(TMessage *Message);

    QList<QObject *> FList;
    mutable std::recursive_mutex FCS;
    TSyncString *FLastCommand = nullptr;
    std::atomic<bool> FActive{true};
};
