// The Windows player's entry: splits the command line after the program name at spaces (no
// quoting), puts the program's own path first, and runs the player's _main.
#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

int _main(int argc, char** argv);

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR p_CommandLine, int)
{
    int l_Count = 1;
    for (const char* l_At = p_CommandLine; *l_At != '\0';) {
        while (*l_At == ' ')
            ++l_At;
        if (*l_At == '\0')
            break;
        ++l_Count;
        while (*l_At != '\0' && *l_At != ' ')
            ++l_At;
    }

    char** l_Arguments = static_cast<char**>(std::malloc(sizeof(char*) * l_Count));
    if (l_Arguments == nullptr)
        return 1;
    int l_Next = 1;
    for (char* l_At = p_CommandLine; *l_At != '\0';) {
        while (*l_At == ' ')
            ++l_At;
        if (*l_At == '\0')
            break;
        l_Arguments[l_Next++] = l_At;
        while (*l_At != '\0' && *l_At != ' ')
            ++l_At;
        if (*l_At == ' ')
            *l_At++ = '\0';
    }
    char l_Program[MAX_PATH];
    GetModuleFileNameA(nullptr, l_Program, MAX_PATH);
    l_Arguments[0] = l_Program;

    const int l_Result = _main(l_Count, l_Arguments);
    std::free(l_Arguments);
    return l_Result;
}
#endif
