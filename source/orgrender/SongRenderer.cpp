#include "SongRenderer.h"

#include <fmod.h>
#include <fmod_errors.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "OrgDevice.h"
#include "OrgSong.h"
#include "SongInput.h"
#include "SongSamples.h"
#include "SongStepper.h"

namespace {

// The WAV output writes the file this many 1 ms blocks at a time.
constexpr int WAV_BLOCKS_PER_WRITE = 64;

// What went wrong writing the WAV file: the system's reason when the engine has one (it leaves it
// in errno for its output and file results), else the engine's own words.
std::string OutputError(const std::string& p_WavPath, FMOD_RESULT p_Result)
{
    const int l_Errno = errno;
    const bool l_System = (p_Result == FMOD_ERR_OUTPUT_INIT || p_Result == FMOD_ERR_FILE_BAD) && l_Errno != 0;
    return "cannot write " + p_WavPath + ": " +
           (l_System ? std::strerror(l_Errno) : FMOD_ErrorString(p_Result));
}

// Sets up the engine in the process-wide handles, writing its mix to p_WavPath one block per
// System_Update. The blocks are 1 ms long (rounded down to whole frames).
bool StartEngine(const std::string& p_WavPath, int p_Rate, int p_Resampler, std::string& p_Error)
{
    FMOD_RESULT l_Result = FMOD_System_Create(&Org::Device);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetOutput(Org::Device, FMOD_OUTPUTTYPE_WAVWRITER_NRT);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetSoftwareFormat(Org::Device, p_Rate, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                                 static_cast<FMOD_DSP_RESAMPLER>(p_Resampler));
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetSpeakerMode(Org::Device, FMOD_SPEAKERMODE_STEREO);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetDSPBufferSize(Org::Device, Org::SongStepper::BlockFrames(p_Rate),
                                                WAV_BLOCKS_PER_WRITE);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_Init(Org::Device, Org::SONG_VOICES, FMOD_INIT_NORMAL,
                                    const_cast<char*>(p_WavPath.c_str()));
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_GetMasterChannelGroup(Org::Device, &Org::MasterCG);
    if (l_Result != FMOD_OK) {
        p_Error = OutputError(p_WavPath, l_Result);
        return false;
    }
    return true;
}

// Releases the engine, which completes the WAV file; false, with the reason, when that fails.
bool StopEngine(const std::string& p_WavPath, std::string& p_Error)
{
    FMOD_RESULT l_Result = FMOD_OK;
    if (Org::Device != nullptr)
        l_Result = FMOD_System_Release(Org::Device);
    Org::Device = nullptr;
    Org::MasterCG = nullptr;
    if (l_Result != FMOD_OK && p_Error.empty())
        p_Error = OutputError(p_WavPath, l_Result);
    return l_Result == FMOD_OK;
}

bool SamplesPresent(const std::string& p_DataDir)
{
    const std::string l_Prefix = p_DataDir.empty() ? std::string() : p_DataDir + "/";
    for (const char* l_Probe : {"melody/melody0.wav", "percussion/Bass01.wav"}) {
        std::FILE* l_File = std::fopen((l_Prefix + l_Probe).c_str(), "rb");
        if (l_File == nullptr)
            return false;
        std::fclose(l_File);
    }
    return true;
}

}  // namespace

unsigned long RenderLengthMs(Org::OrgSong& p_Song, const RenderOptions& p_Options)
{
    if (p_Options.seconds > 0.0)
        return static_cast<unsigned long>(p_Options.seconds * 1000.0 + 0.5);
    const unsigned long l_Start = p_Song.GetLoopStart();
    const unsigned long l_Stop = p_Song.GetLoopStop();
    if (l_Stop <= l_Start)
        return 0;
    const unsigned long long l_Beats =
        l_Start + static_cast<unsigned long long>(p_Options.loops) * (l_Stop - l_Start);
    return static_cast<unsigned long>(std::min<unsigned long long>(l_Beats * p_Song.GetTempo(), ~0ul));
}

std::string NoLengthReason(Org::OrgSong& p_Song, const RenderOptions& p_Options)
{
    if (p_Song.GetTempo() == 0)
        return "the song's tempo is 0 ms per beat, so its beats take no time; give a length with --seconds";
    if (p_Song.GetLoopStop() <= p_Song.GetLoopStart())
        return "the song's loop is empty (beats " + std::to_string(p_Song.GetLoopStart()) + " to " +
               std::to_string(p_Song.GetLoopStop()) +
               "), so it has no length of its own; give one with --seconds";
    if (p_Options.loops == 0)
        return "--loops 0 leaves only the intro before the loop, and this song has none; "
               "give --loops 1 or more, or --seconds";
    return "";
}

