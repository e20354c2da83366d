#pragma once

#include "app/zfileselectdialog.h"
#include "platform/fsname.h"
#include "platform/zapplication.h"
#include "platform/zconfig.h"
#include "platform/zlistbox.h"
#include "platform/zsettingitem.h"
#include "settings/devicecontrol.h"
#include "settings/systemsettings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

struct WindowInspector
{
    static ZListBox *list(ZFileSelectDialog &w) { return w.listBox; }
    static QString currentDir(ZFileSelectDialog &w) { return w.currentDir; }
    static void setFileFilter(ZFileSelectDialog &w, const QString &f) { w.fileFilter = f; }
    static bool hiSpeed(ZFileSelectDialog &w) { return w.hiSpeedMode; }
    static void setHiSpeed(ZFileSelectDialog &w, bool on) { w.hiSpeedMode = on; }
    static void select(ZFileSelectDialog &w, int row) { w.slotSelected(row); }
};

inline QString &testAppDir() { static QString dir; return dir; }

inline QString dirFile(const char *name) { return testAppDir() + name; }

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeScript(const QString &path, const QByteArray &text)
{
    writeFile(path, text);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Shown and active at once: an activation coming later would resume a pause.
inline std::unique_ptr<ZFileSelectDialog> activeWindow(const QString &folder,
                                                       const QByteArray &settings)
{
    const QByteArray start = "[FILESELECT]\nLASTDIR=" + fsEncode(folder) + "\n";
    writeFile(dirFile("mplayer.ini"), start + settings);
    auto w = std::make_unique<ZFileSelectDialog>();
    w->show();
    if (!QTest::qWaitForWindowActive(w.get()))
        qFatal("the window was never activated");
    return w;
}

inline int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

inline bool noChildren() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

// Zombies count as gone.
inline bool groupGone(const QString &group)
{
    const QString live = QString("ps -eo pgid=,stat= | grep -q '^ *%1 [^Z]'").arg(group);
    return QProcess::execute("sh", {"-c", live}) == 1;
}

class StdoutCapture
{
public:
    explicit StdoutCapture(int fd = 1) : fd(fd), saved(dup(fd))
    {
        file.open();
        fflush(nullptr);
        dup2(file.handle(), fd);
    }
    ~StdoutCapture() { finish(); }
    QByteArray finish()
    {
        if (saved >= 0) {
            fflush(nullptr);
            dup2(saved, fd);
            close(saved);
            saved = -1;
            file.seek(0);
            text = file.readAll();
        }
        return text;
    }
    QStringList lines()
    {
        QStringList out = QString::fromUtf8(finish()).split('\n', Qt::SkipEmptyParts);
        return out.filter(QRegularExpression("^(?!QWARN |QDEBUG )"));
    }

private:
    int fd;
    int saved;
    QTemporaryFile file;
    QByteArray text;
};

// argv[0] lies in a fresh program folder, for the test's files.
#define MORVANE_GUI_TEST_MAIN(TestClass) \
    int main(int argc, char **argv) \
    { \
        QTemporaryDir made; \
        static QByteArray argv0 = QFile::encodeName(made.filePath("morvane")); \
        argv[0] = argv0.data(); \
        ZApplication app(argc, argv, 1); \
        testAppDir() = made.path() + QLatin1Char('/'); \
        TestClass test; \
        return QTest::qExec(&test, argc, argv); \
    }

inline const char Query[] = "pausing_keep_force get_property time_pos";

// Notes what it is given beside itself, and plays as FAKE_PLAYER says.
inline const char FakePlayer[] = R"(#!/bin/sh
here=$(dirname "$0")
case " $* " in *" -identify "*)
    echo "$$ $2" >>"$here/probes.log"
    sleep "${FAKE_PROBE:-0}"
    cat "$here/identify.txt" 2>/dev/null
    echo $$ >>"$here/done.log"
    exit 0;; esac
echo $$ >"$here/pid"
[ "$FAKE_PLAYER" = real ] && exec "$MORVANE_ADAPTER" -vo null -ao null "$@" 2>/dev/null
for file; do :; done
echo "$file" >>"$here/played.log"
pos=${FAKE_POS:-0} started=no
start() { started=yes; echo "Starting playback..."; }
case "$FAKE_PLAYER" in
    die) exit 0;;
    stubborn) trap '' TERM HUP INT; while :; do sleep 1; done;;
    flood) head -c 4000000 /dev/zero;;
    slow|fails) echo "Playing $file.";;
    sound) printf 'Playing %s.\nClip info:\n Title: Song\n Artist: Band\nVideo: no video\n' "$file"
        start;;
    plays|ends) echo "Playing $file."; start
        [ -z "$FAKE_END" ] || (sleep "$FAKE_END"; echo "EOF code: 1  ") &;;
esac
while IFS= read -r line; do
    printf '%s\n' "$line" >>"$here/input.log"
    set -f; set -- $line; set +f
    [ "$1" = pausing_keep_force ] && shift
    case "$1 $2" in
        quit*) exit 0;;
        seek*) if [ "${3:-0}" = 2 ]; then pos=$2; else pos=$((pos + $2)); fi;;
        "get_property length") echo ANS_length=0.0;;
        "get_property time_pos")
            [ "$FAKE_PLAYER" = fails ] && echo ANS_ERROR=PROPERTY_UNAVAILABLE && continue
            [ "$started" = yes ] || start
            echo "ANS_time_pos=$pos.000000"
            [ "$FAKE_PLAYER" = ends ] && echo "EOF code: 1  ";;
    esac
done
)";

inline QStringList logLines(const char *name)
{
    return QString::fromUtf8(readFile(dirFile(name))).split('\n', Qt::SkipEmptyParts);
}

inline void useFakePlayer()
{
    writeScript(dirFile("mplayer"), FakePlayer);
    setSystemSettingsPath(dirFile("none.cfg"));
    DeviceControl::setShellRunner([](const QByteArray &) { return 0; });
}

inline void clearLogs()
{
    for (const char *log : {"pid", "played.log", "input.log", "probes.log", "done.log"})
        QFile::remove(dirFile(log));
}

inline void startPlaying(ZFileSelectDialog &w, const QString &path)
{
    clearLogs();
    w.playFile(path);
    QTRY_VERIFY(QFile::exists(dirFile("pid")));
}
