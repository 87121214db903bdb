#include "BankSource.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "MelodyBank.h"
#include "Percussion.h"

namespace SampleGen {

namespace {

void WriteArray(std::FILE* p_File, const char* p_Name, const std::vector<std::int16_t>& p_Pcm)
{
    std::fprintf(p_File, "const std::int16_t %s[%zu] = {", p_Name, p_Pcm.size());
    for (std::size_t l_I = 0; l_I < p_Pcm.size(); ++l_I)
        std::fprintf(p_File, "%s%d,", l_I % 16 == 0 ? "\n" : "", p_Pcm[l_I]);
    std::fputs("\n};\n", p_File);
}

}  // namespace

bool WriteBankSource(const std::string& p_Path, bool p_WithDrums, std::string& p_Error)
{
    std::vector<std::vector<std::int16_t>> l_Cycles;
    if (!RenderMelodyBank(l_Cycles, p_Error))
        return false;
    const std::vector<Drum> l_Drums = p_WithDrums ? PercussionBank() : std::vector<Drum>();

    std::FILE* l_File = std::fopen(p_Path.c_str(), "w");
    if (l_File == nullptr) {
        p_Error = "cannot write " + p_Path;
        return false;
    }
    std::fprintf(l_File,
                 "// The instrument bank%s, written by samplegen at build time. Do not edit.\n"
                 "#include \"BuiltinBank.h\"\n\nnamespace Org {\nnamespace BuiltinBank {\nnamespace {\n\n",
                 p_WithDrums ? "" : "'s melody waveforms");
    char l_Name[32];
    for (std::size_t l_I = 0; l_I < l_Cycles.size(); ++l_I) {
        std::snprintf(l_Name, sizeof l_Name, "MELODY_%zu", l_I);
        WriteArray(l_File, l_Name, l_Cycles[l_I]);
    }
    for (std::size_t l_I = 0; l_I < l_Drums.size(); ++l_I) {
        std::snprintf(l_Name, sizeof l_Name, "DRUM_%zu", l_I);
        WriteArray(l_File, l_Name, l_Drums[l_I].pcm);
    }
    std::fprintf(l_File, "\nconst Sample MELODY_BANK[%zu] = {\n", l_Cycles.size());
    for (std::size_t l_I = 0; l_I < l_Cycles.size(); ++l_I)
        std::fprintf(l_File, "    {MELODY_%zu, %zu, %u},\n", l_I, l_Cycles[l_I].size(),
                     unsigned(MELODY_RATE));
    std::fputs("};\n", l_File);
    if (p_WithDrums) {
        std::fprintf(l_File, "\nconst Sample PERCUSSION_BANK[%zu] = {\n", l_Drums.size());
        for (std::size_t l_I = 0; l_I < l_Drums.size(); ++l_I)
            std::fprintf(l_File, "    {DRUM_%zu, %zu, %u},  // %s\n", l_I, l_Drums[l_I].pcm.size(),
                         unsigned(DRUM_RATE), l_Drums[l_I].fileName.c_str());
        std::fputs("};\n", l_File);
    }
    std::fputs(
        "\n}  // namespace\n\nconst Sample& Melody(int p_Index)\n{\n    return MELODY_BANK[p_Index];\n}\n",
        l_File);
    if (p_WithDrums)
        std::fputs("\nconst Sample& Percussion(int p_Index)\n{\n    return PERCUSSION_BANK[p_Index];\n}\n",
                   l_File);
    std::fputs("\n}  // namespace BuiltinBank\n}  // namespace Org\n", l_File);
    const bool l_Ok = std::ferror(l_File) == 0;
    if (std::fclose(l_File) != 0 || !l_Ok) {
        p_Error = "cannot write " + p_Path;
        return false;
    }
    return true;
}

}  // namespace SampleGen
