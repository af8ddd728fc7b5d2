#include "scriptrun.h"

#include "controls.h"
#include "interfacebase.h"
#include "keyboard.h"
#include "valuelist.h"

#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QJSEngine>
#include <QMetaProperty>
#include <QPoint>
#include <QRect>
#include <QRegularExpression>
#include <QSize>
#include <cmath>
#include <thread>

namespace {

const QString KProgramFile = QStringLiteral("program.js");
const QString KPreludeFile = QStringLiteral("kitebench-engine.js");

// The engine's globals. Called with the global object as `this` and the run
// as B; returns what the engine needs later. Everything it defines may be
// replaced by the program, as any global may; HIGH, LOW and GND are constant.
const char *const KPrelude = R"JS(
(function (B) {
  'use strict';
  var G = this;
  var ids = new WeakMap();
  var K = { rep: [] };
  Object.defineProperty(G, ' kb', { value: K });
  function def(name, value) {
    Object.defineProperty(G, name, { value: value, writable: true, configurable: true, enumerable: false });
  }
  function constant(name, value) {
    Object.defineProperty(G, name, { value: value, writable: false, configurable: false, enumerable: false });
  }
  constant('HIGH', 1);
  constant('LOW', 0);
  constant('GND', -1);

  function pinOf(n, where) {
    var v = Number(n);
    if (v === -1 || (Number.isInteger(v) && v >= 0 && v < 20)) return v;
    throw new RangeError(where + ': there is no pin ' + String(n) + ' (pins are 0 to 19, and GND)');
  }
  def('pin', function pin(n) { return pinOf(n, 'pin()'); });
  def('digitalWrite', function digitalWrite(n, level) {
    var p = pinOf(n, 'digitalWrite()');
    if (p === -1) throw new RangeError('digitalWrite(): GND cannot be switched');
    B.digitalWrite(p, !!level);
  });
  def('delay', function delay(ms) { B.delay(Number(ms)); });

  // The engine's objects answer a misspelt name with an error, never with
  // undefined: a learner's typo must not pass in silence. Their own members
  // are plain accessors; only a name they lack reaches the guard in their
  // prototype. (A proxy trap that Stop interrupts can crash the engine, so
  // none may sit on the path of ordinary reads and writes.) Symbols and the
  // names every object has (toString, valueOf, ...) pass through.
  function guarded(name) {
    return Object.create(new Proxy(Object.prototype, {
      get: function (t, key, receiver) {
        if (typeof key === 'symbol' || key in t) return Reflect.get(t, key, receiver);
        if (key === 'toJSON' || key === 'then') return undefined; // probed by JSON and promises
        throw new TypeError(name + ' has no property "' + String(key) + '"');
      },
      set: function (t, key) {
        if (typeof key !== 'symbol' && key in t)
          throw new TypeError(name + '.' + String(key) + ' is read-only');
        throw new TypeError(name + ' has no property "' + String(key) + '"');
      }
    }));
  }
  function readOnly(name, key) {
    return function () { throw new TypeError(name + '.' + key + ' is read-only'); };
  }

  var Keyboard = guarded('Keyboard');
  ['IsUp', 'IsDown', 'IsFire'].forEach(function (n, i) {
    Object.defineProperty(Keyboard, n, { enumerable: true, get: function () { return B.key(i); },
                                         set: readOnly('Keyboard', n) });
  });
  Object.defineProperty(Keyboard, 'toString', { value: function () { return '[object Keyboard]'; } });
  def('Keyboard', Object.freeze(Keyboard));

  def('createRepeater', function createRepeater(interval) {
    var id = B.addRepeater(Number(interval));
    var r = guarded('the repeater');
    Object.defineProperty(r, 'OnInterval', { enumerable: true,
      get: function () { return K.rep[id] || null; },
      set: function (f) {
        if (f !== null && f !== undefined && typeof f !== 'function')
          throw new TypeError('OnInterval takes a function');
        K.rep[id] = f || null;
        B.setRepeaterActive(id, !!f);
      } });
    Object.defineProperty(r, 'Interval', { enumerable: true,
      get: function () { return B.repeaterInterval(id); },
      set: function (v) { B.setRepeaterInterval(id, Number(v)); } });
    Object.defineProperty(r, 'Enabled', { enumerable: true,
      get: function () { return B.repeaterEnabled(id); },
      set: function (v) { B.setRepeaterEnabled(id, !!v); } });
    Object.defineProperty(r, 'toString', { value: function () { return '[object Repeater]'; } });
    return Object.freeze(r);
  });

  function text(args) {
    return Array.prototype.map.call(args, function (v) {
      if (typeof v === 'string') return v;
      if (v !== null && typeof v === 'object' && !ids.has(v)) {
        try { var j = JSON.stringify(v); if (j !== undefined) return j; } catch (e) { }
      }
      return String(v);
    }).join(' ');
  }
  function log() { B.message(text(arguments)); }
  def('console', Object.freeze({ log: log, info: log, warn: log, error: log, debug: log }));
  def('print', log);

  function wrap(id, name, props, indexes, writable, methods) {
    var t = guarded(name);
    props.forEach(function (p, i) {
      var idx = indexes[i];
      Object.defineProperty(t, p, { enumerable: true,
        get: function () { return B.get(id, idx); },
        set: writable[i] ? function (v) { B.set(id, idx, v); }
                         : readOnly(name, p) });
    });
    methods.forEach(function (m) {
      var f = function () { return B.call(id, m, Array.prototype.slice.call(arguments)); };
      Object.defineProperty(t, m, { get: function () { return f; }, set: readOnly(name, m) });
    });
    Object.defineProperty(t, 'toString', { value: function () { return '[object ' + name + ']'; } });
    Object.freeze(t);
    ids.set(t, id);
    return t;
  }
  function functions(id, names) {
    names.forEach(function (m) {
      def(m, function () { return B.call(id, m, Array.prototype.slice.call(arguments)); });
    });
  }
  return {
    wrap: wrap,
    functions: functions,
    define: def,
    idOf: function (v) { var id = ids.get(v); return id === undefined ? -1 : id; }
  };
})
)JS";

