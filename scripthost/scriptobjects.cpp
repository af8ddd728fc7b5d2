// The module's objects as the script sees them: wrappers, reads, writes and
// calls, with the checks that turn a learner's slip into a clear error.
#include "scriptobjects.h"

#include "diagnostics.h"
#include "keptreads.h"

#include <QJSEngine>
#include <QMetaMethod>
#include <QMetaProperty>
#include <cmath>

namespace {

QString ExceptionText(const std::exception &E)
{
    return QString::fromUtf8(E.what());
}

const QString KObjectFailed = QStringLiteral("the object failed");

QString Shown(const QJSValue &AValue)
{
    return AValue.isString() ? QLatin1Char('"') + AValue.toString() + QLatin1Char('"') : AValue.toString();
}

// Qt's own classes are named Q...; the module's, T....
bool IsQtClass(const QMetaObject *AMeta)
{
    const char *N = AMeta->className();
    return N[0] == 'Q' && N[1] >= 'A' && N[1] <= 'Z';
}

// The nearest of AMeta's classes that is one of Qt's.
const QMetaObject *QtBase(const QMetaObject *AMeta)
{
    while (AMeta && !IsQtClass(AMeta))
        AMeta = AMeta->superClass();
    return AMeta;
}

} // namespace

int FirstOwnProperty(const QMetaObject *AMeta)
{
    const QMetaObject *Q = QtBase(AMeta);
    return Q ? Q->propertyCount() : 0;
}

int FirstOwnMethod(const QMetaObject *AMeta)
{
    const QMetaObject *Q = QtBase(AMeta);
    return Q ? Q->methodCount() : 0;
}

QStringList ScriptMethods(const QMetaObject *AMeta)
{
    QStringList Names;
    for (int I = FirstOwnMethod(AMeta); I < AMeta->methodCount(); ++I) {
        const QMetaMethod M = AMeta->method(I);
        const QString N = QString::fromLatin1(M.name());
        if (M.access() == QMetaMethod::Public && M.methodType() != QMetaMethod::Signal
            && M.methodType() != QMetaMethod::Constructor && !Names.contains(N))
            Names << N;
    }
    return Names;
}

void TScriptObjects::Bind(QJSEngine *AEngine, QJSValue AIdOf, QJSValue AWrap)
{
    FEngine = AEngine;
    FIdOf = std::move(AIdOf);
    FWrapFn = std::move(AWrap);
}

void TScriptObjects::Release()
{
    FIdOf = QJSValue();
    FWrapFn = QJSValue();
    FWrappers.clear();
}

QJSValue TScriptObjects::Result(const TUiResult &AResult)
{
    if (!AResult.Error.isEmpty()) {
        FEngine->throwError(AResult.Error);
        return {};
    }
    if (AResult.IsObject)
        return AResult.ObjectId < 0 ? QJSValue(QJSValue::NullValue) : Wrap(AResult.ObjectId);
    return ValueToScript(FEngine, AResult.Value);
}

bool TScriptObjects::CheckNumber(const QJSValue &AValue, QMetaType AType, const QString &AWhat)
{
    // A number too large for what the member does with it would be
    // converted or summed beyond an int's range: refuse it by the one rule.
    if (const QString Fault = WholeFieldsFault(AValue, AType, AWhat); !Fault.isEmpty() && !FEngine->hasError()) {
        FEngine->throwError(QJSValue::RangeError, Fault);
        return false;
    }
    if (!IsNumberType(AType))
        return true;
    const double N = AValue.toNumber();
    if (FEngine->hasError())
        return true;
    // A value that is no number (a misspelt name read as undefined, a text)
    // would arrive as 0 and move things without a word: say so instead.
    if (std::isnan(N)) {
        FEngine->throwError(QJSValue::TypeError, AWhat + QStringLiteral(" takes a number, not ") + Shown(AValue));
        return false;
    }
    if (const QString Fault = WholeNumberFault(N, AType, AWhat); !Fault.isEmpty()) {
        FEngine->throwError(QJSValue::RangeError, Fault);
        return false;
    }
    return true;
}

