// For any name s (any bytes but NUL) as the program folder and the file, /bin/sh reads s back
// from the play and identify commands.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"
#include "playback/playbacklimits.h"
#include "platform/fsname.h"

#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

// Should the quoting fail, the shell finds no program to run: no PATH, an empty folder, nobody.
static QByteArrayList shellWords(const QStringList &lines)
{
    static const QTemporaryDir empty;
    QByteArray script = "set --";
    for (const QString &line : lines)
        script += ' ' + fsEncode(line) + "\nset -- \"$@\"";
    QProcess sh;
    sh.setWorkingDirectory(empty.path());
    sh.setEnvironment({QStringLiteral("PATH=/nonexistent")});
    sh.setChildProcessModifier([] {
        if (getuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534)))
            _exit(126);
    });
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-s")});
    sh.write(script + "\nprintf '%s\\0' \"$@\"\n");
    sh.closeWriteChannel();
    FUZZ_CHECK(sh.waitForFinished(20000));
    QByteArrayList words = sh.readAllStandardOutput().split('\0');
    words.removeLast();
    return words;
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
    FUZZ_CHECK(words.size() == n + 8);
    FUZZ_CHECK(words[0] == bytes + "mplayer");
    FUZZ_CHECK(words[n - 1] == bytes);
    FUZZ_CHECK(words[n] == bytes + "/mplayer");
    FUZZ_CHECK(words[n + 2] == bytes);
    return 0;
}
