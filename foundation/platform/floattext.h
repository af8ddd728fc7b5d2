// Stands in for the runtime's text-to-float conversion that the packet's typed values are read with: strtod_l in the C locale, whatever the process locale, giving infinity on overflow and zero on underflow.
#pragma once

#include <string>

// S in the C locale's number form ([-]digits[.digits][e[+|-]digits]) as a
// double; false, with Out untouched, unless all of S is the number.
bool ParseCDouble(const std::string &S, double &Out);
