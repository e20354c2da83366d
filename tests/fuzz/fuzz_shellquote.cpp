// The quoting between file names and /bin/sh: for any name s (any bytes but NUL), the shell reads back exactly s
// from the play and identify commands, with s as the program or player folder and as the file.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"
#include "playback/playbacklimits.h"
#include "platform/fsname.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

// The words one /bin/sh, kept for the run, reads from the command lines. Should
// the quoting fail, it finds no program (no PATH, an unreadable folder, nobody).
static QByteArrayList shellWords(const QStringList &lines)
{
    static const QTemporaryDir empty;
    static QProcess sh;
    if (sh.state() == QProcess::NotRunning) {
        sh.setWorkingDirectory(empty.path());
        sh.setEnvironment({QStringLiteral("PATH=/nonexistent")});
        sh.setChildProcessModifier([] {
            if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
                _exit(126);
        });
        sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-s")});
    }
    QByteArray script = "set --";
    for (const QString &line : lines)
        script += ' ' + fsEncode(line) + "\nset -- \"$@\"";
    sh.write(script + "\nprintf '%s\\0' \"$#\" \"$@\"\n");
    const QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!out.contains('\0') || out.count('\0') <= out.left(out.indexOf('\0')).toInt()) {
        FUZZ_CHECK(sh.waitForReadyRead(int(deadline.remainingTime())), "no answer to\n%s", script.constData());
        out += sh.readAllStandardOutput();
    }
    QByteArrayList words = out.split('\0');
    return words.mid(1, words.size() - 2);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (bytes.contains('\0'))
        return 0;
    const QString s = fsDecode(bytes);
    const qsizetype n = size % 2 ? 16 : 14; // the play command's words; the identify command has 8
    const QByteArrayList words = shellWords(
        {playCommandLine(s, s, size % 2), MediaInfo::identifyCommand(s, s + QStringLiteral("/mplayer"))});
    FUZZ_CHECK(words.size() == n + 8 && words[0] == bytes + "mplayer" && words[n - 1] == bytes
                   && words[n] == bytes + "/mplayer" && words[n + 2] == bytes,
               "the commands read as %lld words", static_cast<long long>(words.size()));
    return 0;
}
