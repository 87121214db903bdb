// The Windows player's entry: splits the command line the way Windows programs do (quotes group
// words and are removed, as CommandLineToArgvW does), puts the program's own path first, and runs
// the player's _main. The words are read as wide characters and handed on in UTF-8, so that any
// path Explorer passes, whatever its characters, reaches the song loader intact; the library
// opens such paths through their wide form.
#ifdef _WIN32
#include <windows.h>
// after windows.h, whose types it uses
#include <shellapi.h>

#include <cstdlib>
#include <string>

int _main(int argc, char** argv);

namespace {

// p_Wide in UTF-8, in memory that lives until the program ends.
char* ToUtf8(const wchar_t* p_Wide)
{
    const int l_Bytes = WideCharToMultiByte(CP_UTF8, 0, p_Wide, -1, nullptr, 0, nullptr, nullptr);
    char* l_Text = static_cast<char*>(std::malloc(l_Bytes > 0 ? std::size_t(l_Bytes) : 1));
    if (l_Text == nullptr)
        return nullptr;
    l_Text[0] = '\0';
    if (l_Bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, p_Wide, -1, l_Text, l_Bytes, nullptr, nullptr);
    return l_Text;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The whole line, program name first; that first word is replaced by the module's path.
    int l_Words = 0;
    wchar_t** l_Wide = CommandLineToArgvW(GetCommandLineW(), &l_Words);
    if (l_Wide == nullptr)
        return 1;
    const int l_Count = l_Words > 1 ? l_Words : 1;

    char** l_Arguments = static_cast<char**>(std::malloc(sizeof(char*) * std::size_t(l_Count + 1)));
    if (l_Arguments == nullptr)
        return 1;
    for (int i = 1; i < l_Count; ++i) {
        l_Arguments[i] = ToUtf8(l_Wide[i]);
        if (l_Arguments[i] == nullptr)
            return 1;
    }
    l_Arguments[l_Count] = nullptr;

    // The module's path in UTF-8 too: the ANSI code page may not spell its folder's name.
    static wchar_t l_Program[32768];
    const DWORD l_Got = GetModuleFileNameW(nullptr, l_Program, sizeof(l_Program) / sizeof(l_Program[0]));
    l_Arguments[0] =
        ToUtf8(l_Got > 0 && l_Got < sizeof(l_Program) / sizeof(l_Program[0]) ? l_Program : l_Wide[0]);
    if (l_Arguments[0] == nullptr)
        return 1;
    LocalFree(l_Wide);

    const int l_Result = _main(l_Count, l_Arguments);
    for (int i = 0; i < l_Count; ++i)
        std::free(l_Arguments[i]);
    std::free(l_Arguments);
    return l_Result;
}
#endif
