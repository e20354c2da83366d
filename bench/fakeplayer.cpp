// A player for benchmarks: writes "start <ns>" when it runs and "<ns> <line>"
// for each line it reads, with CLOCK_MONOTONIC times, to the file named by
// BENCH_PLAYER_LOG. An identify run prints nothing and ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static long long now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

int main(int argc, char **argv)
{
    const long long started = now();
    for (int i = 1; i < argc; ++i)
        if (!strcmp(argv[i], "-identify"))
            return 0;
    const char *path = getenv("BENCH_PLAYER_LOG");
    FILE *log = path ? fopen(path, "a") : nullptr;
    if (!log)
        return 1;
    fprintf(log, "start %lld\n", started);
    fflush(log);
    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        fprintf(log, "%lld %s", now(), line);
        fflush(log);
        if (!strcmp(line, "quit\n"))
            break;
    }
    return 0;
}
