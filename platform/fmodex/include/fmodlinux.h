/*
 * fmodlinux.h: what a Linux program may hand to FMOD_System_Init as its extradriverdata.
 *
 * Names follow the FMOD Ex 4.11 Linux header, so the same code builds against a real SDK.
 */
#ifndef TUNEWRIGHT_FMODLINUX_H
#define TUNEWRIGHT_FMODLINUX_H

#include "fmod.h"

/* Pass a pointer to this as extradriverdata of FMOD_System_Init when the output is ALSA (or
   FMOD_OUTPUTTYPE_AUTODETECT on Linux). Null fields, or a null extradriverdata, keep the defaults. */
typedef struct FMOD_LINUX_EXTRADRIVERDATA
{
    const char* output_driver_arguments; /* the ALSA PCM to play on ("hw:1,0", "plughw:1", a name from
                                            the ALSA configuration); null or "" is "default" */
    const char* record_driver_arguments; /* ignored: this engine does not record */
} FMOD_LINUX_EXTRADRIVERDATA;

#endif
