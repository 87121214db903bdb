/*
 * fmod_errors.h: one fixed sentence for each result of the sound engine.
 * A header-only function, so that it costs nothing to include in any program.
 */
#ifndef TUNEWRIGHT_FMOD_ERRORS_H
#define TUNEWRIGHT_FMOD_ERRORS_H

#include "fmod.h"

static inline const char *FMOD_ErrorString(FMOD_RESULT errcode)
{
    switch (errcode)
    {
        case FMOD_OK:                      return "No errors.";
        case FMOD_ERR_CHANNEL_ALLOC:       return "No voice could be allocated for the sound.";
        case FMOD_ERR_CHANNEL_STOLEN:      return "The voice was taken over by another sound; the channel handle is no longer valid.";
        case FMOD_ERR_FILE_BAD:            return "The file could not be read or written, or its contents are damaged.";
        case FMOD_ERR_FILE_COULDNOTSEEK:   return "A seek within the file failed.";
        case FMOD_ERR_FILE_EOF:            return "The end of the file came before the expected data.";
        case FMOD_ERR_FILE_NOTFOUND:       return "The file was not found.";
        case FMOD_ERR_FORMAT:              return "The file is not in a supported sound format (WAV PCM 8/16/24-bit or float, mono or stereo).";
        case FMOD_ERR_INITIALIZED:         return "This call must come before the system is initialised.";
        case FMOD_ERR_INTERNAL:            return "An internal error occurred in the sound engine.";
        case FMOD_ERR_INVALID_HANDLE:      return "The handle is not valid: its voice has stopped or ended, or the object was released.";
        case FMOD_ERR_INVALID_PARAM:       return "A parameter of the call is not valid (for example a null handle or pointer).";
        case FMOD_ERR_MEMORY:              return "Not enough memory.";
        case FMOD_ERR_OUTPUT_CREATEBUFFER: return "The output buffer could not be created.";
        case FMOD_ERR_OUTPUT_FORMAT:       return "The output device does not support the requested format.";
        case FMOD_ERR_OUTPUT_INIT:         return "The output device could not be opened; the mix is discarded instead.";
        case FMOD_ERR_UNIMPLEMENTED:       return "This call is not implemented by this engine.";
        case FMOD_ERR_UNINITIALIZED:       return "The system is not initialised yet.";
        case FMOD_ERR_UNSUPPORTED:         return "This engine does not support the requested option.";
        case FMOD_ERR_VERSION:             return "The file's format version is not supported.";
        default:                           return "Unknown error.";
    }
}

#endif
