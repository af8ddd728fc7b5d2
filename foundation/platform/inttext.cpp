// Stands in for the runtime's integer-text conversion that the packet's typed values and the ini file's integers are both read with; QString::toInt knows no "$" and takes spaces after the digits.
#include "inttext.h"

#include <limits>
#include <type_traits>

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

template <typename T>
bool parseInteger(const QString &s, T &out)
{
    using U = std::make_unsigned_t<T>;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s.at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < n && (s.at(i) == u'+' || s.at(i) == u'-')) {
        negative = s.at(i) == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && s.at(i) == u'$') {
        hex = true;
        ++i;
    } else if (i + 1 < n && s.at(i) == u'0' && (s.at(i + 1) == u'x' || s.at(i + 1) == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return false;
    if (hex) {
        U value = 0;
        for (; i < n; ++i) {
            const int d = hexDigit(s.at(i));
            if (d < 0 || value > (std::numeric_limits<U>::max() >> 4))
                return false;
            value = U(value << 4) | U(d);
        }
        out = T(negative ? U(U(0) - value) : value);
        return true;
    }
    // Accumulate as unsigned magnitude and check against the signed range.
    const U limit = negative ? U(U(std::numeric_limits<T>::max()) + 1u) : U(std::numeric_limits<T>::max());
    U value = 0;
    for (; i < n; ++i) {
        const char16_t c = s.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        const U d = U(c - u'0');
        if (value > (limit - d) / 10u)
            return false;
        value = U(value * 10u + d);
    }
    out = negative ? T(U(U(0) - value)) : T(value);
    return true;
}

} // namespace

bool ParseInt32(const QString &S, int32_t &Out) { return parseInteger(S, Out); }
bool ParseInt64(const QString &S, int64_t &Out) { return parseInteger(S, Out); }
