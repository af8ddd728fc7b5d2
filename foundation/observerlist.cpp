#include "observerlist.h"

#include "debugtrace.h"
#include "packetcodes.h"

#include <QMetaMethod>
#include <QHash>
#include <memory>

namespace {

void discardPacket(quintptr wparam)
{
    delete reinterpret_cast<TValueList *>(wparam);
}

// Normalized type names, as moc records them.
bool isPacketParameter(const QByteArray &type)
{
    return type == "TValueList*" || type == "const TValueList*";
}

} // namespace

TObserverList::TObserverList(QObject *AOwner)
    : THandleComponent(AOwner), FLastCommand(new TSyncString)
{
}

TObserverList::~TObserverList()
{
    // Observers still listed are freed, each object once even when it
    // stands at several positions. Freeing one may free others (its QObject
    // children) and may take entries out of the list, so each object is
    // watched and positions that are gone are passed over.
    QHash<QObject *, QPointer<QObject>> alive;
    for (QObject *observer : std::as_const(FList))
        if (observer)
            alive.insert(observer, observer);
    for (int i = int(FList.size()) - 1; i >= 0; --i) {
        if (i >= FList.size())
            continue;
        QObject *observer = FList.at(i);
        const auto it = alive.find(observer);
        if (it == alive.end() || it->isNull())
            continue;
        alive.erase(it);
        delete observer;
    }
    FList.clear();
    TSyncString *last = FLastCommand;
    FLastCommand = nullptr;
    delete last;
}

void TObserverList::Add(QObject *Observer)
{
    std::lock_guard lock(FCS);
    FList.append(Observer);
}

void TObserverList::Remove(QObject *Observer)
{
    std::lock_guard lock(FCS);
    FList.removeOne(Observer);
}

void TObserverList::Clear()
{
    std::lock_guard lock(FCS);
    FList.clear();
}

int TObserverList::Count() const
{
    std::lock_guard lock(FCS);
    return int(FList.size());
}

QObject *TObserverList::Observers(int Index) const
{
    std::lock_guard lock(FCS);
    return ObserverAt(Index);
}

QObject *TObserverList::ObserverAt(int Index) const
{
    if (Index < 0 || Index >= FList.size())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FList.at(Index);
}

int TObserverList::FindHandler(const QObject *Observer, const QString &Code)
{
    const QString name = QStringLiteral("rp_") + Code;
    for (const QMetaObject *mo = Observer->metaObject(); mo; mo = mo->superClass()) {
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
            const QMetaMethod m = mo->method(i);
            // Only a method that takes the packet can be called with it.
            if (m.parameterCount() != 1 || !isPacketParameter(m.parameterTypeName(0)))
                continue;
            if (QString::fromLatin1(m.name()).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
    }
    return -1;
}

void TObserverList::do_Notify(QObject *Observer, TValueList *APacket)
{
    // An empty entry has no class to look a handler up in.
    if (!Observer)
        return;
    try {
        const int index = FindHandler(Observer, APacket->Values(PacketKey::Code));
        if (index < 0)
            return;
        void *argv[] = {nullptr, &APacket};
        QMetaObject::metacall(Observer, QMetaObject::InvokeMetaMethod, index, argv);
    } catch (const std::exception &e) {
        DebugTrace(QStringLiteral("TObserverList.do_Notify - %1\r\n    - %2, %3")
                       .arg(QString::fromUtf8(e.what()),
                            QString::fromLatin1(Observer->metaObject()->className()),
                            APacket->Text()));
    }
}

void TObserverList::BroadCast(const TValueList *APacket)
{
    if (!Active())
        return;
    SetLastCommand(APacket->Values(PacketKey::Code));
    std::lock_guard lock(FCS);
    auto copy = std::make_unique<TValueList>();
    copy->SetText(APacket->Text());
    for (int n = int(FList.size()) - 1; n >= 0; --n)
        do_Notify(ObserverAt(n), copy.get());
}

void TObserverList::BroadCast(const QString &AText)
{
    if (!Active())
        return;
    TValueList packet;
    packet.SetText(AText);
    BroadCast(&packet);
}

void TObserverList::BroadCastToOther(QObject *Sender, TValueList *APacket)
{
    if (!Active())
        return;
    SetLastCommand(APacket->Values(PacketKey::Code));
    std::lock_guard lock(FCS);
    for (int n = int(FList.size()) - 1; n >= 0; --n) {
        QObject *observer = ObserverAt(n);
        if (observer != Sender)
            do_Notify(observer, APacket);
    }
}

void TObserverList::BroadCastToOther(QObject *Sender, const QString &AText)
{
    if (!Active())
        return;
    TValueList packet;
    packet.SetText(AText);
    BroadCastToOther(Sender, &packet);
}

void TObserverList::Notify(QObject *Observer, TValueList *APacket)
{
    SetLastCommand(APacket->Values(PacketKey::Code));
    std::lock_guard lock(FCS);
    do_Notify(Observer, APacket);
}

void TObserverList::Notify(QObject *Observer, const QString &AText)
{
    TValueList packet;
    packet.SetText(AText);
    Notify(Observer, &packet);
}

void TObserverList::Post(TValueList *APacket)
{
    if (!PostMessageW(Handle(), WM_ASYNC_BROADCAST, reinterpret_cast<quintptr>(APacket), 0, discardPacket))
        delete APacket;
}

void TObserverList::AsyncBroadcast(const TValueList *APacket)
{
    if (!Active())
        return;
    auto *copy = new TValueList;
    copy->SetText(APacket->Text());
    Post(copy);
}

void TObserverList::AsyncBroadcast(const QString &AText)
{
    if (!Active())
        return;
    auto *packet = new TValueList;
    packet->SetText(AText);
    Post(packet);
}

void TObserverList::do_AsyncBroadcast(TMessage *Message)
{
    std::unique_ptr<TValueList> packet(reinterpret_cast<TValueList *>(Message->WParam));
    if (packet)
        BroadCast(packet.get());
}

void TObserverList::SetLastCommand(const QString &Code)
{
    FLastCommand->SetValue(Code);
}

QString TObserverList::GetLastCommand() const
{
    std::lock_guard lock(*FLastCommand);
    return FLastCommand->Value();
}
