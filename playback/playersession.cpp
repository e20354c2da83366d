#include "playersession.h"

#include "backgroundprobe.h"
#include "playerpipe.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/socket.h>

namespace {

// Commands a player has not taken yet wait here up to this many bytes; more
// are dropped. A player that reads nothing cannot make the window block or
// grow.
constexpr qsizetype PendingCommandLimit = 4096;
// A line of output longer than this is cut: a player that never ends a line
// cannot make us grow.
constexpr qsizetype LineLimit = 4096;
// How much output is read in one round of the event loop, in chunks of
// 16 KiB.
constexpr int ChunksPerWake = 8;
// A file that has not started playing this long after it was opened is
// asked about once; the position is asked at most this often.
constexpr int QueryIntervalMs = 1000;

const char QueryPrefix[] = "pausing_keep_force get_property ";

} // namespace

PlayerSession::PlayerSession(QObject *parent)
    : QObject(parent)
{
    loadCheck = new QTimer(this);
    loadCheck->setSingleShot(true);
    loadCheck->setInterval(QueryIntervalMs);
    connect(loadCheck, &QTimer::timeout, this, &PlayerSession::checkLoaded);
    positionTimer = new QTimer(this);
    positionTimer->setInterval(QueryIntervalMs);
    connect(positionTimer, &QTimer::timeout, this, &PlayerSession::askPosition);
    dwell = new QTimer(this);
    dwell->setSingleShot(true);
    dwell->setInterval(DwellMs);
    connect(dwell, &QTimer::timeout, this, &PlayerSession::dwelt);
}

PlayerSession::~PlayerSession()
{
    if (pipe)
        closePlayer();
}

void PlayerSession::setProbeAhead(bool on)
{
    probeAhead = on;
}

void PlayerSession::cursorOn(const QString &path, const QString &playerPath)
{
    if (!probeAhead)
        return;
    restingOn = path;
    restingPlayer = playerPath;
    // Scrolling starts nothing: only a cursor at rest does.
    dwell->start();
    if (probeRun && current != State::Starting && probeRun->path() != path)
        endProbe();
}

void PlayerSession::dwelt()
{
    // One probe at a time: one a playback waits for goes on.
    if (restingOn.isEmpty() || probeRun)
        return;
    const std::optional<FileStamp> stamp = FileStamp::of(restingOn);
    if (stamp && !answers.find(*stamp))
        startProbe(restingOn, restingPlayer, *stamp);
}

bool PlayerSession::begin(const QString &path, const QString &playerPath)
{
    dwell->stop();
    current = State::Starting;
    startPaused = false;
    file = path;
    probed = MediaInfo::unprobed();
    const std::optional<FileStamp> stamp = FileStamp::of(path);
    if (!stamp)
        return true;
    if (probeAhead) {
        if (const MediaInfo *known = answers.find(*stamp)) {
            probed = *known;
            return true;
        }
        // The probe of this very file, as it is now, is under way: its
        // answer is waited for rather than asked again.
        if (probeRun && probeRun->path() == path && probeStamp == *stamp)
            return false;
    }
    endProbe();
    return !startProbe(path, playerPath, *stamp);
}

bool PlayerSession::startProbe(const QString &path, const QString &playerPath,
                               const FileStamp &stamp)
{
    probeRun = new BackgroundProbe(path, playerPath, this);
    probeStamp = stamp;
    connect(probeRun, &BackgroundProbe::finished, this, &PlayerSession::probeFinished);
    if (probeRun->start())
        return true;
    endProbe();
    return false;
}

// Called from within the probe's own handler: it is deleted once that has
// returned.
void PlayerSession::probeFinished()
{
    BackgroundProbe *done = probeRun;
    probeRun = nullptr;
    done->deleteLater();
    // A probe cut off by its time limit says nothing about the file.
    if (probeAhead && !done->timedOut())
        answers.keep(probeStamp, done->info());
    if (current == State::Starting && done->path() == file) {
        probed = done->info();
        emit answered();
    }
}

// A probe that nobody needs is ended and reaped at once.
void PlayerSession::endProbe()
{
    delete probeRun;
    probeRun = nullptr;
}

