// Plays arbitrary bytes as a song the whole way a listener hears it: loaded from memory, its
// notes struck through the sampler into the engine's non-real-time output for a few hundred
// milliseconds, mixed one 1 ms block at a time, then again from the edge beats (the start, both
// loop points, the last beats a position can hold). Nothing is written; the sampler reads its
// samples once, from the data folder.
// Run it with -close_fd_mask=3: loads and engine errors report themselves.
#include <fmod.h>

#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "OrgDevice.h"
#include "OrgSong.h"
#include "Sampler.h"

namespace {

constexpr int kRate = 48000;
constexpr unsigned kBlockFrames = kRate / 1000;
constexpr int kPlayMs = 300;
constexpr int kEdgeMs = 20;

Org::Sampler* g_Sampler = nullptr;

void Check(FMOD_RESULT p_Result)
{
    if (p_Result != FMOD_OK)
        std::abort();
}

void StartEngine()
{
    Check(FMOD_System_Create(&Org::Device));
    Check(FMOD_System_SetOutput(Org::Device, FMOD_OUTPUTTYPE_NOSOUND_NRT));
    Check(FMOD_System_SetSoftwareFormat(Org::Device, kRate, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                        FMOD_DSP_RESAMPLER_LINEAR));
    Check(FMOD_System_SetDSPBufferSize(Org::Device, kBlockFrames, 4));
    Check(FMOD_System_Init(Org::Device, 32, FMOD_INIT_NORMAL, nullptr));
    Check(FMOD_System_GetMasterChannelGroup(Org::Device, &Org::MasterCG));
}

// p_Ms milliseconds of the song from where its clock stands at p_Tick, as the renderer plays
// it: notes of a new beat are struck, then one block is mixed. Returns the tick reached.
unsigned long Play(Org::OrgSong& p_Song, unsigned long p_Tick, int p_Ms)
{
    for (int l_Ms = 0; l_Ms < p_Ms; ++l_Ms) {
        if (p_Song.cursorUpdated)
            for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
                g_Sampler->HitNote(p_Song.GetNoteHit(l_Track));
        g_Sampler->Update(p_Song.Update(++p_Tick));
    }
    return p_Tick;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    StartEngine();
    g_Sampler = new Org::Sampler(FuzzTest::DataDir());
    g_Sampler->SetMasterVolume(0.5f);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* p_Data, std::size_t p_Size)
{
    const std::vector<std::uint8_t> l_Bytes = FuzzTest::CapDeclaredEvents(p_Data, p_Size);
    Org::OrgSong l_Song(l_Bytes.data(), l_Bytes.size());
    l_Song.Play();
    l_Song.Update(1);
    unsigned long l_Tick = Play(l_Song, 1, kPlayMs);
    const unsigned int l_Stop = l_Song.GetLoopStop();
    const unsigned int l_Edges[] = {0u, l_Song.GetLoopStart(), l_Stop - 1, l_Stop, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (unsigned int l_Beat : l_Edges) {
        l_Song.SetCursor(l_Beat);
        l_Tick = Play(l_Song, l_Tick, kEdgeMs);
    }
    // Every voice ends with the input: closing and starting the engine again empties them, and
    // the sampler's channels go stale, as they may in any run.
    Check(FMOD_System_Close(Org::Device));
    Check(FMOD_System_Init(Org::Device, 32, FMOD_INIT_NORMAL, nullptr));
    return 0;
}
