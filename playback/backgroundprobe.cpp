#include "backgroundprobe.h"

#include "platform/fsname.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

BackgroundProbe::BackgroundProbe(const QString &mediaPath, const QString &playerPath,
                                 QObject *parent)
    : QObject(parent), file(mediaPath), player(playerPath)
{
}

// The run, a member, then ends and reaps a child still going.
BackgroundProbe::~BackgroundProbe()
{
    if (output)
        output->setEnabled(false);
}

bool BackgroundProbe::start()
{
    if (!run.start(fsEncode(MediaInfo::identifyCommand(file, player)))) {
        done = true;
        return false;
    }
    output = new QSocketNotifier(run.output(), QSocketNotifier::Read, this);
    connect(output, &QSocketNotifier::activated, this, &BackgroundProbe::readOutput);
    limit = new QTimer(this);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, this, &BackgroundProbe::checkTime);
    checkTime();
    return true;
}

void BackgroundProbe::readOutput()
{
    if (!done && !run.read())
        end(false);
}

void BackgroundProbe::checkTime()
{
    if (done)
        return;
    const long long left = run.msLeft();
    if (left <= 0)
        end(true);
    else
        limit->start(int(std::min<long long>(left, 60000)));
}

void BackgroundProbe::end(bool overTime)
{
    done = true;
    cutOff = overTime;
    output->setEnabled(false);
    limit->stop();
    if (overTime)
        run.abandon();
    else
        run.finish();
    emit finished();
}
