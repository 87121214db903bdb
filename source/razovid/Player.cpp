// The player: opens the themed window, plays the song named by the last argument through the
// sampler, and runs until the window is closed.
#include "Player.h"

#include <SDL.h>
#ifdef _WIN32
#include <SDL_syswm.h>
#include <windows.h>
#endif

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AudioDevice.h"
#include "DataDir.h"
#include "Expand.h"
#include "GraphicsOpenGL.h"
#include "OrgSong.h"
#include "PrintableText.h"
#include "SongInput.h"
#include "SongMagic.h"
#include "Themes.h"
#include "Widgets.h"

float g_White[4] = {1.0f, 1.0f, 1.0f, 1.0f};
Org::Sampler* sampler = nullptr;

void VolumeRegister(float Current) { sampler->SetMasterVolume(Current); }

namespace {

const char* const g_Usage = "usage: tunewright-player SONG.org\n";

const char* const g_Help =
    "Plays an Org-02 song in a window until the window is closed; drag the slider for the volume.\n"
    "The samples, font and themes are read from the working directory when it has gfx/ or melody/,\n"
    "otherwise from the installed data.\n"
    "  --help     this text\n"
    "  --version  the version\n";

// --help or --version among the arguments: prints the answer and ends with status 0, before
// any window or sound device is opened. Every other argument is left to be the song path.
void AnswerInfoRequest(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string l_Arg = argv[i];
        if (l_Arg == "--help") {
            std::fputs(g_Usage, stdout);
            std::fputs(g_Help, stdout);
            std::exit(0);
        }
        if (l_Arg == "--version") {
            std::puts("tunewright-player " TUNEWRIGHT_VERSION);
            std::exit(0);
        }
    }
}

// The samples, font and themes are read relative to the working directory. A player started
// anywhere but a data folder moves into the installed data instead, the song's path first made
// absolute so that it still names the file the user meant.
void MoveToDataIfNeeded(const char* p_Argv0, std::string& p_SongPath)
{
    if (HasDataFolders("."))
        return;
    const std::string l_Dir = FindDataDir(p_Argv0);
    if (l_Dir.empty()) {
        std::fputs(
            "cannot find the player's data (gfx/, melody/, percussion/): start it in its data folder\n",
            stderr);
        return;
    }
    const std::string l_Song = AbsolutePath(p_SongPath);
    if (!ChangeDirectory(l_Dir)) {
        std::fprintf(stderr, "cannot use the data folder '%s': %s\n", l_Dir.c_str(), std::strerror(errno));
        return;
    }
    p_SongPath = l_Song;
}

// The window's caption: p_Title in UTF-8. SDL gives Windows the caption in the ANSI code page, which
// spells few characters, so there the window takes it again in UTF-16, straight from the default
// window procedure (SetWindowTextW would go through SDL's ANSI window procedure and be narrowed).
void SetCaption(const char* p_Title)
{
    SDL_WM_SetCaption(p_Title, p_Title);
#ifdef _WIN32
    SDL_SysWMinfo l_Info;
    SDL_VERSION(&l_Info.version);
    const int l_Length = MultiByteToWideChar(CP_UTF8, 0, p_Title, -1, nullptr, 0);
    if (SDL_GetWMInfo(&l_Info) != 1 || l_Length <= 0)
        return;
    std::vector<wchar_t> l_Wide(static_cast<std::size_t>(l_Length));
    MultiByteToWideChar(CP_UTF8, 0, p_Title, -1, l_Wide.data(), l_Length);
    DefWindowProcW(l_Info.window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(l_Wide.data()));
#endif
}

// The theme list holds every entry of "./gfx/" in the directory's own order, the font file
// among them; start with the first entry that really is a theme, so that the look does not
// depend on that order. 0 when none is.
int FirstTheme()
{
    for (std::size_t i = 0; i < g_Themes.size(); ++i) {
        std::FILE* l_Background = std::fopen(("./gfx/" + g_Themes[i] + "/bg.png").c_str(), "rb");
        if (l_Background != nullptr) {
            std::fclose(l_Background);
            return static_cast<int>(i);
        }
    }
    return 0;
}

// Why bytes that were read are not a whole song; empty when they are one.
std::string SongProblem(const std::vector<std::uint8_t>& p_Bytes)
{
    if (p_Bytes.empty())
        return "the file is empty";
    switch (Org::CheckSongBytes(p_Bytes.data(), p_Bytes.size())) {
    case Org::SongBytes::NOT_A_SONG:
        return "it is not an Org-02 song (it begins with \"" + SongStart(p_Bytes) + "\")";
    case Org::SongBytes::TRUNCATED:
        return "it holds " + std::to_string(p_Bytes.size()) +
               " bytes, fewer than its own note counts declare: it is cut short or damaged";
    case Org::SongBytes::WHOLE:
        break;
    }
    return {};
}

