#pragma once

#include "platform/fd.h"

#include <QByteArray>

#include <sys/types.h>

class MediaInfo;

// One identify run of the player, as it goes: the child started through the
// shell with an empty input, its output cut into the pieces that fgets()
// with an 80-byte buffer would give and each parsed into the record, and the
// probe's time limit. The caller waits for output() to become readable, by
// poll() or by a notifier, and calls read(); a run still going when it is
// destroyed is ended and reaped.
class IdentifyRun
{
public:
    explicit IdentifyRun(MediaInfo *record);
    ~IdentifyRun();
    IdentifyRun(const IdentifyRun &) = delete;
    IdentifyRun &operator=(const IdentifyRun &) = delete;

    // Prints command (the identify command line, no line end) and starts it.
    // false: it could not be started, and the record keeps what it holds.
    bool start(const QByteArray &command);
    // The descriptor to wait on for output; -1 when the run is not going.
    int output() const { return readEnd.get(); }
    // Reads what has come; false once the output has ended or failed.
    bool read();
    // Milliseconds left before the time limit, 0 or less when it has passed.
    // A run still waiting for the processor rather than for its file is
    // given more, up to a bound.
    long long msLeft();
    // The output has ended: what is left of it is parsed and the child
    // reaped.
    void finish();
    // Given up (time limit, or nobody needs the answer): the child is killed
    // and reaped at once, the record holds the defaults.
    void abandon();

private:
    void takePiece(qsizetype length);
    void end(int termMs);

    MediaInfo *record;
    Fd readEnd;
    pid_t pid = -1;
    long long started = 0;
    long long deadline = 0;
    QByteArray pending; // output not parsed yet: less than a piece
};
