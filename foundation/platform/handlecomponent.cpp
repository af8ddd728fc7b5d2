// Stands in for a hidden window with posted messages and message methods: a QObject receiving posted events, since QMetaObject::invokeMethod can neither refuse a post to a receiver already gone nor discard what it leaves undelivered.
#include "handlecomponent.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaMethod>

#include <mutex>
#include <unordered_set>

namespace {

const QEvent::Type MessageEventType = QEvent::Type(QEvent::registerEventType());

class TMessageEvent : public QEvent
{
public:
    TMessageEvent(const TMessage &m, THandleComponent::TDiscard discard)
        : QEvent(MessageEventType), message(m), discard(discard) {}
    ~TMessageEvent() override
    {
        if (!delivered && discard)
            discard(message.WParam);
    }
    TMessage message;
    THandleComponent::TDiscard discard;
    bool delivered = false;
};

// The live hidden windows. A post checks and posts under this lock; a window
// leaves the set under it before it is deleted.
std::mutex &registryMutex()
{
    static std::mutex m;
    return m;
}
std::unordered_set<quintptr> &registry()
{
    static std::unordered_set<quintptr> r;
    return r;
}

} // namespace

class THandleComponent::THiddenWindow : public QObject
{
public:
    explicit THiddenWindow(THandleComponent *owner) : FOwner(owner) {}

    bool event(QEvent *e) override
    {
        if (e->type() != MessageEventType)
            return QObject::event(e);
        auto *me = static_cast<TMessageEvent *>(e);
        me->delivered = true;
        TMessage message = me->message;
        FOwner->WndProc(message);
        return true;
    }

private:
    THandleComponent *FOwner;
};

THandleComponent::THandleComponent(QObject *AOwner)
    : QObject(AOwner), FHandle(new THiddenWindow(this))
{
    std::lock_guard lock(registryMutex());
    registry().insert(reinterpret_cast<quintptr>(FHandle));
}

THandleComponent::~THandleComponent()
{
    {
        std::lock_guard lock(registryMutex());
        registry().erase(reinterpret_cast<quintptr>(FHandle));
    }
    // Deleting the receiver drops (and so discards) what is still queued.
    delete FHandle;
    FHandle = nullptr;
}

quintptr THandleComponent::Handle() const
{
    return reinterpret_cast<quintptr>(FHandle);
}

void THandleComponent::WndProc(TMessage &Message)
{
    Dispatch(Message);
}

bool THandleComponent::PostMessageW(quintptr Handle, quint32 Msg, quintptr WParam, qintptr LParam,
                                    TDiscard Discard)
{
    std::lock_guard lock(registryMutex());
    if (!registry().count(Handle))
        return false;
    TMessage m;
    m.Msg = Msg;
    m.WParam = WParam;
    m.LParam = LParam;
    QCoreApplication::postEvent(reinterpret_cast<QObject *>(Handle), new TMessageEvent(m, Discard));
    return true;
}

void THandleComponent::Dispatch(TMessage &Message)
{
    const QMetaObject *mo = metaObject();
    const QByteArray key = "Message" + QByteArray::number(Message.Msg);
    const int info = mo->indexOfClassInfo(key.constData());
    if (info >= 0) {
        const QByteArray signature = QByteArray(mo->classInfo(info).value()) + "(TMessage*)";
        const int index = mo->indexOfMethod(signature.constData());
        if (index >= 0) {
            TMessage *arg = &Message;
            void *argv[] = {nullptr, &arg};
            QMetaObject::metacall(this, QMetaObject::InvokeMetaMethod, index, argv);
            return;
        }
    }
    DefaultHandler(Message);
}

void THandleComponent::DefaultHandler(TMessage &)
{
}
