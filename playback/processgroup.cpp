#include "processgroup.h"

#include "childprocess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long nowMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

void pause(int ms)
{
    timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) < 0 && errno == EINTR) {
    }
}

// Nonblocking wait; 1: reaped, 0: still running, -1: error (not EINTR).
int tryReap(pid_t pid, int *status)
{
    for (;;) {
        const pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid)
            return 1;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

// Members of a group whose leader has been reaped are not our children and
// cannot be waited for; this tells whether any is left. An ended member may
// stay a zombie for a while until whoever adopted it reaps it; it counts as
// gone.
bool groupAlive(pid_t pgid)
{
    if (kill(-pgid, 0) != 0 && errno != EPERM)
        return false;
    DIR *proc = opendir("/proc");
    if (!proc)
        return true;
    bool alive = false;
    while (const dirent *entry = readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        ProcessStat stat;
        const bool live = readProcessStat(pid_t(atoi(entry->d_name)), &stat) && stat.state != 'Z'
            && stat.state != 'X';
        if (live && stat.processGroup == pgid) {
            alive = true;
            break;
        }
    }
    closedir(proc);
    return alive;
}

// After SIGKILL, how long to watch for the processes to go before giving up
// on them: only a process stuck in the kernel takes longer.
constexpr int AfterKillMs = 500;

} // namespace

int endProcessGroup(pid_t pid, int termMs, int killMs)
{
    const long long termAt = nowMs() + termMs;
    const long long killAt = termAt + killMs;
    bool termSent = false;
    bool killSent = false;
    bool reaped = false;
    int status = 0;
    int step = 1;
    for (;;) {
        if (!reaped) {
            const int r = tryReap(pid, &status);
            if (r < 0)
                return -1;
            reaped = r == 1;
        }
        if (reaped && !groupAlive(pid))
            return status;
        const long long now = nowMs();
        if (!termSent && now >= termAt) {
            kill(-pid, SIGTERM);
            termSent = true;
        }
        if (!killSent && now >= killAt) {
            kill(-pid, SIGKILL);
            killSent = true;
        }
        if (killSent && now >= killAt + AfterKillMs) {
            if (reaped)
                return status;
            errno = ETIMEDOUT;
            return -1;
        }
        const long long next = !termSent ? termAt : !killSent ? killAt : killAt + AfterKillMs;
        pause(int(std::max<long long>(1, std::min<long long>(step, next - now))));
        step = std::min(step * 2, 10);
    }
}