// Opens the 300 x 350 window with its caption and the first theme; ends the program when there is
// no window to open.
void OpenWindow(const char* p_Caption)
{
    SDL_Init(0);
    g_GfxOut = new GraphicsOpenGL;
    if (!g_GfxOut->Init(300, 350, 32)) {
        // Init has said why. SDL may have started a text-mode video driver before the window
        // failed (with no X server), one that switched the terminal to its alternate screen
        // and turned mouse reporting on: shutting SDL down gives the terminal back.
        SDL_Quit();
        std::exit(1);  // like the quit event, end without unwinding main
    }
    SetCaption(p_Caption);
    GetThemes();
    SetTheme(FirstTheme(), g_GfxOut);
}

// Reads the song at p_Path into p_Song: a song that cannot be read plays as the blank song (or as
// much of it as there is), and the player says why, naming it p_Name.
void LoadSong(const std::string& p_Path, const char* p_Name, Org::OrgSong& p_Song)
{
    std::vector<std::uint8_t> l_SongBytes;
    std::string l_Problem;
    const bool l_Read = Org::ReadSongInput(p_Path, l_SongBytes, l_Problem);
    p_Song.LoadFromMemory(l_SongBytes.data(), l_SongBytes.size());
    if (l_Read)
        l_Problem = SongProblem(l_SongBytes);
    if (!l_Problem.empty())
        std::fprintf(stderr, "cannot read song '%s': %s\n", PrintableText(p_Name).c_str(), l_Problem.c_str());
}

// Hands the window's pending mouse events to the widgets; ends the program when it is closed.
void HandleEvents(const std::vector<Widget*>& p_Widgets)
{
    SDL_Event l_Event;
    while (SDL_PollEvent(&l_Event)) {
        switch (l_Event.type) {
        case SDL_MOUSEMOTION:
            for (Widget* l_Widget : p_Widgets)
                l_Widget->RegisterMouseMotion();
            break;
        case SDL_MOUSEBUTTONDOWN:
            for (Widget* l_Widget : p_Widgets)
                l_Widget->RegisterMouseDown();
            break;
        case SDL_MOUSEBUTTONUP:
            for (Widget* l_Widget : p_Widgets)
                l_Widget->RegisterMouseUp();
            break;
        case SDL_QUIT:
            std::exit(0);
        default:
            break;
        }
    }
}

// One frame: the theme's background, the song's path and the widgets.
void DrawFrame(wchar_t* p_Music, const std::vector<Widget*>& p_Widgets)
{
    g_GfxOut->DrawRect(g_ThemeBitmaps[BACKGROUND], TextureCoord(), RectangleShape(300, 350), g_White);
    g_GfxOut->DrawText(p_Music, false, Position(150, 100), FONT_CENTER);
    for (Widget* l_Widget : p_Widgets)
        l_Widget->Draw();
    g_GfxOut->Update();
}

}  // namespace

#ifdef _WIN32
int _main(int argc, char** argv)
#else
int main(int argc, char** argv)
#endif
{
    if (argc < 2) {
        std::fputs(g_Usage, stderr);
        return 2;
    }
    AnswerInfoRequest(argc, argv);
    std::string l_SongPath = argv[argc - 1];
    MoveToDataIfNeeded(argv[0], l_SongPath);

    float l_Volume = 0.5f;
    std::vector<Widget*> l_WidgetList;
    wchar_t* music = Expand(argv[argc - 1]);

    l_WidgetList.push_back(new VolumeSlider(0.0f, 1.0f, 0.5f, VolumeRegister));
    l_WidgetList.back()->SetDimensions(45, 235, 200, 50);

    OpenWindow(argv[argc - 1]);
    InitFMOD();
    sampler = new Org::Sampler;

    Org::OrgSong song;
    LoadSong(l_SongPath, argv[argc - 1], song);
    song.Play();
    sampler->SetMasterVolume(l_Volume);

    Org::SampleData sd;
    for (;;) {
        if (song.cursorUpdated) {
            for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
                sd = song.GetNoteHit(l_Track);
                sampler->HitNote(sd);
            }
        }
        sampler->Update(song.Update());
        HandleEvents(l_WidgetList);
        DrawFrame(music, l_WidgetList);
    }
}
