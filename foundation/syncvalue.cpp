#include "syncvalue.h"

void TSyncString::SetValue(const QString &AValue)
{
    std::lock_guard lock(*this);
    FValue = AValue;
}
