#pragma once

#include "identifyrun.h"
#include "mediainfo.h"

#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// The probe of one file run beside the event loop: the same identify run
// as MediaInfo's, its output read through a notifier as it comes, its time
// limit kept by a timer. finished() tells that the answer is there; a probe
// destroyed before that is ended and reaped at once.
class BackgroundProbe : public QObject
{
    Q_OBJECT
public:
    BackgroundProbe(const QString &mediaPath, const QString &playerPath, QObject *parent);
    ~BackgroundProbe() override;

    // Prints the identify command line and starts the run. false: it could
    // not be started; the answer (the defaults) is there at once.
    bool start();
    QString path() const { return file; }
    bool isFinished() const { return done; }
    // It was cut off by the time limit: its answer holds the defaults.
    bool timedOut() const { return cutOff; }
    const MediaInfo &info() const { return answer; }

signals:
    void finished();

private:
    void readOutput();
    void checkTime();
    void end(bool overTime);

    QString file;
    QString player;
    MediaInfo answer = MediaInfo::unprobed();
    IdentifyRun run{&answer}; // after answer, which it fills
    QSocketNotifier *output = nullptr;
    QTimer *limit = nullptr;
    bool done = false;
    bool cutOff = false;
};
