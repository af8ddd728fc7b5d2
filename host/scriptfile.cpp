#include "scriptfile.h"

#include "posixcalls.h"
#include "savefile.h"

#include <QFile>
#include <QStringDecoder>
#include <optional>

EFileError::EFileError(const QString &AMessage)
    : std::runtime_error(AMessage.toStdString())
{
}

namespace {

// Only a regular file is read: a pipe would block the program until someone
// writes to it, a device may never end.
int OpenRegularFile(const QString &AFileName)
{
    const TOpenedFile opened = OpenRegularFileForReading(AFileName);
    if (opened.NotRegular)
        throw EFileError(QStringLiteral("Cannot open \"%1\": it is not a regular file (a folder, a "
                                        "device or a pipe).")
                             .arg(AFileName));
    if (opened.Handle < 0)
        throw EFileError(QStringLiteral("Cannot open \"%1\": %2").arg(AFileName, opened.Error));
    return opened.Handle;
}

// The text of a file's bytes: UTF-8 (a byte-order mark dropped), else the
// Korean Windows code page. Nothing when it is neither, or holds a NUL, at
// which the editor's text would end.
std::optional<QString> DecodeText(const QByteArray &AData)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(AData);
    if (!utf8.hasError() && !text.contains(QChar(0)))
        return text;
    // ICU's "cp949" is IBM's code page; Windows tools write Microsoft's.
    QStringDecoder korean("windows-949", QStringDecoder::Flag::Stateless);
    if (!korean.isValid())
        return std::nullopt;
    text = korean(AData);
    if (korean.hasError() || text.contains(QChar(0)))
        return std::nullopt;
    return text;
}

} // namespace

QString ReadScriptFile(const QString &AFileName)
{
    QFile file;
    if (!file.open(OpenRegularFile(AFileName), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw EFileError(QStringLiteral("Cannot open \"%1\": %2").arg(AFileName, file.errorString()));
    if (file.size() > KMaxScriptFileSize)
        throw EFileError(QStringLiteral("\"%1\" is too large to edit (%2 bytes).")
                             .arg(AFileName)
                             .arg(file.size()));
    const QByteArray data = file.read(KMaxScriptFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw EFileError(QStringLiteral("Cannot read \"%1\": %2").arg(AFileName, file.errorString()));
    if (data.size() > KMaxScriptFileSize)
        throw EFileError(QStringLiteral("\"%1\" is too large to edit.").arg(AFileName));

    // Decoding with replacement characters would lose the file's text on the
    // next save; refuse a file that is not text in either encoding.
    const std::optional<QString> text = DecodeText(data);
    if (!text)
        throw EFileError(QStringLiteral("\"%1\" is neither UTF-8 nor Korean (CP949) text.").arg(AFileName));
    return *text;
}

void WriteScriptFile(const QString &AFileName, const QByteArray &AData)
{
    const QString error = SaveFileWhole(AFileName, AData);
    if (!error.isEmpty())
        throw EFileError(QStringLiteral("Cannot write \"%1\": %2").arg(AFileName, error));
}
