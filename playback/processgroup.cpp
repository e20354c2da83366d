#include "processgroup.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <sys/wait.h>

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

// Waits up to ms for the leader; 1 reaped, 0 not yet, -1 error.
int reapWithin(pid_t pid, int *status, int ms)
{
    const long long deadline = nowMs() + ms;
    int step = 1;
    for (;;) {
        const int r = tryReap(pid, status);
        if (r != 0)
            return r;
        const long long left = deadline - nowMs();
        if (left <= 0)
            return 0;
        pause(int(std::min<long long>(step, left)));
        step = std::min(step * 2, 20);
    }
}

bool groupAlive(pid_t pgid)
{
    return kill(-pgid, 0) == 0 || errno == EPERM;
}

// Ends what is left of a group whose leader has been reaped. Those members
// are not our children and cannot be waited for; watch them go instead.
void endOrphans(pid_t pgid, int termMs, int killMs)
{
    if (!groupAlive(pgid))
        return;
    const auto goneWithin = [pgid](int ms) {
        const long long deadline = nowMs() + ms;
        while (groupAlive(pgid)) {
            if (nowMs() >= deadline)
                return false;
            pause(5);
        }
        return true;
    };
    if (goneWithin(std::min(termMs, 200)))
        return;
    kill(-pgid, SIGTERM);
    if (goneWithin(killMs))
        return;
    kill(-pgid, SIGKILL);
    goneWithin(1000);
}

} // namespace

int endProcessGroup(pid_t pid, int termMs, int killMs)
{
    int status = 0;
    int r = reapWithin(pid, &status, termMs);
    if (r == 0) {
        kill(-pid, SIGTERM);
        r = reapWithin(pid, &status, killMs);
    }
    if (r == 0) {
        kill(-pid, SIGKILL);
        for (;;) {
            const pid_t w = waitpid(pid, &status, 0);
            if (w == pid) {
                r = 1;
                break;
            }
            if (errno != EINTR) {
                r = -1;
                break;
            }
        }
    }
    if (r < 0)
        return -1;
    endOrphans(pid, termMs, killMs);
    return status;
}
