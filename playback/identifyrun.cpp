#include "identifyrun.h"

#include "childprocess.h"
#include "mediainfo.h"
#include "processgroup.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

long long nowMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// A probe still runnable that has had little of the CPU is kept waiting for
// the processor, not for its file: a busy machine, not a FIFO or a hung
// mount. It is given up to this many times the usual time.
constexpr int StarvedProbeFactor = 4;

bool starvedProbe(pid_t pid)
{
    ProcessStat stat;
    if (!readProcessStat(pid, &stat))
        return false;
    const long ticks = sysconf(_SC_CLK_TCK);
    const long long cpuMs = ticks > 0 ? (long long)stat.cpuTicks * 1000 / ticks : 0;
    return stat.state == 'R' && cpuMs < MediaInfo::probeTimeoutMs() / 2;
}

// The piece size of fgets() with an 80-byte buffer.
constexpr qsizetype PieceBytes = 79;

} // namespace

IdentifyRun::IdentifyRun(MediaInfo *record)
    : record(record)
{
}

IdentifyRun::~IdentifyRun()
{
    if (pid > 0) {
        kill(-pid, SIGKILL);
        end(0);
    }
}

bool IdentifyRun::start(const QByteArray &command)
{
    fwrite(command.constData(), 1, size_t(command.size()), stdout);

    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    readEnd.reset(ends[0]);
    Fd theirs(ends[1]);
    // The child's end blocks as an ordinary output does.
    fcntl(theirs.get(), F_SETFL, 0);
    Fd nothing(open("/dev/null", O_RDONLY | O_CLOEXEC));

    // exec: the player replaces the shell, and so goes when we do.
    const QByteArray line = "exec " + command;
    // The probe reads no keys: its input is empty, not the terminal.
    pid = startShellChild(line.constData(), nothing.get(), theirs.get());
    if (pid < 0) {
        readEnd.reset();
        return false;
    }
    started = nowMs();
    deadline = started + MediaInfo::probeTimeoutMs();
    return true;
}

bool IdentifyRun::read()
{
    char chunk[4096];
    ssize_t n;
    do
        n = ::read(readEnd.get(), chunk, sizeof chunk);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return true;
    if (n <= 0)
        return false;
    pending.append(chunk, n);
    // Up to and including a newline, at most 79 bytes; what is left waits.
    for (;;) {
        const qsizetype newline = pending.indexOf('\n');
        if (newline >= 0 && newline < PieceBytes)
            takePiece(newline + 1);
        else if (pending.size() >= PieceBytes)
            takePiece(PieceBytes);
        else
            return true;
    }
}

void IdentifyRun::takePiece(qsizetype length)
{
    // fgets() would hand on the piece as a C string: it ends at a NUL.
    const QByteArray piece = pending.left(length);
    pending.remove(0, length);
    const size_t text = strnlen(piece.constData(), size_t(piece.size()));
    record->parseIdentifyLine(QString::fromLatin1(piece.constData(), qsizetype(text)));
}

long long IdentifyRun::msLeft()
{
    const long long now = nowMs();
    if (now >= deadline && now - started < MediaInfo::probeTimeoutMs() * StarvedProbeFactor
        && starvedProbe(pid))
        deadline = now + 100;
    return deadline - now;
}

void IdentifyRun::finish()
{
    if (!pending.isEmpty())
        takePiece(pending.size());
    // Its output has ended, so it is ending too; a child that lingers is
    // not allowed to hold the window.
    end(300);
}

void IdentifyRun::abandon()
{
    // A stalled probe (a FIFO, a hung mount) tells nothing reliable.
    if (pid > 0)
        kill(-pid, SIGKILL);
    *record = MediaInfo::unprobed();
    end(0);
}

void IdentifyRun::end(int termMs)
{
    readEnd.reset();
    pending.clear();
    if (pid > 0)
        endProcessGroup(pid, termMs, 200);
    pid = -1;
}
