// Listing large folders: openDir into a real list box against `ls -1a` on
// the same folder, for 1,000, 10,000 and 100,000 entries.
//   bench_listing [--resume]
// With --resume, RESUME=YES and 1,000 files kept in positions.txt, all of
// them files of the folder listed as far as it has them (half left at a
// place, half seen): each of those is looked at on disk and marked.

#include "app/zfileselectdialog.h"
#include "benchsupport.h"
#include "platform/zapplication.h"
#include "settings/systemsettings.h"

#include <QApplication>
#include <QFile>
#include <QProcess>

#include <cmath>
#include <memory>

namespace {

QString entryName(int i)
{
    return QString("entry-%1").arg(i * 7919 % 1000003, 7, 10, QChar('0'));
}

void makeFolder(const QString &path, int entries)
{
    QDir().mkpath(path);
    for (int i = 0; i < entries / 2; ++i) {
        const QString name = entryName(i);
        QDir(path).mkdir(name + "-dir");
        QFile f(path + "/" + name + ".avi");
        f.open(QIODevice::WriteOnly);
    }
}

// 1,000 files kept: the (empty) files of the folder first, then files elsewhere.
QByteArray positionsFor(const QString &folder, int entries)
{
    QByteArray text;
    for (int i = 0; i < 1000; ++i) {
        const QString path = i < entries / 2 ? folder + "/" + entryName(i) + ".avi"
                                             : QString("/elsewhere/film-%1.avi").arg(i);
        text += (i % 2 ? "0 seen 0 " : "2830 - 0 ") + path.toUtf8() + "\n";
    }
    return text;
}

double timeLs(const QString &path)
{
    const long long t0 = monotonicNs();
    QProcess ls;
    ls.setStandardOutputFile("/dev/null");
    ls.start("ls", {"-1a", path});
    ls.waitForFinished(-1);
    return (monotonicNs() - t0) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    const bool resume = argc > 1 && QByteArray(argv[1]) == "--resume";
    BenchAppDir appDir;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<char *> args(argv, argv + argc);
    args[0] = appDir.argv0.data();
    int count = argc;
    ZApplication app(count, args.data(), 1);
    setSystemSettingsPath(QString::fromUtf8(appDir.dir) + "/none.cfg");
    QFile ini(QString::fromUtf8(appDir.dir) + "/mplayer.ini");
    ini.open(QIODevice::WriteOnly);
    ini.write("[FILESELECT]\nFILTER=*.avi;*.mp4\nLASTDIR=/no/such/dir\n");
    if (resume)
        ini.write("[PLAYBACK]\nRESUME=YES\n");
    ini.close();

    printf("%-9s %12s %12s %8s %16s\n", "entries", "openDir ms", "ls -1a ms", "ratio", "ms per 1000");
    double previousMs = 0;
    int previousN = 0;
    const int sizes[] = {1000, 10000, 100000};
    for (int n : sizes) {
        const QString folder = QString::fromUtf8(appDir.dir) + QString("/list-%1").arg(n);
        makeFolder(folder, n);
        // A window of its own, which reads the places kept for this folder.
        if (resume)
            writeBytes(QString::fromUtf8(appDir.dir) + "/positions.txt", positionsFor(folder, n));
        std::unique_ptr<ZFileSelectDialog> window;
        {
            QuietStdout quiet;
            window = std::make_unique<ZFileSelectDialog>();
            window->show();
            QApplication::processEvents();
        }
        std::vector<double> ours, base;
        const int rounds = n >= 100000 ? 3 : 5;
        for (int r = 0; r < rounds; ++r) {
            base.push_back(timeLs(folder));
            QuietStdout quiet;
            const long long t0 = monotonicNs();
            window->openDir(folder);
            QApplication::processEvents(); // the rows reach the view
            ours.push_back((monotonicNs() - t0) / 1e6);
        }
        const double ms = median(ours);
        const double lsMs = median(base);
        printf("%-9d %12.1f %12.1f %8.2f %16.2f\n", n, ms, lsMs, ms / lsMs, ms * 1000 / n);
        if (previousN) {
            // Growth against n log n: 1.0 means exactly n log n.
            const double expected = (double(n) * std::log(n)) / (double(previousN) * std::log(previousN));
            printf("          growth from %d: %.1fx (n log n predicts %.1fx)\n", previousN,
                   ms / previousMs, expected);
        }
        previousMs = ms;
        previousN = n;
        QDir(folder).removeRecursively();
    }
    return 0;
}
