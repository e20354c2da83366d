#include "positionkeeper.h"

#include "platform/safesave.h"
#include "platform/znowplaying.h"
#include "playersession.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

// MPlayer's own parser ends a quoted text at a quote, and a backslash keeps
// the next character; neither may come from the settings.
QByteArray osdText(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c != '"' && c != '\\' && (uchar(c) >= 0x20 && c != 0x7f))
            out += c;
    }
    return out;
}

} // namespace

PositionKeeper::PositionKeeper(PlayerSession *session, const QString &file,
                               const QString &resumedText, QObject *parent)
    : QObject(parent), session(session), kept(file), resumedText(resumedText)
{
    writeTimer = new QTimer(this);
    writeTimer->setSingleShot(true);
    writeTimer->setTimerType(Qt::PreciseTimer);
    connect(writeTimer, &QTimer::timeout, this, &PositionKeeper::requestWrite);
    connect(session, &PlayerSession::opened, this, &PositionKeeper::opened);
    connect(session, &PlayerSession::reportChanged, this, &PositionKeeper::reportChanged);
    connect(session, &PlayerSession::stateChanged, this, &PositionKeeper::stateChanged);
    connect(session, &PlayerSession::fileEnded, this, &PositionKeeper::fileEnded);
}

PositionKeeper::~PositionKeeper()
{
    flush();
}

void PositionKeeper::opened()
{
    active = loaded = ended = false;
    resumeAt = 0;
    const QByteArray path = Positions::key(session->path());
    const qint64 size = Positions::fileSize(path);
    if (size < 0)
        return;
    const Positions::Entry *known = kept.find(path, size);
    entry = known ? *known : Positions::Entry{path, size, 0, false};
    if (Positions::counts(double(entry.seconds), session->report().length))
        resumeAt = entry.seconds;
    active = true;
}

void PositionKeeper::reportChanged()
{
    if (active && !loaded && session->report().loaded)
        resume();
    record();
}

// MPlayer takes commands from here on; before, it drops them.
void PositionKeeper::resume()
{
    loaded = true;
    put();
    if (resumeAt <= 0)
        return;
    // A pause the user asked for while the file opened is kept.
    const QByteArray prefix = session->state() == PlayerSession::State::Paused
        ? "pausing_keep_force " : "";
    const QString place = ZNowPlaying::clock(double(resumeAt));
    const QString text = resumedText.contains(QLatin1String("%1")) ? resumedText.arg(place)
                                                                   : resumedText;
    session->send((prefix + "seek " + QByteArray::number(resumeAt) + " 2\n").constData());
    session->send((prefix + "osd_show_text \"" + osdText(text) + "\" 2000\n").constData());
}

void PositionKeeper::stateChanged()
{
    const PlayerSession::State state = session->state();
    if (!active || state == PlayerSession::State::Playing)
        return;
    record();
    requestWrite();
    if (state == PlayerSession::State::Idle) {
        active = false;
        emit changed();
    }
}

void PositionKeeper::fileEnded()
{
    if (!active || !loaded || ended)
        return;
    ended = true;
    entry.seconds = 0;
    entry.seen = true;
    put();
    emit changed();
}

void PositionKeeper::record()
{
    const PlayerSession::Report &report = session->report();
    if (!active || !loaded || ended || !report.positionKnown)
        return;
    const qint64 seconds = Positions::counts(report.position, report.length)
        ? qint64(report.position) : 0;
    if (seconds == entry.seconds)
        return;
    entry.seconds = seconds;
    put();
}

void PositionKeeper::put()
{
    kept.put(entry);
    dirty = true;
    requestWrite();
}

void PositionKeeper::requestWrite()
{
    if (!dirty || writeTimer->isActive())
        return;
    // A write that failed (a read-only card, a full one) is tried again, and
    // said again, once a minute.
    if (pendingWrite.valid() && !writing())
        lastWriteFailed = !pendingWrite.get();
    const qint64 interval = lastWriteFailed ? RetryIntervalMs : WriteIntervalMs;
    const qint64 since = lastWrite.isValid() ? lastWrite.elapsed() : interval;
    if (since < interval || writing()) {
        writeTimer->start(int(std::max<qint64>(interval - since, 50)));
        return;
    }
    dirty = false;
    if (!kept.unreadable().isEmpty()) {
        // Never replaced by the little this run knows of it.
        if (!readReported)
            reportFailedSave(kept.path(), QLatin1String("cannot read it: ") + kept.unreadable());
        readReported = true;
        return;
    }
    lastWrite.start();
    pendingWrite = std::async(std::launch::async, [path = kept.path(), bytes = kept.text()] {
        return saveFile(path, bytes);
    });
}

bool PositionKeeper::writing() const
{
    return pendingWrite.valid()
        && pendingWrite.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void PositionKeeper::flush()
{
    if (pendingWrite.valid())
        pendingWrite.wait();
    writeTimer->stop();
    if (dirty && kept.unreadable().isEmpty())
        saveFile(kept.path(), kept.text());
    dirty = false;
    lastWrite.start();
}
