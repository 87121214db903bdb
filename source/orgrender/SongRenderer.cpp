#include "SongRenderer.h"

#include <fmod_errors.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "OrgSong.h"
#include "OutputPlatform.h"
#include "Pcm16.h"
#include "SongDecoder.h"
#include "SongInput.h"
#include "SongLength.h"

namespace {

// Mixed frames are gathered and written this many 1 ms blocks at a time: one write per block would
// cost more than mixing it. (The decoder mixes a run of blocks with no beat inside it in one piece.)
constexpr int BLOCKS_PER_WRITE = 64;

// The longest render: six hours.
constexpr unsigned long long MAX_MS = 6ull * 3600ull * 1000ull;

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

unsigned long long RenderLengthMs(const Org::OrgSong& p_Song, const RenderOptions& p_Options)
{
    if (p_Options.seconds > 0.0)
        return Org::SongLength::MsOfSeconds(p_Options.seconds);
    if (p_Options.loops < 0)
        return 0;
    const unsigned long long l_SongMs = Org::SongLength(p_Song.GetHeader()).Ms(p_Options.loops);
    if (p_Options.tempoFactor == 1.0 || l_SongMs == Org::SongLength::FOREVER)
        return l_SongMs;
    // Whole milliseconds that hold the last beat: a few frames of the next at most.
    return static_cast<unsigned long long>(
        std::ceil(static_cast<long double>(l_SongMs) / p_Options.tempoFactor));
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
                 const RenderOptions& p_Options, std::unique_ptr<Org::OrgSong>& p_Song,
                 unsigned long long& p_LengthMs, std::string& p_Error)
{
    if (!p_Options.dataDir.empty() && !SamplesPresent(p_Options.dataDir)) {
        p_Error =
            "no instrument samples under '" + p_Options.dataDir + "' (expected melody/ and percussion/)";
        return false;
    }
    p_Song = std::make_unique<Org::OrgSong>();
    if (!p_Song->LoadFromMemory(p_Bytes.data(), p_Bytes.size())) {
        p_Error = "'" + p_Name + "' ends before its own note data (it holds " +
                  std::to_string(p_Bytes.size()) +
                  " bytes, fewer than it declares): it is damaged or not an Org-02 song";
        return false;
    }
    p_LengthMs = RenderLengthMs(*p_Song, p_Options);
    if (p_LengthMs == 0) {
        p_Error = "'" + p_Name + "' cannot be rendered: " +
                  Org::SongLength(p_Song->GetHeader()).NoLengthReason(p_Options.loops) +
                  "; give a length with --seconds";
        return false;
    }
    if (p_LengthMs > MAX_MS) {
        p_Error = "the song would last " + std::to_string(p_LengthMs / 3600000ull) +
                  " hours or more; give a shorter length with --seconds";
        return false;
    }
    p_Error = AudioFileWriter::CannotHold(p_Options.format, p_Options.channels,
                                          Org::SongLength::Frames(p_LengthMs, p_Options.sampleRate));
    return p_Error.empty();
}

namespace {

// The render's mixing desk and loop on the decoder.
void SetUpDecoder(Org::SongDecoder& p_Decoder, const RenderOptions& p_Options)
{
    p_Decoder.SetRepeats(Org::LOOPS_FOREVER);  // the length is the render's
    p_Decoder.SetInterpolation(p_Options.resampler);
    p_Decoder.SetVolume(p_Options.masterVolume);
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        p_Decoder.SetTrackMute(l_Track, p_Options.mute[l_Track]);
        p_Decoder.SetTrackSolo(l_Track, p_Options.solo[l_Track]);
    }
    p_Decoder.SetTempoFactor(p_Options.tempoFactor);
    p_Decoder.SetPitchShift(p_Options.pitchShift);
}

// p_Samples samples of each track's floats (p_Tracks) as 16-bit stems, track k's at
// p_TrackPcm + k * p_Room, each converted as the engine converts its mix, and the mix as the sum
// of all at p_Mix; a track whose samples are not all 0 is marked in p_Sounded.
void ConvertStems(float* const* p_Tracks, std::size_t p_Samples, std::int16_t* p_TrackPcm, std::size_t p_Room,
                  std::int16_t* p_Mix, bool* p_Sounded)
{
    for (std::size_t l_Sample = 0; l_Sample < p_Samples; ++l_Sample) {
        float l_Sum = 0.0f;
        for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
            const float l_Value = p_Tracks[l_Track][l_Sample];
            l_Sum += l_Value;
            const std::int16_t l_Pcm = ToPcm16(l_Value);
            p_TrackPcm[l_Track * p_Room + l_Sample] = l_Pcm;
            p_Sounded[l_Track] = p_Sounded[l_Track] || l_Pcm != 0;
        }
        p_Mix[l_Sample] = ToPcm16(l_Sum);
    }
}

