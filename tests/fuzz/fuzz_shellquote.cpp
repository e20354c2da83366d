// The quoting between file names and /bin/sh: for any name s (any bytes but NUL), the shell reads
// back exactly s from the play and identify commands, with s as the program folder and the file.

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
            const bool root = getuid() == 0;
            if (root && (setgroups(0, nullptr) || setgid(65534) || setuid(65534)))
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
        const bool answered = sh.waitForReadyRead(int(deadline.remainingTime()));
        FUZZ_CHECK(answered, "no answer to\n%s", script.constData());
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
    const QString identify = MediaInfo::identifyCommand(s, s + QStringLiteral("/mplayer"));
    const QByteArrayList words = shellWords({playCommandLine(s, s, size % 2), identify});
    FUZZ_CHECK(words.size() == n + 8, "%lld words", static_cast<long long>(words.size()));
    FUZZ_CHECK(words[0] == bytes + "mplayer", "the player read as %s", words[0].constData());
    FUZZ_CHECK(words[n - 1] == bytes, "the file read as %s", words[n - 1].constData());
    FUZZ_CHECK(words[n] == bytes + "/mplayer", "the prober read as %s", words[n].constData());
    FUZZ_CHECK(words[n + 2] == bytes, "the probed file read as %s", words[n + 2].constData());
    return 0;
}
