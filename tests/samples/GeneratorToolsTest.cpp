// The two generators as programs: help, clear refusals, and the same output on every run.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "RunTool.h"
#include "SongBytes.h"

namespace {

const std::string SAMPLEGEN = Quoted(TW_SAMPLEGEN);
const std::string SONGGEN = Quoted(TW_SONGGEN);

TEST(GeneratorTools, HelpExitsCleanlyAndNamesTheOutputFolder)
{
    for (const std::string& l_Tool : {SAMPLEGEN, SONGGEN}) {
        const ToolResult l_Run = RunTool(l_Tool + " --help");
        EXPECT_EQ(l_Run.status, 0) << l_Tool;
        EXPECT_NE(l_Run.output.find("usage:"), std::string::npos) << l_Run.output;
        EXPECT_NE(l_Run.output.find("OUTPUT_DIR"), std::string::npos) << l_Run.output;
    }
}

TEST(GeneratorTools, RefuseMissingFoldersAndUnknownOptions)
{
    for (const std::string& l_Tool : {SAMPLEGEN, SONGGEN}) {
        const ToolResult l_None = RunTool(l_Tool);
        EXPECT_EQ(l_None.status, 2) << l_Tool;
        EXPECT_NE(l_None.output.find("give exactly one output folder"), std::string::npos) << l_None.output;

        const ToolResult l_Unknown = RunTool(l_Tool + " --loud somewhere");
        EXPECT_EQ(l_Unknown.status, 2) << l_Tool;
        EXPECT_NE(l_Unknown.output.find("unknown option --loud"), std::string::npos) << l_Unknown.output;
    }
}

TEST(GeneratorTools, ReportAFolderThatCannotBeMade)
{
    ScratchFolder l_Folder("blocked");
    const std::string l_File = l_Folder.Path() + "/plain-file";
    std::ofstream(l_File) << "not a folder";
    for (const std::string& l_Tool : {SAMPLEGEN, SONGGEN}) {
        const ToolResult l_Run = RunTool(l_Tool + " " + Quoted(l_File + "/out"));
        EXPECT_EQ(l_Run.status, 1) << l_Tool;
        EXPECT_NE(l_Run.output.find("cannot create folder"), std::string::npos) << l_Run.output;
    }
}

TEST(GeneratorTools, SamplegenWritesTheSameBytesEveryRun)
{
    // The build's data folder was written by an earlier run; a new run must match it exactly.
    ScratchFolder l_Folder("samplegen");
    const ToolResult l_Run = RunTool(SAMPLEGEN + " " + Quoted(l_Folder.Path()));
    ASSERT_EQ(l_Run.status, 0) << l_Run.output;
    for (int l_I = 0; l_I < 100; ++l_I) {
        const std::string l_File = "/melody/melody" + std::to_string(l_I) + ".wav";
        EXPECT_TRUE(ReadBytes(l_Folder.Path() + l_File) == ReadBytes(TW_DATA_DIR + l_File)) << l_File;
    }
    for (const char* l_Drum : {"Bass01", "Bass02", "Snare01", "Snare02", "Tom01", "HiClose", "HiOpen", "Crash",
                               "Per01", "Per02", "Bass03", "Tom02"}) {
        const std::string l_File = std::string("/percussion/") + l_Drum + ".wav";
        EXPECT_TRUE(ReadBytes(l_Folder.Path() + l_File) == ReadBytes(TW_DATA_DIR + l_File)) << l_File;
    }
}

}  // namespace
