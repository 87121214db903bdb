#include "Themes.h"

#include <dirent.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <SDL_image.h>

void* g_ThemeBitmaps[12] = {};
std::string g_CurrentTheme = "Liquid Aluminum";
std::vector<std::string> g_Themes;

namespace {
const char* const g_ThemeRoot = "./gfx/";

// Loads one image of the current theme; a missing or undecodable file gives a null handle.
void* LoadThemeImage(const char* p_FileName, GraphicsOutput* p_GfxOut)
{
    std::string l_Path = g_ThemeRoot + g_CurrentTheme + "/" + p_FileName;
    SDL_Surface* l_Surface = IMG_Load(l_Path.c_str());
    if (l_Surface == nullptr)
        return nullptr;
    return p_GfxOut->LoadTexture(l_Surface);  // takes the surface over
}
}  // namespace

void GetThemes()
{
    g_Themes.clear();
    // Listing order is kept: nothing sorts, so index 0 is whatever the file system gives first.
#ifdef _WIN32
    // Windows lists the folder through its wide functions: the ANSI ones make the path absolute in
    // the ANSI code page first, which cannot spell every folder the player may be unpacked in.
    _WDIR* l_Dir = _wopendir(L"./gfx/");
    if (l_Dir == nullptr)
        return;
    while (_wdirent* l_Entry = _wreaddir(l_Dir)) {
        if (l_Entry->d_name[0] == L'.')
            continue;
        const int l_Bytes =
            WideCharToMultiByte(CP_UTF8, 0, l_Entry->d_name, -1, nullptr, 0, nullptr, nullptr);
        std::string l_Name(l_Bytes > 0 ? std::size_t(l_Bytes) : 1, '\0');
        if (l_Bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, l_Entry->d_name, -1, &l_Name[0], l_Bytes, nullptr, nullptr);
        l_Name.resize(l_Name.size() - 1);
        g_Themes.push_back(l_Name);
    }
    _wclosedir(l_Dir);
#else
    DIR* l_Dir = opendir(g_ThemeRoot);
    if (l_Dir == nullptr)
        return;
    while (dirent* l_Entry = readdir(l_Dir)) {
        if (l_Entry->d_name[0] == '.')
            continue;
        g_Themes.push_back(l_Entry->d_name);
    }
    closedir(l_Dir);
#endif
}

void SetTheme(int p_ThemeID, GraphicsOutput* p_GfxOut)
{
    if (p_ThemeID < 0 || static_cast<std::size_t>(p_ThemeID) >= g_Themes.size() || p_GfxOut == nullptr)
        return;
    g_CurrentTheme = g_Themes[p_ThemeID];
    g_ThemeBitmaps[BACKGROUND] = LoadThemeImage("bg.png", p_GfxOut);
    g_ThemeBitmaps[VOLUMESLIDER] = LoadThemeImage("volumeslider.png", p_GfxOut);
}
