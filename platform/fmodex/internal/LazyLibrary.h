// Libraries of the system that the engine opens the first time it needs them instead of linking
// them: every linked library costs each program that starts with the engine milliseconds of
// dynamic loading, and most runs need few of them (an offline render needs no ALSA; the built-in
// instruments need no libsndfile). The renderer opens libsndfile so too, for FLAC and Ogg alone.
#ifndef TUNEWRIGHT_SOUND_LAZYLIBRARY_H
#define TUNEWRIGHT_SOUND_LAZYLIBRARY_H

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace SoundEngine {

// The library of that run-time name, or null when the system has none; never closed.
inline void* OpenLibrary(const char* p_Name)
{
#ifdef _WIN32
    return reinterpret_cast<void*>(LoadLibraryA(p_Name));
#else
    return dlopen(p_Name, RTLD_NOW | RTLD_LOCAL);
#endif
}

// Points p_Function at the library's function of that name; false when it has none.
template <class Function> bool FindFunction(void* p_Library, const char* p_Name, Function& p_Function)
{
#ifdef _WIN32
    // Through the generic function type, which the compiler accepts as a cast to any other.
    const FARPROC l_Found = GetProcAddress(static_cast<HMODULE>(p_Library), p_Name);
    p_Function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(l_Found));
#else
    p_Function = reinterpret_cast<Function>(dlsym(p_Library, p_Name));
#endif
    return p_Function != nullptr;
}

// The table of the library of that name (a type made by TW_LAZY_TABLE below), filled on the first
// call; null when the system has no such library or it lacks one of the functions.
template <class Api> const Api* LazyTable(const char* p_Name)
{
    static const Api* const s_Api = [p_Name] {
        static Api s_Table;
        return s_Table.Find(OpenLibrary(p_Name)) ? &s_Table : nullptr;
    }();
    return s_Api;
}

}  // namespace SoundEngine

// A table of a library's functions has one member per function, named and typed as the function,
// and Find, which fills it from the library, all or nothing:
//   #define MY_FUNCTIONS(X) X(foo_open) X(foo_close)
//   TW_LAZY_TABLE(MyApi, MY_FUNCTIONS)
#define TW_LAZY_MEMBER(p_Name) decltype(&::p_Name) p_Name = nullptr;
#define TW_LAZY_FIND(p_Name) l_Found = SoundEngine::FindFunction(p_Library, #p_Name, p_Name) && l_Found;
// clang-format off
#define TW_LAZY_TABLE(p_Type, p_Functions)         \
    struct p_Type                                  \
    {                                              \
        p_Functions(TW_LAZY_MEMBER)                \
        bool Find(void* p_Library)                 \
        {                                          \
            bool l_Found = p_Library != nullptr;   \
            p_Functions(TW_LAZY_FIND)              \
            return l_Found;                        \
        }                                          \
    };
// clang-format on

#endif
