// Values between the script and Qt.
#include "values.h"

#include <QColor>
#include <QJSEngine>
#include <QPoint>
#include <QRect>
#include <QSize>

bool IsObjectPointer(QMetaType AType)
{
    return AType.flags().testFlag(QMetaType::PointerToQObject);
}

bool IsNumberType(QMetaType AType)
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
