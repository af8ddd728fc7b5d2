#pragma once

// One run of a learner's program on its worker thread: the engine and its
// prelude, the order of the phases (the program's text, setup(), loop() and
// the repeaters, shutdown()), delay() and the run's own reports.
#include "bridge.h"
#include "diagnostics.h"
#include "scheduler.h"
#include "scriptobjects.h"

#include <QJSValue>
#include <QObject>
#include <chrono>
#include <memory>

class QJSEngine;
class TMemoryWatch;

// Made and destroyed on the worker thread. Its invokable methods are the
// engine's side of the script's globals; the prelude holds the only
// reference to them, so the program cannot reach them directly.
class TScriptRun : public QObject
{
    Q_OBJECT

public:
    explicit TScriptRun(std::shared_ptr<TRunState> AState);
    ~TScriptRun() override;

    // The whole run: program text, setup(), loop() and repeaters, shutdown().
    void Exec();

    // loop() starts at most once a millisecond, so that a loop() that never
    // waits does not spin a core.
    static constexpr std::chrono::microseconds KLoopPeriod{1000};
    // What falls due this close together is run after one wake: the first
    // waits for the last, and a wake is saved for each one merged.
    static constexpr std::chrono::microseconds KMerge{500};

    Q_INVOKABLE QJSValue get(int AId, int AProp) { return FObjects.Get(AId, AProp); }
    Q_INVOKABLE void set(int AId, int AProp, const QJSValue &AValue) { FObjects.Set(AId, AProp, AValue); }
    Q_INVOKABLE QJSValue call(int AId, const QString &AName, const QJSValue &AArgs)
    {
        return FObjects.Call(AId, AName, AArgs);
    }
    Q_INVOKABLE bool key(int AKey);
    Q_INVOKABLE void digitalWrite(int APin, bool AHigh);
    Q_INVOKABLE void delay(double AMs);
    Q_INVOKABLE int addRepeater(double AMicroseconds) { return FScheduler.Add(AMicroseconds); }
    Q_INVOKABLE void setRepeaterActive(int AId, bool AActive) { FScheduler.SetActive(AId, AActive); }
    Q_INVOKABLE double repeaterInterval(int AId) { return FScheduler.Interval(AId); }
    Q_INVOKABLE void setRepeaterInterval(int AId, double AMicroseconds) { FScheduler.SetInterval(AId, AMicroseconds); }
    Q_INVOKABLE bool repeaterEnabled(int AId) { return FScheduler.Enabled(AId); }
    Q_INVOKABLE void setRepeaterEnabled(int AId, bool AEnabled) { FScheduler.SetEnabled(AId, AEnabled); }
    Q_INVOKABLE void message(const QString &AText);

private:
    bool InstallPrelude();
    // Runs the program's text; reports an uncaught error. False ends the run.
    bool Evaluate(const QString &ACode);
    // Calls the program's function AFn: setup(), loop(), a repeater's or
    // shutdown(). On an uncaught error, AError and ATrace hold it and its
    // stack, and the result is false.
    bool CallProgram(const QJSValue &AFn, QJSValue &AError, QStringList &ATrace);
    // CallProgram, then Settle. False ends the run.
    bool Invoke(const QJSValue &AFn);
    // After the program ran: reports what stopped it (a call that failed
    // while the program went on, the memory it took) or AError (with its
    // stack ATrace) unless the run is being stopped. False if anything failed.
    bool Settle(const QJSValue &AError, const QStringList &ATrace, bool AFailed, bool AWholeProgram);
    // Reports a call or write that failed after the program went on from it.
    bool ReportFailure();
    // Waits for what is still queued, so that a call of the program's last
    // lines that fails is reported before the run goes on.
    void ReportLateFailure();
    QJSValue Global(const char *AName) const;
    void MainLoop();
    void RunShutdown();
    // Queued ahead of shutdown(): Stop's reset of the board, and how many of
    // the program's lines Stop kept from the pane.
    void BeforeShutdown(TStopReason AWhy);
    // Calls the repeaters that are due once each. False: one failed.
    bool RunDueRepeaters();
    void WaitUntil(TClock::time_point AUntil);
    bool Ending() const;
    void Report(const TErrorReport &AReport);
    // Queues a line for the message pane; AAlways: the engine's own, even
    // while the run is being stopped.
    void QueueMessage(const QString &AText, bool AAlways);

    std::shared_ptr<TRunState> S;
    TUiBridge FBridge;
    TScriptObjects FObjects;
    TScheduler FScheduler;
    std::unique_ptr<TMemoryWatch> FMemory;
    QJSEngine *FEngine = nullptr;
    QJSValue FGlobal;
    QJSValue FPrelude; // the prelude's exports
    QJSValue FRepeaters; // the repeaters' functions, by id
    QStringList FLines; // the program's lines, for "ErrorText"
    bool FMemoryReported = false;
    bool FInRepeater = false;
    bool FRepeatersOver = false; // the program's main part is over: shutdown() runs alone
    int FCutLine = -1; // where shutdown() waited when the give-up time cut it short
};
