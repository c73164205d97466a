#include "files/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {

int FileSystem::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t FileSystem::write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int FileSystem::fsync(int fd) { return ::fsync(fd); }
int FileSystem::close(int fd) { return ::close(fd); }
int FileSystem::rename(const char* from, const char* to) { return ::rename(from, to); }
int FileSystem::unlink(const char* path) { return ::unlink(path); }

FileSystem& systemFileSystem()
{
    static FileSystem system;
    return system;
}

std::string describeFileError(int errorNumber, FileAction action)
{
    switch (errorNumber) {
    case ENOENT:
        return action == FileAction::Read ? "Die Datei existiert nicht." : "Der Ordner existiert nicht.";
    case EACCES:
    case EPERM:
        return "Keine Berechtigung.";
    case ENOSPC:
        return "Der Datenträger ist voll.";
    case EDQUOT:
        return "Das Speicherkontingent ist erschöpft.";
    case EFBIG:
        return "Die Datei ist zu groß für den Datenträger.";
    case EROFS:
        return "Der Datenträger ist schreibgeschützt.";
    case EISDIR:
        return "Das ist ein Ordner, keine Datei.";
    case ENOTDIR:
        return "Ein Teil des Pfades ist kein Ordner.";
    case ENAMETOOLONG:
        return "Der Dateiname ist zu lang.";
    case ELOOP:
        return "Der Pfad enthält zu viele symbolische Verknüpfungen.";
    case EIO:
        return "Ein Ein-/Ausgabefehler ist aufgetreten.";
    case EBUSY:
    case ETXTBSY:
        return "Die Datei wird gerade verwendet.";
    case EMFILE:
    case ENFILE:
        return "Es sind zu viele Dateien geöffnet.";
    case ENOMEM:
        return "Nicht genügend Arbeitsspeicher.";
    default:
        break;
    }
    return (action == FileAction::Read ? "Die Datei konnte nicht gelesen werden (Fehler "
                                       : "Die Datei konnte nicht geschrieben werden (Fehler ")
        + std::to_string(errorNumber) + ").";
}

namespace {

bool fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return false;
}

std::string uniqueSuffix()
{
    static std::atomic<std::uint32_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t mixed = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 20)
        ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ (static_cast<std::uint64_t>(counter++) * 0x9E3779B97F4A7C15u);
    mixed ^= mixed >> 29;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(mixed));
    return std::string(text, 10);
}

// The file a write should replace: a symbolic link is followed to the file it names,
// so the link stays a link. A dangling link is replaced like any path.
std::string resolveTarget(const std::string& path)
{
    struct stat info{};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// Makes the rename itself durable. The file is in place already, so a failure here
// changes nothing about the outcome.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error, FileSystem& fs)
{
    if (path.empty())
        return fail(error, describeFileError(ENOENT, FileAction::Write));

    const std::string target = resolveTarget(path);
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return fail(error, describeFileError(EISDIR, FileAction::Write));

    mode_t mode = 0666;
    bool keepMode = false;
    struct stat info{};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return fail(error, describeFileError(EISDIR, FileAction::Write));
        // Renaming over a device or a pipe would replace it with a plain file.
        if (!S_ISREG(info.st_mode))
            return fail(error, "Das Ziel ist keine gewöhnliche Datei.");
        // The rename needs only the folder's permission; a file that may not be written
        // to stays as it is, just as opening it for writing would fail.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return fail(error, describeFileError(errno, FileAction::Write));
        mode = info.st_mode & 07777;
        keepMode = true;
    }

    // The temporary name stays within the length a folder entry may have.
    const std::string tempStem = folder + "." + name.substr(0, 200) + ".";
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = tempStem + uniqueSuffix() + ".tmp";
        fd = fs.open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(error, describeFileError(errno, FileAction::Write));

    const auto abandon = [&](int errorNumber, bool open) {
        if (open)
            fs.close(fd);
        fs.unlink(temp.c_str());
        return fail(error, describeFileError(errorNumber, FileAction::Write));
    };

    if (keepMode)
        ::fchmod(fd, mode); // the umask narrowed the mode given to open

    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = fs.write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon(errno, true);
        }
        if (n == 0)
            return abandon(ENOSPC, true);
        written += static_cast<std::size_t>(n);
    }
    if (fs.fsync(fd) != 0)
        return abandon(errno, true);
    // The descriptor is gone after close, whether it succeeded or not.
    if (fs.close(fd) != 0)
        return abandon(errno, false);
    if (fs.rename(temp.c_str(), target.c_str()) != 0)
        return abandon(errno, false);
    syncFolder(folder);
    return true;
}

ReadStatus readSmallFile(const std::string& path, std::size_t maxSize, std::string& bytes, std::string* error)
{
    const auto failed = [&](std::string message) {
        fail(error, std::move(message));
        return ReadStatus::Failed;
    };
    if (path.empty())
        return failed(describeFileError(ENOENT, FileAction::Read));

    // Non-blocking, so that opening a pipe without a writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return failed(describeFileError(errno, FileAction::Read));

    struct stat info{};
    if (::fstat(fd, &info) != 0) {
        const int saved = errno;
        ::close(fd);
        return failed(describeFileError(saved, FileAction::Read));
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return failed(describeFileError(EISDIR, FileAction::Read));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return failed("Das ist keine gewöhnliche Datei.");
    }

    // The size stat reports is only a hint: the file may grow while it is read.
    std::string content;
    const std::size_t limit = maxSize + 1;
    content.resize(std::min<std::size_t>(limit, 64 * 1024));
    std::size_t filled = 0;
    while (filled < limit) {
        if (filled == content.size())
            content.resize(std::min(limit, content.size() * 2));
        const ssize_t n = ::read(fd, content.data() + filled, content.size() - filled);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int saved = errno;
            ::close(fd);
            return failed(describeFileError(saved, FileAction::Read));
        }
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (filled > maxSize)
        return ReadStatus::TooLarge;
    content.resize(filled);
    bytes = std::move(content);
    return ReadStatus::Ok;
}

} // namespace lumivex
