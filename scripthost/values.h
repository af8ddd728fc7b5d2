#pragma once

// Values between the script and Qt. What crosses from the worker to the
// user-interface thread and back is never a script value: objects travel as
// their ids in the run, a few Qt types as plain values.
#include "runstate.h"
#include "wholenumbers.h"

#include <QJSValue>
#include <QMetaType>
#include <QVariant>

class QJSEngine;

bool IsObjectPointer(QMetaType AType);
bool IsNumberType(QMetaType AType);

// The one rule for whole numbers from a script: a member of an integer type
// takes a finite number from -KWholeLimit to KWholeLimit (within the type's
// own range, where that is narrower), its fraction converted as ever; the
// modules' arithmetic on such numbers cannot overflow. Empty when ANumber
// keeps the rule, else the RangeError's text for the member AWhat. A
// member of any other type takes any number.
QString WholeNumberFault(double ANumber, QMetaType AType, const QString &AWhat);
// The same rule for the number fields of AValue handed to a map-valued
// member: our classes take maps only as rectangles of whole numbers (a
// sprite's HitArea). The first field's fault, named AWhat.Field; empty for
// a member of another type.
QString WholeFieldsFault(const QJSValue &AValue, QMetaType AType, const QString &AWhat);

// An argument or a written value, converted on the worker for a parameter
// or property of type Type.
struct TScriptArg
{
    QMetaType Type;
    QVariant Value;
    int ObjectId = -1;
    bool IsObject = false;
};

// On the worker: AValue for a parameter of AType. AIdOf maps a wrapper to its object id.
TScriptArg ArgFromScript(const QJSValue &AValue, QMetaType AType, const QJSValue &AIdOf);
// An argument left out: the type's empty value, or no object.
TScriptArg MissingArg(QMetaType AType);

// On the UI thread: the storage a call or write needs for one argument.
struct TArgSlot
{
    QVariant Value;
    QObject *Object = nullptr;
    void *Data = nullptr;
};
// Fills ASlot with AArg as its parameter type wants it. An object of
// another class than the parameter names passes as none; a value that
// cannot be converted as the type's empty value.
void ArgToQt(TRunState &S, const TScriptArg &AArg, TArgSlot &ASlot);
// The value to write to a property from AArg, through ASlot.
QVariant PropertyValue(TRunState &S, const TScriptArg &AArg, TArgSlot &ASlot);

// On the UI thread: stores a value read from an object in R as one the
// worker can take over safely.
void ResultFromQt(TRunState &S, QVariant AValue, TUiResult &R);
// On the worker: a plain result as a script value (objects are wrapped by the caller).
QJSValue ValueToScript(QJSEngine *AEngine, const QVariant &AValue);
