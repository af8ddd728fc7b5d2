#pragma once

// The kept copy of a run's reads, all of its rules here. A property whose
// change announcement (its notify signal) fires for every way it can change
// is read from the UI thread once; its value is then kept for the worker
// until the object announces a change. A property without one always makes
// the round trip. While a call of the run is still queued or running, the
// kept values may be behind it, so none is served then.
#include <QHash>
#include <QObject>
#include <QSet>
#include <QVariant>
#include <unordered_map>

class QMetaProperty;
class TRunState;

// The values, by object id and property index; guarded by the run's lock.
class TKeptValues
{
public:
    bool Find(int AId, int AProp, QVariant &AValue) const;
    void Put(int AId, int AProp, const QVariant &AValue) { FValues[AId][AProp] = AValue; }
    void Forget(int AId) { FValues.erase(AId); }

private:
    std::unordered_map<int, std::unordered_map<int, QVariant>> FValues;
};

// The worker's side: serves a read from the kept copy when it may.
class TKeptReader
{
public:
    explicit TKeptReader(TRunState &AState) : S(AState) {}

    // The kept value of AProp of object AId, if there is one that no queued
    // call can have changed.
    bool Take(int AId, int AProp, QVariant &AValue);

private:
    TRunState &S;
    QHash<qint64, bool> FKinds; // whether a property may be kept at all, looked up once
};

// The UI thread's side, one per run: keeps the values read there and
// forgets an object's values when it announces a change.
class TKeptWatch : public QObject
{
    Q_OBJECT

public:
    explicit TKeptWatch(TRunState &AState) : FState(AState) {}

    // After AProp of AObject (id AId) was read as AValue on the UI thread.
    void Keep(QObject *AObject, int AId, const QMetaProperty &AProp, const QVariant &AValue);

private slots:
    void Changed();

private:
    void Forget(QObject *AObject);

    TRunState &FState;
    QHash<QObject *, int> FIds;             // watched objects and their ids
    QSet<QPair<QObject *, int>> FConnected; // object and change signal, connected once
};
