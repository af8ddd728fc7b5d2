#pragma once

// The engine of one module window: prepares runs, starts them on worker
// threads, stops them, gives up on one that will not end, and carries out
// their calls on the user-interface thread.
#include "runstate.h"

#include <QObject>
#include <memory>
#include <vector>

class QThread;
class QTimer;
class QWidget;

class TScriptHost : public QObject
{
public:
    TScriptHost(QWidget *AWindow, ICore *ACore);
    ~TScriptHost() override;

    void Prepare();
    void AddGlobalFunctions(const QMetaObject *AClass);
    void AddObject(QObject *AObject, const QString &AName);
    void ObjectCreated(QObject *AObject);
    void Start(const QString &ACode);
    void Stop();

protected:
    bool event(QEvent *AEvent) override;

private:
    struct TRun
    {
        std::shared_ptr<TRunState> State;
        QThread *Thread = nullptr;
        QTimer *GiveUp = nullptr; // armed by Stop, or when shutdown() begins
    };

    std::shared_ptr<TRunState> NewState();
    TRunState &Prepared();
    void Launch(std::shared_ptr<TRunState> S);
    void ArmGiveUp(TRun &ARun);
    void GiveUp(QThread *AThread);
    void Ended(QThread *AThread);
    // The run is over for this host: its thread has ended or was left behind.
    void Retire(std::vector<TRun>::iterator AIt);
    TRun *Find(const std::shared_ptr<TRunState> &S);
    static void FreeInstances(TRunState &S);

    ICore *FCore;
    QPointer<TPinBoard> FPins;
    std::shared_ptr<TRunState> FPrepared;
    std::shared_ptr<TRunState> FPending;
    std::vector<TRun> FRuns; // threads still alive; the last one is the current run
    std::shared_ptr<TRunState> FDraining;
};
