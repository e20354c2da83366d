#include "playerpipe.h"

#include "processgroup.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct PipeRecord
{
    FILE *stream;
    pid_t pid;
    PipeRecord *next;
};

// Newest first. Only the GUI thread opens and closes streams.
PipeRecord *pipeRegistry = nullptr;

PlayerPipeGrace grace;

// A write to a player that has ended must fail with EPIPE, not end the
// program.
void ignoreSigpipe()
{
    static const bool done = [] {
        signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)done;
}

} // namespace

PlayerPipeGrace playerPipeGrace()
{
    return grace;
}

void setPlayerPipeGrace(PlayerPipeGrace value)
{
    grace = value;
}

FILE *openPlayerPipe(const char *command)
{
    ignoreSigpipe();

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) < 0)
        return nullptr;
    const int ours = ends[0];
    const int theirs = ends[1];
    // Our end must not leak into anything else this program starts.
    fcntl(ours, F_SETFD, FD_CLOEXEC);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        const int saved = errno;
        close(ours);
        close(theirs);
        errno = saved;
        return nullptr;
    }

    if (pid == 0) {
        setpgid(0, 0);
        dieWithParent(parent);
        // An ignored SIGPIPE survives exec and would change how the player
        // reacts to a closed output.
        signal(SIGPIPE, SIG_DFL);
        close(ours);
        if (theirs != 0 && dup2(theirs, 0) < 0)
            _exit(127);
        if (theirs != 1 && dup2(theirs, 1) < 0)
            _exit(127);
        if (theirs != 0 && theirs != 1)
            close(theirs);
        for (PipeRecord *r = pipeRegistry; r; r = r->next)
            close(fileno(r->stream));
        execl("/bin/sh", "sh", "-c", command, static_cast<char *>(nullptr));
        _exit(127);
    }

    // Set it from this side too, so that the group exists whichever of the
    // two runs first.
    setpgid(pid, pid);
    close(theirs);

    FILE *stream = fdopen(ours, "r+");
    if (!stream) {
        const int saved = errno;
        close(ours);
        endProcessGroup(pid, grace.beforeTerm, grace.beforeKill);
        errno = saved;
        return nullptr;
    }
    auto *record = static_cast<PipeRecord *>(malloc(sizeof(PipeRecord)));
    if (!record) {
        const int saved = errno;
        fclose(stream);
        endProcessGroup(pid, grace.beforeTerm, grace.beforeKill);
        errno = saved;
        return nullptr;
    }
    record->pid = pid;
    record->stream = stream;
    record->next = pipeRegistry;
    pipeRegistry = record;
    return stream;
}

int closePlayerPipe(FILE *stream)
{
    PipeRecord *previous = nullptr;
    PipeRecord *record = pipeRegistry;
    while (record && record->stream != stream) {
        previous = record;
        record = record->next;
    }
    if (!stream || !record) {
        errno = EBADF;
        return -1;
    }
    (previous ? previous->next : pipeRegistry) = record->next;
    const pid_t pid = record->pid;
    free(record);

    const int closed = fclose(stream);
    const int closeError = errno;
    // The child is reaped even when the close failed: a stream that could not
    // be flushed still leaves no process behind.
    const int status = endProcessGroup(pid, grace.beforeTerm, grace.beforeKill);
    if (closed != 0) {
        errno = closeError;
        return -1;
    }
    return status;
}
