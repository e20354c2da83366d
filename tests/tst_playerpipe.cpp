#include "playback/playerpipe.h"
#include "testsupport.h"
#include <csignal>

extern "C" void noteSignal(int) {}

struct StatusRow { QString script; int graceMs; QString ended; };
Q_DECLARE_METATYPE(StatusRow)

class PlayerPipeTest : public QObject
{
    Q_OBJECT

    uint fds = 0;

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

    void init() { fds = openDescriptors(); }
    void cleanup() { QCOMPARE(openDescriptors(), fds); }

    void statuses_data()
    {
        QTest::addColumn<StatusRow>("row");
        QTest::newRow("exit 3")
            << StatusRow{"read line; [ \"$line\" = hello ] && exit 3", 3000, "exit 3"};
        QTest::newRow("no such player") << StatusRow{"/no/such/player", 3000, "exit 127"};
        QTest::newRow("ignores EOF, quit and TERM, and so does its player") << StatusRow{
            "trap '' TERM; sh -c 'trap \"\" TERM; exec sleep 60' & "
            "while :; do read line; sleep 0.05; done", 300, "signal 9"};
        QTest::newRow("shell ends, its player would not")
            << StatusRow{"sleep 60 & cat >/dev/null", 1000, "exit 0"};
    }

    // The child's group signals us during the wait.
    void statuses()
    {
        QFETCH(StatusRow, row);
        setPlayerPipeGrace({row.graceMs, row.graceMs});
        const QString script = "echo $$ $(cut -d' ' -f5 /proc/$$/stat); "
                               "(for i in 1 2 3 4 5; do sleep 0.06; kill -USR1 $PPID; done) & "
                               + row.script;
        FILE *p = openPlayerPipe(script.toUtf8().constData());
        QVERIFY(p);
        const QList<QByteArray> ids = readLine(p).simplified().split(' ');
        QCOMPARE(ids.value(1), ids.value(0)); // the child leads its own group
        fputs("hello\nquit\n", p);
        fflush(p);
        QElapsedTimer t;
        t.start();
        const int status = closePlayerPipe(p);
        QCOMPARE_LT(t.elapsed(), 2 * row.graceMs + 1500);
        const QString ended = WIFSIGNALED(status) ? QString("signal %1").arg(WTERMSIG(status))
                                                  : QString("exit %1").arg(WEXITSTATUS(status));
        QCOMPARE(ended, row.ended);
        QTRY_VERIFY_WITH_TIMEOUT(groupGone(ids[0]), 2000);
    }

    void streamsApart()
    {
        FILE *first = openPlayerPipe("cat >/dev/null; exit 5");
        FILE *second = openPlayerPipe("readlink /proc/$$/fd/*; echo end; cat >/dev/null; exit 6");
        FILE *third = openPlayerPipe("exit 7");
        QVERIFY(first);
        QVERIFY(second);
        QVERIFY(third);
        QByteArrayList seen;
        for (QByteArray line; (line = readLine(second)) != "end\n" && !line.isEmpty();)
            seen << line.trimmed();
        struct stat st;
        fstat(fileno(first), &st);
        QVERIFY(!seen.contains("socket:[" + QByteArray::number(qulonglong(st.st_ino)) + "]"));
        QCOMPARE(seen.count(seen.value(0)), 2); // its input and output, nothing more
        QCOMPARE(WEXITSTATUS(closePlayerPipe(first)), 5); // not killed after its grace
        QVERIFY(readLine(third).isEmpty());
        fputs("seek +30\n", third);
        QCOMPARE(fflush(third), EOF);
        QCOMPARE(errno, EPIPE);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(third)), 7);
        FILE *foreign = fopen("/dev/null", "r+");
        errno = 0;
        QCOMPARE(closePlayerPipe(foreign), -1);
        QCOMPARE(errno, EBADF);
        QCOMPARE(fclose(foreign), 0);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(second)), 6);
    }
};

QTEST_GUILESS_MAIN(PlayerPipeTest)
#include "tst_playerpipe.moc"
