/*
 * fmod.h: the flat C interface of tunewright's sound engine.
 *
 * Names, types and numbers follow the FMOD Ex 4.11 interface, so code written against this header
 * also builds against a real FMOD Ex SDK. Only the calls below exist; every call returns an
 * FMOD_RESULT and never faults on a null or stale handle.
 */
#ifndef TUNEWRIGHT_FMOD_H
#define TUNEWRIGHT_FMOD_H

#define FMOD_VERSION 0x00041103 /* 0xaaaabbcc: 4.11.03 */

/* F_API is the calling convention; FMOD_EXPORT makes a call visible outside the shared library. */
#if defined(_WIN32) && !defined(_WIN64)
#  define F_API __stdcall
#else
#  define F_API
#endif
#if defined(_WIN32)
#  if defined(TUNEWRIGHT_SOUND_BUILDING)
#    define FMOD_EXPORT __declspec(dllexport)
#  else
#    define FMOD_EXPORT __declspec(dllimport)
#  endif
#else
#  define FMOD_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FMOD_SYSTEM FMOD_SYSTEM;
typedef struct FMOD_SOUND FMOD_SOUND;
typedef struct FMOD_CHANNEL FMOD_CHANNEL;
typedef struct FMOD_CHANNELGROUP FMOD_CHANNELGROUP;

typedef int FMOD_BOOL;
typedef unsigned int FMOD_MODE;
typedef unsigned int FMOD_TIMEUNIT;
typedef unsigned int FMOD_INITFLAGS;

/* Results. Numbers not listed belong to codes this engine never returns. When an output cannot
   be opened (FMOD_ERR_OUTPUT_INIT) or a WAV output cannot be written, flushed or closed
   (FMOD_ERR_FILE_BAD from System_Init, System_Update, System_Close or System_Release), errno holds
   the system's reason on return. A failed output stays failed: every later update says so. */
typedef enum
{
    FMOD_OK = 0,
    FMOD_ERR_CHANNEL_ALLOC = 10,
    FMOD_ERR_CHANNEL_STOLEN = 11,
    FMOD_ERR_FILE_BAD = 19,
    FMOD_ERR_FILE_COULDNOTSEEK = 20,
    FMOD_ERR_FILE_EOF = 22,
    FMOD_ERR_FILE_NOTFOUND = 23,
    FMOD_ERR_FORMAT = 25,
    FMOD_ERR_INITIALIZED = 32,
    FMOD_ERR_INTERNAL = 33,
    FMOD_ERR_INVALID_HANDLE = 36,
    FMOD_ERR_INVALID_PARAM = 37,
    FMOD_ERR_MEMORY = 42,
    FMOD_ERR_OUTPUT_CREATEBUFFER = 56,
    FMOD_ERR_OUTPUT_FORMAT = 59,
    FMOD_ERR_OUTPUT_INIT = 60,
    FMOD_ERR_UNIMPLEMENTED = 75,
    FMOD_ERR_UNINITIALIZED = 76,
    FMOD_ERR_UNSUPPORTED = 77,
    FMOD_ERR_VERSION = 79,
    FMOD_RESULT_FORCEINT = 65536
} FMOD_RESULT;

/* Where the mix goes: FMOD Ex's output types. FMOD_System_SetOutput takes those the engine has on
   its platform (AUTODETECT: the platform's sound device) and answers FMOD_ERR_UNSUPPORTED for the rest. */
typedef enum
{
    FMOD_OUTPUTTYPE_AUTODETECT = 0,
    FMOD_OUTPUTTYPE_UNKNOWN = 1,
    FMOD_OUTPUTTYPE_NOSOUND = 2,
    FMOD_OUTPUTTYPE_WAVWRITER = 3,
    FMOD_OUTPUTTYPE_NOSOUND_NRT = 4,
    FMOD_OUTPUTTYPE_WAVWRITER_NRT = 5,
    FMOD_OUTPUTTYPE_DSOUND = 6,
    FMOD_OUTPUTTYPE_WINMM = 7,
    FMOD_OUTPUTTYPE_OPENAL = 8,
    FMOD_OUTPUTTYPE_WASAPI = 9,
    FMOD_OUTPUTTYPE_ASIO = 10,
    FMOD_OUTPUTTYPE_OSS = 11,
    FMOD_OUTPUTTYPE_ALSA = 12,
    FMOD_OUTPUTTYPE_ESD = 13,
    FMOD_OUTPUTTYPE_FORCEINT = 65536
} FMOD_OUTPUTTYPE;

