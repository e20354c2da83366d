#include "settings/appdir.h"
#include "testsupport.h"

#include <grp.h>
#include <pwd.h>

// Writing `value` at group/key to a file holding `before` (no file if null) leaves `after`.
struct Write { QByteArray before; QString group, key, value; QByteArray after; };
Q_DECLARE_METATYPE(Write)

// A save that cannot be made, and the reason its line on standard error gives.
enum class Obstacle { LinkToNothing, FullDisk };
struct FailedSave { Obstacle obstacle; QString reason; };
Q_DECLARE_METATYPE(FailedSave)

static bool saveLastDir(const QString &file)
{
    return ZConfig(file, true).writeEntry("FILESELECT", "LASTDIR", QString("/new"));
}

class SettingsFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath("mplayer.ini"); }

private slots:
    void reads()
    {
        QVERIFY(ZConfig(dir.filePath("none.ini"), true).readEntry("FILESELECT", "FILTER", QString()).isNull());
        QCOMPARE(ZConfig(dir.path(), true).readNumEntry("SYS_SYSTEM_SET", "DisplayTimeout", -1), -1);
        writeFile(path(), "[HiSpeedMode]\nEnabled=true\n[hispeedmode]\nenabled=false\n[N]\nT = 45 \nBad=12x\n"
                          "[B]\nb1=1\nb2=YES\nb3= on\nb4=0\nb5=no\nb6=Off\nb7=maybe\n");
        ZConfig c(path(), false);
        QStringList got; // each as a flag with default false, with default true, as a number with default -1
        for (const QString at : {"HiSpeedMode/Enabled", "hispeedmode/enabled", "HISPEEDMODE/ENABLED", "HiSpeedMode/T",
                                 "N/T", "N/Bad", "B/b1", "B/b2", "B/b3", "B/b4", "B/b5", "B/b6", "B/b7"}) {
            const QString g = at.section('/', 0, 0), k = at.section('/', 1);
            got << QString("%1%2%3").arg(int(c.readBoolEntry(g, k, false))).arg(int(c.readBoolEntry(g, k, true)))
                        .arg(c.readNumEntry(g, k, -1));
        }
        QCOMPARE(got.join(' '), QString("11-1 00-1 01-1 01-1 0145 01-1 111 11-1 11-1 000 00-1 00-1 01-1"));
    }

    // A write changes one value of the file as it is now, in its own form, and the value reads back.
    void writes_data()
    {
        QTest::addColumn<Write>("w");
        const auto fresh = [](const char *tag, const QString &value, const QByteArray &stored) {
            QTest::newRow(tag) << Write{{}, "FILESELECT", "LASTDIR", value, "[FILESELECT]\nLASTDIR=" + stored + "\n"};
        };
        fresh("commas, equals, comment marks", "*.avi,*.mp4, a=b # ; [L]", "*.avi,*.mp4, a=b # ; [L]");
        fresh("quotes", "\"q\" 'single'", "\"\\\"q\\\" 'single'\"");
        fresh("leading blank", " lead", "\" lead\"");
        fresh("trailing tab", "trail\t", "\"trail\\t\"");
        fresh("newline", "two\nlines", "\"two\\nlines\"");
        fresh("carriage return", "a\rb", "\"a\\rb\"");
        fresh("backslashes, quote at the end", "C:\\d\\\"x\\n \"F\"", "C:\\d\\\"x\\n \"F\"");
        fresh("empty", "", "");
        fresh("utf-8", QString::fromUtf8("Фильмы/电影 🎬"), "\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC\xD1\x8B/\xE7\x94\xB5\xE5\xBD\xB1 \xF0\x9F\x8E\xAC");
        const auto row = [](const char *tag, const QByteArray &before, const QByteArray &after,
                            const QString &value = "/new", const QString &group = "FILESELECT", const QString &key = "LASTDIR") {
            QTest::newRow(tag) << Write{before, group, key, value, after};
        };
        const QByteArray kept = "# Morvane\n\n; c\n[FILESELECT]\nFILTER = *.avi\nUNKNOWN=k\nLASTDIR=/old\n\n"
                                "# next\n[CUSTOM]\nx=1\nthis line does not parse\n[LANGUAGE]\r\nEXIT=Quit\r\n";
        row("comments, order", kept, QByteArray(kept).replace("/old", "/new"));
        row("new key", kept, QByteArray(kept).replace("x=1\n", "x=1\ny=2\n"), "2", "CUSTOM", "y");
        row("new group", kept, kept + "\n[HiSpeedMode]\nEnabled=true\n", "true", "HiSpeedMode", "Enabled");
        const QByteArray bom = "\xEF\xBB\xBF";
        row("mark, CRLF", bom + "[FILESELECT]\r\nLASTDIR=/old\r\n[X]\r\n", bom + "[FILESELECT]\r\nLASTDIR=/new\r\n[X]\r\n");
        row("CRLF new group", bom + "[L]\r\nE=Q", bom + "[L]\r\nE=Q\r\n\r\n[FILESELECT]\r\nLASTDIR=/new\r\n");
        row("spacing", "[FILESELECT]\n  LASTDIR = /old \t\n", "[FILESELECT]\n  LASTDIR = /new \t\n");
        row("empty value", "[FILESELECT]\r\nLASTDIR =\r\n", "[FILESELECT]\r\nLASTDIR =/new\r\n");
    }

    void writes()
    {
        QFETCH(Write, w);
        QFile::remove(path());
        ZConfig config(path(), true);
        if (!w.before.isNull())
            writeFile(path(), w.before);
        QVERIFY(config.writeEntry(w.group, w.key, w.value));
        QCOMPARE(readFile(path()), w.after);
        QCOMPARE(config.readEntry(w.group, w.key, "-"), w.value);
        QCOMPARE(ZConfig(path(), false).readEntry(w.group, w.key, "-"), w.value);
    }

    // A new file takes the name (rename, not a rewrite in place), or nothing changes and the write fails.
    void writesWholeFilesOrNothing()
    {
        writeFile(path(), "[A]\nk=1\n");
        struct stat before, after;
        QCOMPARE(stat(QFile::encodeName(path()).constData(), &before), 0);
        QVERIFY(ZConfig(path(), true).writeEntry("A", "k", QString("2")));
        QCOMPARE(stat(QFile::encodeName(path()).constData(), &after), 0);
        QVERIFY(before.st_ino != after.st_ino);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mplayer.ini"});
        QVERIFY(!ZConfig(path(), false).writeEntry("A", "k", QString("3")));
        QCOMPARE(readFile(path()), QByteArray("[A]\nk=2\n"));
        // A file removed meanwhile is written again from what the object knows, each key in its group.
        writeFile(path(), "[A]\nk=1\n[B]\n");
        ZConfig config(path(), true);
        QVERIFY(config.writeEntry("A", "j", QString("2")) && QFile::remove(path()));
        QVERIFY(config.writeEntry("B", "x", QString("3")));
        QCOMPARE(readFile(path()), QByteArray("[A]\nk=1\nj=2\n[B]\nx=3\n"));
    }

    void failedSavesKeepTheFile_data()
    {
        QTest::addColumn<FailedSave>("save");
        QTest::newRow("link to nothing") << FailedSave{Obstacle::LinkToNothing, "is not there"};
        QTest::newRow("full disk") << FailedSave{Obstacle::FullDisk, "No space left on device"};
    }

    // The file stays byte for byte, nothing is left beside it, one line on standard error names
    // it and the reason. The full disk is a 64 KiB tmpfs that root mounts. (A read-only file: e2e.)
    void failedSavesKeepTheFile()
    {
        QFETCH(FailedSave, save);
        QTemporaryDir folder;
        const QString file = folder.filePath("mplayer.ini");
        const QByteArray old = "# by hand\n[FILESELECT]\nLASTDIR=/old\n" + QByteArray(3000, '#');
        const QStringList mount{"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder.path()};
        const bool full = save.obstacle == Obstacle::FullDisk;
        if (full && (geteuid() != 0 || QProcess::execute("mount", mount) != 0))
            QSKIP("cannot mount a tmpfs: that needs root (CI runs as root)");
        const auto unmount = qScopeGuard([&] {
            if (full)
                QProcess::execute("umount", {folder.path()});
        });
        writeFile(file, old);
        if (save.obstacle == Obstacle::LinkToNothing) {
            QVERIFY(QFile::remove(file));
            QVERIFY(QFile::link(folder.filePath("gone"), file));
        }
        QFile filler(folder.filePath("filler"));
        if (full && filler.open(QIODevice::WriteOnly)) {
            while (filler.write(old) == old.size() && filler.flush()) {
            }
        }
        const auto names = [&] { return QDir(folder.path()).entryList(QDir::AllEntries); };
        const QStringList beside = names();
        StdoutCapture errors(2);
        QVERIFY(!saveLastDir(file));
        const QStringList said = errors.lines();
        QCOMPARE(said.size(), 1);
        const QString start = "morvane: could not save '" + file + "': ";
        QVERIFY2(said[0].startsWith(start), qPrintable(said[0]));
        QVERIFY2(said[0].contains(save.reason), qPrintable(said[0]));
        QCOMPARE(readFile(file), save.obstacle == Obstacle::LinkToNothing ? QByteArray() : old);
        QCOMPARE(names(), beside);
    }

    // A run as root (sudo) on a user's file leaves it theirs, with its mode; a link stays a link.
    void replacementKeepsOwnerModeAndLink()
    {
        if (geteuid() != 0)
            QSKIP("another user's file needs root (CI runs as root)");
        QTemporaryDir shared;
        QCOMPARE(chmod(QFile::encodeName(shared.path()).constData(), 0777), 0);
        const QString file = shared.filePath("mplayer.ini"), link = shared.filePath("link.ini");
        const QString make = "umask 027 && echo [FILESELECT] >\"$0\"";
        const QStringList nobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
        QCOMPARE(QProcess::execute("setpriv", nobody + QStringList{"sh", "-c", make, file}), 0);
        QVERIFY(QFile::link(file, link));
        QVERIFY(saveLastDir(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), file);
        QCOMPARE(ZConfig(file, false).readEntry("FILESELECT", "LASTDIR"), QString("/new"));
        struct stat after;
        QCOMPARE(stat(QFile::encodeName(file).constData(), &after), 0);
        QCOMPARE(after.st_uid, getpwnam("nobody")->pw_uid);
        QCOMPARE(after.st_gid, getgrnam("nogroup")->gr_gid);
        QCOMPARE(after.st_mode & 07777, mode_t(0640));
    }

    void odds()
    {
        // Half a pair, or a surrogate no decoding makes, is written as U+FFFD.
        QCOMPARE(fsEncode(QString::fromUtf16(u"\xD800" u"a" u"\xDC7F")), QByteArray("\xEF\xBF\xBD" "a" "\xEF\xBF\xBD"));
        QStringList dirs;
        for (const char *argv0 : {"morvane", "/morvane", "/opt/m/morvane", "./morvane", "a b/c/"})
            dirs << appDirFrom(argv0);
        QCOMPARE(dirs, (QStringList{"", "/", "/opt/m/", "./", "a b/c/"}));
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