// Posted to the host when its queue of UI calls gets work.
class TDrainEvent : public QEvent
{
public:
    static QEvent::Type Kind()
    {
        static const auto T = QEvent::Type(QEvent::registerEventType());
        return T;
    }
    explicit TDrainEvent(std::weak_ptr<TRunState> AState) : QEvent(Kind()), State(std::move(AState)) {}
    std::weak_ptr<TRunState> State;
};

bool IsObjectPointer(QMetaType AType)
{
    return AType.flags().testFlag(QMetaType::PointerToQObject);
}

// On the UI thread: turns a value read from an object into one the worker
// can take over safely (objects become ids, a few Qt types plain values).
void FinishResult(TRunState &S, QVariant AValue, TUiResult &R)
{
    const QMetaType T = AValue.metaType();
    if (IsObjectPointer(T)) {
        QObject *O = *static_cast<QObject *const *>(AValue.constData());
        R.IsObject = true;
        R.ObjectId = S.AddObject(O);
        return;
    }
    switch (T.id()) {
    case QMetaType::QColor:
        R.Value = AValue.value<QColor>().name();
        return;
    case QMetaType::QPoint:
    case QMetaType::QPointF: {
        const QPointF P = AValue.toPointF();
        R.Value = QVariantMap{{"x", P.x()}, {"y", P.y()}};
        return;
    }
    case QMetaType::QSize: {
        const QSize Z = AValue.toSize();
        R.Value = QVariantMap{{"Width", Z.width()}, {"Height", Z.height()}};
        return;
    }
    case QMetaType::QRect: {
        const QRect Q = AValue.toRect();
        R.Value = QVariantMap{{"Left", Q.left()}, {"Top", Q.top()},
                              {"Right", Q.left() + Q.width()}, {"Bottom", Q.top() + Q.height()}};
        return;
    }
    default:
        break;
    }
    if (T.flags().testFlag(QMetaType::IsEnumeration))
        AValue.convert(QMetaType::fromType<int>());
    R.Value = std::move(AValue);
}

void Complete(TRunState &S, TUiResult &R)
{
    std::lock_guard L(S.Lock);
    R.Done = true;
    S.Wake.notify_all();
}

QString ExceptionText(const std::exception &E)
{
    return QString::fromUtf8(E.what());
}

} // namespace

