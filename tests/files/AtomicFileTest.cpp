#include "files/AtomicFile.h"
#include "files/SettingsFile.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {
namespace {

using test::TempFolder;

enum class SaveOutcome { RefusedForPermission, Written, RefusedOtherwise, NotRun };

// Saves a default record as an ordinary user (in a child process when run as root).
SaveOutcome saveAsOrdinaryUser(const std::string& path)
{
    const int outcome = test::withoutPrivileges([&] {
        std::string error;
        if (saveSettings(path, SceneParams{}, &error))
            return 1;
        return error == "Keine Berechtigung." ? 0 : 2;
    });
    switch (outcome) {
    case 0:
        return SaveOutcome::RefusedForPermission;
    case 1:
        return SaveOutcome::Written;
    case test::kNoUnprivilegedRun:
        return SaveOutcome::NotRun;
    default:
        return SaveOutcome::RefusedOtherwise;
    }
}

// The real calls, except that writes take at most `chunk` bytes and the call chosen by
// `failing` fails once with `errorNumber` (writes counted from 1).
class FaultyFileSystem : public FileSystem {
public:
    enum class Call { None, Open, Write, Fsync, Close, Rename };

    Call failing = Call::None;
    int failingWrite = 1;
    int errorNumber = EIO;
    std::size_t chunk = 7;
    bool writeReturnsZero = false;
    int writes = 0;
    int closes = 0;
    int unlinks = 0;

    int open(const char* path, int flags, mode_t mode) override
    {
        if (failing == Call::Open)
            return failWith(-1);
        return FileSystem::open(path, flags, mode);
    }
    ssize_t write(int fd, const void* data, std::size_t size) override
    {
        ++writes;
        if (failing == Call::Write && writes == failingWrite) {
            if (writeReturnsZero)
                return 0;
            return failWith(-1);
        }
        return FileSystem::write(fd, data, std::min(size, chunk));
    }
    int fsync(int fd) override
    {
        if (failing == Call::Fsync)
            return failWith(-1);
        return FileSystem::fsync(fd);
    }
    int close(int fd) override
    {
        ++closes;
        const int result = FileSystem::close(fd); // the descriptor is gone either way
        if (failing == Call::Close)
            return failWith(-1);
        return result;
    }
    int rename(const char* from, const char* to) override
    {
        if (failing == Call::Rename)
            return failWith(-1);
        return FileSystem::rename(from, to);
    }
    int unlink(const char* path) override
    {
        ++unlinks;
        return FileSystem::unlink(path);
    }

private:
    int failWith(int result)
    {
        errno = errorNumber;
        return result;
    }
};

std::string newContent() { return std::string(100, 'n') + "Ende"; }

TEST(AtomicFile, EveryFailingStepKeepsTheOldFileAndLeavesNoTemporary)
{
    using Call = FaultyFileSystem::Call;
    struct Case {
        const char* name;
        Call call;
        int failingWrite;
        int errorNumber;
        bool returnsZero;
        std::string error;
    };
    const Case cases[] = {
        {"creating the temporary file", Call::Open, 1, EACCES, false, "Keine Berechtigung."},
        {"first write, disk full", Call::Write, 1, ENOSPC, false, "Der Datenträger ist voll."},
        {"a later write, disk full", Call::Write, 4, ENOSPC, false, "Der Datenträger ist voll."},
        {"write makes no progress", Call::Write, 3, 0, true, "Der Datenträger ist voll."},
        {"quota", Call::Write, 2, EDQUOT, false, "Das Speicherkontingent ist erschöpft."},
        {"flushing to disk", Call::Fsync, 1, EIO, false, "Ein Ein-/Ausgabefehler ist aufgetreten."},
        {"closing", Call::Close, 1, ENOSPC, false, "Der Datenträger ist voll."},
        {"renaming", Call::Rename, 1, EACCES, false, "Keine Berechtigung."},
        {"unknown error", Call::Write, 1, EPROTO, false,
            "Die Datei konnte nicht geschrieben werden (Fehler " + std::to_string(EPROTO) + ")."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string path = folder.path("Szene.lvx");
        test::writeBytes(path, "alter Inhalt");
        FaultyFileSystem fs;
        fs.failing = c.call;
        fs.failingWrite = c.failingWrite;
        fs.errorNumber = c.errorNumber;
        fs.writeReturnsZero = c.returnsZero;
        std::string error;
        EXPECT_FALSE(writeFileAtomically(path, newContent(), &error, fs));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(test::readBytes(path), "alter Inhalt");
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"Szene.lvx"});
        if (c.call != Call::Open) {
            EXPECT_EQ(fs.closes, 1) << "the descriptor is closed exactly once";
        }
    }
}

