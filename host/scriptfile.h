#pragma once

#include "kbhost_export.h"

#include <QString>
#include <stdexcept>

// A text file that cannot be read or written; the message names the file
// and says why.
class KBHOST_EXPORT EFileError : public std::runtime_error
{
public:
    explicit EFileError(const QString &AMessage);
    QString Message() const { return QString::fromUtf8(what()); }
};

// Files larger than this are refused rather than loaded into the editor.
inline constexpr qint64 KMaxScriptFileSize = 16 * 1024 * 1024;

// The text of a script file: a regular file read as UTF-8 (a byte-order mark
// is skipped), else as CP949, the Korean Windows code page. Throws
// EFileError when the file is not a regular file, cannot be read, is too
// large or is text in neither.
KBHOST_EXPORT QString ReadScriptFile(const QString &AFileName);

// Writes AData to the file, which then holds its old text whole or AData
// whole, in a folder that takes no new file too (see SaveFileWhole). A link
// is written through; a folder, a device or a pipe is refused. Throws
// EFileError naming the file and the cause.
KBHOST_EXPORT void WriteScriptFile(const QString &AFileName, const QByteArray &AData);
