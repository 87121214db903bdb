#include "SndFileLibrary.h"

namespace {

#ifdef _WIN32
// The Windows build links it: its libsndfile has no codec libraries to load.
constexpr const char* kName = "libsndfile-1.dll";
#define TW_SNDFILE_LINKED(p_Name) p_Table.p_Name = &::p_Name;

bool FindSndFile(SndFileWriterApi& p_Table)
{
    TW_SNDFILE_WRITER_FUNCTIONS(TW_SNDFILE_LINKED)
    return true;
}
#else
constexpr const char* kName = "libsndfile.so.1";

bool FindSndFile(void* p_Library, SndFileWriterApi& p_Table)
{
    bool l_Found = p_Library != nullptr;
    TW_SNDFILE_WRITER_FUNCTIONS(TW_LAZY_FIND)
    return l_Found;
}
#endif

}  // namespace

const SndFileWriterApi* SndFileWriter(const char*& p_Name)
{
    p_Name = kName;
    static const SndFileWriterApi* const s_Api = [] {
        static SndFileWriterApi s_Table;
#ifdef _WIN32
        return FindSndFile(s_Table) ? &s_Table : nullptr;
#else
        return FindSndFile(SoundEngine::OpenLibrary(kName), s_Table) ? &s_Table : nullptr;
#endif
    }();
    return s_Api;
}
