#pragma once

#include "foundation_export.h"
#include "rect.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <cstdint>

// The packet of the bus: an ordered list of "name=value" lines with
// case-insensitive look-up by name and a text form in which every line is
// followed by the marker "<tAv>", so that values may hold line breaks.
// Lines are never sorted; repeated names are allowed and only the first line
// of a name is reached by name.
class FOUNDATION_EXPORT TValueList
{
public:
    static inline const QString LineBreak = QStringLiteral("<tAv>");

    TValueList() = default;

    // list operations
    int Count() const { return int(FLines.size()); }
    // A position outside 0..Count-1 raises std::out_of_range.
    QString Strings(int Index) const;
    int Add(const QString &S);
    void Delete(int Index);
    void Clear() { FLines.clear(); }
    int IndexOfName(const QString &Name) const;
    QString Names(int Index) const;
    QString Values(const QString &Name) const;
    void SetValues(const QString &Name, const QString &Value);
    QString Text() const;
    void SetText(const QString &AText);
    void SetCommaText(const QString &AText);

    bool Exists(const QString &Name) const { return IndexOfName(Name) != -1; }

    // typed views of a value
    int32_t Integers(const QString &Name) const { return GetIntegers(Name); }
    void SetIntegers(const QString &Name, int32_t Value);
    int64_t Int64s(const QString &Name) const { return GetInt64s(Name); }
    void SetInt64s(const QString &Name, int64_t Value);
    double Reals(const QString &Name) const { return GetReals(Name); }
    void SetReals(const QString &Name, double Value);
    double Doubles(const QString &Name) const { return GetDoubles(Name); }
    void SetDoubles(const QString &Name, double Value) { SetReals(Name, Value); }
    void *Pointers(const QString &Name) const { return GetPointers(Name); }
    void SetPointers(const QString &Name, void *Value);
    bool Booleans(const QString &Name) const { return GetBooleans(Name); }
    void SetBooleans(const QString &Name, bool Value);
    TRect Rects(const QString &Name) const { return GetRect(Name); }
    void SetRect(const QString &Name, const TRect &Value);

    int32_t TotalInteger() const;
    int64_t TotalInt64() const;
    double TotalReal() const;
    double TotalDouble() const { return TotalReal(); }

    // Hands out a new block (std::malloc; the caller std::free()s it) that
    // holds the text form in the system's ANSI code page, which is UTF-8 here.
    void SaveToBuffer(void *&Data, int32_t &DataSize) const;
    void LoadFromBuffer(const void *Data, int32_t DataSize);

private:
    int32_t GetIntegers(const QString &Name) const;
    int64_t GetInt64s(const QString &Name) const;
    double GetReals(const QString &Name) const;
    double GetDoubles(const QString &Name) const { return GetReals(Name); }
    void *GetPointers(const QString &Name) const;
    bool GetBooleans(const QString &Name) const;
    TRect GetRect(const QString &Name) const;

    void CheckIndex(int Index) const;

    template <typename Sum, typename Read>
    Sum Total(Read ReadByName) const;

    QStringList FLines;
};

Q_DECLARE_METATYPE(TValueList *)
