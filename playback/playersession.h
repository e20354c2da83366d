#pragma once

#include "mediainfo.h"
#include "probecache.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdio>

class BackgroundProbe;
class QSocketNotifier;
class QTimer;

// One playback: the probe of the file, the player's stream and its
// notifiers, the commands waiting for the player, the playback state, and
// what the player has told of the file.
//
// The probe runs beside the event loop, so that keys are answered while it
// runs: a playback is Starting until its answer is there (answered()), and
// only then is the player started. With probing ahead, the probe of the
// file under the list's cursor runs once the cursor has rested there for
// DwellMs, and answers are kept for the run (ProbeCache): choosing that
// file then finds its answer ready, or waits for that very probe.
//
// The player's output is read as it comes. MPlayer says by itself when it
// opens a file ("Playing NAME."), when the file plays ("Starting
// playback..."), whether it has video, its title and artist, and, at the
// verbosity the player adapter asks for, that the file has ended ("EOF code:
// 1"). The player is asked only what that leaves open, and only once it has
// printed such a line: whether a file that has not started within a second
// is loaded at all (one query), and the position, once a second, while
// someone wants it. Queries never resume a paused player.
class PlayerSession : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Starting, Playing, Paused };

    // How long the cursor rests on a file before its probe runs, when
    // probing ahead.
    static constexpr int DwellMs = 150;

    // What the player has told of the file.
    struct Report
    {
        bool loaded = false;   // the file plays, or played to its end
        bool ended = false;    // it has played to its end
        double position = 0;   // seconds: as last asked, moved by the seeks sent since
        bool positionKnown = false; // told, or set by a seek to a place
        double length = 0;     // seconds; 0 when not known
        bool hasVideo = true;  // false once the player said there is none
        QString title;
        QString artist;
    };

    explicit PlayerSession(QObject *parent = nullptr);
    ~PlayerSession() override;

    // Probing ahead, and keeping the answers, on or off (the default).
    void setProbeAhead(bool on);
    // The list's cursor is now on path (empty: on no row). With probing
    // ahead, once it has rested there for DwellMs, a regular file is probed
    // unless its answer is known; a probe that nobody needs any more is
    // ended at once.
    void cursorOn(const QString &path, const QString &playerPath);
    // Begins the playback of path with the player at playerPath: the state
    // is Starting. Only a regular file is probed (a FIFO or a device would
    // hold the probe and tells no size). true: the answer, info(), is there
    // now; otherwise answered() tells when it is.
    bool begin(const QString &path, const QString &playerPath);
    // The probe's answer for the playback begun.
    const MediaInfo &info() const { return probed; }
    // Starts the player with command (the bytes for the shell) on path,
    // after closing a player still running. The state is Playing, or Paused
    // when the window was deactivated while Starting; so it is whether or
    // not the player could be started.
    void open(const QByteArray &command, const QString &path);
    // Writes one command to the player, if there is one, without waiting:
    // what it cannot take at once waits, within a bound.
    void send(const char *text);
    // Tells the player to quit and waits for it, within closePlayerPipe's
    // bound. The state is left as it was. Without probing ahead, a probe
    // the playback was waiting for is ended.
    void closePlayer();

    State state() const { return current; }
    // While Starting, Paused and Playing only decide how the player will
    // start; Idle ends the Starting.
    void setState(State state);
    // Paused, or Starting to be paused.
    bool paused() const
    {
        return current == State::Paused || (current == State::Starting && startPaused);
    }
    FILE *stream() const { return pipe; }
    QString path() const { return file; }
    const Report &report() const { return told; }
    // Whether the position is wanted (asked once a second while playing).
    void setWantPosition(bool want);

    // Seconds from a player's answer such as "12.500000"; 0 for no number.
    static double seconds(const QByteArray &text);

signals:
    // The probe of the playback begun has answered: the player can start.
    void answered();
    // A player has been started on a file; report() starts afresh.
    void opened();
    // setState() has changed the state.
    void stateChanged();
    // The player has closed its output: it has ended, or never started.
    void playerGone();
    // The file has played to its end ("EOF code: 1").
    void fileEnded();
    // The player could not open the file.
    void fileFailed();
    // Something in report() has changed.
    void reportChanged();

private:
    enum class Query { Loaded, Position, Length };

    bool startProbe(const QString &path, const QString &playerPath, const FileStamp &stamp);
    void probeFinished();
    void endProbe();
    void dwelt();

    void watch();
    void unwatch();
    void readOutput();
    void writePending();
    void takeLine(const QByteArray &line);
    void ask(Query query);
    void checkLoaded();
    void askPosition();
    void updatePositionTimer();
    void followSeek(const char *text);

    State current = State::Idle;
    FILE *pipe = nullptr;
    QString file;
    MediaInfo probed = MediaInfo::unprobed();
    bool startPaused = false;          // deactivated while Starting
    bool probeAhead = false;
    ProbeCache answers;                // with probing ahead
    BackgroundProbe *probeRun = nullptr; // at most one at a time
    FileStamp probeStamp;              // the file as probeRun found it
    QTimer *dwell = nullptr;
    QString restingOn;                 // the cursor's file, and the player for it
    QString restingPlayer;
    Report told;
    quint64 run = 0;              // counts players started, so that a handler can tell a new run
    QSocketNotifier *output = nullptr;
    QSocketNotifier *input = nullptr; // on while commands wait for the player
    QByteArray pending;              // commands written to the player as it reads
    QByteArray partLine;             // output after the last line end
    bool inClipInfo = false;         // within the lines after "Clip info:"
    QList<Query> asked;              // queries not answered yet, oldest first
    qsizetype staleAnswers = 0;      // positions asked for before the latest seek, not answered yet
    qsizetype unmatched = 0;         // questions of the opening that may be answered after it
    QElapsedTimer startedAt;         // since the file started playing
    QTimer *loadCheck = nullptr;
    QTimer *positionTimer = nullptr;
    bool wantPosition = false;
    bool lengthAsked = false;
    QElapsedTimer lastAsked; // since the last query
};