// The frames of the fade to silence at p_End (p_Fade) and the frame from which they are read a
// block at a time (p_FadeStart, p_Total with no fade): the master volume changes at every block of
// the fade, from the first block that reaches into it.
void FadeFrames(const RenderOptions& p_Options, unsigned long long p_End, unsigned long long p_Total,
                unsigned long long& p_Fade, unsigned long long& p_FadeStart)
{
    const unsigned l_Block = Org::SongStepper::BlockFrames(p_Options.sampleRate);
    p_Fade = std::min<unsigned long long>(
        p_End, static_cast<unsigned long long>(p_Options.fadeSeconds * p_Options.sampleRate));
    p_FadeStart = p_Fade > 0 ? (p_End - p_Fade + l_Block - 1) / l_Block * l_Block : p_Total;
}

// Starts the decoder at p_Rate, its sample files read; false with the reason in p_Error.
bool StartDecoder(Org::SongDecoder& p_Decoder, int p_Rate, std::string& p_Error)
{
    if (p_Decoder.Start(p_Rate))
        return true;
    p_Error =
        !p_Decoder.Unreadable().empty()
            ? "the sample file " + p_Decoder.Unreadable() + " cannot be read"
            : std::string("the sound engine cannot start: ") + FMOD_ErrorString(p_Decoder.EngineResult());
    return false;
}

// Opens the mix's writer (p_Fd, when not negative) and each stem's, for p_Total frames; false with
// the reason in p_Error. Every stem starts out silent.
bool OpenWriters(int p_Fd, const RenderOptions& p_Options, unsigned long long p_Total, AudioFileWriter& p_Mix,
                 AudioFileWriter* p_StemWriters, StemOutputs* p_Stems, std::string& p_Error)
{
    const int l_Rate = p_Options.sampleRate;
    bool l_Open =
        p_Fd < 0 || p_Mix.Open(p_Fd, p_Options.format, l_Rate, p_Options.channels, p_Total, p_Error);
    for (int l_Track = 0; p_Stems != nullptr && l_Track < Org::TRACK_COUNT; ++l_Track) {
        p_Stems->sounded[l_Track] = false;
        if (l_Open && p_Stems->fds[l_Track] >= 0)
            l_Open = p_StemWriters[l_Track].Open(p_Stems->fds[l_Track], p_Options.format, l_Rate,
                                                 p_Options.channels, p_Total, p_Error);
    }
    return l_Open;
}

// Writes p_Frames frames held of the mix (into p_Mix, when not null) and of each stem (track k's
// at p_TrackPcm + k * p_Room); false at the first failure, told in p_Error.
bool WriteHeld(AudioFileWriter* p_Mix, const std::int16_t* p_MixPcm, AudioFileWriter* p_StemWriters,
               const StemOutputs* p_Stems, const std::int16_t* p_TrackPcm, std::size_t p_Room,
               std::size_t p_Frames, std::string& p_Error)
{
    bool l_Written = p_Mix == nullptr || p_Mix->Write(p_MixPcm, p_Frames, p_Error);
    for (int l_Track = 0; p_Stems != nullptr && l_Track < Org::TRACK_COUNT; ++l_Track)
        if (l_Written && p_Stems->fds[l_Track] >= 0)
            l_Written = p_StemWriters[l_Track].Write(p_TrackPcm + l_Track * p_Room, p_Frames, p_Error);
    return l_Written;
}

