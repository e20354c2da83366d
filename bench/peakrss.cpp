// peakrss SECONDS PROGRAM [ARGS...]: runs PROGRAM, sends it SIGTERM after
// SECONDS, and prints its peak resident set size in KiB.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    usleep(useconds_t(atof(argv[1]) * 1e6));
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage = {};
    wait4(pid, &status, 0, &usage);
    printf("%ld\n", usage.ru_maxrss);
    return 0;
}
