#pragma once
// A fresh folder per test, removed with everything in it afterwards, and small helpers
// to put bytes into files and read them back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumivex::test {

class TempFolder {
public:
    TempFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumivex-files-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed for " << pattern;
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        // Folders a test made read-only must be writable again before they can be emptied.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored)) {
            if (entry.is_directory(ignored))
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                    std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path(const std::string& name) const { return m_path + "/" + name; }
    const std::string& root() const { return m_path; }

    // Names in the folder, sorted; shows any temporary file a write left behind.
    std::vector<std::string> entries(const std::string& sub = {}) const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(sub.empty() ? m_path : path(sub)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "could not write " << path;
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

// Exit code of withoutPrivileges when the privileges could not be given up.
constexpr int kNoUnprivilegedRun = 99;

// Runs `check` under file permissions as an ordinary user meets them: directly when this
// process is no superuser, otherwise in a child process that has become the user and
// group "nobody" (65534) first, so that permission tests run under root too. Returns
// what `check` returns (0 to 98), or kNoUnprivilegedRun. The folders `check` works in
// must be reachable for that user.
inline int withoutPrivileges(const std::function<int()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child < 0)
        return kNoUnprivilegedRun;
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(kNoUnprivilegedRun);
        ::_exit(check());
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : kNoUnprivilegedRun;
}

} // namespace lumivex::test
