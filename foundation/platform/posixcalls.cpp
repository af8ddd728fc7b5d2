// Stands in for the platform's file-open and user-identity calls that the host makes (CreateFileW on a path, the elevated-token test): open(2) without waiting, fstat(2) and geteuid(2).
#include "posixcalls.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TOpenedFile OpenRegularFileForReading(const QString &AFileName)
{
    TOpenedFile result;
    const QByteArray name = QFile::encodeName(AFileName);
    // A NUL would end the name early and open another file.
    if (name.contains('\0')) {
        result.Error = QString::fromLocal8Bit(std::strerror(ENOENT));
        return result;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.Error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.NotRegular = true;
        return result;
    }
    result.Handle = fd;
    return result;
}

bool RunsAsSuperuser()
{
    return ::geteuid() == 0;
}