QEvent::Type DrainEventType() { return TDrainEvent::Kind(); }
QEvent *MakeDrainEvent(const std::shared_ptr<TRunState> &S) { return new TDrainEvent(S); }
std::shared_ptr<TRunState> DrainEventState(QEvent *AEvent)
{
    return static_cast<TDrainEvent *>(AEvent)->State.lock();
}

// ---------------------------------------------------------------------------

TScriptRun::TScriptRun(std::shared_ptr<TRunState> AState) : S(std::move(AState))
{
    static const QRegularExpression LineBreak(QStringLiteral("\r\n|[\r\n\u2028\u2029]"));
    FLines = S->Code.split(LineBreak);
}

TScriptRun::~TScriptRun()
{
    FPrelude = QJSValue();
    FIdOf = QJSValue();
    FWrapFn = QJSValue();
    FWrappers.clear();
    {
        std::lock_guard L(S->Lock);
        S->Engine = nullptr;
    }
    delete FEngine;
}

void TScriptRun::Exec()
{
    FEngine = new QJSEngine;
    {
        std::lock_guard L(S->Lock);
        S->Engine = FEngine;
        if (S->Cancel)
            FEngine->setInterrupted(true);
    }
    if (InstallPrelude() && Evaluate(S->Code, KProgramFile) && !Ending()) {
        if (!IsCallable("setup") || CallGlobal("setup"))
            MainLoop();
    }
    RunShutdown();
}

bool TScriptRun::Ending() const
{
    return FEndRun || S->Cancel.load();
}

bool TScriptRun::InstallPrelude()
{
    QJSValue Fn = FEngine->evaluate(QString::fromUtf8(KPrelude), KPreludeFile);
    if (!Fn.isCallable())
        return false;
    FPrelude = Fn.callWithInstance(FEngine->globalObject(), {FEngine->newQObject(this)});
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    FIdOf = FPrelude.property("idOf");
    FWrapFn = FPrelude.property("wrap");
    for (int Id : std::as_const(S->FunctionHosts)) {
        const QMetaObject *M = nullptr;
        QString Name;
        if (!S->Describe(Id, M, Name))
            continue;
        QStringList Names;
        for (int I = QObject::staticMetaObject.methodCount(); I < M->methodCount(); ++I) {
            const QMetaMethod Mm = M->method(I);
            if (Mm.access() == QMetaMethod::Public && Mm.methodType() != QMetaMethod::Signal
                && !Names.contains(QString::fromLatin1(Mm.name())))
                Names << QString::fromLatin1(Mm.name());
        }
        QJSValue Arr = FEngine->newArray(uint(Names.size()));
        for (int I = 0; I < Names.size(); ++I)
            Arr.setProperty(quint32(I), Names[I]);
        FPrelude.property("functions").call({Id, Arr});
    }
    QJSValue Define = FPrelude.property("define");
    for (const auto &[Name, Id] : std::as_const(S->Named))
        Define.call({Name, Wrap(Id)});
    return true;
}

bool TScriptRun::IsCallable(const char *AName)
{
    return FEngine->globalObject().property(QLatin1String(AName)).isCallable();
}

bool TScriptRun::CallGlobal(const char *AName)
{
    return Evaluate(QLatin1String(AName) + QLatin1String("()"), QString());
}

bool TScriptRun::Evaluate(const QString &ACode, const QString &AFileName)
{
    QStringList Trace;
    const QJSValue R = FEngine->evaluate(ACode, AFileName, 1, &Trace);
    if (Trace.isEmpty())
        return !(R.isError() && Ending()); // interrupted, or a normal end
    if (Ending())
        return false; // the error came from the interruption itself
    int Line = LineOf(Trace, R);
    QString Message = R.toString();
    // Calling a misspelt method: the engine wraps the object's own complaint
    // in its "is not a function" text; the complaint alone says it plainly.
    static const QRegularExpression Wrapped(
        QStringLiteral("^TypeError: Property '[^']*' of object (TypeError: .* has no property \".*\") is not a function$"));
    if (const auto Match = Wrapped.match(Message); Match.hasMatch())
        Message = Match.captured(1);
    if (AFileName == KProgramFile && R.property("name").toString() == QLatin1String("SyntaxError")
        && Line > LastCodeLine()) {
        // The program ended inside a block: show the block that was never
        // closed, not the empty end of the text.
        if (const int Open = UnclosedBraceLine(); Open > 0) {
            Line = Open;
            Message += QStringLiteral(" - the '{' on this line is never closed with '}'");
        }
    }
    ReportError(Line, Message);
    FEndRun = true;
    return false;
}

