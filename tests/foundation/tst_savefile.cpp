#include "disk.h"
#include "savefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What kind of thing the name itself is (a link is not followed).
mode_t kindOf(const QString &APath)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(APath).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

// A script of about ABytes, every line different, so that a file cut short
// or mixed from two saves shows.
QByteArray scriptText(qsizetype ABytes, char ATag)
{
    QByteArray text;
    for (int line = 0; text.size() < ABytes; ++line)
        text += QByteArray("// ") + ATag + ' ' + QByteArray::number(line) + "\nmove(10); turn(90);\n";
    text.truncate(ABytes);
    return text;
}

// A tmpfs of the test's own, gone however the test ends.
class TTinyDisk
{
public:
    TTinyDisk(const QString &AFolder, const char *AOptions)
        : FFolder(QFile::encodeName(AFolder))
    {
        FMounted = ::mount("tmpfs", FFolder.constData(), "tmpfs", MS_NOSUID | MS_NODEV, AOptions) == 0;
        FError = FMounted ? 0 : errno;
    }
    ~TTinyDisk()
    {
        if (FMounted)
            ::umount2(FFolder.constData(), MNT_DETACH);
    }
    bool Mounted() const { return FMounted; }
    const char *Why() const { return std::strerror(FError); }

private:
    QByteArray FFolder;
    bool FMounted = false;
    int FError = 0;
};

} // namespace

TEST(SaveFile, APipeIsRefusedAndStaysThoughNamedByALink)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.js");
    const QString link = dir.filePath("link.js");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_EQ(::symlink("pipe.js", QFile::encodeName(link).constData()), 0);
    for (const QString &path : {pipe, link}) {
        const QString error = SaveFileWhole(path, "new();\n");
        EXPECT_TRUE(error.contains("not a regular file")) << qPrintable(path) << ": " << qPrintable(error);
    }
    EXPECT_EQ(kindOf(pipe), S_IFIFO);
    EXPECT_EQ(kindOf(link), S_IFLNK);

    // A FormInfo.ini that is a pipe is neither waited on nor replaced.
    EXPECT_EQ(ReadIniInteger(pipe, "TfmMain", "Left", 7), 7);
    EXPECT_FALSE(WriteIniInteger(pipe, "TfmMain", "Left", 1));
    EXPECT_EQ(kindOf(pipe), S_IFIFO);

    // A link to a regular file is saved through: the file changes, the link
    // stays a link, and no temporary file is left.
    const QString file = dir.filePath("prog.js");
    const QString fileLink = dir.filePath("prog-link.js");
    ASSERT_TRUE(WriteAll(file, "old();\n"));
    ASSERT_EQ(::symlink("prog.js", QFile::encodeName(fileLink).constData()), 0);
    EXPECT_EQ(SaveFileWhole(fileLink, "new();\n"), QString());
    EXPECT_EQ(kindOf(fileLink), S_IFLNK);
    EXPECT_EQ(ReadAll(file), "new();\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList({"link.js", "pipe.js", "prog-link.js", "prog.js"}));
}

TEST(SaveFile, ACharacterDeviceIsRefusedAndStays)
{
    // A node of the test's own with the null device's numbers: never the
    // system's, which a save that renames over it would replace.
    QTemporaryDir dir;
    const QString device = dir.filePath("null.js");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here (needs the superuser): " << std::strerror(errno);
    const QString error = SaveFileWhole(device, "new();\n");
    EXPECT_TRUE(error.contains("not a regular file")) << qPrintable(error);
    EXPECT_FALSE(WriteIniInteger(device, "TfmMain", "Left", 1));
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(device).constData(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
}

TEST(SaveFile, AFullDiskWhileWritingInPlaceKeepsTheOldTextWholeAndSaysWhy)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("disk");
    ASSERT_TRUE(QDir().mkpath(folder));
    // Inodes for the folder, the script and a filler only: the save finds no
    // room for a temporary file and writes in place.
    TTinyDisk disk(folder, "size=256k,nr_inodes=3,mode=0755");
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs the superuser or a run under unshare -rm): "
                     << disk.Why();
    const QString path = folder + "/prog.js";
    const QByteArray oldText = scriptText(60 * 1024, 'o');
    ASSERT_TRUE(WriteAll(path, oldText));
    {
        // The filler takes the rest of the room.
        const int filler = ::open(QFile::encodeName(folder + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(filler, 0) << std::strerror(errno);
        const QByteArray block(4096, 'f');
        while (::write(filler, block.constData(), block.size()) > 0) {
        }
        ::close(filler);
    }
    const int another = ::open(QFile::encodeName(folder + "/another").constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_LT(another, 0) << "the disk still takes a new file";

    const QByteArray newText = scriptText(120 * 1024, 'n');
    const QString error = SaveFileWhole(path, newText);
    const QByteArray now = ReadAll(path);
    EXPECT_TRUE(now == oldText || now == newText) << now.size() << " bytes, neither text";
    EXPECT_TRUE(error.contains("No space left on device")) << qPrintable(error);
}

TEST(SaveFile, AFileSizeLimitFailsTheSaveWithoutEndingTheProgram)
{
    QTemporaryDir dir;
    const QByteArray oldText = scriptText(10 * 1024, 'o');
    const QByteArray newText = scriptText(120 * 1024, 'n');
    // Saved beside, and, where the test can lock a folder, in place.
    QStringList paths{dir.filePath("prog.js")};
    const QString locked = dir.filePath("shared");
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(WriteAll(locked + "/prog.js", oldText));
    if (LockFolder(locked, true))
        paths << locked + "/prog.js";
    ASSERT_TRUE(WriteAll(paths.first(), oldText));

    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only the routine runs here: the fork took none of Qt's threads.
        ::close(report[0]);
        const rlimit limit{50 * 1024, 50 * 1024};
        QByteArray errors;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            errors = "setrlimit failed";
        } else {
            IgnoreFileSizeSignal();
            for (const QString &path : paths)
                errors += SaveFileWhole(path, newText).toUtf8() + '\n';
        }
        if (::write(report[1], errors.constData(), errors.size()) < 0) {
        }
        ::_exit(0);
    }
    ::close(report[1]);
    QByteArray errors;
    char buffer[512];
    for (ssize_t got; (got = ::read(report[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            errors.append(buffer, got);
        else if (errno != EINTR)
            break;
    }
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (paths.size() > 1)
        LockFolder(locked, false);

    ASSERT_FALSE(WIFSIGNALED(status)) << "the save ended the program with signal " << WTERMSIG(status);
    const QList<QByteArray> lines = errors.split('\n');
    ASSERT_GE(lines.size(), paths.size()) << errors.constData();
    for (int i = 0; i < paths.size(); ++i) {
        EXPECT_TRUE(lines.at(i).contains("File too large")) << qPrintable(paths.at(i)) << ": " << lines.at(i).constData();
        EXPECT_EQ(ReadAll(paths.at(i)), oldText) << qPrintable(paths.at(i));
    }
}