typedef enum
{
    FMOD_SOUND_FORMAT_NONE = 0,
    FMOD_SOUND_FORMAT_PCM8 = 1,
    FMOD_SOUND_FORMAT_PCM16 = 2,
    FMOD_SOUND_FORMAT_PCM24 = 3,
    FMOD_SOUND_FORMAT_PCM32 = 4,
    FMOD_SOUND_FORMAT_PCMFLOAT = 5,
    FMOD_SOUND_FORMAT_FORCEINT = 65536
} FMOD_SOUND_FORMAT;

typedef enum
{
    FMOD_SPEAKERMODE_RAW = 0,
    FMOD_SPEAKERMODE_MONO = 1,
    FMOD_SPEAKERMODE_STEREO = 2,
    FMOD_SPEAKERMODE_FORCEINT = 65536
} FMOD_SPEAKERMODE;

/* NOINTERP to SPLINE are FMOD Ex's resamplers (nearest, linear, 4-point cubic, 6-point spline).
   FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC is this engine's own extension, numbered where FMOD Ex has
   its MAX: a band-limited 32-tap windowed sinc whose cut-off follows the pitch, so that high notes
   do not fold back (an 8-tap one over copies at four times the rate, made at load, wherever a sound
   is read no faster than its own rate, and at any pitch for short loops such as the player's
   waveforms). The numbers are those of tw_song_set_interpolation() in <tunewright/tunewright.h>.
   The engine also takes 0x100, the number sinc had before, from programs built with it.
   A real FMOD Ex does not know it; code built against one must never pass it, so code that uses it
   tests for TUNEWRIGHT_FMOD_HAS_SINC, defined only here. */
#define TUNEWRIGHT_FMOD_HAS_SINC 1
typedef enum
{
    FMOD_DSP_RESAMPLER_NOINTERP = 0,
    FMOD_DSP_RESAMPLER_LINEAR = 1,
    FMOD_DSP_RESAMPLER_CUBIC = 2,
    FMOD_DSP_RESAMPLER_SPLINE = 3,
    FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC = 4, /* tunewright extension: band-limited windowed sinc */
    FMOD_DSP_RESAMPLER_MAX = 5,             /* how many there are */
    FMOD_DSP_RESAMPLER_FORCEINT = 65536
} FMOD_DSP_RESAMPLER;

typedef enum
{
    FMOD_CHANNEL_FREE = -1,  /* a free voice, or the oldest one stolen */
    FMOD_CHANNEL_REUSE = -2, /* the voice the passed handle names, else a free one */
    FMOD_CHANNELINDEX_FORCEINT = 65536  /* keeps explicit voice numbers (0 and up) in the enum's range */
} FMOD_CHANNELINDEX;

#define FMOD_DEFAULT         0x00000000
#define FMOD_LOOP_OFF        0x00000001
#define FMOD_LOOP_NORMAL     0x00000002
#define FMOD_LOOP_BIDI       0x00000004
#define FMOD_2D              0x00000008
#define FMOD_3D              0x00000010
#define FMOD_HARDWARE        0x00000020
#define FMOD_SOFTWARE        0x00000040
#define FMOD_CREATESTREAM    0x00000080
#define FMOD_CREATESAMPLE    0x00000100
#define FMOD_OPENMEMORY      0x00000800
#define FMOD_OPENRAW         0x00001000
/* As FMOD_OPENMEMORY, but the memory must stay as it is while the sound lives: sounds made from
   the same memory with the same layout then share one decoded copy. */
#define FMOD_OPENMEMORY_POINT 0x10000000

#define FMOD_TIMEUNIT_MS       0x00000001
#define FMOD_TIMEUNIT_PCM      0x00000002
#define FMOD_TIMEUNIT_PCMBYTES 0x00000004

#define FMOD_INIT_NORMAL 0x00000000

/* Extra information for CreateSound: the layout of raw sample data in memory (FMOD_OPENMEMORY or
   FMOD_OPENMEMORY_POINT, with FMOD_OPENRAW). cbsize is sizeof(FMOD_CREATESOUNDEXINFO); length is in bytes. */
