// themegen: draws the "Liquid Aluminum" theme's images into a directory, or the player's icon.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "Artwork.h"
#include "Icon.h"

namespace {
const char* const g_Usage =
    "Usage: themegen OUTPUT_DIR\n"
    "       themegen --icon SIZE OUTPUT.png\n"
    "Draws the \"Liquid Aluminum\" theme into OUTPUT_DIR (created if missing):\n"
    "  bg.png            300 x 350 background, RGB\n"
    "  volumeslider.png  256 x 64 slider picture, RGBA: bar in the left 7/8, knob in the right 1/8\n"
    "With --icon, draws the player's icon, SIZE x SIZE (16..1024) RGBA, into OUTPUT.png.\n"
    "The output is the same on every run.\n"
    "Options:\n"
    "  -h, --help        show this text and exit\n";

bool Write(const Canvas& p_Canvas, const std::filesystem::path& p_Path, bool p_WithAlpha)
{
    std::string l_Error;
    if (!p_Canvas.WritePng(p_Path.string(), p_WithAlpha, l_Error)) {
        std::fprintf(stderr, "themegen: cannot write '%s': %s\n", p_Path.string().c_str(), l_Error.c_str());
        return false;
    }
    return true;
}

// themegen --icon SIZE FILE
int WriteIcon(int p_Argc, char** p_Argv)
{
    if (p_Argc != 4) {
        std::fprintf(stderr, "themegen: --icon takes a size and an output file\n%s", g_Usage);
        return 2;
    }
    char* l_End = nullptr;
    const long l_Size = std::strtol(p_Argv[2], &l_End, 10);
    if (l_End == p_Argv[2] || *l_End != '\0' || l_Size < 16 || l_Size > 1024) {
        std::fprintf(stderr, "themegen: icon size '%s' is not a whole number from 16 to 1024\n", p_Argv[2]);
        return 2;
    }
    return Write(DrawIcon(static_cast<int>(l_Size)), p_Argv[3], true) ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--icon") == 0)
        return WriteIcon(argc, argv);
    const char* l_OutDir = nullptr;
    for (int l_I = 1; l_I < argc; ++l_I) {
        if (std::strcmp(argv[l_I], "-h") == 0 || std::strcmp(argv[l_I], "--help") == 0) {
            std::fputs(g_Usage, stdout);
            return 0;
        }
        if (argv[l_I][0] == '-' && argv[l_I][1] != '\0') {
            std::fprintf(stderr, "themegen: unknown option '%s'\n%s", argv[l_I], g_Usage);
            return 2;
        }
        if (l_OutDir != nullptr) {
            std::fprintf(stderr, "themegen: more than one output directory given ('%s')\n%s", argv[l_I],
                         g_Usage);
            return 2;
        }
        l_OutDir = argv[l_I];
    }
    if (l_OutDir == nullptr || l_OutDir[0] == '\0') {
        std::fprintf(stderr, "themegen: no output directory given\n%s", g_Usage);
        return 2;
    }

    std::filesystem::path l_Dir(l_OutDir);
    std::error_code l_Error;
    std::filesystem::create_directories(l_Dir, l_Error);
    if (l_Error || !std::filesystem::is_directory(l_Dir)) {
        std::fprintf(stderr, "themegen: cannot create directory '%s': %s\n", l_OutDir,
                     l_Error ? l_Error.message().c_str() : "a file of that name is in the way");
        return 1;
    }
    if (!Write(DrawBackground(), l_Dir / "bg.png", false))
        return 1;
    if (!Write(DrawVolumeSlider(), l_Dir / "volumeslider.png", true))
        return 1;
    return 0;
}
