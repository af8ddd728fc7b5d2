#pragma once

// The module's objects as the script sees them: a wrapper per object with
// its properties and methods, and the reads, writes and calls that those
// wrappers make, checked on the worker and carried out on the UI thread.
#include "bridge.h"
#include "keptreads.h"
#include "values.h"

#include <QHash>
#include <QJSValue>
#include <QMetaType>

class QJSEngine;

// The script sees the members that the module's own classes declare (their
// published properties and public methods), not everything that Qt's base
// classes carry: the first property and method index that is the module's.
int FirstOwnProperty(const QMetaObject *AMeta);
int FirstOwnMethod(const QMetaObject *AMeta);
// The names of the public methods the script may call, each once.
QStringList ScriptMethods(const QMetaObject *AMeta);

class TScriptObjects
{
public:
    TScriptObjects(std::shared_ptr<TRunState> AState, TUiBridge &ABridge)
        : S(std::move(AState)), FBridge(ABridge), FKept(*S)
    {
    }

    // AIdOf and AWrap are the prelude's: wrapper to id, and wrapper maker.
    void Bind(QJSEngine *AEngine, QJSValue AIdOf, QJSValue AWrap);
    // Drops every script value; before the engine goes.
    void Release();

    // The wrapper of object AId, made on first use; null for an unknown id.
    QJSValue Wrap(int AId);
    QJSValue Get(int AId, int AProp);
    void Set(int AId, int AProp, const QJSValue &AValue);
    QJSValue Call(int AId, const QString &AName, const QJSValue &AArgs);

private:
    // Throws the call's error into the script, or turns its result into a value.
    QJSValue Result(const TUiResult &AResult);
    // False, with a TypeError thrown, when a number is wanted and AValue is
    // none; with a RangeError, when AValue (or a number field of it) breaks
    // the rule for whole numbers (values.h).
    bool CheckNumber(const QJSValue &AValue, QMetaType AType, const QString &AWhat);
    // False, with a TypeError thrown, when an object of the parameter's class
    // is wanted and AValue is none.
    bool CheckObject(const QJSValue &AValue, QMetaType AType, const QString &AWhat);
    int MethodFor(const QMetaObject *AMeta, const QString &AName, int AArgc);
    // After the program's own code ran (a valueOf, a getter): whether the run
    // is being stopped, or was cut off from its window, whose classes it may
    // then no longer read. A call or write would be dropped now anyway.
    bool Cut() const { return S->Interrupting(); }

    std::shared_ptr<TRunState> S;
    TUiBridge &FBridge;
    QJSEngine *FEngine = nullptr;
    QJSValue FIdOf;
    QJSValue FWrapFn;
    QHash<int, QJSValue> FWrappers;
    QHash<QString, int> FMethodCache;
    TKeptReader FKept;
};
