// Stands in for a hidden window with posted messages and message methods: a QObject receiving posted events, since QMetaObject::invokeMethod can neither refuse a post to a receiver already gone nor discard what it leaves undelivered.
#pragma once

#include "foundation_export.h"

#include <QObject>

// A message as the hidden window hands it on: number, two pointer-sized
// arguments and a result.
struct TMessage
{
    quint32 Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
};
Q_DECLARE_METATYPE(TMessage *)

// Declares a message method of a class: the Q_INVOKABLE method Method,
// taking TMessage *, handles message number Number. Look-up goes through the
// class and then its ancestors, the most derived declaration first.
#define KB_MESSAGE(Number, Method) Q_CLASSINFO("Message" #Number, #Method)

// A component that owns a hidden window: a receiver on the thread that made
// it, to which any thread can post (number, WParam, LParam) without waiting.
// The owning thread's event loop hands each posted message, in order, to
// WndProc, which dispatches it by number to a message method.
class FOUNDATION_EXPORT THandleComponent : public QObject
{
    Q_OBJECT
    Q_PROPERTY(quintptr Handle READ Handle CONSTANT)

public:
    using TDiscard = void (*)(quintptr WParam);

    explicit THandleComponent(QObject *AOwner = nullptr);
    ~THandleComponent() override;

    quintptr Handle() const;

    virtual void WndProc(TMessage &Message);

    // Queues a message for the hidden window Handle. Returns false when no
    // such window exists. Discard, when given, is called with WParam if the
    // message is dropped undelivered (its window released first).
    static bool PostMessageW(quintptr Handle, quint32 Msg, quintptr WParam, qintptr LParam,
                             TDiscard Discard = nullptr);

protected:
    // Finds the message method for Message.Msg and calls it; DefaultHandler
    // when there is none.
    void Dispatch(TMessage &Message);
    virtual void DefaultHandler(TMessage &Message);

private:
    class THiddenWindow;
    THiddenWindow *FHandle = nullptr;
};
