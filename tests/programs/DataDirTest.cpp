// Where the programs look for their data, and the paths they are given.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

#include "DataDir.h"
#include "OrgFileBuilder.h"
#include "TempDir.h"

TEST(DataDir, SamplesAreTheFirstMelodyFileAndAPercussionFolder)
{
    EXPECT_TRUE(HasSamples(TUNEWRIGHT_DATA_DIR));
    OrgTest::TempDir l_Dir;
    EXPECT_FALSE(HasSamples(l_Dir.Path()));
    std::filesystem::create_directory(l_Dir.Path("melody"));
    OrgTest::WriteFile(l_Dir.Path("melody/melody0.wav"), {'R'});
    EXPECT_FALSE(HasSamples(l_Dir.Path()));  // no percussion
    OrgTest::WriteFile(l_Dir.Path("percussion"), {'R'});
    EXPECT_FALSE(HasSamples(l_Dir.Path()));  // a file, not a folder
    std::filesystem::remove(l_Dir.Path("percussion"));
    std::filesystem::create_directory(l_Dir.Path("percussion"));
    EXPECT_TRUE(HasSamples(l_Dir.Path()));
    std::filesystem::remove(l_Dir.Path("melody/melody0.wav"));
    EXPECT_FALSE(HasSamples(l_Dir.Path()));
}

TEST(DataDir, AFolderToRunInHasAGfxOrAMelodyFolder)
{
    OrgTest::TempDir l_Dir;
    EXPECT_FALSE(HasDataFolders(l_Dir.Path()));
    OrgTest::WriteFile(l_Dir.Path("gfx"), {'x'});
    EXPECT_FALSE(HasDataFolders(l_Dir.Path()));
    std::filesystem::remove(l_Dir.Path("gfx"));
    std::filesystem::create_directory(l_Dir.Path("gfx"));
    EXPECT_TRUE(HasDataFolders(l_Dir.Path()));
    std::filesystem::remove(l_Dir.Path("gfx"));
    std::filesystem::create_directory(l_Dir.Path("melody"));
    EXPECT_TRUE(HasDataFolders(l_Dir.Path()));
}

TEST(DataDir, ARelativePathIsMadeAbsoluteAgainstTheWorkingDirectory)
{
    char l_Here[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(l_Here, sizeof l_Here));
    OrgTest::TempDir l_Dir;
    const std::string l_Real = std::filesystem::canonical(l_Dir.Path()).string();
    ASSERT_TRUE(ChangeDirectory(l_Real));
    EXPECT_EQ(l_Real + "/songs/a.org", AbsolutePath("songs/a.org"));
    EXPECT_EQ("/etc/a.org", AbsolutePath("/etc/a.org"));
    EXPECT_EQ("", AbsolutePath(""));
    ASSERT_TRUE(ChangeDirectory(l_Here));
    errno = 0;
    EXPECT_FALSE(ChangeDirectory(l_Dir.Path("missing")));
    EXPECT_EQ(ENOENT, errno);
}
