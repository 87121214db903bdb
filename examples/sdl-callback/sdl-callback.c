/* sdl-callback: plays an Org-02 song the way a game embeds it, from SDL's own audio callback.
 * Usage: sdl-callback SONG.org [SECONDS]   (SDL_AUDIODRIVER=dummy plays it silently) */
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <tunewright/tunewright.h>

struct Player
{
    tw_song* song;
    int rate;
    size_t played; /* frames handed to SDL */
    int ended;
};

/* SDL's audio thread asks for `length` bytes; the song fills them, silence after its end. */
static void Fill(void* user, Uint8* stream, int length)
{
    struct Player* player = user;
    size_t wanted = (size_t)length / (2 * sizeof(int16_t));
    size_t got = tw_song_read_s16(player->song, player->rate, wanted, (int16_t*)stream);
    player->played += got;
    if (got < wanted) {
        SDL_memset(stream + got * 2 * sizeof(int16_t), 0, (wanted - got) * 2 * sizeof(int16_t));
        player->ended = 1;
    }
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: sdl-callback SONG.org [SECONDS]\n");
        return 2;
    }
    int error = TW_OK;
    struct Player player = {tw_song_open_file(argv[1], &error), 0, 0, 0};
    if (!player.song) {
        fprintf(stderr, "%s: %s\n", argv[1], tw_error_string(error));
        return 1;
    }
    double seconds = argc > 2 ? atof(argv[2]) : tw_song_get_duration_seconds(player.song);
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_AudioSpec wanted = {0}, got;
    wanted.freq = 48000;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = Fill;
    wanted.userdata = &player;
    if (SDL_OpenAudio(&wanted, &got) != 0 || got.format != AUDIO_S16SYS || got.channels != 2) {
        fprintf(stderr, "SDL cannot play 16-bit stereo: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    player.rate = got.freq; /* the song renders at whatever rate the device took */
    SDL_PauseAudio(0);
    int ended = 0;
    for (Uint32 start = SDL_GetTicks(); !ended && SDL_GetTicks() - start < seconds * 1000.0;) {
        SDL_Delay(50);
        SDL_LockAudio(); /* the callback's thread writes these */
        ended = player.ended;
        SDL_UnlockAudio();
    }
    SDL_CloseAudio();
    printf("%s: %.2f s played at %d Hz%s\n", argv[1], (double)player.played / player.rate, player.rate,
           ended ? " (the whole song)" : "");
    tw_song_close(player.song);
    SDL_Quit();
    return player.played > 0 ? 0 : 1;
}