// Completes the mix's writer (when not null) and each stem's; false with the first failure in
// p_Error.
bool CloseWriters(AudioFileWriter* p_Mix, AudioFileWriter* p_StemWriters, const StemOutputs* p_Stems,
                  std::string& p_Error)
{
    bool l_Closed = p_Mix == nullptr || p_Mix->Close(p_Error);
    for (int l_Track = 0; p_Stems != nullptr && l_Track < Org::TRACK_COUNT; ++l_Track) {
        std::string l_StemError;  // the first failure is the one told
        if (p_Stems->fds[l_Track] >= 0 && !p_StemWriters[l_Track].Close(l_StemError) && l_Closed) {
            l_Closed = false;
            p_Error = l_StemError;
        }
    }
    return l_Closed;
}

}  // namespace

bool RenderToDescriptor(std::unique_ptr<Org::OrgSong> p_Song, unsigned long long p_LengthMs, int p_Fd,
                        const RenderOptions& p_Options, const RenderProgress& p_Progress,
                        std::string& p_Error, RenderStats* p_Stats, StemOutputs* p_Stems)
{
    const int l_Rate = p_Options.sampleRate;
    // The song ends at l_End, where the fade reaches silence; the file holds whole blocks.
    const unsigned long long l_End = Org::SongLength::ExactFrames(p_LengthMs, l_Rate);
    const unsigned long long l_Total = Org::SongLength::Frames(p_LengthMs, l_Rate);
    const unsigned l_Block = Org::SongStepper::BlockFrames(l_Rate);
    Org::SongDecoder l_Decoder(std::move(p_Song), p_Options.dataDir);
    SetUpDecoder(l_Decoder, p_Options);
    if (p_Stats != nullptr)
        l_Decoder.CountVoices();
    // The sample files are read before the first byte goes out, so that a bad one leaves no
    // header on a pipe.
    if (!StartDecoder(l_Decoder, l_Rate, p_Error))
        return false;
    // The mix (unless stems alone are written) and each stem, each through a writer of its own.
    AudioFileWriter l_Writer;
    AudioFileWriter l_StemWriters[Org::TRACK_COUNT];
    bool l_Written = OpenWriters(p_Fd, p_Options, l_Total, l_Writer, l_StemWriters, p_Stems, p_Error);

    unsigned long long l_Fade = 0, l_FadeStart = 0;
    FadeFrames(p_Options, l_End, l_Total, l_Fade, l_FadeStart);
    const unsigned long long l_ProgressStep = std::max<unsigned long long>(l_End / 200, 1);
    unsigned long long l_NextProgress = 0;
    const std::size_t l_Room = 2 * std::size_t(l_Block) * BLOCKS_PER_WRITE;  // samples of a write
    std::vector<std::int16_t> l_Mix(l_Room);
    // With stems: the tracks' floats as read, and the stems' 16-bit samples to write.
    std::vector<float> l_TrackFloats(p_Stems != nullptr ? Org::TRACK_COUNT * l_Room : 0);
    std::vector<std::int16_t> l_TrackPcm(p_Stems != nullptr ? Org::TRACK_COUNT * l_Room : 0);
    std::size_t l_Held = 0;  // frames in l_Mix
    unsigned long long l_Frame = 0;
    while (l_Written && l_Frame < l_Total) {
        const bool l_Fading = l_Frame >= l_FadeStart;
        const std::size_t l_Wanted = static_cast<std::size_t>(
            l_Fading ? l_Block : std::min<unsigned long long>(l_Room / 2 - l_Held, l_FadeStart - l_Frame));
        if (l_Fading)
            l_Decoder.SetVolume(p_Options.masterVolume * static_cast<float>(l_End - l_Frame) / l_Fade);
        std::size_t l_Read = 0;
        if (p_Stems == nullptr) {
            l_Read = l_Decoder.Read(l_Rate, l_Wanted, l_Mix.data() + 2 * l_Held, nullptr);
        } else {
            float* l_Tracks[Org::TRACK_COUNT];
            for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
                l_Tracks[l_Track] = l_TrackFloats.data() + l_Track * l_Room + 2 * l_Held;
            l_Read = l_Decoder.ReadTracks(l_Rate, l_Wanted, l_Tracks);
            ConvertStems(l_Tracks, 2 * l_Read, l_TrackPcm.data() + 2 * l_Held, l_Room,
                         l_Mix.data() + 2 * l_Held, p_Stems->sounded);
        }
        if (l_Read != l_Wanted) {
            p_Error = std::string("the sound engine failed: ") + FMOD_ErrorString(l_Decoder.EngineResult());
            l_Written = false;
            break;
        }
        l_Held += l_Read;
        // A failed write (a full disk, a file-size limit) ends the render rather than leaving a
        // cut file that looks complete.
        if (l_Held * 2 == l_Mix.size() || l_Frame + l_Read >= l_Total) {
            l_Written = WriteHeld(p_Fd >= 0 ? &l_Writer : nullptr, l_Mix.data(), l_StemWriters, p_Stems,
                                  l_TrackPcm.data(), l_Room, l_Held, p_Error);
            l_Held = 0;
        }
        if (p_Progress && l_Frame >= l_NextProgress) {
            p_Progress(static_cast<double>(l_Frame) / l_End);
            l_NextProgress = (l_Frame / l_ProgressStep + 1) * l_ProgressStep;
        }
        l_Frame += l_Read;
    }
    if (p_Progress && l_Written)
        p_Progress(1.0);
    if (p_Stats != nullptr) {
        p_Stats->audioSeconds = static_cast<double>(l_End) / l_Rate;
        p_Stats->voiceSeconds = static_cast<double>(l_Decoder.VoiceFrames()) / l_Rate;
    }
    std::string l_CloseError;
    const bool l_Closed = CloseWriters(p_Fd >= 0 ? &l_Writer : nullptr, l_StemWriters, p_Stems, l_CloseError);
    if (l_Written && !l_Closed)
        p_Error = l_CloseError;
    return l_Written && l_Closed;
}

