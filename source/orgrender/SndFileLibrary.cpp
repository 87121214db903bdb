#include "SndFileLibrary.h"

const SndFileWriterApi* SndFileWriter(const char*& p_Name)
{
#ifdef _WIN32
    // The Windows build links it: its libsndfile has no codec libraries to load.
    p_Name = "libsndfile-1.dll";
#define TW_SNDFILE_LINKED(p_Function) l_Table.p_Function = &::p_Function;
    static const SndFileWriterApi s_Table = [] {
        SndFileWriterApi l_Table;
        TW_SNDFILE_WRITER_FUNCTIONS(TW_SNDFILE_LINKED)
        return l_Table;
    }();
    return &s_Table;
#else
    p_Name = "libsndfile.so.1";
    return SoundEngine::LazyTable<SndFileWriterApi>(p_Name);
#endif
}
