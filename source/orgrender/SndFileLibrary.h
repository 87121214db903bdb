#ifndef TUNEWRIGHT_SNDFILELIBRARY_H
#define TUNEWRIGHT_SNDFILELIBRARY_H

// libsndfile, which the renderer needs only to encode FLAC and Ogg Vorbis. It is opened the first
// time one of them is asked for rather than linked: loading it and the codec libraries it links
// costs every start of the renderer more than mixing a short song does.
#include <sndfile.h>

#include "LazyLibrary.h"

#define TW_SNDFILE_WRITER_FUNCTIONS(X)                                                                       \
    X(sf_open_virtual) X(sf_writef_short) X(sf_close) X(sf_strerror) X(sf_error_number)

TW_LAZY_TABLE(SndFileWriterApi, TW_SNDFILE_WRITER_FUNCTIONS)

// libsndfile's functions, or null when the system has no libsndfile; p_Name is then its name.
const SndFileWriterApi* SndFileWriter(const char*& p_Name);

#endif
