// Feeds arbitrary text to the packet's text form, comma text, typed readers
// and byte blocks, and checks the round-trip rules that must always hold.
#include "valuelist.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

QStringList linesOf(const TValueList &p)
{
    QStringList out;
    for (int i = 0; i < p.Count(); ++i)
        out << p.Strings(i);
    return out;
}

template <typename T>
T take(const uint8_t *&data, size_t &size)
{
    T v{};
    const size_t n = size < sizeof v ? size : sizeof v;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
}

// Lines that hold neither the marker nor a NUL survive the text form as they
// are; a packet written by Values reads back what was written.
void checkLines(const QStringList &lines)
{
    TValueList packet;
    for (const QString &l : lines)
        if (!l.contains(TValueList::LineBreak) && !l.contains(QChar(u'\0')))
            packet.Add(l);
    TValueList back;
    back.SetText(packet.Text());
    check(linesOf(back) == linesOf(packet));

    TValueList written;
    for (const QString &l : lines) {
        const qsizetype eq = l.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString name = l.left(eq), value = l.mid(eq + 1);
        const int before = written.IndexOfName(name);
        const int count = written.Count();
        written.SetValues(name, value);
        if (value.isEmpty()) {
            check(written.Count() == count - (before >= 0 ? 1 : 0));
        } else {
            check(written.Values(name) == value);
            check(written.IndexOfName(name) == (before >= 0 ? before : count));
        }
    }
}

// Items joined by "," come back when none holds a "," or opens with a quote
// (a lone empty item gives the empty text, which has no items); quoted with
// doubled inner quotes, any items come back.
void checkCommaText(const QStringList &items)
{
    QStringList plain, quoted;
    for (const QString &item : items) {
        if (!item.contains(u',') && !item.startsWith(u'"'))
            plain << item;
        quoted << QStringLiteral("\"") + QString(item).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QStringLiteral("\"");
    }
    TValueList p;
    p.SetCommaText(plain.join(u','));
    check(linesOf(p) == (plain == QStringList{QString()} ? QStringList() : plain));
    p.SetCommaText(quoted.join(u','));
    check(linesOf(p) == items);
}

// Typed writes read back as written; floats as their nearest 15-digit value.
void checkTyped(const uint8_t *data, size_t size)
{
    const auto i32 = take<int32_t>(data, size);
    const auto i64 = take<int64_t>(data, size);
    const auto d = take<double>(data, size);
    const TRect r{take<int32_t>(data, size), take<int32_t>(data, size), take<int32_t>(data, size),
                  take<int32_t>(data, size)};
    const bool b = take<uint8_t>(data, size) & 1;

    TValueList p;
    p.SetIntegers(QStringLiteral("I"), i32);
    p.SetInt64s(QStringLiteral("J"), i64);
    p.SetReals(QStringLiteral("R"), d);
    p.SetRect(QStringLiteral("Q"), r);
    p.SetBooleans(QStringLiteral("B"), b);
    p.SetPointers(QStringLiteral("P"), reinterpret_cast<void *>(intptr_t(i64)));
    TValueList q;
    q.SetText(p.Text());
    check(q.Integers(QStringLiteral("i")) == i32);
    check(q.Int64s(QStringLiteral("j")) == i64);
    check(q.Rects(QStringLiteral("q")) == r);
    check(q.Booleans(QStringLiteral("b")) == b);
    check(q.Exists(QStringLiteral("b")));
    check(q.Pointers(QStringLiteral("p")) == reinterpret_cast<void *>(intptr_t(i64)));
    const double got = q.Doubles(QStringLiteral("r"));
    if (std::isnan(d)) {
        check(std::isnan(got));
    } else if (std::isinf(d)) {
        check(got == d);
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.14e", d);
        check(got == std::strtod(buf, nullptr));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    TValueList packet;
    packet.SetText(text);
    // Text -> lines -> text -> lines gives the same lines.
    TValueList again;
    again.SetText(packet.Text());
    check(linesOf(again) == linesOf(packet));

    for (int i = 0; i < packet.Count() && i < 16; ++i) {
        const QString name = packet.Names(i);
        (void)packet.Integers(name);
        (void)packet.Int64s(name);
        (void)packet.Reals(name);
        (void)packet.Booleans(name);
        (void)packet.Rects(name);
        (void)packet.Pointers(name);
    }
    (void)packet.TotalInteger();
    (void)packet.TotalInt64();
    (void)packet.TotalReal();

    TValueList comma;
    comma.SetCommaText(text);
    (void)comma.Text();

    const QStringList pieces = text.split(u'\n').mid(0, 64);
    checkLines(pieces);
    checkCommaText(pieces);
    checkTyped(data, size);

    // The block holds the text form without a byte-order mark, so it loads
    // back to the same lines unless the text itself opens with U+FEFF.
    void *block = nullptr;
    int32_t blockSize = 0;
    packet.SaveToBuffer(block, blockSize);
    TValueList loaded;
    loaded.LoadFromBuffer(block, blockSize);
    std::free(block);
    if (!packet.Text().startsWith(QChar(0xFEFF)))
        check(linesOf(loaded) == linesOf(packet));

    TValueList raw;
    raw.LoadFromBuffer(data, int32_t(size));
    return 0;
}
