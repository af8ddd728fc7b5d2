// Stands in for the runtime's text-to-float conversion that the packet's typed values are read with: strtod_l in the C locale, whatever the process locale, giving infinity on overflow and zero on underflow.
#include "floattext.h"

#include <cstdlib>
#include <locale.h>

bool ParseCDouble(const std::string &S, double &Out)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    char *end = nullptr;
    const double value = strtod_l(S.c_str(), &end, cLocale);
    if (end != S.c_str() + S.size())
        return false;
    Out = value;
    return true;
}