void PlayerSession::open(const QByteArray &command, const QString &path)
{
    if (pipe)
        closePlayer();
    ++run;
    file = path;
    told = Report();
    told.length = seconds(probed.getLength().toLatin1());
    asked.clear();
    staleAnswers = unmatched = 0;
    startedAt.invalidate();
    lengthAsked = false;
    partLine.clear();
    inClipInfo = false;
    pipe = openPlayerPipe(command.constData());
    const bool pauseNow = current == State::Starting && startPaused;
    current = State::Playing;
    watch();
    if (pauseNow) {
        send("pause\n");
        current = State::Paused;
    }
    emit opened();
}

void PlayerSession::setState(State state)
{
    if (current == State::Starting && state != State::Idle) {
        startPaused = state == State::Paused;
        return;
    }
    const bool changed = state != current;
    current = state;
    updatePositionTimer();
    if (changed)
        emit stateChanged();
}

void PlayerSession::setWantPosition(bool want)
{
    wantPosition = want;
    updatePositionTimer();
}

// Only while it moves: a paused or ended file needs no asking (a handset's
// battery).
void PlayerSession::updatePositionTimer()
{
    const bool on = wantPosition && pipe && told.loaded && !told.ended && current == State::Playing;
    if (on && !positionTimer->isActive()) {
        positionTimer->start();
        // At once, for the screen that shows it now, unless that would ask
        // twice within a second.
        if (!lastAsked.isValid() || lastAsked.elapsed() >= QueryIntervalMs)
            askPosition();
    } else if (!on) {
        positionTimer->stop();
    }
}

void PlayerSession::send(const char *text)
{
    if (!pipe)
        return;
    const qsizetype length = qsizetype(strlen(text));
    if (pending.size() + length > PendingCommandLimit)
        return;
    pending.append(text, length);
    followSeek(text);
    writePending();
}

// The position moves with a seek as it is sent ("seek +30", "seek 2830 2"),
// so that it is right before the player is asked again. Answers to what was
// asked before it tell where the player was, and are let go.
void PlayerSession::followSeek(const char *text)
{
    QList<QByteArray> words = QByteArray(text).simplified().split(' ');
    if (words.value(0).startsWith("pausing"))
        words.removeFirst();
    bool ok = false;
    const double value = words.value(1).toDouble(&ok);
    if (words.value(0) != "seek" || !ok || !std::isfinite(value))
        return;
    const bool justStarted = startedAt.isValid() && startedAt.elapsed() < 3 * QueryIntervalMs;
    staleAnswers = asked.size() - asked.count(Query::Length) + (justStarted ? unmatched : 0);
    const int type = words.value(2).toInt();
    double to = 0;
    if (type == 2)
        to = value;
    else if (type == 1 && told.length > 0)
        to = value * told.length / 100;
    else if (type == 0 && told.positionKnown)
        to = told.position + value;
    else
        return;
    told.position = std::max(0.0, told.length > 0 ? std::min(to, told.length) : to);
    told.positionKnown = true;
}

void PlayerSession::writePending()
{
    while (pipe && !pending.isEmpty()) {
        const ssize_t n = ::send(fileno(pipe), pending.constData(), size_t(pending.size()),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (input)
                input->setEnabled(true);
            return;
        }
        pending.clear(); // the player has gone; nobody will read them
    }
    if (input)
        input->setEnabled(false);
}

void PlayerSession::closePlayer()
{
    // With probing ahead a probe goes on: the cursor is still on its file.
    if (!probeAhead)
        endProbe();
    if (pipe)
        send("quit\n");
    unwatch();
    closePlayerPipe(pipe);
    pipe = nullptr;
    loadCheck->stop();
    positionTimer->stop();
    asked.clear();
    staleAnswers = 0;
}

void PlayerSession::watch()
{
    unwatch();
    if (!pipe)
        return;
    output = new QSocketNotifier(fileno(pipe), QSocketNotifier::Read, this);
    connect(output, &QSocketNotifier::activated, this, &PlayerSession::readOutput);
    input = new QSocketNotifier(fileno(pipe), QSocketNotifier::Write, this);
    input->setEnabled(false);
    connect(input, &QSocketNotifier::activated, this, &PlayerSession::writePending);
}

