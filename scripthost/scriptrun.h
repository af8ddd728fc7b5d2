#pragma once

#include "runstate.h"

#include <QHash>
#include <QJSValue>
#include <QMetaMethod>
#include <QObject>
#include <QVariant>
#include <chrono>
#include <memory>
#include <optional>

class QJSEngine;

using TClock = std::chrono::steady_clock;

// The outcome of one call carried out on the user-interface thread.
struct TUiResult
{
    bool Done = false;
    QVariant Value;
    int ObjectId = -1; // the result is this object
    bool IsObject = false;
    QString Error;
};

// One run of a learner's program, on its worker thread: the JavaScript
// environment, the order of the phases, time keeping and the calls out to
// the UI thread. Made and destroyed on the worker thread. Its invokable
// methods are the engine's side of the script's globals; the prelude holds
// the only reference to them, so the program cannot reach them directly.
class TScriptRun : public QObject
{
    Q_OBJECT

public:
    explicit TScriptRun(std::shared_ptr<TRunState> AState);
    ~TScriptRun() override;

    // The whole run: program text, setup(), loop() and repeaters, shutdown().
    void Exec();

    // How long shutdown() may take before it is interrupted.
    static constexpr std::chrono::milliseconds KShutdownLimit{500};
    // loop() starts at most once a millisecond, so that a loop() that never
    // waits does not spin a core.
    static constexpr std::chrono::microseconds KLoopPeriod{1000};
    // The shortest repeater interval, in microseconds.
    static constexpr double KMinRepeaterInterval = 1000;

    Q_INVOKABLE QJSValue get(int AId, int AProp);
    Q_INVOKABLE void set(int AId, int AProp, const QJSValue &AValue);
    Q_INVOKABLE QJSValue call(int AId, const QString &AName, const QJSValue &AArgs);
    Q_INVOKABLE bool key(int AKey);
    Q_INVOKABLE void digitalWrite(int APin, bool AHigh);
    Q_INVOKABLE void delay(double AMs);
    Q_INVOKABLE int addRepeater(double AMicroseconds);
    Q_INVOKABLE void setRepeaterActive(int AId, bool AActive);
    Q_INVOKABLE double repeaterInterval(int AId);
    Q_INVOKABLE void setRepeaterInterval(int AId, double AMicroseconds);
    Q_INVOKABLE bool repeaterEnabled(int AId);
    Q_INVOKABLE void setRepeaterEnabled(int AId, bool AEnabled);
    Q_INVOKABLE void message(const QString &AText);

private:
    struct TRepeater
    {
        double Interval = KMinRepeaterInterval; // microseconds
        TClock::time_point Due;
        bool HasFunction = false;
        bool Enabled = true;
    };
    // A parameter, converted on the worker, finished on the UI thread.
    struct TArg
    {
        QMetaType Type;
        QVariant Value;
        int ObjectId = -1;
        bool IsObject = false;
    };
    enum class TOutcome { Ok, Error, Interrupted };

    bool InstallPrelude();
    // Runs ACode; reports an uncaught error. False ends the run.
    bool Evaluate(const QString &ACode, const QString &AFileName);
    bool CallGlobal(const char *AName);
    bool IsCallable(const char *AName);
    void MainLoop();
    void RunShutdown();
    // Calls the repeaters that are due once each. False: one failed.
    bool RunDueRepeaters();
    std::optional<TClock::time_point> NextRepeaterDue() const;
    bool HasActiveRepeater() const;
    void WaitUntil(TClock::time_point AUntil);
    bool Ending() const;

    void ReportError(int ALine, const QString &AMessage);
    int LineOf(const QStringList &ATrace, const QJSValue &AError) const;
    // The last line of the program that holds more than white space.
    int LastCodeLine() const;
    // The line of the innermost '{' that the program never closes, or -1.
    int UnclosedBraceLine() const;

    // Queues AOp for the UI thread. AAlways: even after Stop (reports).
    bool Queue(std::function<void()> AOp, bool AAlways = false);
    QJSValue Await(const std::shared_ptr<TUiResult> &AResult);
    QJSValue ToScript(const TUiResult &AResult);
    TArg ToArg(const QJSValue &AValue, QMetaType AType);
    static bool IsNumberType(QMetaType AType);
    // False, with a TypeError thrown, when a number is wanted and AValue is none.
    bool CheckNumber(const QJSValue &AValue, QMetaType AType, const QString &AWhat);
    // False, with a TypeError thrown, when an object of the parameter's class
    // is wanted and AValue is none.
    bool CheckObject(const QJSValue &AValue, QMetaType AType, const QString &AWhat);
    bool ThrowPending();
    QJSValue Wrap(int AId);
    int MethodFor(const QMetaObject *AMeta, const QString &AName, int AArgc);

    std::shared_ptr<TRunState> S;
    QJSEngine *FEngine = nullptr;
    QJSValue FPrelude;  // the prelude's exports
    QJSValue FIdOf;     // wrapper -> object id
    QJSValue FWrapFn;   // makes a wrapper
    QHash<int, QJSValue> FWrappers;
    QHash<QString, int> FMethodCache;
    std::vector<TRepeater> FRepeaters;
    QStringList FLines; // the program's lines, for "ErrorText"
    bool FEndRun = false;    // an error ended the run
    bool FInRepeater = false;
    bool FShutdownDone = false;
};
