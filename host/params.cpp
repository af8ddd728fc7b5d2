#include "params.h"

namespace {

int HexValue(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

// "%" and two hex digits make one byte; any other "%" stays as it is, and
// "+" is not a space. The bytes are then read as UTF-8.
QString PercentDecode(const QString &AText)
{
    const QByteArray in = AText.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in.at(i) == '%' && i + 2 < in.size() && HexValue(in.at(i + 1)) >= 0
            && HexValue(in.at(i + 2)) >= 0) {
            out += char(HexValue(in.at(i + 1)) * 16 + HexValue(in.at(i + 2)));
            i += 2;
        } else {
            out += in.at(i);
        }
    }
    return QString::fromUtf8(out);
}

} // namespace

TParams::TParams(const QString &AText)
{
    // Decoding comes first, so an escaped slash (%2F) splits like a plain one.
    SetText(PercentDecode(AText));
}

QString TParams::GetString(int AIndex) const
{
    if (AIndex < 0 || AIndex >= FParams.size())
        return QString();
    return FParams.at(AIndex);
}

void TParams::SetText(const QString &AText)
{
    // Only "/" separates; spaces and quotes stay inside their segment. An
    // empty text has no segment at all.
    if (AText.isEmpty())
        FParams.clear();
    else
        FParams = AText.split(QLatin1Char('/'), Qt::KeepEmptyParts);
}