// The notifiers may be the very ones whose signal is being handled.
void PlayerSession::unwatch()
{
    for (QSocketNotifier **n : {&output, &input}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    pending.clear();
}

// Read as it comes, or a chatty player would fill the socket and stall. Its
// end tells that the player has ended. A player that never stops talking
// gets a bounded share: what is left is read on the next round of the event
// loop, so that keys are never held up.
void PlayerSession::readOutput()
{
    if (!pipe || !output)
        return;
    const quint64 thisRun = run;
    char chunk[16384];
    for (int round = 0; round < ChunksPerWake;) {
        const ssize_t n = recv(fileno(pipe), chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            output->setEnabled(false);
            emit playerGone();
            return;
        }
        ++round;
        const char *end = chunk + n;
        for (const char *c = chunk; c < end;) {
            const char *stop = std::find_if(c, end, [](char b) { return b == '\n' || b == '\r'; });
            partLine.append(c, std::min<qsizetype>(stop - c, LineLimit - partLine.size()));
            if (stop == end)
                break;
            const QByteArray line = partLine;
            partLine.clear();
            takeLine(line);
            if (run != thisRun || !pipe)
                return; // a handler has ended this run
            c = stop + 1;
        }
    }
}

void PlayerSession::takeLine(const QByteArray &line)
{
    if (inClipInfo && line.startsWith(' ')) {
        const QByteArray item = line.trimmed();
        if (item.startsWith("Title: "))
            told.title = QString::fromUtf8(item.mid(7).trimmed());
        else if (item.startsWith("Artist: "))
            told.artist = QString::fromUtf8(item.mid(8).trimmed());
        return;
    }
    inClipInfo = line == "Clip info:";
    if (line.startsWith("Playing ") && line.endsWith('.')) {
        told.loaded = false;
        told.ended = false;
        loadCheck->start();
    } else if (line == "Starting playback...") {
        told.loaded = true;
        loadCheck->stop();
        // MPlayer drops what it is sent while it opens a file: that question
        // may never be answered, or be answered now.
        unmatched = asked.removeAll(Query::Loaded);
        startedAt.start();
        updatePositionTimer();
        emit reportChanged();
    } else if (line == "Video: no video") {
        told.hasVideo = false;
    } else if (line.startsWith("EOF code: ") && line.mid(10).trimmed() == "1") {
        told.ended = true;
        updatePositionTimer();
        if (told.length > 0)
            told.position = told.length;
        emit reportChanged();
        emit fileEnded();
    } else if (line.startsWith("ANS_")) {
        // Answers come in the order asked, and name what they answer.
        const Query query = asked.isEmpty() ? Query::Position : asked.takeFirst();
        const bool stale = query != Query::Length && staleAnswers > 0;
        if (stale)
            --staleAnswers;
        if (line == "ANS_ERROR=PROPERTY_UNAVAILABLE") {
            if (query == Query::Loaded && !told.loaded)
                emit fileFailed();
            return;
        }
        if (line.startsWith("ANS_length=")) {
            told.length = seconds(line.mid(11));
        } else if (line.startsWith("ANS_time_pos=")) {
            if (!stale) {
                told.position = seconds(line.mid(13));
                told.positionKnown = true;
            }
            told.loaded = true;
            updatePositionTimer();
        } else {
            return;
        }
        emit reportChanged();
    }
}

void PlayerSession::ask(Query query)
{
    asked.append(query);
    lastAsked.start();
    send(QByteArray(QueryPrefix).append(query == Query::Length ? "length\n" : "time_pos\n").constData());
}

void PlayerSession::checkLoaded()
{
    if (pipe && !told.loaded && !asked.contains(Query::Loaded))
        ask(Query::Loaded);
}

void PlayerSession::askPosition()
{
    // One question at a time; one left unanswered for long was dropped (as
    // MPlayer does while it fills its cache).
    if (!asked.isEmpty() && lastAsked.elapsed() > 3 * QueryIntervalMs)
        asked.clear();
    if (asked.isEmpty())
        staleAnswers = 0;
    if (!pipe || !asked.isEmpty())
        return;
    // The length, when the probe did not tell it, is asked once.
    ask(told.length > 0 || lengthAsked ? Query::Position : Query::Length);
    lengthAsked = true;
}

double PlayerSession::seconds(const QByteArray &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && value > 0 && value < 1e9 ? value : 0;
}
