// The whole numbers a script may hand to a module, and the arithmetic on
// them that must not overflow.
#pragma once

#include <QVariant>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

// The largest whole number, either side of zero, that a script may hand to
// a member of an integer type (the engine refuses any other). The sum or
// difference of two such numbers, and one of them plus a widget's extent
// (at most 2^24), still fits an int.
constexpr int KWholeLimit = 1000000000;

// AValue as an int, the nearest one where it lies beyond an int's range.
constexpr int SaturatedInt(int64_t AValue)
{
    return int(std::clamp<int64_t>(AValue, INT_MIN, INT_MAX));
}

// AValue within the range a script may hand over: a place that sums have
// taken further stays where a script can still read and write it.
constexpr int ClampedWhole(int64_t AValue)
{
    return int(std::clamp<int64_t>(AValue, -KWholeLimit, KWholeLimit));
}

// A number field of a map from a script (a hit area's Left, say) as an int:
// converted as QVariant converts it, once brought within the range a
// script may hand over, beyond which a fraction's conversion is undefined.
// NaN is 0.
inline int WholeField(const QVariant &AValue)
{
    switch (AValue.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double D = AValue.toDouble();
        return std::isnan(D) ? 0 : QVariant(std::clamp(D, double(-KWholeLimit), double(KWholeLimit))).toInt();
    }
    case QMetaType::LongLong:
    case QMetaType::Long:
        return ClampedWhole(AValue.toLongLong());
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        return ClampedWhole(int64_t(std::min<uint64_t>(AValue.toULongLong(), KWholeLimit)));
    default:
        return AValue.toInt();
    }
}
