#pragma once

#include "mediainfo.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdio>

class QSocketNotifier;
class QTimer;

// One playback: the probe of the file, the player's stream and its
// notifiers, the commands waiting for the player, the playback state, and
// what the player has told of the file.
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
    enum class State { Idle, Playing, Paused };

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

    // Runs the probe on path with the player at playerPath (regular files
    // only: a FIFO or a device would hold it and tells no size) and keeps
    // its result for the run that follows.
    const MediaInfo &probe(const QString &path, const QString &playerPath);
    // Starts the player with command (the bytes for the shell) on path,
    // after closing a player still running. The state is Playing, whether
    // or not the player could be started.
    void open(const QByteArray &command, const QString &path);
    // Writes one command to the player, if there is one, without waiting:
    // what it cannot take at once waits, within a bound.
    void send(const char *text);
    // Tells the player to quit and waits for it, within closePlayerPipe's
    // bound. The state is left as it was.
    void closePlayer();

    State state() const { return current; }
    void setState(State state);
    FILE *stream() const { return pipe; }
    QString path() const { return file; }
    const Report &report() const { return told; }
    // Whether the position is wanted (asked once a second while playing).
    void setWantPosition(bool want);

    // Seconds from a player's answer such as "12.500000"; 0 for no number.
    static double seconds(const QByteArray &text);

signals:
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