typedef struct FMOD_CREATESOUNDEXINFO
{
    int cbsize;
    unsigned int length;
    unsigned int fileoffset;
    int numchannels;
    int defaultfrequency;
    FMOD_SOUND_FORMAT format;
} FMOD_CREATESOUNDEXINFO;

/* System: create, configure before Init, Init, then Update once per frame. */
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_Create(FMOD_SYSTEM **system);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_Release(FMOD_SYSTEM *system);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_Close(FMOD_SYSTEM *system);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_GetVersion(FMOD_SYSTEM *system, unsigned int *version);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_SetOutput(FMOD_SYSTEM *system, FMOD_OUTPUTTYPE output);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_SetSoftwareFormat(FMOD_SYSTEM *system, int samplerate, FMOD_SOUND_FORMAT format, int numoutputchannels, int maxinputchannels, FMOD_DSP_RESAMPLER resamplemethod);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_SetSpeakerMode(FMOD_SYSTEM *system, FMOD_SPEAKERMODE speakermode);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_SetDSPBufferSize(FMOD_SYSTEM *system, unsigned int bufferlength, int numbuffers);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_Init(FMOD_SYSTEM *system, int maxchannels, FMOD_INITFLAGS flags, void *extradriverdata);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_Update(FMOD_SYSTEM *system);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_GetMasterChannelGroup(FMOD_SYSTEM *system, FMOD_CHANNELGROUP **channelgroup);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_CreateChannelGroup(FMOD_SYSTEM *system, const char *name, FMOD_CHANNELGROUP **channelgroup);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_GetChannelsPlaying(FMOD_SYSTEM *system, int *channels);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_CreateSound(FMOD_SYSTEM *system, const char *name_or_data, FMOD_MODE mode, FMOD_CREATESOUNDEXINFO *exinfo, FMOD_SOUND **sound);
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_PlaySound(FMOD_SYSTEM *system, FMOD_CHANNELINDEX channelid, FMOD_SOUND *sound, FMOD_BOOL paused, FMOD_CHANNEL **channel);

/* Sound: a whole sample file decoded in memory. */
FMOD_EXPORT FMOD_RESULT F_API FMOD_Sound_Release(FMOD_SOUND *sound);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Sound_GetLength(FMOD_SOUND *sound, unsigned int *length, FMOD_TIMEUNIT lengthtype);

/* Channel: one playing voice. Stopped or ended: FMOD_ERR_INVALID_HANDLE; taken by another sound:
   FMOD_ERR_CHANNEL_STOLEN; null: FMOD_ERR_INVALID_PARAM. Changes reach the next mixed block. */
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_Stop(FMOD_CHANNEL *channel);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_SetPaused(FMOD_CHANNEL *channel, FMOD_BOOL paused);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_GetPaused(FMOD_CHANNEL *channel, FMOD_BOOL *paused);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_SetVolume(FMOD_CHANNEL *channel, float volume);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_GetVolume(FMOD_CHANNEL *channel, float *volume);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_SetPan(FMOD_CHANNEL *channel, float pan);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_GetPan(FMOD_CHANNEL *channel, float *pan);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_SetFrequency(FMOD_CHANNEL *channel, float frequency);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_GetFrequency(FMOD_CHANNEL *channel, float *frequency);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_SetChannelGroup(FMOD_CHANNEL *channel, FMOD_CHANNELGROUP *channelgroup);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_IsPlaying(FMOD_CHANNEL *channel, FMOD_BOOL *isplaying);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_GetCurrentSound(FMOD_CHANNEL *channel, FMOD_SOUND **sound);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_SetPosition(FMOD_CHANNEL *channel, unsigned int position, FMOD_TIMEUNIT postype);
FMOD_EXPORT FMOD_RESULT F_API FMOD_Channel_GetPosition(FMOD_CHANNEL *channel, unsigned int *position, FMOD_TIMEUNIT postype);

/* Channel group: the master group's volume scales every voice; a group made with
   System_CreateChannelGroup scales the voices put in it (Channel_SetChannelGroup), which a new
   playback leaves in the master alone. Volume changes ramp as a voice's own do. */
FMOD_EXPORT FMOD_RESULT F_API FMOD_ChannelGroup_SetVolume(FMOD_CHANNELGROUP *channelgroup, float volume);
FMOD_EXPORT FMOD_RESULT F_API FMOD_ChannelGroup_GetVolume(FMOD_CHANNELGROUP *channelgroup, float *volume);

#ifdef __cplusplus
}
#endif

#endif
