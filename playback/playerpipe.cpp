#include "playerpipe.h"

#include "childprocess.h"
#include "processgroup.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

    // The child drops our end and the streams of the children before it.
    std::vector<int> others{ours};
    for (PipeRecord *r = pipeRegistry; r; r = r->next)
        others.push_back(fileno(r->stream));
    const pid_t pid = startShellChild(command, theirs, theirs, others.data(), int(others.size()));
    if (pid < 0) {
        const int saved = errno;
        close(ours);
        close(theirs);
        errno = saved;
        return nullptr;
    }
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
