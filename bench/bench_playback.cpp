// Playback timings against a player that notes when it starts and when each
// command arrives:
//  - key press to the command's bytes at the player;
//  - choosing a file to the player running, less the probe's own run.
// Argument: the path of bench_fakeplayer.

#include "benchwindow.h"
#include "playback/mediainfo.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

QList<QByteArray> logLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool waitFor(const std::function<bool()> &done, int ms = 5000)
{
    const long long deadline = monotonicNs() + ms * 1000000LL;
    while (!done()) {
        if (monotonicNs() > deadline)
            return false;
        // The probe and the player's start are read in the event loop.
        QCoreApplication::processEvents();
        usleep(200);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: bench_playback PATH-OF-bench_fakeplayer\n");
        return 2;
    }
    BenchAppDir appDir;
    const QString dir = QString::fromUtf8(appDir.dir);
    QFile::link(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath(), dir + "/mplayer");
    const QString log = dir + "/player.log";
    qputenv("BENCH_PLAYER_LOG", log.toLocal8Bit());
    QDir().mkpath(dir + "/media");
    writeBytes(dir + "/media/clip.avi", {});
    BenchWindow bench(appDir, argc, argv, dir.toUtf8() + "/media");
    ZFileSelectDialog &window = *bench;

    // Choosing the file (row 1, after the parent entry) until the player runs.
    std::vector<double> startMs, probeMs;
    for (int round = 0; round < 20; ++round) {
        QFile::remove(log);
        const long long t0 = monotonicNs();
        QMetaObject::invokeMethod(&window, "slotSelected", Q_ARG(int, 1));
        if (!waitFor([&] { return !logLines(log).isEmpty(); }))
            return 1;
        const long long started = logLines(log).first().split(' ').at(1).toLongLong();
        startMs.push_back((started - t0) / 1e6);
        QTest::keyClick(&window, Qt::Key_F2);

        const long long p0 = monotonicNs();
        MediaInfo probe(dir + "/media/clip.avi", dir + "//mplayer");
        probeMs.push_back((monotonicNs() - p0) / 1e6);
    }

    // Key presses while playing.
    QFile::remove(log);
    QMetaObject::invokeMethod(&window, "slotSelected", Q_ARG(int, 1));
    waitFor([&] { return !logLines(log).isEmpty(); });
    std::vector<long long> sent;
    const int presses = 300;
    for (int i = 0; i < presses; ++i) {
        const int before = int(logLines(log).size());
        sent.push_back(monotonicNs());
        QTest::keyClick(&window, Qt::Key_Right);
        waitFor([&] { return logLines(log).size() > before; });
    }
    QTest::keyClick(&window, Qt::Key_F2);
    std::vector<double> keyMs;
    const QList<QByteArray> lines = logLines(log);
    int i = 0;
    for (const QByteArray &line : lines) {
        if (!line.endsWith("seek +30") || i >= presses)
            continue;
        keyMs.push_back((line.split(' ').at(0).toLongLong() - sent[size_t(i++)]) / 1e6);
    }
    std::vector<double> sortedKey = keyMs;
    std::sort(sortedKey.begin(), sortedKey.end());

    const double start = median(startMs);
    const double probe = median(probeMs);
    fprintf(stderr, "key press to player: median %.3f ms, 95th percentile %.3f ms over %zu presses\n",
            median(keyMs), sortedKey.empty() ? 0.0 : sortedKey[sortedKey.size() * 95 / 100], keyMs.size());
    fprintf(stderr, "choose a file to player started: median %.2f ms; probe alone %.2f ms; beyond the probe %.2f ms\n",
            start, probe, start - probe);
    return 0;
}
