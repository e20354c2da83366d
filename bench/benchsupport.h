#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

inline long long monotonicNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Sends standard output to /dev/null while it lives: the program prints a
// line per entry, which is not what is measured.
class QuietStdout
{
public:
    QuietStdout()
    {
        fflush(stdout);
        saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~QuietStdout()
    {
        fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }

private:
    int saved;
};

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// A scratch folder on tmpfs when there is one.
inline QString scratchRoot()
{
    return QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

// argv[0] of the benchmark's application, inside a program directory of its own.
struct BenchAppDir
{
    QByteArray dir;
    QByteArray argv0;
    BenchAppDir()
    {
        QByteArray pattern = scratchRoot().toUtf8() + "/morvane-bench-XXXXXX";
        dir = QByteArray(mkdtemp(pattern.data()));
        argv0 = dir + "/morvane";
    }
    ~BenchAppDir() { QDir(QString::fromUtf8(dir)).removeRecursively(); }
};
