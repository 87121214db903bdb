#ifndef TUNEWRIGHT_TESTS_TEMPDIR_H
#define TUNEWRIGHT_TESTS_TEMPDIR_H

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#endif

namespace OrgTest {

// Makes a new directory p_Prefix-XXXXXX under the system's temporary directory; its path, or ""
// when none could be made.
inline std::string MakeTempDirectory(const std::string& p_Prefix)
{
    const std::string l_Template = (std::filesystem::temp_directory_path() / (p_Prefix + "-XXXXXX")).string();
#ifdef _WIN32
    // No mkdtemp there: a name that is free now, taken only if the directory's creation succeeds.
    for (int l_Try = 0; l_Try < 26; ++l_Try) {
        std::string l_Name = l_Template;
        if (_mktemp_s(l_Name.data(), l_Name.size() + 1) == 0 && _mkdir(l_Name.c_str()) == 0)
            return l_Name;
    }
    return "";
#else
    std::string l_Name = l_Template;
    return mkdtemp(l_Name.data()) != nullptr ? l_Name : "";
#endif
}

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir
{
public:
    TempDir() : m_Path(MakeTempDirectory("tunewright")) {}
    ~TempDir()
    {
        std::error_code l_Ignored;
        std::filesystem::remove_all(m_Path, l_Ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& p_Name = "") const
    {
        return p_Name.empty() ? m_Path : m_Path + "/" + p_Name;
    }

private:
    std::string m_Path;
};

}  // namespace OrgTest

#endif