int TScriptRun::LastCodeLine() const
{
    for (qsizetype I = FLines.size(); I > 0; --I)
        if (!FLines[I - 1].trimmed().isEmpty())
            return int(I);
    return 0;
}

int TScriptRun::UnclosedBraceLine() const
{
    // Braces outside comments and string literals; regular expressions are
    // not told apart, which only a brace inside one would notice.
    std::vector<int> Open;
    enum { Code, LineComment, BlockComment, Text } Mode = Code;
    QChar Quote;
    for (qsizetype L = 0; L < FLines.size(); ++L) {
        const QString &T = FLines[L];
        if (Mode == LineComment)
            Mode = Code;
        for (qsizetype I = 0; I < T.size(); ++I) {
            const QChar C = T[I];
            const QChar Next = I + 1 < T.size() ? T[I + 1] : QChar();
            switch (Mode) {
            case Code:
                if (C == u'/' && Next == u'/') {
                    Mode = LineComment;
                } else if (C == u'/' && Next == u'*') {
                    Mode = BlockComment;
                    ++I;
                } else if (C == u'\'' || C == u'"' || C == u'`') {
                    Mode = Text;
                    Quote = C;
                } else if (C == u'{') {
                    Open.push_back(int(L + 1));
                } else if (C == u'}' && !Open.empty()) {
                    Open.pop_back();
                }
                break;
            case BlockComment:
                if (C == u'*' && Next == u'/') {
                    Mode = Code;
                    ++I;
                }
                break;
            case Text:
                if (C == u'\\')
                    ++I;
                else if (C == Quote)
                    Mode = Code;
                break;
            case LineComment:
                break;
            }
        }
        if (Mode == Text && Quote != u'`')
            Mode = Code; // a quote left open ends with its line
    }
    return Open.empty() ? -1 : Open.back();
}

int TScriptRun::LineOf(const QStringList &ATrace, const QJSValue &AError) const
{
    // Frames read "function:line:column:file"; the file itself may hold ':'.
    for (const QString &F : ATrace) {
        const QStringList P = F.split(QLatin1Char(':'));
        if (P.size() >= 4 && P.mid(3).join(QLatin1Char(':')).endsWith(KProgramFile)) {
            bool Ok = false;
            const int Line = P[1].toInt(&Ok);
            if (Ok && Line > 0)
                return Line;
        }
    }
    if (AError.isError() && AError.property("fileName").toString().endsWith(KProgramFile)) {
        const int Line = AError.property("lineNumber").toInt();
        if (Line > 0)
            return Line;
    }
    return -1;
}

void TScriptRun::ReportError(int ALine, const QString &AMessage)
{
    const QString Text = ALine >= 1 && ALine <= FLines.size() ? FLines[ALine - 1] : QString();
    auto State = S;
    Queue(
        [State, ALine, AMessage, Text] {
            if (!State->Core)
                return;
            TValueList L;
            L.SetIntegers(QStringLiteral("LineNo"), ALine);
            L.SetValues(QStringLiteral("ErrorMsg"), AMessage);
            L.SetValues(QStringLiteral("ErrorText"), Text);
            if (IView *V = State->Core->GetView())
                V->sp_CodeError(&L);
        },
        true);
}

void TScriptRun::message(const QString &AText)
{
    auto State = S;
    Queue(
        [State, AText] {
            if (State->Core)
                if (IView *V = State->Core->GetView())
                    V->sp_Message(AText);
        },
        true);
}

void TScriptRun::MainLoop()
{
    auto NextLoop = TClock::now();
    while (!Ending()) {
        if (!RunDueRepeaters())
            return;
        const bool HasLoop = IsCallable("loop");
        const auto Now = TClock::now();
        if (HasLoop && Now >= NextLoop) {
            NextLoop = Now + KLoopPeriod;
            if (!CallGlobal("loop"))
                return;
            continue;
        }
        const auto Due = NextRepeaterDue();
        if (!HasLoop && !Due)
            return; // nothing left to run: the program has finished
        auto Until = HasLoop ? NextLoop : TClock::time_point::max();
        if (Due && *Due < Until)
            Until = *Due;
        WaitUntil(Until);
    }
}

