// bench_sdlwait SECONDS: SDL's game-controller subsystem alone, waiting in SDL_WaitEventTimeout
// for SECONDS; prints the CPU time that took in microseconds. The yardstick for Morvane's own
// way of waiting for pads (woken by the devices, not by a timer).
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (argc < 2 || SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return 1;
    const Uint32 end = SDL_GetTicks() + Uint32(atoi(argv[1]) * 1000);
    timespec c0, c1;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
    SDL_Event e;
    while (!SDL_TICKS_PASSED(SDL_GetTicks(), end))
        SDL_WaitEventTimeout(&e, int(end - SDL_GetTicks()));
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
    printf("%lld\n", ((c1.tv_sec - c0.tv_sec) * 1000000000LL + c1.tv_nsec - c0.tv_nsec) / 1000);
    SDL_Quit();
    return 0;
}
