#pragma once
// A fresh folder per test, removed with everything in it afterwards, and small helpers
// to put bytes into files and read them back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

} // namespace lumivex::test
