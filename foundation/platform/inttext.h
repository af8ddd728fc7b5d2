// Stands in for the runtime's integer-text conversion that the packet's typed values and the ini file's integers are both read with; QString::toInt knows no "$" and takes spaces after the digits.
#pragma once

#include "foundation_export.h"

#include <QString>
#include <cstdint>

// Integer text: leading spaces, an optional sign, then decimal digits, or
// hexadecimal digits after "$" or "0x"; nothing may follow. A decimal number
// must fit the type; a hexadecimal one may use all of its bits ($FFFFFFFF is
// -1 in 32 bits). False, with Out untouched, for any other text.
FOUNDATION_EXPORT bool ParseInt32(const QString &S, int32_t &Out);
FOUNDATION_EXPORT bool ParseInt64(const QString &S, int64_t &Out);