void TScriptRun::RunShutdown()
{
    {
        std::lock_guard L(S->Lock);
        if (S->Detached)
            return; // the window is gone: nothing of it may be touched
        S->InShutdown = true;
        S->Cancel = false;
        FEngine->setInterrupted(false);
    }
    FEndRun = false;
    if (!IsCallable("shutdown"))
        return;
    // A watchdog interrupts a shutdown() that outlives its time limit.
    bool TimedOut = false;
    std::thread Watchdog([this, &TimedOut] {
        std::unique_lock L(S->Lock);
        const auto Until = TClock::now() + KShutdownLimit;
        if (!S->Wake.wait_until(L, Until, [this] { return FShutdownDone || S->Detached.load(); })) {
            TimedOut = true;
            S->Cancel = true;
            FEngine->setInterrupted(true);
            S->Wake.notify_all();
        }
    });
    CallGlobal("shutdown");
    {
        std::lock_guard L(S->Lock);
        FShutdownDone = true;
        S->Wake.notify_all();
    }
    Watchdog.join();
    if (TimedOut && !S->Detached)
        ReportError(-1, QStringLiteral("shutdown() did not end within %1 ms and was stopped")
                            .arg(KShutdownLimit.count()));
}

// --- time -------------------------------------------------------------------

void TScriptRun::WaitUntil(TClock::time_point AUntil)
{
    std::unique_lock L(S->Lock);
    S->Wake.wait_until(L, AUntil, [this] { return S->Cancel.load(); });
}

bool TScriptRun::HasActiveRepeater() const
{
    for (const auto &R : FRepeaters)
        if (R.HasFunction && R.Enabled)
            return true;
    return false;
}

std::optional<TClock::time_point> TScriptRun::NextRepeaterDue() const
{
    std::optional<TClock::time_point> Next;
    for (const auto &R : FRepeaters)
        if (R.HasFunction && R.Enabled && (!Next || R.Due < *Next))
            Next = R.Due;
    return Next;
}

bool TScriptRun::RunDueRepeaters()
{
    if (FInRepeater)
        return true; // a repeater that waits does not run the others inside itself
    FInRepeater = true;
    bool Ok = true;
    for (size_t I = 0; I < FRepeaters.size() && Ok && !Ending(); ++I) {
        const auto Now = TClock::now();
        auto &R = FRepeaters[I];
        if (!R.HasFunction || !R.Enabled || R.Due > Now)
            continue;
        const auto Period = std::chrono::duration_cast<TClock::duration>(
            std::chrono::duration<double, std::micro>(R.Interval));
        // Steady rate: the next due time follows from this one, not from now,
        // but a repeater far behind (the machine stalled) skips what it missed.
        R.Due += Period;
        if (R.Due < Now - std::chrono::milliseconds(50))
            R.Due = Now + Period;
        Ok = Evaluate(QStringLiteral("this[' kb'].rep[%1]()").arg(I), QString());
    }
    FInRepeater = false;
    return Ok;
}

void TScriptRun::delay(double AMs)
{
    if (ThrowPending())
        return;
    if (!(AMs > 0))
        AMs = 0;
    const auto Deadline = TClock::now() + std::chrono::duration_cast<TClock::duration>(
                                              std::chrono::duration<double, std::milli>(std::min(AMs, 1e12)));
    while (!Ending()) {
        if (!RunDueRepeaters()) {
            FEngine->setInterrupted(true); // a repeater failed: unwind the program
            return;
        }
        if (TClock::now() >= Deadline)
            return;
        auto Until = Deadline;
        if (const auto Due = NextRepeaterDue(); Due && *Due < Until && !FInRepeater)
            Until = *Due;
        WaitUntil(Until);
    }
}

int TScriptRun::addRepeater(double AMicroseconds)
{
    TRepeater R;
    R.Interval = std::isfinite(AMicroseconds) ? std::max(AMicroseconds, KMinRepeaterInterval) : KMinRepeaterInterval;
    FRepeaters.push_back(R);
    return int(FRepeaters.size() - 1);
}

