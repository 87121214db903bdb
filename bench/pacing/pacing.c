/* Writes a quiet tone (48 kHz, 16-bit stereo) into PATH in blocks of 20 ms until it is stopped,
 * doing nothing else, paced one of the two ways a player can be:
 *   bench_pacing timer PATH    each block when its time comes, on a clock of its own, as a player
 *                              that keeps only a short lead ahead of what is heard;
 *   bench_pacing device PATH   each block as soon as the last is taken, blocking in the write
 *                              until the device (a FIFO read at the sound's pace) has room, as a
 *                              player with a deep buffer.
 * What each costs is the floor under a player paced that way: a wake, a write, on this machine. */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { RATE = 48000, BLOCK_FRAMES = RATE / 50, AMPLITUDE = 1000 };

int main(int argc, char** argv)
{
    if (argc != 3 || (strcmp(argv[1], "timer") != 0 && strcmp(argv[1], "device") != 0)) {
        fprintf(stderr, "usage: bench_pacing timer|device PATH\n");
        return 2;
    }
    const int l_ByTimer = strcmp(argv[1], "timer") == 0;
    const int l_Fd = open(argv[2], O_WRONLY);
    if (l_Fd < 0) {
        perror(argv[2]);
        return 1;
    }
    /* A square wave of 480 Hz: a whole number of periods a block. */
    short l_Block[BLOCK_FRAMES * 2];
    for (int i = 0; i < BLOCK_FRAMES; ++i)
        l_Block[2 * i] = l_Block[2 * i + 1] = (short)((i / 50) % 2 ? AMPLITUDE : -AMPLITUDE);
    struct timespec l_Due;
    clock_gettime(CLOCK_MONOTONIC, &l_Due);
    for (;;) {
        if (l_ByTimer) {
            l_Due.tv_nsec += 1000000000L / 50;
            if (l_Due.tv_nsec >= 1000000000L) {
                l_Due.tv_nsec -= 1000000000L;
                ++l_Due.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &l_Due, NULL);
        }
        if (write(l_Fd, l_Block, sizeof l_Block) != (ssize_t)sizeof l_Block)
            return 0; /* the reader has gone */
    }
}