bool TScriptObjects::CheckObject(const QJSValue &AValue, QMetaType AType, const QString &AWhat)
{
    // An object of another class, or a value that is no object, would
    // arrive as nothing, and a test such as CheckCollision would say false
    // without a word: say what the member takes instead. null and undefined
    // do pass as nothing.
    if (!IsObjectPointer(AType) || AValue.isNull() || AValue.isUndefined() || FEngine->hasError())
        return true;
    const QMetaObject *Wanted = AType.metaObject();
    const int Id = AValue.isObject() ? FIdOf.call({AValue}).toInt() : -1;
    if (Cut())
        return false;
    const QMetaObject *Meta = nullptr;
    QString Name;
    if (Id >= 0 && S->Describe(Id, Meta, Name) && (!Wanted || Meta->inherits(Wanted)))
        return true;
    const QString Class = Wanted ? QString::fromLatin1(Wanted->className()) : QStringLiteral("an object");
    FEngine->throwError(QJSValue::TypeError, AWhat + QStringLiteral(" takes a ") + Class + QStringLiteral(", not ")
                                                 + (Id >= 0 && Meta ? Name : Shown(AValue)));
    return false;
}

QJSValue TScriptObjects::Get(int AId, int AProp)
{
    if (QVariant Kept; FKept.Take(AId, AProp, Kept))
        return ValueToScript(FEngine, Kept);
    auto R = std::make_shared<TUiResult>();
    auto State = S;
    const bool Done = FBridge.Call(
        [State, R, AId, AProp] {
            QObject *O = State->ObjectAt(AId);
            if (!O)
                return;
            try {
                const QMetaProperty P = O->metaObject()->property(AProp);
                ResultFromQt(*State, P.read(O), *R);
                if (!R->IsObject && State->Reads)
                    State->Reads->Keep(O, AId, P, R->Value);
            } catch (const std::exception &E) {
                R->Error = ExceptionText(E);
            } catch (...) {
                R->Error = KObjectFailed;
            }
        },
        R);
    return Done ? Result(*R) : QJSValue();
}

void TScriptObjects::Set(int AId, int AProp, const QJSValue &AValue)
{
    const QMetaObject *M = nullptr;
    QString Name;
    if (!S->Describe(AId, M, Name))
        return;
    const QMetaProperty P = M->property(AProp);
    if (!CheckNumber(AValue, P.metaType(), Name + QLatin1Char('.') + QString::fromLatin1(P.name())) || Cut())
        return;
    TScriptArg A = ArgFromScript(AValue, P.metaType(), FIdOf);
    auto State = S;
    // Writes are queued without waiting, for speed; one that fails stops the
    // run, and is reported with no line: the program has gone on from it.
    FBridge.Queue({[State, AId, AProp, A = std::move(A)] {
        QObject *O = State->ObjectAt(AId);
        if (!O)
            return;
        QString Error;
        try {
            TArgSlot Slot;
            O->metaObject()->property(AProp).write(O, PropertyValue(*State, A, Slot));
        } catch (const std::exception &E) {
            Error = ExceptionText(E);
        } catch (...) {
            Error = KObjectFailed;
        }
        if (!Error.isEmpty())
            State->Fail({-1, Error});
    }, nullptr, false});
}

int TScriptObjects::MethodFor(const QMetaObject *AMeta, const QString &AName, int AArgc)
{
    const QString Key = QString::number(quintptr(AMeta)) + QLatin1Char('/') + AName + QLatin1Char('/')
                        + QString::number(AArgc);
    if (auto It = FMethodCache.constFind(Key); It != FMethodCache.cend())
        return *It;
    // Exact argument count first; then the shortest that takes them all (the
    // rest get empty values); then the longest that takes fewer.
    int Exact = -1, Longer = -1, Shorter = -1;
    const QByteArray N = AName.toLatin1();
    // Most derived first, as C++ would find it.
    const int First = FirstOwnMethod(AMeta);
    for (int I = AMeta->methodCount() - 1; I >= First; --I) {
        const QMetaMethod M = AMeta->method(I);
        if (M.name() != N || M.access() != QMetaMethod::Public || M.methodType() == QMetaMethod::Signal)
            continue;
        const int C = M.parameterCount();
        if (C == AArgc && Exact < 0)
            Exact = I;
        else if (C > AArgc && (Longer < 0 || C < AMeta->method(Longer).parameterCount()))
            Longer = I;
        else if (C < AArgc && (Shorter < 0 || C > AMeta->method(Shorter).parameterCount()))
            Shorter = I;
    }
    const int Found = Exact >= 0 ? Exact : Longer >= 0 ? Longer : Shorter;
    FMethodCache.insert(Key, Found);
    return Found;
}

