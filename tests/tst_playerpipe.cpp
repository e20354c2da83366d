// The two-way pipe to a player: statuses, descriptors, signals, players that will not end.

#include "playback/playerpipe.h"
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>

extern "C" void noteSignal(int) {}

class PlayerPipeTest : public QObject
{
    Q_OBJECT

    uint fds = 0;

    FILE *start(const QString &script) { return openPlayerPipe(script.toUtf8().constData()); }

    QByteArray readLine(FILE *p)
    {
        char line[256] = {};
        return fgets(line, sizeof line, p) ? QByteArray(line) : QByteArray();
    }

private slots:
    void initTestCase()
    {
        struct sigaction note = {};
        note.sa_handler = noteSignal; // no SA_RESTART: the waits see EINTR
        sigaction(SIGUSR1, &note, nullptr);
    }

    void init() { fds = QDir("/proc/self/fd").count(); }
    void cleanup() { QCOMPARE(QDir("/proc/self/fd").count(), fds); } // nothing left open

    void statuses_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("graceMs");
        QTest::addColumn<QString>("ended");
        QTest::newRow("exit 3") << "read line; [ \"$line\" = hello ] && exit 3" << 3000 << "exit 3";
        QTest::newRow("no such player") << "/no/such/player" << 3000 << "exit 127";
        QTest::newRow("ends late") << "cat >/dev/null; sleep 0.4; exit 4" << 3000 << "exit 4";
        QTest::newRow("ignores EOF, quit and TERM, and so does its player") << "trap '' TERM; "
            "sh -c 'trap \"\" TERM; exec sleep 60' & while :; do read line; sleep 0.05; done" << 300 << "signal 9";
        QTest::newRow("shell ends, its player would not") << "sleep 60 & cat >/dev/null" << 1000 << "exit 0";
    }

    // A member of the child's group signals us during the wait. The child
    // and everything in its group are gone within the bound.
    void statuses()
    {
        QFETCH(QString, script);
        QFETCH(int, graceMs);
        QFETCH(QString, ended);
        setPlayerPipeGrace({graceMs, graceMs});
        FILE *p = start("echo $$ $(cut -d' ' -f5 /proc/$$/stat) $(grep SigIgn /proc/$$/status); "
                        "(for i in 1 2 3 4 5; do sleep 0.06; kill -USR1 $PPID; done) & " + script);
        QVERIFY(p);
        // The child leads its own group and takes SIGPIPE's default.
        const QList<QByteArray> ids = readLine(p).simplified().split(' ');
        QVERIFY(ids.size() == 4 && ids[0] == ids[1]);
        QCOMPARE(ids[3].toULongLong(nullptr, 16) & (1ull << (SIGPIPE - 1)), 0ull);
        fputs("hello\nquit\n", p);
        fflush(p);
        QElapsedTimer t;
        t.start();
        const int status = closePlayerPipe(p);
        QVERIFY2(t.elapsed() < 2 * graceMs + 1500, QByteArray::number(t.elapsed()).constData());
        QCOMPARE(WIFSIGNALED(status) ? QString("signal %1").arg(WTERMSIG(status)) : QString("exit %1").arg(WEXITSTATUS(status)), ended);
        const QString live = QString("ps -eo pgid=,stat= | grep -q '^ *%1 [^Z]'").arg(QString(ids[0])); // zombies count as gone
        QTRY_COMPARE_WITH_TIMEOUT(QProcess::execute("sh", {"-c", live}), 1, 2000);
        errno = 0;
        QVERIFY(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
    }

    // A second child holds nothing of the first stream, so the first child
    // sees end-of-file while the second runs; streams close in any order.
    // This program ignores SIGPIPE: a write to a player that has ended fails.
    void streamsApart()
    {
        FILE *first = start("cat >/dev/null; exit 5");
        FILE *second = start("readlink /proc/$$/fd/*; echo end; cat >/dev/null; exit 6");
        FILE *third = start("exit 7");
        QVERIFY(first && second && third);
        QByteArrayList seen; // what the second child's descriptors lead to
        for (QByteArray line = readLine(second); !line.isEmpty() && line != "end\n"; line = readLine(second))
            seen << line.trimmed();
        struct stat st;
        fstat(fileno(first), &st);
        QVERIFY(!seen.contains("socket:[" + QByteArray::number(qulonglong(st.st_ino)) + "]"));
        QCOMPARE(seen.count(seen.value(0)), 2); // its input and output, nothing more
        QCOMPARE(WEXITSTATUS(closePlayerPipe(first)), 5); // not killed after its grace
        QVERIFY(readLine(third).isEmpty()); // it has ended
        QVERIFY(fputs("seek +30\n", third) >= 0 && fflush(third) == EOF && errno == EPIPE);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(third)), 7);
        FILE *foreign = fopen("/dev/null", "r+");
        for (FILE *none : {first, static_cast<FILE *>(nullptr), foreign}) {
            errno = 0;
            QVERIFY(closePlayerPipe(none) == -1 && errno == EBADF);
        }
        QVERIFY(fputs("x", foreign) >= 0 && fclose(foreign) == 0); // untouched
        QCOMPARE(WEXITSTATUS(closePlayerPipe(second)), 6);
    }
};

QTEST_GUILESS_MAIN(PlayerPipeTest)
#include "tst_playerpipe.moc"
