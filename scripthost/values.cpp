// Values between the script and Qt.
#include "values.h"

#include <QColor>
#include <QJSEngine>
#include <QJSValueIterator>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

bool IsObjectPointer(QMetaType AType)
{
    return AType.flags().testFlag(QMetaType::PointerToQObject);
}

bool IsNumberType(QMetaType AType)
{
    switch (AType.id()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

namespace {

struct TWholeRange
{
    double Min;
    double Max;
};

// The numbers a member of AType takes whole; none for a type that is not an integer.
std::optional<TWholeRange> WholeRange(QMetaType AType)
{
    constexpr double L = KWholeLimit;
    switch (AType.id()) {
    case QMetaType::Int: case QMetaType::Long: case QMetaType::LongLong:
        return TWholeRange{-L, L};
    case QMetaType::UInt: case QMetaType::ULong: case QMetaType::ULongLong:
        return TWholeRange{0, L};
    case QMetaType::Short:
        return TWholeRange{-32768, 32767};
    case QMetaType::UShort:
        return TWholeRange{0, 65535};
    case QMetaType::Char: case QMetaType::SChar:
        return TWholeRange{-128, 127};
    case QMetaType::UChar:
        return TWholeRange{0, 255};
    default:
        return std::nullopt;
    }
}

} // namespace

QString WholeNumberFault(double ANumber, QMetaType AType, const QString &AWhat)
{
    const std::optional<TWholeRange> R = WholeRange(AType);
    // A fraction within the range converts as it always has; NaN fails both tests.
    if (!R || (ANumber >= R->Min && ANumber <= R->Max))
        return {};
    return AWhat + QStringLiteral(" takes a whole number from %1 to %2, not ").arg(R->Min, 0, 'f', 0).arg(R->Max, 0, 'f', 0)
           + QJSValue(ANumber).toString();
}

QString WholeFieldsFault(const QJSValue &AValue, QMetaType AType, const QString &AWhat)
{
    if (AType != QMetaType::fromType<QVariantMap>() || !AValue.isObject())
        return {};
    for (QJSValueIterator It(AValue); It.hasNext();) {
        It.next();
        if (const QJSValue V = It.value(); V.isNumber())
            if (QString F = WholeNumberFault(V.toNumber(), QMetaType::fromType<int>(), AWhat + QLatin1Char('.') + It.name());
                !F.isEmpty())
                return F;
    }
    return {};
}

TScriptArg ArgFromScript(const QJSValue &AValue, QMetaType AType, const QJSValue &AIdOf)
{
    TScriptArg A;
    A.Type = AType;
    if (IsObjectPointer(AType)) {
        A.IsObject = true;
        A.ObjectId = AValue.isObject() ? AIdOf.call({AValue}).toInt() : -1;
        return A;
    }
    if (AType == QMetaType::fromType<QJSValue>()) // values of this engine stay here
        return A;
    A.Value = AValue.toVariant();
    return A;
}

TScriptArg MissingArg(QMetaType AType)
{
    return {AType, {}, -1, IsObjectPointer(AType)};
}

void ArgToQt(TRunState &S, const TScriptArg &AArg, TArgSlot &Slot)
{
    if (AArg.IsObject) {
        QObject *O = S.ObjectAt(AArg.ObjectId);
        // Only an object of the class that the parameter names is passed.
        if (O && AArg.Type.metaObject() && !O->metaObject()->inherits(AArg.Type.metaObject()))
            O = nullptr;
        Slot.Object = O;
        Slot.Data = &Slot.Object;
        return;
    }
    Slot.Value = AArg.Value;
    if (AArg.Type != QMetaType::fromType<QVariant>() && Slot.Value.metaType() != AArg.Type
        && !Slot.Value.convert(AArg.Type))
        Slot.Value = QVariant(AArg.Type); // what cannot be converted arrives as the type's empty value
    Slot.Data = AArg.Type == QMetaType::fromType<QVariant>() ? static_cast<void *>(&Slot.Value) : Slot.Value.data();
}

QVariant PropertyValue(TRunState &S, const TScriptArg &AArg, TArgSlot &Slot)
{
    ArgToQt(S, AArg, Slot);
    return AArg.IsObject ? QVariant(AArg.Type, &Slot.Object) : Slot.Value;
}

void ResultFromQt(TRunState &S, QVariant AValue, TUiResult &R)
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

QJSValue ValueToScript(QJSEngine *AEngine, const QVariant &AValue)
{
    if (!AValue.isValid())
        return {};
    return AEngine->toScriptValue(AValue);
}
