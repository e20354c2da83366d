// The two-way pipe to a player: statuses, descriptors, signals, and players
// that will not end.

#include "playback/playerpipe.h"
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>

extern "C" void noteSignal(int) {}

class PlayerPipeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

    FILE *start(const QString &script) { return openPlayerPipe(script.toUtf8().constData()); }

    QByteArray readLine(FILE *p)
    {
        char line[256] = {};
        return fgets(line, sizeof line, p) ? QByteArray(line) : QByteArray();
    }

private slots:
    void init() { setPlayerPipeGrace({3000, 2000}); }

    void statuses_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("graceMs");
        QTest::addColumn<QString>("ended");
        QTest::newRow("exit 3") << "read line; [ \"$line\" = hello ] && exit 3" << 3000 << "exit 3";
        QTest::newRow("no such player") << "/no/such/player" << 3000 << "exit 127";
        QTest::newRow("killed by a signal") << "kill -USR2 $$" << 3000 << "signal 12";
        QTest::newRow("signals during the wait") << "cat >/dev/null; sleep 0.4; exit 4" << 3000 << "exit 4";
        QTest::newRow("ignores EOF, quit and TERM, and so does its player") << "trap '' TERM; "
            "sh -c 'trap \"\" TERM; exec sleep 60' & while :; do read line; sleep 0.05; done" << 300 << "signal 9";
        QTest::newRow("shell ends, its player would not") << "sleep 60 & cat >/dev/null" << 1000 << "exit 0";
    }

    // The child and everything in its group are gone within the bound; the
    // wait survives signals arriving meanwhile.
    void statuses()
    {
        QFETCH(QString, script);
        QFETCH(int, graceMs);
        QFETCH(QString, ended);
        setPlayerPipeGrace({graceMs, graceMs});
        FILE *p = start("echo $$; " + script);
        QVERIFY(p);
        const pid_t group = readLine(p).toInt();
        fputs("hello\nquit\n", p);
        fflush(p);
        struct sigaction note = {}, old;
        note.sa_handler = noteSignal; // no SA_RESTART: waitpid sees EINTR
        sigaction(SIGUSR1, &note, &old);
        const pid_t me = getpid();
        const pid_t poker = fork();
        if (poker == 0) {
            for (int i = 0; i < 5; ++i)
                usleep(60000), kill(me, SIGUSR1);
            _exit(0);
        }
        QElapsedTimer t;
        t.start();
        const int status = closePlayerPipe(p);
        QVERIFY2(t.elapsed() < 2 * graceMs + 1500, QByteArray::number(t.elapsed()).constData());
        while (waitpid(poker, nullptr, 0) < 0 && errno == EINTR) {
        }
        sigaction(SIGUSR1, &old, nullptr);
        QCOMPARE(WIFSIGNALED(status) ? QString("signal %1").arg(WTERMSIG(status)) : QString("exit %1").arg(WEXITSTATUS(status)), ended);
        const QString live = QString("ps -eo pgid=,stat= | grep -q '^ *%1 [^Z]'").arg(group); // zombies count as gone
        QTRY_COMPARE_WITH_TIMEOUT(QProcess::execute("sh", {"-c", live}), 1, 2000);
        errno = 0;
        QVERIFY(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
    }

    // A second child holds nothing of the first stream, so the first child
    // sees end-of-file while the second runs; streams close in any order.
    void streamsApart()
    {
        FILE *first = start("cat >/dev/null; exit 5");
        FILE *second = start("readlink /proc/$$/fd/*; echo end; cat >/dev/null; exit 6");
        FILE *third = start("cat >/dev/null; exit 7");
        QVERIFY(first && second && third);
        QByteArrayList seen; // what the second child's descriptors lead to
        for (QByteArray line = readLine(second); !line.isEmpty() && line != "end\n"; line = readLine(second))
            seen << line.trimmed();
        struct stat st;
        fstat(fileno(first), &st);
        QVERIFY(!seen.contains("socket:[" + QByteArray::number(qulonglong(st.st_ino)) + "]"));
        QCOMPARE(seen.count(seen.value(0)), 2); // its input and output, nothing more
        QElapsedTimer t;
        t.start();
        QCOMPARE(WEXITSTATUS(closePlayerPipe(first)), 5);
        QVERIFY(t.elapsed() < 2000);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(third)), 7);
        FILE *foreign = fopen("/dev/null", "r+");
        for (FILE *none : {first, static_cast<FILE *>(nullptr), foreign}) {
            errno = 0;
            QVERIFY(closePlayerPipe(none) == -1 && errno == EBADF);
        }
        QVERIFY(fputs("x", foreign) >= 0 && fclose(foreign) == 0); // untouched
        QCOMPARE(WEXITSTATUS(closePlayerPipe(second)), 6);
    }

    // The child leads its own group and takes SIGPIPE's default; this
    // program ignores it, so a write to a player that has ended fails.
    void groupAndSigpipe()
    {
        FILE *p = start("echo $(cut -d' ' -f5 /proc/$$/stat) $$ $(grep SigIgn /proc/$$/status)");
        QVERIFY(p);
        const QList<QByteArray> ids = readLine(p).simplified().split(' ');
        QCOMPARE(ids.size(), 4);
        QCOMPARE(ids[0], ids[1]);
        QCOMPARE(ids[3].toULongLong(nullptr, 16) & (1ull << (SIGPIPE - 1)), 0ull);
        QTest::qSleep(200);
        fputs("seek +30\n", p);
        const int flushed = fflush(p);
        QVERIFY(flushed == EOF && errno == EPIPE);
        QVERIFY(WIFEXITED(closePlayerPipe(p)));
    }
};

QTEST_GUILESS_MAIN(PlayerPipeTest)
#include "tst_playerpipe.moc"
