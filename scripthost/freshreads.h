#pragma once

// Reads served on the worker's side. A property with a change signal is
// read from the UI thread once; its value is then kept for the worker until
// the object announces a change. While a call of the run is still queued or
// running the kept values may be behind it, so none is served then.
#include "runstate.h"

#include <QHash>
#include <QObject>
#include <QSet>

class QMetaProperty;

// On the worker: the kept value of AProp of object AId, if there is one
// that no queued call can have changed.
bool TakeFresh(TRunState &S, int AId, int AProp, QVariant &AValue);

// Lives on the UI thread for one run: keeps the values read there and
// forgets an object's values when it signals a change.
class TFreshReads : public QObject
{
    Q_OBJECT

public:
    explicit TFreshReads(TRunState &AState) : FState(AState) {}

    // After AProp of AObject (id AId) was read as AValue on the UI thread:
    // keeps the value if the property has a change signal.
    void Keep(QObject *AObject, int AId, const QMetaProperty &AProp, const QVariant &AValue);

private slots:
    void Changed();

private:
    void Forget(QObject *AObject);

    TRunState &FState;
    QHash<QObject *, int> FIds;                // watched objects and their ids
    QSet<QPair<QObject *, int>> FConnected;    // object and change signal, connected once
};