bool RenderSong(const std::string& p_SongPath, const std::string& p_WavPath, const RenderOptions& p_Options,
                const RenderProgress& p_Progress, std::string& p_Error, RenderStats* p_Stats)
{
    if (!p_Options.dataDir.empty() && !SamplesPresent(p_Options.dataDir)) {
        p_Error =
            "no instrument samples under '" + p_Options.dataDir + "' (expected melody/ and percussion/)";
        return false;
    }
    // Read once, then parsed from memory, so that a pipe or standard input ("-") works.
    std::vector<std::uint8_t> l_Bytes;
    std::string l_Why;
    const bool l_Read = p_SongPath == "-" ? Org::ReadSongInput(STDIN_FILENO, l_Bytes, l_Why)
                                          : Org::ReadSongInput(p_SongPath, l_Bytes, l_Why);
    if (!l_Read) {
        p_Error = "cannot open the song '" + p_SongPath + "': " + l_Why;
        return false;
    }
    if (l_Bytes.empty()) {
        p_Error = "'" + p_SongPath + "' is empty";
        return false;
    }

    Org::OrgSong l_Song;
    if (!l_Song.LoadFromMemory(l_Bytes.data(), l_Bytes.size())) {
        p_Error = "'" + p_SongPath + "' ends before its own note data (it holds " +
                  std::to_string(l_Bytes.size()) +
                  " bytes, fewer than it declares): it is damaged or not an Org-02 song";
        return false;
    }
    const unsigned long l_LengthMs = RenderLengthMs(l_Song, p_Options);
    if (l_LengthMs == 0) {
        p_Error = NoLengthReason(l_Song, p_Options);
        return false;
    }
    constexpr unsigned long MAX_MS = 6ul * 3600ul * 1000ul;
    if (l_LengthMs > MAX_MS) {
        p_Error = "the song would last " + std::to_string(l_LengthMs / 3600000ul) +
                  " hours or more; give a shorter length with --seconds";
        return false;
    }

    if (!StartEngine(p_WavPath, p_Options.sampleRate, p_Options.resampler, p_Error)) {
        StopEngine(p_WavPath, p_Error);
        return false;
    }
    bool l_Written = true;
    {
        SongSamples l_Sampler(l_Song, p_Options.dataDir);
        l_Sampler.SetMasterVolume(p_Options.masterVolume);

        const unsigned long long l_Rate = static_cast<unsigned long long>(p_Options.sampleRate);
        Org::SongStepper l_Stepper(l_Song, p_Options.sampleRate);
        const unsigned long long l_Block = l_Stepper.BlockFrames();
        const unsigned long long l_Total = l_LengthMs * l_Rate / 1000;
        const unsigned long long l_Fade = std::min<unsigned long long>(
            l_Total, static_cast<unsigned long long>(p_Options.fadeSeconds * l_Rate));
        unsigned long long l_ProgressStep = std::max<unsigned long long>(l_Total / 200, 1);
        unsigned long long l_VoiceFrames = 0;

        l_Stepper.StartAt(0, 0);
        while (l_Stepper.Frame() < l_Total) {
            const unsigned long long l_Frame = l_Stepper.Frame();
            l_Stepper.Step([&](const Org::SampleData& p_Hit) { l_Sampler.HitNote(p_Hit); });
            if (l_Fade > 0 && l_Frame + l_Fade >= l_Total)
                l_Sampler.SetMasterVolume(p_Options.masterVolume * static_cast<float>(l_Total - l_Frame) /
                                          l_Fade);
            // The engine's update mixes one block and writes it: a failure (a full disk, a file-size
            // limit) ends the render rather than leaving a cut file that looks complete.
            const FMOD_RESULT l_Mixed = FMOD_System_Update(Org::Device);
            if (l_Mixed != FMOD_OK) {
                p_Error = OutputError(p_WavPath, l_Mixed);
                l_Written = false;
                break;
            }
            if (p_Stats != nullptr) {
                int l_Voices = 0;
                FMOD_System_GetChannelsPlaying(Org::Device, &l_Voices);
                l_VoiceFrames += static_cast<unsigned long long>(l_Voices) * l_Block;
            }
            if (p_Progress && l_Frame % l_ProgressStep < l_Block)
                p_Progress(static_cast<double>(l_Frame) / l_Total);
        }
        if (p_Progress && l_Written)
            p_Progress(1.0);
        if (p_Stats != nullptr) {
            p_Stats->audioSeconds = static_cast<double>(l_Total) / l_Rate;
            p_Stats->voiceSeconds = static_cast<double>(l_VoiceFrames) / l_Rate;
        }
    }
    const bool l_Completed = StopEngine(p_WavPath, p_Error);
    return l_Written && l_Completed;
}
