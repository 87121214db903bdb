/* c-render: writes an Org-02 song as a WAV file. Usage: c-render SONG.org OUT.wav */
#include <sndfile.h>
#include <stdio.h>
#include <stdlib.h>
#include <tunewright/tunewright.h>

enum { RATE = 48000, FRAMES = 4096 };

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: c-render SONG.org OUT.wav\n");
        return 2;
    }
    /* Any bytes will do: a song read from a file, a resource, the network. */
    FILE* file = fopen(argv[1], "rb");
    if (!file) {
        perror(argv[1]);
        return 1;
    }
    static unsigned char data[1 << 20];
    size_t size = fread(data, 1, sizeof data, file);
    fclose(file);

    int error = TW_OK;
    tw_song* song = tw_song_open_memory(data, size, &error);
    if (!song) {
        fprintf(stderr, "%s: %s\n", argv[1], tw_error_string(error));
        return 1;
    }
    SF_INFO info = {0};
    info.samplerate = RATE;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* wav = sf_open(argv[2], SFM_WRITE, &info);
    if (!wav) {
        fprintf(stderr, "%s: %s\n", argv[2], sf_strerror(NULL));
        tw_song_close(song);
        return 1;
    }
    static int16_t buffer[2 * FRAMES];
    size_t frames, total = 0;
    while ((frames = tw_song_read_s16(song, RATE, FRAMES, buffer)) > 0) {
        sf_writef_short(wav, buffer, (sf_count_t)frames);
        total += frames;
    }
    sf_close(wav);
    tw_song_close(song);
    printf("%s: %.2f s written to %s\n", argv[1], (double)total / RATE, argv[2]);
    return 0;
}
