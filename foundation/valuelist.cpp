#include "valuelist.h"

#include "floattext.h"
#include "inttext.h"

#include <QLocale>
#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

void TValueList::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= FLines.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
}

QString TValueList::Strings(int Index) const
{
    CheckIndex(Index);
    return FLines.at(Index);
}

void TValueList::Delete(int Index)
{
    CheckIndex(Index);
    FLines.removeAt(Index);
}

int TValueList::Add(const QString &S)
{
    FLines.append(S);
    return int(FLines.size()) - 1;
}

int TValueList::IndexOfName(const QString &Name) const
{
    for (int i = 0; i < FLines.size(); ++i) {
        const QString &line = FLines.at(i);
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(Name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TValueList::Names(int Index) const
{
    CheckIndex(Index);
    const QString &line = FLines.at(Index);
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq);
}

QString TValueList::Values(const QString &Name) const
{
    const int i = IndexOfName(Name);
    if (i < 0)
        return QString();
    const QString &line = FLines.at(i);
    return line.mid(line.indexOf(u'=') + 1);
}

void TValueList::SetValues(const QString &Name, const QString &Value)
{
    const int i = IndexOfName(Name);
    if (Value.isEmpty()) {
        if (i >= 0)
            FLines.removeAt(i);
        return;
    }
    const QString line = Name + u'=' + Value;
    if (i >= 0)
        FLines[i] = line;
    else
        FLines.append(line);
}

QString TValueList::Text() const
{
    QString result;
    qsizetype size = 0;
    for (const QString &line : FLines)
        size += line.size() + LineBreak.size();
    result.reserve(size);
    for (const QString &line : FLines) {
        result += line;
        result += LineBreak;
    }
    return result;
}

void TValueList::SetText(const QString &AText)
{
    FLines.clear();
    // Everything from the first NUL on is dropped.
    const qsizetype nul = AText.indexOf(QChar(u'\0'));
    const QStringView text = nul < 0 ? QStringView(AText) : QStringView(AText).left(nul);
    // A text that opens with a NUL still has its first line: the empty run
    // before the NUL.
    if (text.isEmpty() && !AText.isEmpty())
        FLines.append(QString());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype marker = text.indexOf(LineBreak, pos);
        if (marker < 0) {
            FLines.append(text.mid(pos).toString());
            break;
        }
        FLines.append(text.mid(pos, marker - pos).toString());
        pos = marker + LineBreak.size();
    }
}

void TValueList::SetCommaText(const QString &AText)
{
    FLines.clear();
    const qsizetype n = AText.size();
    qsizetype pos = 0;
    while (pos < n) {
        QString item;
        if (AText.at(pos) == u'"') {
            ++pos;
            while (pos < n) {
                if (AText.at(pos) == u'"') {
                    if (pos + 1 < n && AText.at(pos + 1) == u'"') {
                        item += u'"';
                        pos += 2;
                        continue;
                    }
                    ++pos; // closing quote
                    break;
                }
                item += AText.at(pos++);
            }
            // An unterminated quoted item runs to the end of the text.
        } else {
            const qsizetype comma = AText.indexOf(u',', pos);
            const qsizetype end = comma < 0 ? n : comma;
            item = AText.mid(pos, end - pos);
            pos = end;
        }
        FLines.append(item);
        if (pos < n && AText.at(pos) == u',') {
            ++pos;
            if (pos == n)
                FLines.append(QString());
        }
    }
}

namespace {

QChar decimalSeparator()
{
    const QString dp = QLocale().decimalPoint();
    return dp.isEmpty() ? QChar(u'.') : dp.at(0);
}

bool ParseFloat(const QString &S, double &Out)
{
    // Only spaces may surround the number; tabs and line breaks make it bad.
    qsizetype first = 0, last = S.size();
    while (first < last && S.at(first) == u' ')
        ++first;
    while (last > first && S.at(last - 1) == u' ')
        --last;
    const QString t = S.mid(first, last - first);
    const QString upper = t.toUpper();
    if (upper == u"INF" || upper == u"+INF") {
        Out = std::numeric_limits<double>::infinity();
        return true;
    }
    if (upper == u"-INF") {
        Out = -std::numeric_limits<double>::infinity();
        return true;
    }
    if (upper == u"NAN") {
        Out = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    const QChar sep = decimalSeparator();
    std::string ascii;
    ascii.reserve(size_t(t.size()));
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t.at(i) == u'+' || t.at(i) == u'-')) {
        if (t.at(i) == u'-')
            ascii += '-';
        ++i;
    }
    int digits = 0;
    bool seenSep = false;
    for (; i < n; ++i) {
        const QChar c = t.at(i);
        if (c >= u'0' && c <= u'9') {
            ascii += char(c.unicode());
            ++digits;
        } else if (c == sep && !seenSep) {
            ascii += '.';
            seenSep = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (t.at(i) == u'e' || t.at(i) == u'E')) {
        ascii += 'e';
        ++i;
        if (i < n && (t.at(i) == u'+' || t.at(i) == u'-'))
            ascii += char(t.at(i++).unicode());
        int expDigits = 0;
        for (; i < n && t.at(i) >= u'0' && t.at(i) <= u'9'; ++i, ++expDigits)
            ascii += char(t.at(i).unicode());
        if (expDigits == 0)
            return false;
    }
    if (i != n)
        return false;
    return ParseCDouble(ascii, Out);
}

// General format with 15 significant digits.
QString FormatFloat(double Value)
{
    if (std::isnan(Value))
        return QStringLiteral("NAN");
    if (std::isinf(Value))
        return Value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (Value == 0)
        return QStringLiteral("0");
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 14);
    const std::string sci(buf, res.ptr);
    // sci is [-]d.ddddddddddddddde[+-]xx
    const bool negative = sci[0] == '-';
    const size_t start = negative ? 1 : 0;
    const size_t e = sci.find('e');
    std::string digits;
    for (size_t k = start; k < e; ++k)
        if (sci[k] != '.')
            digits += sci[k];
    const int exponent = std::atoi(sci.c_str() + e + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const QChar sep = decimalSeparator();
    QString out;
    if (negative)
        out += u'-';
    if (exponent < 15 && exponent >= -5) {
        if (exponent >= 0) {
            const size_t intLen = size_t(exponent) + 1;
            std::string intPart = digits.substr(0, std::min(intLen, digits.size()));
            while (intPart.size() < intLen)
                intPart += '0';
            out += QString::fromLatin1(intPart);
            if (digits.size() > intLen) {
                out += sep;
                out += QString::fromLatin1(digits.substr(intLen));
            }
        } else {
            out += u'0';
            out += sep;
            out += QString(-exponent - 1, u'0');
            out += QString::fromLatin1(digits);
        }
    } else {
        out += QChar::fromLatin1(digits[0]);
        if (digits.size() > 1) {
            out += sep;
            out += QString::fromLatin1(digits.substr(1));
        }
        out += u'E';
        out += QString::number(exponent);
    }
    return out;
}

} // namespace

int32_t TValueList::GetIntegers(const QString &Name) const
{
    int32_t v = 0;
    return ParseInt32(Values(Name), v) ? v : 0;
}

void TValueList::SetIntegers(const QString &Name, int32_t Value)
{
    SetValues(Name, QString::number(Value));
}

int64_t TValueList::GetInt64s(const QString &Name) const
{
    int64_t v = 0;
    return ParseInt64(Values(Name), v) ? v : 0;
}

void TValueList::SetInt64s(const QString &Name, int64_t Value)
{
    SetValues(Name, QString::number(Value));
}

double TValueList::GetReals(const QString &Name) const
{
    double v = 0;
    return ParseFloat(Values(Name), v) ? v : 0.0;
}

void TValueList::SetReals(const QString &Name, double Value)
{
    SetValues(Name, FormatFloat(Value));
}

// Pointers are pointer-sized here: the address is written as a signed
// integer of the pointer's width.
void *TValueList::GetPointers(const QString &Name) const
{
    int64_t v = 0;
    if (!ParseInt64(Values(Name), v))
        return nullptr;
    return reinterpret_cast<void *>(static_cast<intptr_t>(v));
}

void TValueList::SetPointers(const QString &Name, void *Value)
{
    SetValues(Name, QString::number(static_cast<qint64>(reinterpret_cast<intptr_t>(Value))));
}

bool TValueList::GetBooleans(const QString &Name) const
{
    return Values(Name) == u"1";
}

void TValueList::SetBooleans(const QString &Name, bool Value)
{
    SetValues(Name, Value ? QStringLiteral("1") : QStringLiteral("0"));
}

TRect TValueList::GetRect(const QString &Name) const
{
    TRect r;
    if (!Exists(Name))
        return r;
    TValueList temp;
    temp.SetCommaText(Values(Name));
    r.Left = temp.Integers(QStringLiteral("Left"));
    r.Top = temp.Integers(QStringLiteral("Top"));
    r.Right = temp.Integers(QStringLiteral("Right"));
    r.Bottom = temp.Integers(QStringLiteral("Bottom"));
    return r;
}

void TValueList::SetRect(const QString &Name, const TRect &Value)
{
    SetValues(Name, QStringLiteral("Left=%1,Top=%2,Right=%3,Bottom=%4")
                        .arg(Value.Left)
                        .arg(Value.Top)
                        .arg(Value.Right)
                        .arg(Value.Bottom));
}

// Totals read each value by its line's name, so a repeated name adds the
// first line's value again. Integer sums add as unsigned, so they wrap.
template <typename Sum, typename Read>
Sum TValueList::Total(Read ReadByName) const
{
    Sum sum = 0;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const QString name = Names(i);
        if (!name.isEmpty())
            sum += Sum(ReadByName(name));
    }
    return sum;
}

