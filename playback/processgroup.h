#pragma once

#include <sys/types.h>

// Waits for child pid, the leader of its own process group. If it has not
// ended after termMs milliseconds, the group is sent SIGTERM; after killMs
// more, SIGKILL. Members of the group that outlive the leader get the same
// deadlines, so that the whole call takes little more than termMs + killMs
// whatever the processes do. Returns the leader's wait status, or -1 with
// errno set when it cannot be waited for. Signals that interrupt the wait do
// not end it.
int endProcessGroup(pid_t pid, int termMs, int killMs);
