#ifndef TUNEWRIGHT_TESTS_TEMPDIR_H
#define TUNEWRIGHT_TESTS_TEMPDIR_H

#include <cstdlib>
#include <filesystem>
#include <string>

namespace OrgTest {

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir()
    {
        std::string l_Template = (std::filesystem::temp_directory_path() / "tunewright-XXXXXX").string();
        m_Path = mkdtemp(l_Template.data());
    }
    ~TempDir()
    {
        std::error_code l_Ignored;
        std::filesystem::remove_all(m_Path, l_Ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& p_Name = "") const { return p_Name.empty() ? m_Path : m_Path + "/" + p_Name; }

private:
    std::string m_Path;
};

}  // namespace OrgTest

#endif
