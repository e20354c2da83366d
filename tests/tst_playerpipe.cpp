// The two-way pipe to a player: descriptors, statuses, signals and players
// that will not end.

#include "playback/playerpipe.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray slurp(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

bool waitForFile(const QString &path, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(path) || QFile(path).size() == 0) {
        if (t.elapsed() > ms)
            return false;
        QTest::qSleep(10);
    }
    return true;
}

// A process that is gone or a zombie waiting for its parent.
bool processEnded(pid_t pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const int close = int(text.lastIndexOf(')'));
    return close < 0 || text.mid(close + 2, 1) == "Z";
}

extern "C" void noteSignal(int) {}

} // namespace

class PlayerPipeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

    QByteArray shell(const QString &script) { return script.toUtf8(); }
    QString path(const char *name) { return tmp.filePath(name); }

private slots:
    void init() { setPlayerPipeGrace({3000, 2000}); }

    void readsAndWritesOneStream()
    {
        FILE *p = openPlayerPipe("read line; echo \"got $line\"; exit 3");
        QVERIFY(p);
        fputs("hello\n", p);
        fflush(p);
        char reply[64] = {};
        QVERIFY(fgets(reply, sizeof reply, p));
        QCOMPARE(QByteArray(reply), QByteArray("got hello\n"));
        const int status = closePlayerPipe(p);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 3);
    }

    void exitStatuses()
    {
        FILE *p = openPlayerPipe("/no/such/player");
        QVERIFY(p);
        int status = closePlayerPipe(p);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 127);

        p = openPlayerPipe("kill -USR2 $$");
        QVERIFY(p);
        status = closePlayerPipe(p);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGUSR2);
    }

    void secondChildHoldsNothingOfTheFirst()
    {
        FILE *first = openPlayerPipe(shell("cat >/dev/null; exit 5").constData());
        FILE *second = openPlayerPipe(
            shell("ls /proc/$$/fd > '" + path("fds") + "'; cat >/dev/null").constData());
        QVERIFY(first && second);
        const int firstFd = fileno(first);
        QVERIFY(waitForFile(path("fds")));
        // Closing the first gives its child end-of-file while the second runs.
        QElapsedTimer t;
        t.start();
        const int status = closePlayerPipe(first);
        QVERIFY2(t.elapsed() < 2000, "first child did not see end-of-file");
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 5);
        // The second child has nothing of the first stream.
        QVERIFY(WIFEXITED(closePlayerPipe(second)));
        QVERIFY(firstFd > 2);
        QVERIFY2(!slurp(path("fds")).split('\n').contains(QByteArray::number(firstFd)),
                 slurp(path("fds")).constData());
    }

    void childRunsInItsOwnGroupWithDefaultSigpipe()
    {
        FILE *p = openPlayerPipe(
            shell("cut -d' ' -f5 /proc/$$/stat > '" + path("pgid") + "'; echo $$ > '" + path("pid")
                  + "'; grep SigIgn /proc/$$/status > '" + path("ign") + "'").constData());
        QVERIFY(p);
        QVERIFY(WIFEXITED(closePlayerPipe(p)));
        QCOMPARE(slurp(path("pgid")), slurp(path("pid")));
        const QByteArray mask = slurp(path("ign")).split('\t').last();
        bool ok = false;
        const qulonglong ignored = mask.toULongLong(&ok, 16);
        QVERIFY(ok);
        QCOMPARE(ignored & (1ull << (SIGPIPE - 1)), 0ull);
        // The program itself ignores SIGPIPE, so the next test survives.
        struct sigaction now;
        sigaction(SIGPIPE, nullptr, &now);
        QVERIFY(now.sa_handler == SIG_IGN);
    }

    void writeToAPlayerThatHasEnded()
    {
        FILE *p = openPlayerPipe("exit 0");
        QVERIFY(p);
        QTest::qSleep(200);
        fputs("seek +30\n", p);
        const int flushed = fflush(p);
        const int error = errno;
        QCOMPARE(flushed, EOF);
        QCOMPARE(error, EPIPE);
        closePlayerPipe(p); // the stream failed to flush; the child is still reaped
        errno = 0;
        QCOMPARE(waitpid(-1, nullptr, WNOHANG), -1);
        QCOMPARE(errno, ECHILD);
    }

    void closeInAnyOrder()
    {
        FILE *a = openPlayerPipe("cat >/dev/null; exit 1");
        FILE *b = openPlayerPipe("cat >/dev/null; exit 2");
        FILE *c = openPlayerPipe("cat >/dev/null; exit 3");
        QVERIFY(a && b && c);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(b)), 2);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(c)), 3);
        errno = 0;
        QCOMPARE(closePlayerPipe(b), -1);
        QCOMPARE(errno, EBADF);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(a)), 1);
    }

    void noneAndForeignStreams()
    {
        FILE *kept = openPlayerPipe("cat >/dev/null; exit 6");
        errno = 0;
        QCOMPARE(closePlayerPipe(nullptr), -1);
        QCOMPARE(errno, EBADF);
        FILE *foreign = fopen("/dev/null", "r+");
        QVERIFY(foreign);
        errno = 0;
        QCOMPARE(closePlayerPipe(foreign), -1);
        QCOMPARE(errno, EBADF);
        // The foreign stream is untouched and still ours to close.
        QVERIFY(fputs("x", foreign) >= 0);
        QCOMPARE(fclose(foreign), 0);
        QCOMPARE(WEXITSTATUS(closePlayerPipe(kept)), 6);
    }

    void signalDuringTheWait()
    {
        struct sigaction action = {};
        action.sa_handler = noteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no restart: waitpid sees EINTR
        struct sigaction old;
        sigaction(SIGUSR1, &action, &old);
        FILE *p = openPlayerPipe("cat >/dev/null; sleep 0.6; exit 4");
        QVERIFY(p);
        const pid_t me = getpid();
        const pid_t poker = fork();
        if (poker == 0) {
            for (int i = 0; i < 4; ++i) {
                usleep(100000);
                kill(me, SIGUSR1);
            }
            _exit(0);
        }
        const int status = closePlayerPipe(p);
        waitpid(poker, nullptr, 0);
        sigaction(SIGUSR1, &old, nullptr);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 4);
    }

    void playerThatWillNotEndIsReapedWithinTheBound()
    {
        setPlayerPipeGrace({300, 300});
        // Ignores end-of-file and "quit", and TERM as well; so does the
        // player it starts, which outlives the shell.
        const QByteArray script = shell(
            "trap '' TERM; sh -c 'echo $$ > \"" + path("inner") + "\"; trap \"\" TERM; exec sleep 60' & "
            "while :; do read line; sleep 0.05; done");
        FILE *p = openPlayerPipe(script.constData());
        QVERIFY(p);
        QVERIFY(waitForFile(path("inner")));
        const pid_t inner = pid_t(slurp(path("inner")).toInt());
        fputs("quit\n", p);
        fflush(p);
        QElapsedTimer t;
        t.start();
        const int status = closePlayerPipe(p);
        QVERIFY2(t.elapsed() < 3000, QByteArray::number(t.elapsed()).constData());
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(processEnded(inner), 2000);
    }

    void leftoverPlayerOfAShellThatEndedIsStopped()
    {
        // The shell ends at once on end-of-file; the player it started in the
        // background would be left running.
        const QByteArray script = shell("sleep 60 & echo $! > '" + path("bg") + "'; cat >/dev/null");
        FILE *p = openPlayerPipe(script.constData());
        QVERIFY(p);
        QVERIFY(waitForFile(path("bg")));
        const pid_t background = pid_t(slurp(path("bg")).toInt());
        const int status = closePlayerPipe(p);
        QVERIFY(WIFEXITED(status));
        QTRY_VERIFY_WITH_TIMEOUT(processEnded(background), 3000);
    }
};

QTEST_GUILESS_MAIN(PlayerPipeTest)
#include "tst_playerpipe.moc"
