// Stands in for the platform's program-folder and ini-file routines; QSettings cannot keep the file as the system writes it (it rewrites it whole, sorted, with case-sensitive keys and its own escapes, and drops comments).
#include "disk.h"

#include "inttext.h"
#include "posixcalls.h"
#include "savefile.h"
#include "strg.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <mutex>
#include <unistd.h>

namespace {

// An ini file bigger than this is not ours; it reads as unreadable.
constexpr qint64 MaxIniSize = 4 * 1024 * 1024;

std::mutex &iniMutex()
{
    static std::mutex m;
    return m;
}

// Names that would split or mislead a line are refused outright.
bool validName(const QString &Name, bool IsSection)
{
    if (Name.trimmed().isEmpty())
        return false;
    for (const QChar c : Name) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return false;
        if (IsSection ? c == u']' : (c == u'=' || c == u'['))
            return false;
    }
    if (!IsSection && Name.trimmed().startsWith(u';'))
        return false;
    return true;
}

enum class LoadResult { Missing, Loaded, Unreadable };

LoadResult loadLines(const QString &FileName, QStringList &Lines)
{
    Lines.clear();
    if (!QFileInfo::exists(FileName))
        return LoadResult::Missing;
    // Only a regular file is read: a pipe would wait for a writer, a device
    // may never end.
    const TOpenedFile opened = OpenRegularFileForReading(FileName);
    QFile file;
    if (opened.Handle < 0
        || !file.open(opened.Handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (opened.Handle >= 0)
            ::close(opened.Handle);
        return LoadResult::Unreadable;
    }
    if (file.size() > MaxIniSize)
        return LoadResult::Unreadable;
    const QByteArray data = file.read(MaxIniSize + 1);
    if (file.error() != QFileDevice::NoError || data.size() > MaxIniSize)
        return LoadResult::Unreadable;
    // The decoder drops a leading byte-order mark.
    QStringDecoder decode(QStringConverter::Utf8);
    const QString text = decode(data);
    Lines = text.split(u'\n');
    for (QString &line : Lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    if (!Lines.isEmpty() && Lines.last().isEmpty())
        Lines.removeLast();
    return LoadResult::Loaded;
}

// "[name]" gives name; any other line gives a null string.
QString sectionOf(const QString &Line)
{
    const QString t = Line.trimmed();
    if (!t.startsWith(u'['))
        return QString();
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return QString();
    return t.mid(1, close - 1).trimmed();
}

bool isKeyLine(const QString &Line, const QString &Key, QString *Value = nullptr)
{
    const QString t = Line.trimmed();
    if (t.startsWith(u';'))
        return false;
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0 || t.left(eq).trimmed().compare(Key, Qt::CaseInsensitive) != 0)
        return false;
    if (Value)
        *Value = t.mid(eq + 1).trimmed();
    return true;
}

// Index of the section's header line, -1 when absent; End is the index after
// its last line.
int findSection(const QStringList &Lines, const QString &Section, int &End)
{
    for (int i = 0; i < Lines.size(); ++i) {
        const QString name = sectionOf(Lines.at(i));
        if (name.isNull() || name.compare(Section, Qt::CaseInsensitive) != 0)
            continue;
        End = i + 1;
        while (End < Lines.size() && sectionOf(Lines.at(End)).isNull())
            ++End;
        return i;
    }
    End = -1;
    return -1;
}

} // namespace

QString GetExecPath()
{
    QString path = QCoreApplication::instance()
                       ? QCoreApplication::applicationDirPath()
                       : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
    IncludeTrailingChar(path, u'/');
    return path;
}

int32_t ReadIniInteger(const QString &FileName, const QString &Section, const QString &Key,
                       int32_t Default)
{
    try {
        if (!validName(Section, true) || !validName(Key, false))
            return Default;
        QStringList lines;
        {
            std::lock_guard lock(iniMutex());
            if (loadLines(FileName, lines) != LoadResult::Loaded)
                return Default;
        }
        int end = -1;
        const int header = findSection(lines, Section, end);
        if (header < 0)
            return Default;
        for (int i = header + 1; i < end; ++i) {
            QString value;
            if (!isKeyLine(lines.at(i), Key, &value))
                continue;
            // A value in matching quotes reads without them.
            if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
                && value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            int32_t result = 0;
            return ParseInt32(value, result) ? result : Default;
        }
        return Default;
    } catch (...) {
        return Default;
    }
}

bool WriteIniInteger(const QString &FileName, const QString &Section, const QString &Key,
                     int32_t Value)
{
    try {
        if (!validName(Section, true) || !validName(Key, false))
            return false;
        std::lock_guard lock(iniMutex());
        QStringList lines;
        const LoadResult loaded = loadLines(FileName, lines);
        // A file we cannot read, or may not write, keeps what it holds.
        if (loaded == LoadResult::Unreadable)
            return false;
        if (loaded == LoadResult::Loaded && !QFileInfo(FileName).isWritable())
            return false;

        const QString line = Key + u'=' + QString::number(Value);
        int end = -1;
        const int header = findSection(lines, Section, end);
        if (header < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines.append(QString());
            lines.append(u'[' + Section + u']');
            lines.append(line);
        } else {
            int found = -1;
            for (int i = header + 1; i < end && found < 0; ++i) {
                if (isKeyLine(lines.at(i), Key))
                    found = i;
            }
            if (found >= 0) {
                lines[found] = line;
            } else {
                // After the section's last non-blank line.
                int at = end;
                while (at > header + 1 && lines.at(at - 1).trimmed().isEmpty())
                    --at;
                lines.insert(at, line);
            }
        }

        // Whole or not at all: a window's placement is never left half
        // written, and a pipe or a device in the file's place stays.
        return SaveFileWhole(FileName, lines.join(u'\n').toUtf8() + '\n').isEmpty();
    } catch (...) {
        // The file keeps its old values.
    }
    return false;
}
