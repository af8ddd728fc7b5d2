// Stands in for the platform's file-replacing call (ReplaceFileW over a file written beside the old one) and its writes that fail past a file-size limit: a temporary file, fsync(2) and rename(2), a write in place that puts the old bytes back, and SIGXFSZ ignored.
#include "savefile.h"

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The system's words for an error number; strerror(3) is not thread-safe.
QString errorText(int AError)
{
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(AError, buffer, sizeof buffer));
}

QString notRegularText()
{
    return QStringLiteral("it is not a regular file (a folder, a device or a pipe)");
}

// Follows the links in APath's last part, so that the file they end at is
// replaced and the links stay. By hand, as realpath(3) fails on a link to a
// file not made yet. AExists and AStat then describe that file; 0 or an
// error number.
int resolveTarget(QByteArray &APath, bool &AExists, struct stat &AStat)
{
    AExists = false;
    for (int hops = 0; hops < 40; ++hops) {
        if (::lstat(APath.constData(), &AStat) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(AStat.st_mode)) {
            AExists = true;
            return 0;
        }
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(APath.constData(), target.data(), target.size());
        if (length < 0)
            return errno;
        if (length >= target.size())
            return ENAMETOOLONG;
        target.truncate(length);
        if (!target.startsWith('/'))
            target.prepend(APath.left(APath.lastIndexOf('/') + 1));
        APath = target;
    }
    return ELOOP;
}

// Writes all of ASize bytes at AOffset, through short writes and signals;
// 0 or an error number. A short write is how a full disk or a size limit
// first shows; the next write says which.
int writeAt(int AHandle, const char *AData, qint64 ASize, off_t AOffset)
{
    while (ASize > 0) {
        const ssize_t written = ::pwrite(AHandle, AData, size_t(std::min<qint64>(ASize, 1 << 30)), AOffset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        AData += written;
        ASize -= written;
        AOffset += written;
    }
    return 0;
}

int readWhole(int AHandle, QByteArray &AData)
{
    AData.clear();
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(AHandle, buffer, sizeof buffer, at);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        AData.append(buffer, got);
        at += got;
    }
}

int syncFile(int AHandle)
{
    while (::fsync(AHandle) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int truncateTo(int AHandle, off_t ASize)
{
    while (::ftruncate(AHandle, ASize) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

// So that the rename outlives a power cut. A folder that cannot be synced
// still holds the new file; nothing to report.
void syncFolderOf(const QByteArray &APath)
{
    const qsizetype slash = APath.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : APath.left(slash);
    const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        syncFile(handle);
        ::close(handle);
    }
}

// A new file beside APath that no one else has open, hidden from file
// lists; -1 with errno set when the folder takes none.
int createBeside(const QByteArray &APath, mode_t AMode, QByteArray &ATempName)
{
    const qsizetype slash = APath.lastIndexOf('/');
    // However long the file's name, the temporary one fits the folder's limit.
    const QByteArray stem = APath.left(slash + 1) + '.' + APath.mid(slash + 1).left(200) + '.';
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        ATempName = stem;
        for (int i = 0; i < 8; ++i)
            ATempName += letters[QRandomGenerator::system()->bounded(int(sizeof letters - 1))];
        const int handle =
            ::open(ATempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, AMode);
        if (handle >= 0 || errno != EEXIST)
            return handle;
    }
    return -1;
}

// Puts AData over the open file's AOldSize bytes; 0 or the first error.
int overwrite(int AHandle, const QByteArray &AData, qint64 AOldSize)
{
    const qint64 size = AData.size();
    if (size > AOldSize) {
        // The room for the new text is taken before a byte of the old is
        // touched, so a full disk or a size limit stops the save here.
        int error;
        while ((error = ::posix_fallocate(AHandle, 0, size)) == EINTR) {
        }
        if (error == EOPNOTSUPP || error == EINVAL) {
            // The file system reserves nothing ahead; writing the new text's
            // tail past the old end first takes the room as well.
            error = writeAt(AHandle, AData.constData() + AOldSize, size - AOldSize, AOldSize);
        }
        if (error != 0)
            return error;
    }
    if (const int error = writeAt(AHandle, AData.constData(), size, 0))
        return error;
    if (const int error = truncateTo(AHandle, size))
        return error;
    return syncFile(AHandle);
}

// For a folder that takes no new file: the file's own blocks are
// overwritten, and its old bytes and length put back when that fails.
QString writeInPlace(const QByteArray &APath, const QByteArray &AData)
{
    // Not truncated on opening; tested on the descriptor, so that a pipe or a
    // device swapped in after the test of the name is not written either.
    const int handle = ::open(APath.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (handle < 0)
        return errorText(errno);
    struct stat st {};
    if (::fstat(handle, &st) != 0) {
        const int error = errno;
        ::close(handle);
        return errorText(error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(handle);
        return notRegularText();
    }
    QByteArray old;
    int error = readWhole(handle, old);
    if (error == 0) {
        error = overwrite(handle, AData, old.size());
        if (error != 0) {
            // Best effort: the old bytes fit where they were. The first
            // failure is what the user needs to hear.
            writeAt(handle, old.constData(), old.size(), 0);
            truncateTo(handle, old.size());
            syncFile(handle);
        }
    }
    if (::close(handle) != 0 && error == 0)
        error = errno;
    return error == 0 ? QString() : errorText(error);
}

} // namespace

QString SaveFileWhole(const QString &AFileName, const QByteArray &AData)
{
    QByteArray path = QFile::encodeName(AFileName);
    // A NUL would end the name early and write another file.
    if (path.isEmpty() || path.contains('\0'))
        return errorText(ENOENT);
    bool exists = false;
    struct stat st {};
    if (const int error = resolveTarget(path, exists, st))
        return errorText(error);
    // A rename would put a regular file in a pipe's or a device's place.
    if (exists && !S_ISREG(st.st_mode))
        return notRegularText();
    // A file the user may not write is not replaced, though its folder would
    // let it be.
    if (exists && ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return errorText(errno);

    QByteArray tempName;
    const int handle = createBeside(path, exists ? 0600 : 0666, tempName);
    if (handle < 0) {
        const int error = errno;
        // A folder that takes no new file (locked, or out of inodes) still
        // lets a file that is there be written.
        return exists ? writeInPlace(path, AData) : errorText(error);
    }
    int error = 0;
    if (exists) {
        // Only the superuser may keep another user's file theirs; anyone
        // else's save makes the file their own, as any new file would be.
        if (::fchown(handle, st.st_uid, st.st_gid) != 0) {
        }
        if (::fchmod(handle, st.st_mode & 07777) != 0)
            error = errno;
    }
    if (error == 0)
        error = writeAt(handle, AData.constData(), AData.size(), 0);
    if (error == 0)
        error = syncFile(handle);
    if (::close(handle) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(tempName.constData(), path.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(tempName.constData());
        return errorText(error);
    }
    syncFolderOf(path);
    return QString();
}

void IgnoreFileSizeSignal()
{
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGXFSZ, &action, nullptr);
}
