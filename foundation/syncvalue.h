#pragma once

#include "foundation_export.h"

#include <QString>
#include <mutex>

// A value with a lock of its own.
class FOUNDATION_EXPORT TSyncValue
{
public:
    TSyncValue() = default;
    TSyncValue(const TSyncValue &) = delete;
    TSyncValue &operator=(const TSyncValue &) = delete;
    virtual ~TSyncValue() = default;

    void Lock() { FCS.lock(); }
    void Unlock() { FCS.unlock(); }
    // The same two under the names std::lock_guard takes.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::recursive_mutex FCS;
};

class FOUNDATION_EXPORT TSyncString : public TSyncValue
{
public:
    // Plain access, no lock.
    QString Value() const { return FValue; }

    // The locked write.
    void SetValue(const QString &AValue);

private:
    QString FValue;
};
