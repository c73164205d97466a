#pragma once
// Whole files or nothing.
//
// writeFileAtomically puts the bytes into a temporary file in the target's own folder
// (".<name>.<random>.tmp"), flushes it to disk, closes it and renames it over the
// target. Every step is checked; on any failure the temporary file is removed again and
// an existing target keeps its old content. A target that is a symbolic link is written
// through to the file the link names, and an existing file keeps its permission bits.
// An existing file this process may not write to is refused, not replaced.
//
// readSmallFile reads a regular file with a bound: it never takes more than the limit
// plus one byte, whatever the file's size claims, and refuses folders, pipes and devices
// before reading anything (opening does not wait for a pipe's writer).
//
// Error texts are short German reasons for the user, without the file name.

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace lumivex {

// The system calls the writer makes, with the system's contract (-1 and errno on
// failure). Tests derive from it to make one chosen call fail.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
};

FileSystem& systemFileSystem();

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr,
    FileSystem& fs = systemFileSystem());

enum class ReadStatus {
    Ok,
    Failed,   // could not be opened or read, or is no regular file; see the error text
    TooLarge, // holds more than the limit; nothing is handed back
};

ReadStatus readSmallFile(const std::string& path, std::size_t maxSize, std::string& bytes,
    std::string* error = nullptr);

enum class FileAction { Read, Write };

// The German reason for an errno value met while reading or writing a file.
std::string describeFileError(int errorNumber, FileAction action);

} // namespace lumivex
