#include "syncvalue.h"

void TSyncString::SetValue(const QString &AValue)
{
    Lock();
    try {
        FValue = AValue;
    } catch (...) {
        Unlock();
        throw;
    }
    Unlock();
}
