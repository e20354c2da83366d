// F2 to the list back, with Debian's MPlayer playing a real clip, beside
// MPlayer's own time from "quit" to its exit, measured on the same clip in
// the same run.
// Arguments: the MPlayer adapter (packaging/mplayer as built) and a clip.

#include "benchwindow.h"
#include "platform/zlistbox.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <functional>

namespace {

bool waitFor(const std::function<bool()> &done, int ms = 20000)
{
    const long long deadline = monotonicNs() + ms * 1000000LL;
    while (!done()) {
        if (monotonicNs() > deadline)
            return false;
        QTest::qWait(5);
    }
    return true;
}

bool logSays(const QString &path, const char *text)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.readAll().contains(text);
}

double percentile95(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, v.size() * 95 / 100)];
}

// The window's child list box, whatever it is called inside.
bool listShown(ZFileSelectDialog &window)
{
    const auto boxes = window.findChildren<ZListBox *>();
    return !boxes.isEmpty() && boxes.first()->isVisible();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: bench_stop ADAPTER CLIP\n");
        return 2;
    }
    const QByteArray adapter = argv[1];
    const QString clip = QString::fromLocal8Bit(argv[2]);
    BenchAppDir appDir;
    const QString dir = QString::fromUtf8(appDir.dir);
    const QString log = dir + "/player.log";
    // Morvane's "mplayer": the adapter, without picture or sound, its
    // messages in player.log for a play run.
    writeBytes(dir + "/mplayer", "#!/bin/sh\ncase \" $* \" in *\" -identify \"*) exec \"" + adapter
                 + "\" -vo null -ao null \"$@\" >/dev/null 2>&1;; esac\nexec \"" + adapter
                 + "\" -vo null -ao null \"$@\" >\"" + log.toUtf8() + "\" 2>&1\n");
    QFile::setPermissions(dir + "/mplayer", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    BenchWindow bench(appDir, argc, argv, dir.toUtf8());
    ZFileSelectDialog &window = *bench;

    std::vector<double> stopMs, quitMs;
    for (int round = 0; round < 20; ++round) {
        // Morvane: F2 until the key has been handled and the list is back.
        QFile::remove(log);
        window.playFile(clip);
        if (!waitFor([&] { return logSays(log, "Starting playback"); }))
            return 1;
        QTest::qWait(200);
        const long long t0 = monotonicNs();
        QTest::keyClick(&window, Qt::Key_F2);
        if (!listShown(window))
            return 1;
        stopMs.push_back((monotonicNs() - t0) / 1e6);

        // MPlayer alone: the same command line, "quit" on its input, until
        // it has exited.
        QProcess mplayer;
        mplayer.setProcessChannelMode(QProcess::MergedChannels);
        mplayer.start(QString::fromLocal8Bit(adapter),
                      {"-vo", "null", "-ao", "null", "-slave", "-quiet", "-idle", "-framedrop", clip});
        QByteArray said;
        while (!said.contains("Starting playback") && mplayer.waitForReadyRead(20000))
            said += mplayer.readAll();
        QTest::qWait(200);
        const long long q0 = monotonicNs();
        mplayer.write("quit\n");
        mplayer.waitForBytesWritten();
        if (!mplayer.waitForFinished(20000))
            return 1;
        quitMs.push_back((monotonicNs() - q0) / 1e6);
    }
    fprintf(stderr,
            "F2 to list back, real MPlayer: median %.1f ms, 95th percentile %.1f ms; "
            "MPlayer quit to exit: median %.1f ms, 95th percentile %.1f ms (%zu rounds)\n",
            median(stopMs), percentile95(stopMs), median(quitMs), percentile95(quitMs), stopMs.size());
    return 0;
}
