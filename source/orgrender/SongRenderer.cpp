#include "SongRenderer.h"

#include <fmod.h>
#include <fmod_errors.h>
#include <fmod_readmix.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "OrgDevice.h"
#include "OrgSong.h"
#include "OutputPlatform.h"
#include "SongInput.h"
#include "SongSamples.h"
#include "SongStepper.h"

namespace {

// Mixed blocks are gathered and written this many at a time: one write per 1 ms block would cost
// more than mixing it. A run of blocks with no beat inside it is mixed in one piece, up to the
// room left here: the engine mixes a long block exactly as the short ones it stands for, and
// sixteen voices cost less set up once per run than once per millisecond.
constexpr int BLOCKS_PER_WRITE = 64;

// The longest render: six hours.
constexpr unsigned long MAX_MS = 6ul * 3600ul * 1000ul;

// Sets up the engine in the process-wide handles, mixing up to BLOCKS_PER_WRITE 1 ms blocks
// (rounded down to whole frames) each time it is read.
bool StartEngine(int p_Rate, int p_Resampler, std::string& p_Error)
{
    FMOD_RESULT l_Result = FMOD_System_Create(&Org::Device);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetOutput(Org::Device, FMOD_OUTPUTTYPE_NOSOUND_NRT);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetSoftwareFormat(Org::Device, p_Rate, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                                 static_cast<FMOD_DSP_RESAMPLER>(p_Resampler));
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetSpeakerMode(Org::Device, FMOD_SPEAKERMODE_STEREO);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetDSPBufferSize(Org::Device,
                                                Org::SongStepper::BlockFrames(p_Rate) * BLOCKS_PER_WRITE, 1);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_Init(Org::Device, Org::SONG_VOICES, FMOD_INIT_NORMAL, nullptr);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_GetMasterChannelGroup(Org::Device, &Org::MasterCG);
    if (l_Result != FMOD_OK) {
        p_Error = std::string("the sound engine cannot start: ") + FMOD_ErrorString(l_Result);
        return false;
    }
    return true;
}

void StopEngine()
{
    if (Org::Device != nullptr)
        FMOD_System_Release(Org::Device);
    Org::Device = nullptr;
    Org::MasterCG = nullptr;
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

unsigned long long RenderFrames(unsigned long p_LengthMs, int p_Rate)
{
    const unsigned long long l_Block = Org::SongStepper::BlockFrames(p_Rate);
    const unsigned long long l_Total = p_LengthMs * static_cast<unsigned long long>(p_Rate) / 1000;
    return (l_Total + l_Block - 1) / l_Block * l_Block;
}

bool ReadSongBytes(const std::string& p_SongPath, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error)
{
    // Read once, then parsed from memory, so that a pipe or standard input ("-") works.
    std::string l_Why;
    const bool l_Read = p_SongPath == "-" ? Org::ReadSongInput(STDIN_FILENO, p_Bytes, l_Why)
                                          : Org::ReadSongInput(p_SongPath, p_Bytes, l_Why);
    if (!l_Read) {
        p_Error = "cannot open the song '" + p_SongPath + "': " + l_Why;
        return false;
    }
    if (p_Bytes.empty()) {
        p_Error = "'" + p_SongPath + "' is empty";
        return false;
    }
    return true;
}

bool PrepareSong(const std::vector<std::uint8_t>& p_Bytes, const std::string& p_Name,
                 const RenderOptions& p_Options, Org::OrgSong& p_Song, unsigned long& p_LengthMs,
                 std::string& p_Error)
{
    if (!p_Options.dataDir.empty() && !SamplesPresent(p_Options.dataDir)) {
        p_Error =
            "no instrument samples under '" + p_Options.dataDir + "' (expected melody/ and percussion/)";
        return false;
    }
    if (!p_Song.LoadFromMemory(p_Bytes.data(), p_Bytes.size())) {
        p_Error = "'" + p_Name + "' ends before its own note data (it holds " +
                  std::to_string(p_Bytes.size()) +
                  " bytes, fewer than it declares): it is damaged or not an Org-02 song";
        return false;
    }
    p_LengthMs = RenderLengthMs(p_Song, p_Options);
    if (p_LengthMs == 0) {
        p_Error = NoLengthReason(p_Song, p_Options);
        return false;
    }
    if (p_LengthMs > MAX_MS) {
        p_Error = "the song would last " + std::to_string(p_LengthMs / 3600000ul) +
                  " hours or more; give a shorter length with --seconds";
        return false;
    }
    p_Error = AudioFileWriter::CannotHold(p_Options.format, p_Options.channels,
                                          RenderFrames(p_LengthMs, p_Options.sampleRate));
    return p_Error.empty();
}

bool RenderToDescriptor(Org::OrgSong& p_Song, unsigned long p_LengthMs, int p_Fd,
                        const RenderOptions& p_Options, const RenderProgress& p_Progress,
                        std::string& p_Error, RenderStats* p_Stats)
{
    const unsigned long long l_Rate = static_cast<unsigned long long>(p_Options.sampleRate);
    const unsigned long long l_Total = p_LengthMs * l_Rate / 1000;
    AudioFileWriter l_Writer;
    if (!StartEngine(p_Options.sampleRate, p_Options.resampler, p_Error)) {
        StopEngine();
        return false;
    }
    bool l_Written = true;
    {
        // The sample files are read before the first byte goes out, so that a bad one leaves no
        // header on a pipe.
        SongSamples l_Sampler(p_Song, p_Options.dataDir);
        if (!l_Sampler.Unreadable().empty()) {
            p_Error = "the sample file " + l_Sampler.Unreadable() + " cannot be read";
            l_Written = false;
        }
        l_Written =
            l_Written && l_Writer.Open(p_Fd, p_Options.format, p_Options.sampleRate, p_Options.channels,
                                       RenderFrames(p_LengthMs, p_Options.sampleRate), p_Error);
        l_Sampler.SetMasterVolume(p_Options.masterVolume);

        Org::SongStepper l_Stepper(p_Song, p_Options.sampleRate);
        const unsigned l_Block = l_Stepper.BlockFrames();
        const unsigned long long l_Fade = std::min<unsigned long long>(
            l_Total, static_cast<unsigned long long>(p_Options.fadeSeconds * l_Rate));
        const unsigned long long l_ProgressStep = std::max<unsigned long long>(l_Total / 200, 1);
        unsigned long long l_NextProgress = 0;
        unsigned long long l_VoiceFrames = 0;
        std::vector<std::int16_t> l_Mix(2 * std::size_t(l_Block) * BLOCKS_PER_WRITE);
        std::size_t l_Held = 0;  // frames in l_Mix

        l_Stepper.StartAt(0, 0);
        while (l_Written && l_Stepper.Frame() < l_Total) {
            const unsigned long long l_Frame = l_Stepper.Frame();
            // The master volume changes at every block of the fade, so the fade goes a block at a
            // time; a run before it stops where it begins.
            const bool l_Fading = l_Fade > 0 && l_Frame + l_Fade >= l_Total;
            unsigned long long l_MaxBlocks = (l_Mix.size() / 2 - l_Held) / l_Block;
            if (l_Fading)
                l_MaxBlocks = 1;
            else if (l_Fade > 0)
                l_MaxBlocks = std::min(l_MaxBlocks, (l_Total - l_Fade - l_Frame + l_Block - 1) / l_Block);
            l_MaxBlocks = std::min(l_MaxBlocks, (l_Total - l_Frame + l_Block - 1) / l_Block);
            const unsigned l_Frames =
                l_Block * l_Stepper.StepRun([&](const Org::SampleData& p_Hit) { l_Sampler.HitNote(p_Hit); },
                                            static_cast<unsigned>(l_MaxBlocks));
            if (l_Fading)
                l_Sampler.SetMasterVolume(p_Options.masterVolume * static_cast<float>(l_Total - l_Frame) /
                                          l_Fade);
            const FMOD_RESULT l_Mixed =
                FMOD_System_ReadMix(Org::Device, l_Mix.data() + 2 * l_Held, nullptr, l_Frames);
            if (l_Mixed != FMOD_OK) {
                p_Error = std::string("the sound engine failed: ") + FMOD_ErrorString(l_Mixed);
                l_Written = false;
                break;
            }
            l_Held += l_Frames;
            // A failed write (a full disk, a file-size limit) ends the render rather than leaving a
            // cut file that looks complete.
            if (l_Held * 2 == l_Mix.size() || l_Stepper.Frame() >= l_Total) {
                l_Written = l_Writer.Write(l_Mix.data(), l_Held, p_Error);
                l_Held = 0;
            }
            // Voices start only at a run's first block: those still playing at its end count for all
            // of it.
            if (p_Stats != nullptr) {
                int l_Voices = 0;
                FMOD_System_GetChannelsPlaying(Org::Device, &l_Voices);
                l_VoiceFrames += static_cast<unsigned long long>(l_Voices) * l_Frames;
            }
            if (p_Progress && l_Frame >= l_NextProgress) {
                p_Progress(static_cast<double>(l_Frame) / l_Total);
                l_NextProgress = (l_Frame / l_ProgressStep + 1) * l_ProgressStep;
            }
        }
        if (p_Progress && l_Written)
            p_Progress(1.0);
        if (p_Stats != nullptr) {
            p_Stats->audioSeconds = static_cast<double>(l_Total) / l_Rate;
            p_Stats->voiceSeconds = static_cast<double>(l_VoiceFrames) / l_Rate;
        }
    }
    StopEngine();
    std::string l_CloseError;
    const bool l_Closed = l_Writer.Close(l_CloseError);
    if (l_Written && !l_Closed)
        p_Error = l_CloseError;
    return l_Written && l_Closed;
}

bool RenderSong(const std::string& p_SongPath, const std::string& p_OutPath, const RenderOptions& p_Options,
                const RenderProgress& p_Progress, std::string& p_Error, RenderStats* p_Stats)
{
    std::vector<std::uint8_t> l_Bytes;
    Org::OrgSong l_Song;
    unsigned long l_LengthMs = 0;
    if (!ReadSongBytes(p_SongPath, l_Bytes, p_Error) ||
        !PrepareSong(l_Bytes, p_SongPath, p_Options, l_Song, l_LengthMs, p_Error))
        return false;
    const int l_Fd = OpenToWrite(p_OutPath, O_CREAT | O_TRUNC);
    if (l_Fd < 0) {
        p_Error = "cannot write " + p_OutPath + ": " + std::strerror(errno);
        return false;
    }
    const bool l_Done = RenderToDescriptor(l_Song, l_LengthMs, l_Fd, p_Options, p_Progress, p_Error, p_Stats);
    const bool l_Closed = close(l_Fd) == 0;
    if (l_Done && !l_Closed)
        p_Error = std::strerror(errno);
    if (!l_Done || !l_Closed)
        p_Error = "cannot write " + p_OutPath + ": " + p_Error;
    return l_Done && l_Closed;
}