int32_t TValueList::TotalInteger() const
{
    return int32_t(Total<uint32_t>([this](const QString &n) { return Integers(n); }));
}

int64_t TValueList::TotalInt64() const
{
    return int64_t(Total<uint64_t>([this](const QString &n) { return Int64s(n); }));
}

double TValueList::TotalReal() const
{
    return Total<double>([this](const QString &n) { return Reals(n); });
}

void TValueList::SaveToBuffer(void *&Data, int32_t &DataSize) const
{
    const QByteArray bytes = Text().toUtf8();
    if (bytes.size() > std::numeric_limits<int32_t>::max())
        throw std::length_error("TValueList::SaveToBuffer: text too large");
    DataSize = int32_t(bytes.size());
    if (DataSize == 0) {
        Data = nullptr;
        return;
    }
    Data = std::malloc(size_t(DataSize));
    if (!Data)
        throw std::bad_alloc();
    std::memcpy(Data, bytes.constData(), size_t(DataSize));
}

void TValueList::LoadFromBuffer(const void *Data, int32_t DataSize)
{
    if (!Data || DataSize <= 0) {
        FLines.clear();
        return;
    }
    const auto *b = static_cast<const unsigned char *>(Data);
    const qsizetype n = DataSize;
    // A UTF-16 byte-order mark says so; anything else is UTF-8 (the ANSI code
    // page of this platform), and the decoder drops a leading mark. The block
    // is the whole text, so the decoder keeps no state for bytes that never
    // come: a character cut off at the end (a UTF-16 block's odd last byte
    // too) reads as the replacement it gives a broken one inside the text.
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        encoding = QStringConverter::Utf16LE;
    else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF)
        encoding = QStringConverter::Utf16BE;
    QStringDecoder decode(encoding, QStringConverter::Flag::Stateless);
    const QString text = decode(QByteArrayView(reinterpret_cast<const char *>(b), n));
    SetText(text);
}