bool RenderSong(const std::string& p_SongPath, const std::string& p_OutPath, const RenderOptions& p_Options,
                const RenderProgress& p_Progress, std::string& p_Error, RenderStats* p_Stats)
{
    std::vector<std::uint8_t> l_Bytes;
    std::unique_ptr<Org::OrgSong> l_Song;
    unsigned long long l_LengthMs = 0;
    if (!ReadSongBytes(p_SongPath, l_Bytes, p_Error) ||
        !PrepareSong(l_Bytes, p_SongPath, p_Options, l_Song, l_LengthMs, p_Error))
        return false;
    const int l_Fd = OpenToWrite(p_OutPath, O_CREAT | O_TRUNC);
    if (l_Fd < 0) {
        p_Error = "cannot write " + p_OutPath + ": " + std::strerror(errno);
        return false;
    }
    const bool l_Done =
        RenderToDescriptor(std::move(l_Song), l_LengthMs, l_Fd, p_Options, p_Progress, p_Error, p_Stats);
    const bool l_Closed = close(l_Fd) == 0;
    if (l_Done && !l_Closed)
        p_Error = std::strerror(errno);
    if (!l_Done || !l_Closed)
        p_Error = "cannot write " + p_OutPath + ": " + p_Error;
    return l_Done && l_Closed;
}
