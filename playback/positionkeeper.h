#pragma once

#include "settings/positions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <future>

class PlayerSession;
class QTimer;

// Where the file playing was left. When a file starts, its kept place is
// looked up; once the player says the file is loaded, the player is sent
// there ("seek N 2") and shows where ("Resumed at 47:10"). As the file plays
// the place follows what the player tells (the session asks once a second);
// a file played to its end forgets it and counts as seen.
//
// The file of places is written when something has changed, at most once
// every 5 s, on a thread of its own so that a slow card never holds a key;
// a pause and the end of a playback ask for a write too, within that bound.
// A power cut loses at most those 5 s of the place. flush() writes at once,
// for quitting.
class PositionKeeper : public QObject
{
    Q_OBJECT
public:
    // file: the file of places; resumedText: what the picture shows, %1 the
    // place.
    PositionKeeper(PlayerSession *session, const QString &file, const QString &resumedText,
                   QObject *parent);
    ~PositionKeeper() override;

    const Positions &positions() const { return kept; }
    // Writes what is not on disk yet, and waits for it.
    void flush();

    static constexpr int WriteIntervalMs = 5000;
    static constexpr int RetryIntervalMs = 60000;

signals:
    // A playback has ended, or its file was seen to the end: what the list
    // shows of it may have changed.
    void changed();

private:
    void opened();
    void reportChanged();
    void resume();
    void stateChanged();
    void fileEnded();
    // Takes the place the player told into the entry of the file playing.
    void record();
    void put();
    void requestWrite();
    bool writing() const;

    PlayerSession *session;
    Positions kept;
    QString resumedText;

    // The file playing.
    Positions::Entry entry;
    bool active = false;  // a regular file plays, its entry is entry
    bool loaded = false;  // the player has said it is loaded
    bool ended = false;   // it has played to its end
    qint64 resumeAt = 0;  // the place to send the player to once it is loaded

    bool dirty = false;   // kept has changed since it was last written
    bool readReported = false;
    bool lastWriteFailed = false;
    QElapsedTimer lastWrite;
    QTimer *writeTimer = nullptr;
    std::future<bool> pendingWrite;
};