TEST(AtomicFile, PartialAndInterruptedWritesStillGiveTheWholeFile)
{
    TempFolder folder;
    const std::string path = folder.path("Szene.lvx");
    test::writeBytes(path, "alter Inhalt, länger als der neue und noch länger als das");
    FaultyFileSystem fs;
    fs.failing = FaultyFileSystem::Call::Write;
    fs.failingWrite = 2;
    fs.errorNumber = EINTR;
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, newContent(), &error, fs)) << error;
    EXPECT_EQ(test::readBytes(path), newContent());
    EXPECT_GT(fs.writes, 15); // 104 bytes in pieces of 7, one interrupted
    EXPECT_EQ(fs.unlinks, 0);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Szene.lvx"});
}

TEST(AtomicFile, WritesThroughSymbolicLinksAndKeepsPermissions)
{
    TempFolder folder;
    const std::string real = folder.path("echt.lvx");
    const std::string link = folder.path("verweis.lvx");
    test::writeBytes(real, "alt");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("echt.lvx", link.c_str()), 0);
    std::string error;
    ASSERT_TRUE(writeFileAtomically(link, "neu", &error)) << error;
    EXPECT_EQ(test::readBytes(real), "neu");
    struct stat info{};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"echt.lvx", "verweis.lvx"}));
}

TEST(AtomicFile, RefusesTargetsThatAreNoPlainFile)
{
    TempFolder folder;
    ASSERT_EQ(::mkdir(folder.path("ordner").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(folder.path("pipe").c_str(), 0644), 0);
    test::writeBytes(folder.path("datei"), "x");
    struct Case {
        std::string path;
        std::string error;
    };
    const Case cases[] = {
        {folder.path("ordner"), "Das ist ein Ordner, keine Datei."},
        {folder.path("ordner/"), "Das ist ein Ordner, keine Datei."},
        {folder.path("pipe"), "Das Ziel ist keine gewöhnliche Datei."},
        {folder.path("fehlt/neu.lvx"), "Der Ordner existiert nicht."},
        {folder.path("datei/neu.lvx"), "Ein Teil des Pfades ist kein Ordner."},
        {folder.path(std::string(300, 'n')), "Der Dateiname ist zu lang."},
        {"", "Der Ordner existiert nicht."},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(writeFileAtomically(c.path, "neu", &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"datei", "ordner", "pipe"}));
    EXPECT_TRUE(folder.entries("ordner").empty());
    EXPECT_EQ(test::readBytes(folder.path("datei")), "x");
}

TEST(AtomicFile, ReadOnlyFolder)
{
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.root().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(folder.path("nurlesen").c_str(), 0755), 0);
    const std::string path = folder.path("nurlesen/Szene.lvx");
    test::writeBytes(path, "alt");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0); // the file itself may be written
    ASSERT_EQ(::chmod(folder.path("nurlesen").c_str(), 0555), 0);
    const SaveOutcome outcome = saveAsOrdinaryUser(path);
    if (outcome == SaveOutcome::NotRun)
        GTEST_SKIP() << "root here cannot become an ordinary user";
    EXPECT_EQ(outcome, SaveOutcome::RefusedForPermission);
    EXPECT_EQ(test::readBytes(path), "alt");
    EXPECT_EQ(folder.entries("nurlesen"), std::vector<std::string>{"Szene.lvx"});
}

// A file without write permission is not replaced by the rename, which needs only the
// folder's permission.
TEST(AtomicFile, WriteProtectedFileIsKeptNotReplaced)
{
    TempFolder folder;
    const std::string path = folder.path("Szene.lvx");
    test::writeBytes(path, "alter Inhalt");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(folder.root().c_str(), 0777), 0); // the folder itself stays writable

    const SaveOutcome outcome = saveAsOrdinaryUser(path);
    if (outcome == SaveOutcome::NotRun)
        GTEST_SKIP() << "root here cannot become an ordinary user";
    EXPECT_EQ(outcome, SaveOutcome::RefusedForPermission);
    EXPECT_EQ(test::readBytes(path), "alter Inhalt");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Szene.lvx"});
}

// A real write the kernel refuses: the process's file size limit stops the temporary
// file part-way, as a full disk would (the error is EFBIG rather than ENOSPC).
TEST(AtomicFile, KernelRefusesAWritePartWay)
{
    TempFolder folder;
    const std::string path = folder.path("Szene.lvx");
    test::writeBytes(path, "alter Inhalt");
    SceneParams big;
    big.text = std::string(5000, 'x');

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool saved = saveSettings(path, big, &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "Die Datei ist zu groß für den Datenträger.");
    EXPECT_EQ(test::readBytes(path), "alter Inhalt");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Szene.lvx"});
}

TEST(AtomicFile, ReadSmallFileStopsAtTheLimit)
{
    TempFolder folder;
    const std::string path = folder.path("f");
    test::writeBytes(path, std::string(300000, 'a'));
    std::string bytes = "vorher";
    EXPECT_EQ(readSmallFile(path, 299999, bytes), ReadStatus::TooLarge);
    EXPECT_EQ(bytes, "vorher");
    EXPECT_EQ(readSmallFile(path, 300000, bytes), ReadStatus::Ok);
    EXPECT_EQ(bytes, std::string(300000, 'a'));
    EXPECT_EQ(readSmallFile(path, 0, bytes), ReadStatus::TooLarge);
}

} // namespace
} // namespace lumivex
