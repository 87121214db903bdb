#ifndef TUNEWRIGHT_PLAYCOMMAND_H
#define TUNEWRIGHT_PLAYCOMMAND_H

// What the player is asked to do while a song plays. The terminal's keys and the session bus both
// come down to these, and one function in PlayMain.cpp carries them out.
struct PlayCommand
{
    enum class Kind {
        TOGGLE_PAUSE,
        PLAY,
        PAUSE,
        STOP,           // paused at the song's start
        SEEK_BARS,      // by amount bars (back when negative)
        SEEK_BY_MS,     // by amount milliseconds
        SEEK_TO_MS,     // to amount milliseconds of the song as played
        CHANGE_VOLUME,  // by amount
        SET_VOLUME,     // to amount
        TOGGLE_MUTE,    // of track amount
        CHANGE_TEMPO,   // the tempo factor times amount
        CHANGE_PITCH,   // the pitch shift by amount semitones
        NEXT,
        PREVIOUS,
        QUIT
    };
    Kind kind;
    double amount = 0.0;
};

#endif
