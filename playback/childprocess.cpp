#include "childprocess.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

pid_t startShellChild(const char *command, int input, int output, const int *closeInChild, int closeCount)
{
    fflush(stdout); // what we printed must not be printed again by the child
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) {
        // Set it from this side too, so that the group exists whichever of
        // the two runs first.
        if (pid > 0)
            setpgid(pid, pid);
        return pid;
    }

    setpgid(0, 0);
    // Dies with us, whatever the reason we end: a player must not outlive
    // the program. We may have ended between fork() and prctl().
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    // An ignored SIGPIPE survives exec and would change how the player
    // reacts to a closed output.
    signal(SIGPIPE, SIG_DFL);
    for (int i = 0; i < closeCount; ++i) {
        if (closeInChild[i] != input && closeInChild[i] != output)
            close(closeInChild[i]);
    }
    // Output first: it may be the very descriptor that input is, then
    // moved onto 0 by the second dup2.
    if (output != 1 && dup2(output, 1) < 0)
        _exit(127);
    if (input >= 0 && input != 0 && dup2(input, 0) < 0)
        _exit(127);
    if (input > 1)
        close(input);
    if (output > 1 && output != input)
        close(output);
    execl("/bin/sh", "sh", "-c", command, static_cast<char *>(nullptr));
    _exit(127);
}

bool readProcessStat(pid_t pid, ProcessStat *out)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[512];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return false;
    text[n] = 0;
    // pid (comm) state ppid pgrp, then fields 6 to 13, then utime and stime;
    // comm may hold blanks and parentheses.
    const char *end = strrchr(text, ')');
    unsigned long user = 0;
    unsigned long system = 0;
    const char *format = " %c %*d %d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu";
    if (!end || sscanf(end + 1, format, &out->state, &out->processGroup, &user, &system) != 4)
        return false;
    out->cpuTicks = user + system;
    return true;
}
