#pragma once

#include <sys/types.h>

// Every child process this program starts: "/bin/sh -c command", leading a
// process group of its own (so that the shell and all it starts can be
// signalled together), killed when this program ends, its standard input
// and output on the descriptors given, standard error shared with ours.
//
// input, output: the child's descriptors 0 and 1 (input -1: our own
// standard input). closeInChild: closeCount further descriptors of ours
// the child must not hold; those opened close-on-exec need not be named.
// Returns the child's id, or -1 with errno set when fork fails. A child
// that cannot set up its descriptors or run the shell ends with status 127.
pid_t startShellChild(const char *command, int input, int output, const int *closeInChild = nullptr,
                      int closeCount = 0);

// What /proc/PID/stat tells of a process.
struct ProcessStat
{
    char state = 0;           // R, S, D, Z, X, ...
    int processGroup = 0;
    unsigned long cpuTicks = 0; // user and system time, in clock ticks
};
// false when there is no such process (or it cannot be read).
bool readProcessStat(pid_t pid, ProcessStat *out);