void TScriptRun::setRepeaterActive(int AId, bool AActive)
{
    if (AId < 0 || size_t(AId) >= FRepeaters.size())
        return;
    auto &R = FRepeaters[size_t(AId)];
    if (AActive && !R.HasFunction)
        R.Due = TClock::now() + std::chrono::duration_cast<TClock::duration>(
                                    std::chrono::duration<double, std::micro>(R.Interval));
    R.HasFunction = AActive;
}

double TScriptRun::repeaterInterval(int AId)
{
    return AId >= 0 && size_t(AId) < FRepeaters.size() ? FRepeaters[size_t(AId)].Interval : 0;
}

void TScriptRun::setRepeaterInterval(int AId, double AMicroseconds)
{
    if (AId >= 0 && size_t(AId) < FRepeaters.size() && std::isfinite(AMicroseconds))
        FRepeaters[size_t(AId)].Interval = std::max(AMicroseconds, KMinRepeaterInterval);
}

bool TScriptRun::repeaterEnabled(int AId)
{
    return AId >= 0 && size_t(AId) < FRepeaters.size() && FRepeaters[size_t(AId)].Enabled;
}

void TScriptRun::setRepeaterEnabled(int AId, bool AEnabled)
{
    if (AId < 0 || size_t(AId) >= FRepeaters.size())
        return;
    auto &R = FRepeaters[size_t(AId)];
    if (AEnabled && !R.Enabled)
        R.Due = TClock::now() + std::chrono::duration_cast<TClock::duration>(
                                    std::chrono::duration<double, std::micro>(R.Interval));
    R.Enabled = AEnabled;
}

// --- the board and the keyboard ----------------------------------------------

bool TScriptRun::key(int AKey)
{
    return TKeyboardState::IsDown(AKey);
}

void TScriptRun::digitalWrite(int APin, bool AHigh)
{
    if (ThrowPending())
        return;
    auto State = S;
    Queue([State, APin, AHigh] {
        if (State->Pins)
            State->Pins->SetLevel(APin, AHigh);
    });
}

// --- calls to the user-interface thread ----------------------------------------

bool TScriptRun::Queue(std::function<void()> AOp, bool AAlways)
{
    std::unique_lock L(S->Lock);
    if (S->Detached)
        return false;
    if (!AAlways && S->Ops.size() >= KQueueHigh)
        S->Wake.wait(L, [this] { return S->Ops.size() < KQueueLow || S->Cancel || S->Detached; });
    if (S->Detached || (!AAlways && S->Cancel))
        return false;
    S->Ops.push_back(std::move(AOp));
    if (!S->OpsPosted) {
        S->OpsPosted = true;
        QCoreApplication::postEvent(S->PostTarget, new TDrainEvent(S));
    }
    return true;
}

QJSValue TScriptRun::Await(const std::shared_ptr<TUiResult> &AResult)
{
    {
        std::unique_lock L(S->Lock);
        S->Wake.wait(L, [&] { return AResult->Done || S->Cancel || S->Detached; });
        if (!AResult->Done)
            return {}; // the program is being stopped; its interruption follows
    }
    if (!AResult->Error.isEmpty()) {
        FEngine->throwError(AResult->Error);
        return {};
    }
    return ToScript(*AResult);
}

QJSValue TScriptRun::ToScript(const TUiResult &AResult)
{
    if (AResult.IsObject)
        return AResult.ObjectId < 0 ? QJSValue(QJSValue::NullValue) : Wrap(AResult.ObjectId);
    if (!AResult.Value.isValid())
        return {};
    return FEngine->toScriptValue(AResult.Value);
}

bool TScriptRun::ThrowPending()
{
    if (!S->HasPendingError)
        return false;
    QString E;
    {
        std::lock_guard L(S->Lock);
        E.swap(S->PendingError);
        S->HasPendingError = false;
    }
    FEngine->throwError(E);
    return true;
}

TScriptRun::TArg TScriptRun::ToArg(const QJSValue &AValue, QMetaType AType)
{
    TArg A;
    A.Type = AType;
    if (IsObjectPointer(AType)) {
        A.IsObject = true;
        A.ObjectId = AValue.isObject() ? FIdOf.call({AValue}).toInt() : -1;
        return A;
    }
    if (AType == QMetaType::fromType<QJSValue>()) // values of this engine stay here
        return A;
    A.Value = AValue.toVariant();
    return A;
}

