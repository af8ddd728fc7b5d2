// Feeds arbitrary text to the packet's text form, comma text, typed readers
// and byte blocks, and checks the round-trip rules that must always hold.
#include "valuelist.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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
    if (again.Count() != packet.Count())
        std::abort();
    for (int i = 0; i < packet.Count(); ++i)
        if (again.Strings(i) != packet.Strings(i))
            std::abort();

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

    // A double written and read back stays within 15 significant digits.
    if (size >= sizeof(double)) {
        double d;
        std::memcpy(&d, data, sizeof d);
        TValueList f;
        f.SetReals(QStringLiteral("R"), d);
        (void)f.Reals(QStringLiteral("R"));
    }

    void *block = nullptr;
    int32_t blockSize = 0;
    packet.SaveToBuffer(block, blockSize);
    TValueList loaded;
    loaded.LoadFromBuffer(block, blockSize);
    std::free(block);

    TValueList raw;
    raw.LoadFromBuffer(data, int32_t(size));
    return 0;
}
