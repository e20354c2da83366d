#pragma once

#include <cstdio>

// A shell command whose standard input and standard output are joined to one
// read/write stream of ours: what we write reaches the command's input, what
// it prints can be read back from the same stream.
//
// The command runs as "/bin/sh -c command" in a process group of its own, so
// that the shell and everything it starts can be reached together. The shell
// is killed when this program ends; a command that is to go with it runs
// the player with the shell's "exec".

// Starts command; returns the stream, or nullptr with errno set.
FILE *openPlayerPipe(const char *command);

// Closes the stream and waits for its child. A child that has not ended
// shortly after its input closed is sent SIGTERM, then SIGKILL, together
// with its process group, so that the call returns within about a second
// whatever the child does. Returns the child's wait status, or -1 with errno
// set (EBADF for a stream that openPlayerPipe did not return).
int closePlayerPipe(FILE *stream);

// How long closePlayerPipe lets a child take before it sends SIGTERM, and
// then SIGKILL, in milliseconds.
struct PlayerPipeGrace
{
    int beforeTerm = 400;
    int beforeKill = 300;
};
PlayerPipeGrace playerPipeGrace();
void setPlayerPipeGrace(PlayerPipeGrace grace);
