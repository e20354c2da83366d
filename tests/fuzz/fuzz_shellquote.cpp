// The quoting between file names and /bin/sh. For any name s (file-system
// bytes: any but NUL), the shell reads back exactly s from the play command,
// with s as the program folder and as the file, and from the identify
// command, with s as the player's folder and as the file.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"
#include "playback/playbacklimits.h"
#include "platform/fsname.h"

#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

// The words /bin/sh reads from a command line. Should the quoting fail, the
// shell finds no program: no PATH, a folder it cannot read, as nobody.
static QByteArrayList shellWords(const QString &line)
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
    const QByteArray script = "printf '%s\\0' " + fsEncode(line) + '\n';
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
    const bool scale = size % 2;
    const QByteArrayList play = shellWords(playCommandLine(s, s, scale));
    FUZZ_CHECK(play.size() == (scale ? 16 : 14) && play.front() == bytes + "mplayer" && play.back() == bytes,
               "the play command read as %lld words", static_cast<long long>(play.size()));
    const QByteArrayList identify = shellWords(MediaInfo::identifyCommand(s, s + QStringLiteral("/mplayer")));
    FUZZ_CHECK(identify.size() == 8 && identify[0] == bytes + "/mplayer" && identify[2] == bytes,
               "the identify command read as %lld words", static_cast<long long>(identify.size()));
    return 0;
}