QJSValue TScriptObjects::Call(int AId, const QString &AName, const QJSValue &AArgs)
{
    const QMetaObject *Meta = nullptr;
    QString ObjName;
    if (!S->Describe(AId, Meta, ObjName))
        return {};
    const int Argc = std::min(AArgs.property("length").toInt(), 10);
    const int Index = MethodFor(Meta, AName, Argc);
    if (Index < 0) {
        FEngine->throwError(QJSValue::TypeError, ObjName + QLatin1Char('.') + AName + QStringLiteral(" is not a function"));
        return {};
    }
    const QMetaMethod M = Meta->method(Index);
    const QString Shown = S->FunctionHosts.contains(AId) ? AName + QStringLiteral("()") : ObjName + QLatin1Char('.') + AName;
    for (int I = 0; I < M.parameterCount() && I < Argc; ++I)
        if (!CheckNumber(AArgs.property(quint32(I)), M.parameterMetaType(I), Shown) || Cut()
            || !CheckObject(AArgs.property(quint32(I)), M.parameterMetaType(I), Shown))
            return {};
    std::vector<TScriptArg> Args;
    for (int I = 0; I < M.parameterCount(); ++I) {
        Args.push_back(I < Argc ? ArgFromScript(AArgs.property(quint32(I)), M.parameterMetaType(I), FIdOf)
                                : MissingArg(M.parameterMetaType(I)));
        if (Cut())
            return {};
    }
    const bool Void = M.returnMetaType().id() == QMetaType::Void || !M.returnMetaType().isValid();
    // A call that returns nothing is queued without waiting, as a write is:
    // the calls and reads after it come after it on the UI thread. One that
    // fails stops the run and is reported on the line that made it.
    auto R = Void ? nullptr : std::make_shared<TUiResult>();
    const int Line = Void ? CurrentLine(FEngine) : -1;
    auto State = S;
    auto Op = [State, R, AId, Index, Void, Line, Args = std::move(Args)] {
        QString Error;
        if (QObject *O = State->ObjectAt(AId)) {
            try {
                const QMetaMethod M = O->metaObject()->method(Index);
                TArgSlot Slots[11];
                void *Argv[11] = {};
                QVariant Ret;
                if (!Void) {
                    const QMetaType RT = M.returnMetaType();
                    if (RT == QMetaType::fromType<QVariant>()) {
                        Argv[0] = &Ret;
                    } else {
                        Ret = QVariant(RT);
                        Argv[0] = Ret.data();
                    }
                }
                for (size_t I = 0; I < Args.size() && I < 10; ++I) {
                    ArgToQt(*State, Args[I], Slots[I + 1]);
                    Argv[I + 1] = Slots[I + 1].Data;
                }
                QMetaObject::metacall(O, QMetaObject::InvokeMetaMethod, Index, Argv);
                if (!Void)
                    ResultFromQt(*State, std::move(Ret), *R);
            } catch (const std::exception &E) {
                Error = ExceptionText(E);
            } catch (...) {
                Error = KObjectFailed;
            }
        }
        if (Error.isEmpty())
            return;
        if (R)
            R->Error = Error;
        else
            State->Fail({Line, Error});
    };
    if (Void) {
        FBridge.Queue({std::move(Op), nullptr, false});
        return {};
    }
    return FBridge.Call(std::move(Op), R) ? Result(*R) : QJSValue();
}

QJSValue TScriptObjects::Wrap(int AId)
{
    if (auto It = FWrappers.constFind(AId); It != FWrappers.cend())
        return *It;
    const QMetaObject *M = nullptr;
    QString Name;
    if (!S->Describe(AId, M, Name))
        return QJSValue(QJSValue::NullValue);
    QStringList Props, Methods;
    QList<int> Indexes;
    QList<bool> Writable;
    for (int I = FirstOwnProperty(M); I < M->propertyCount(); ++I) {
        const QMetaProperty P = M->property(I);
        const QString PN = QString::fromLatin1(P.name());
        // A class may declare a name again over its base's: the most derived one counts.
        if (!P.isReadable() || !P.isScriptable() || M->indexOfProperty(P.name()) != I)
            continue;
        Props << PN;
        Indexes << I;
        Writable << P.isWritable();
    }
    for (const QString &MN : ScriptMethods(M))
        if (!Props.contains(MN))
            Methods << MN;
    QJSValue P = FEngine->newArray(uint(Props.size())), X = FEngine->newArray(uint(Props.size())),
             W = FEngine->newArray(uint(Props.size())), Ms = FEngine->newArray(uint(Methods.size()));
    for (int I = 0; I < Props.size(); ++I) {
        P.setProperty(quint32(I), Props[I]);
        X.setProperty(quint32(I), Indexes[I]);
        W.setProperty(quint32(I), bool(Writable[I]));
    }
    for (int I = 0; I < Methods.size(); ++I)
        Ms.setProperty(quint32(I), Methods[I]);
    QJSValue Wrapper = FWrapFn.call({AId, Name, P, X, W, Ms});
    FWrappers.insert(AId, Wrapper);
    return Wrapper;
}
