// The quoting that stands between file names and /bin/sh. For any string s,
// the shell must read back exactly s from:
// - the play command, with s as the program directory (a bare or single-quoted
//   word in front of "mplayer") and as the file (between single quotes);
// - the identify command, with s as the program directory in the player path
//   (a bare or single-quoted word) and as the file (between double quotes).
//
// The domain: a command line reaches the shell as the file-system bytes of
// its text (fsEncode), a C string. So s is any name that a file system can
// hold: the input bytes read with fsDecode, and the shell must give back
// exactly those bytes. Inputs with a NUL byte are outside the domain.
//
// One shell serves all inputs of a run: each command line is handed to it as
// the arguments of "set --", and it prints how many words it got and the
// words, each ended by a NUL. A command line that leaves the shell waiting
// for more input is caught by a deadline.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"
#include "playback/playbacklimits.h"
#include "platform/fsname.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const int DeadlineMs = 10000;

class Shell
{
public:
    Shell()
    {
        char dir[] = "/tmp/morvane-fuzz-sh-XXXXXX";
        FUZZ_CHECK(mkdtemp(dir), "mkdtemp: %s", strerror(errno));
        workDir = dir;
        int in[2], out[2];
        FUZZ_CHECK(pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0, "pipe");
        signal(SIGPIPE, SIG_IGN);
        pid = fork();
        FUZZ_CHECK(pid >= 0, "fork");
        if (pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            // Should the quoting ever fail, the shell finds no programs to
            // run and stands in an empty folder of its own.
            if (chdir(dir) != 0)
                _exit(126);
            char *const env[] = {const_cast<char *>("PATH=/nonexistent"),
                                 const_cast<char *>("LC_ALL=C"), nullptr};
            execle("/bin/sh", "sh", static_cast<char *>(nullptr), env);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toShell = in[1];
        fromShell = out[0];
    }

    ~Shell()
    {
        close(toShell);
        close(fromShell);
        int status;
        waitpid(pid, &status, 0);
        rmdir(workDir.constData());
    }

    // The words that the shell reads from `set -- line`.
    QList<QByteArray> words(const QByteArray &line)
    {
        writeAll("set -- " + line + "\nprintf '%s\\0' \"$#\" \"$@\"\n");
        bool ok = false;
        const int count = readWord().toInt(&ok);
        FUZZ_CHECK(ok, "the shell's answer is out of step");
        QList<QByteArray> result;
        for (int i = 0; i < count; ++i)
            result << readWord();
        return result;
    }

private:
    void writeAll(const QByteArray &text)
    {
        qsizetype done = 0;
        while (done < text.size()) {
            const ssize_t n = write(toShell, text.constData() + done, size_t(text.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            FUZZ_CHECK(n > 0, "the shell stopped reading: %s", strerror(errno));
            done += n;
        }
    }

    QByteArray readWord()
    {
        const QDeadlineTimer deadline(DeadlineMs);
        for (;;) {
            const qsizetype end = pending.indexOf('\0');
            if (end >= 0) {
                const QByteArray word = pending.left(end);
                pending.remove(0, end + 1);
                return word;
            }
            const qint64 left = deadline.remainingTime();
            FUZZ_CHECK(left > 0, "the shell gave no answer: it is still reading the command");
            pollfd p = {fromShell, POLLIN, 0};
            if (poll(&p, 1, int(left)) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = read(fromShell, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            FUZZ_CHECK(n > 0, "the shell ended: the command line did not parse");
            pending.append(chunk, n);
        }
    }

    QByteArray workDir;
    pid_t pid = -1;
    int toShell = -1;
    int fromShell = -1;
    QByteArray pending;
};

Shell &shell()
{
    static Shell instance;
    return instance;
}

QByteArray show(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f && u != '\\')
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out;
}

void checkWord(const QList<QByteArray> &words, int index, const QByteArray &expected,
               const char *what, const QByteArray &line)
{
    FUZZ_CHECK(index < words.size() && words[index] == expected,
               "%s: expected \"%s\", the shell read \"%s\" (%d words) from\n  %s", what,
               show(expected).constData(),
               index < words.size() ? show(words[index]).constData() : "(none)",
               int(words.size()), show(line).constData());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    if (input.contains('\0'))
        return 0;
    const QString s = fsDecode(input);
    const QByteArray &bytes = input;

    // How many words each command has for plain names.
    const bool scale = size % 2;
    const auto count = [](const QString &line) { return int(shell().words(fsEncode(line)).size()); };
    static const int playCounts[2] = {
        count(playCommandLine(QStringLiteral("/d/"), QStringLiteral("f"), false)),
        count(playCommandLine(QStringLiteral("/d/"), QStringLiteral("f"), true))};
    static const int identifyCount =
        count(MediaInfo::identifyCommand(QStringLiteral("f"), QStringLiteral("/d/mplayer")));
    const int playCount = playCounts[scale];

    // The play command with s as the program directory and as the file.
    const QByteArray play = fsEncode(playCommandLine(s, s, scale));
    const QList<QByteArray> playWords = shell().words(play);
    FUZZ_CHECK(playWords.size() == playCount, "play command: %d words, expected %d, from\n  %s",
               int(playWords.size()), playCount, show(play).constData());
    checkWord(playWords, 0, bytes + "mplayer", "program directory", play);
    checkWord(playWords, playCount - 1, bytes, "played file", play);

    // The identify command with s as the file and as the program directory
    // in the player path.
    const QString player = s + QStringLiteral("/mplayer");
    const QByteArray identify = fsEncode(MediaInfo::identifyCommand(s, player));
    const QList<QByteArray> identifyWords = shell().words(identify);
    FUZZ_CHECK(identifyWords.size() == identifyCount,
               "identify command: %d words, expected %d, from\n  %s", int(identifyWords.size()),
               identifyCount, show(identify).constData());
    checkWord(identifyWords, 0, bytes + "/mplayer", "player path", identify);
    checkWord(identifyWords, 2, bytes, "probed file", identify);
    return 0;
}