bool TScriptRun::IsNumberType(QMetaType AType)
{
    switch (AType.id()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool TScriptRun::CheckNumber(const QJSValue &AValue, QMetaType AType, const QString &AWhat)
{
    // A value that is no number (a misspelt name read as undefined, a text)
    // would arrive as 0 and move things without a word: say so instead.
    if (!IsNumberType(AType) || !std::isnan(AValue.toNumber()) || FEngine->hasError())
        return true;
    const QString Shown = AValue.isString() ? QLatin1Char('"') + AValue.toString() + QLatin1Char('"') : AValue.toString();
    FEngine->throwError(QJSValue::TypeError, AWhat + QStringLiteral(" takes a number, not ") + Shown);
    return false;
}

bool TScriptRun::CheckObject(const QJSValue &AValue, QMetaType AType, const QString &AWhat)
{
    // An object of another class, or a value that is no object, would
    // arrive as nothing, and a test such as CheckCollision would say false
    // without a word: say what the member takes instead. null and undefined
    // do pass as nothing.
    if (!IsObjectPointer(AType) || AValue.isNull() || AValue.isUndefined() || FEngine->hasError())
        return true;
    const QMetaObject *Wanted = AType.metaObject();
    const int Id = AValue.isObject() ? FIdOf.call({AValue}).toInt() : -1;
    const QMetaObject *Meta = nullptr;
    QString Name;
    if (Id >= 0 && S->Describe(Id, Meta, Name) && (!Wanted || Meta->inherits(Wanted)))
        return true;
    QString Shown = Id >= 0 && Meta ? Name : AValue.isString() ? QLatin1Char('"') + AValue.toString() + QLatin1Char('"')
                                                              : AValue.toString();
    const QString Class = Wanted ? QString::fromLatin1(Wanted->className()) : QStringLiteral("an object");
    FEngine->throwError(QJSValue::TypeError, AWhat + QStringLiteral(" takes a ") + Class + QStringLiteral(", not ") + Shown);
    return false;
}

namespace {
// On the UI thread: the storage that a call or write needs for one argument.
struct TArgSlot
{
    QVariant Value;
    QObject *Object = nullptr;
    void *Data = nullptr;
};

void Prepare(TRunState &S, const QMetaType &AType, const QVariant &AValue, int AObjectId, bool AIsObject,
             TArgSlot &Slot)
{
    if (AIsObject) {
        QObject *O = S.ObjectAt(AObjectId);
        // Only an object of the class that the parameter names is passed.
        if (O && AType.metaObject() && !O->metaObject()->inherits(AType.metaObject()))
            O = nullptr;
        Slot.Object = O;
        Slot.Data = &Slot.Object;
        return;
    }
    if (AType == QMetaType::fromType<QVariant>()) {
        Slot.Value = AValue;
        Slot.Data = &Slot.Value;
        return;
    }
    Slot.Value = AValue;
    if (Slot.Value.metaType() != AType && !Slot.Value.convert(AType))
        Slot.Value = QVariant(AType); // what cannot be converted arrives as the type's empty value
    Slot.Data = Slot.Value.data();
}
} // namespace

QJSValue TScriptRun::get(int AId, int AProp)
{
    if (ThrowPending())
        return {};
    auto R = std::make_shared<TUiResult>();
    auto State = S;
    if (!Queue([State, R, AId, AProp] {
            if (QObject *O = State->ObjectAt(AId)) {
                try {
                    FinishResult(*State, O->metaObject()->property(AProp).read(O), *R);
                } catch (const std::exception &E) {
                    R->Error = ExceptionText(E);
                } catch (...) {
                    R->Error = QStringLiteral("the object failed");
                }
            }
            Complete(*State, *R);
        }))
        return {};
    return Await(R);
}

void TScriptRun::set(int AId, int AProp, const QJSValue &AValue)
{
    if (ThrowPending())
        return;
    const QMetaObject *M = nullptr;
    QString Name;
    if (!S->Describe(AId, M, Name))
        return;
    const QMetaProperty P = M->property(AProp);
    if (!CheckNumber(AValue, P.metaType(), Name + QLatin1Char('.') + QString::fromLatin1(P.name())))
        return;
    TArg A = ToArg(AValue, P.metaType());
    auto State = S;
    Queue([State, AId, AProp, A = std::move(A)] {
        QObject *O = State->ObjectAt(AId);
        if (!O)
            return;
        try {
            const QMetaProperty P = O->metaObject()->property(AProp);
            if (A.IsObject) {
                TArgSlot Slot;
                Prepare(*State, A.Type, {}, A.ObjectId, true, Slot);
                P.write(O, QVariant(A.Type, &Slot.Object));
            } else {
                TArgSlot Slot;
                Prepare(*State, A.Type, A.Value, -1, false, Slot);
                P.write(O, Slot.Value);
            }
        } catch (const std::exception &E) {
            std::lock_guard L(State->Lock);
            State->PendingError = ExceptionText(E);
            State->HasPendingError = true;
        } catch (...) {
            std::lock_guard L(State->Lock);
            State->PendingError = QStringLiteral("the object failed");
            State->HasPendingError = true;
        }
    });
}

int TScriptRun::MethodFor(const QMetaObject *AMeta, const QString &AName, int AArgc)
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
    for (int I = AMeta->methodCount() - 1; I >= QObject::staticMetaObject.methodCount(); --I) {
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

QJSValue TScriptRun::call(int AId, const QString &AName, const QJSValue &AArgs)
{
    if (ThrowPending())
        return {};
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
        if (!CheckNumber(AArgs.property(quint32(I)), M.parameterMetaType(I), Shown)
            || !CheckObject(AArgs.property(quint32(I)), M.parameterMetaType(I), Shown))
            return {};
    std::vector<TArg> Args;
    for (int I = 0; I < M.parameterCount(); ++I)
        Args.push_back(I < Argc ? ToArg(AArgs.property(quint32(I)), M.parameterMetaType(I))
                                : TArg{M.parameterMetaType(I), {}, -1, IsObjectPointer(M.parameterMetaType(I))});
    const bool Void = M.returnMetaType().id() == QMetaType::Void || !M.returnMetaType().isValid();
    auto R = std::make_shared<TUiResult>();
    auto State = S;
    auto Op = [State, R, AId, Index, Void, Args = std::move(Args)] {
        QObject *O = State->ObjectAt(AId);
        if (O) {
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
                    Prepare(*State, Args[I].Type, Args[I].Value, Args[I].ObjectId, Args[I].IsObject, Slots[I + 1]);
                    Argv[I + 1] = Slots[I + 1].Data;
                }
                QMetaObject::metacall(O, QMetaObject::InvokeMetaMethod, Index, Argv);
                if (!Void)
                    FinishResult(*State, std::move(Ret), *R);
            } catch (const std::exception &E) {
                if (Void) {
                    std::lock_guard L(State->Lock);
                    State->PendingError = ExceptionText(E);
                    State->HasPendingError = true;
                } else {
                    R->Error = ExceptionText(E);
                }
            } catch (...) {
                std::lock_guard L(State->Lock);
                (Void ? State->PendingError : R->Error) = QStringLiteral("the object failed");
                if (Void)
                    State->HasPendingError = true;
            }
        }
        if (!Void)
            Complete(*State, *R);
    };
    if (!Queue(std::move(Op)) || Void)
        return {};
    return Await(R);
}

QJSValue TScriptRun::Wrap(int AId)
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
    for (int I = 0; I < M->propertyCount(); ++I) {
        const QMetaProperty P = M->property(I);
        const QString PN = QString::fromLatin1(P.name());
        // A class may declare a name again over its base's: the most derived one counts.
        if (!P.isReadable() || !P.isScriptable() || PN == QLatin1String("objectName")
            || M->indexOfProperty(P.name()) != I)
            continue;
        Props << PN;
        Indexes << I;
        Writable << P.isWritable();
    }
    for (int I = QObject::staticMetaObject.methodCount(); I < M->methodCount(); ++I) {
        const QMetaMethod Mm = M->method(I);
        const QString MN = QString::fromLatin1(Mm.name());
        if (Mm.access() == QMetaMethod::Public && Mm.methodType() != QMetaMethod::Signal
            && Mm.methodType() != QMetaMethod::Constructor && !Props.contains(MN) && !Methods.contains(MN))
            Methods << MN;
    }
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
