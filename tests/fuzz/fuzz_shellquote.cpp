// The quoting between file names and /bin/sh: for any name s (any bytes but
// NUL), the shell reads back exactly s from the play and identify commands,
// with s as the program or player folder and as the file.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"
#include "playback/playbacklimits.h"
#include "platform/fsname.h"

#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

// The words /bin/sh reads from the command lines. Should the quoting fail, it
// finds no program: no PATH, a folder it cannot read, as nobody.
static QByteArrayList shellWords(const QStringList &lines)
{
    static const QTemporaryDir empty;
    QProcess sh;
    sh.setWorkingDirectory(empty.path());
    sh.setEnvironment({QStringLiteral("PATH=/nonexistent"), QStringLiteral("LC_ALL=C")});
    sh.setChildProcessModifier([] {
        if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(126);
    });
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-s")});
    QByteArray script;
    for (const QString &line : lines)
        script += "printf '%s\\0' " + fsEncode(line) + '\n';
    sh.write(script);
    sh.closeWriteChannel();
    QByteArray words = sh.waitForFinished(20000) ? sh.readAllStandardOutput() : QByteArray();
    FUZZ_CHECK(sh.exitStatus() == QProcess::NormalExit && sh.exitCode() == 0 && words.endsWith('\0'),
               "the shell did not take\n  %s", script.constData());
    words.chop(1);
    return words.split('\0');
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
