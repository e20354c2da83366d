#include "settings/appdir.h"
#include "testsupport.h"

// Writing `value` at group/key over `before` (null: no file) leaves `after`.
struct Write { QByteArray before; QString group, key, value; QByteArray after; };
Q_DECLARE_METATYPE(Write)

static QByteArray lastDir(const QByteArray &value)
{
    return "[FILESELECT]\nLASTDIR=" + value + "\n";
}

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
        writeFile(path(), "[Hi]\nOn=true\n[hi]\non=0\n[N]\nT = 45 \n[B]\nb=YES\n");
        const struct { QString group, key; bool flagOrFalse, flagOrTrue; int number; } rows[] = {
            {"Hi", "On", true, true, -1}, {"hi", "on", false, false, 0},
            {"HI", "ON", false, true, -1}, {"N", "T", false, true, 45},
            {"B", "b", true, true, -1}};
        const ZConfig config(path(), false);
        for (const auto &r : rows) {
            QCOMPARE(config.readBoolEntry(r.group, r.key, false), r.flagOrFalse);
            QCOMPARE(config.readBoolEntry(r.group, r.key, true), r.flagOrTrue);
            QCOMPARE(config.readNumEntry(r.group, r.key, -1), r.number);
        }
    }

    // A write changes one value of the file as it is now.
    void writes_data()
    {
        QTest::addColumn<Write>("w");
        const auto fresh = [](const char *tag, const QString &value, const QByteArray &stored) {
            QTest::newRow(tag) << Write{{}, "FILESELECT", "LASTDIR", value, lastDir(stored)};
        };
        fresh("commas, comment marks, backslashes, end quote",
              "*.avi, a=b # ; [L] C:\\d\\\"x\\n \"F\"", "*.avi, a=b # ; [L] C:\\d\\\"x\\n \"F\"");
        fresh("quotes", "\"q\" 'single'", "\"\\\"q\\\" 'single'\"");
        fresh("leading blank", " lead", "\" lead\"");
        fresh("newline", "two\nlines", "\"two\\nlines\"");
        const auto row = [](const char *tag, const QByteArray &before, const QByteArray &after,
                            const QString &group = "FILESELECT", const QString &key = "LASTDIR",
                            const QString &value = "/new") {
            QTest::newRow(tag) << Write{before, group, key, value, after};
        };
        const QByteArray kept = "# Morvane\n\n; c\n[FILESELECT]\nFILTER = *.avi\n"
                                "  LASTDIR = /old \t\n\n# next\n[C]\nx=1\n"
                                "this line does not parse\n[L]\r\nE=Q\r\n";
        QByteArray changed = kept;
        row("comments, order, spacing", kept, changed.replace("/old", "/new"));
        changed = kept;
        row("new key", kept, changed.replace("x=1\n", "x=1\ny=2\n"), "C", "y", "2");
        row("new group", kept, kept + "\n[Hi]\nOn=true\n", "Hi", "On", "true");
        row("mark, CRLF, empty value", "\xEF\xBB\xBF[FILESELECT]\r\nLASTDIR =\r\n[X]\r\n",
            "\xEF\xBB\xBF[FILESELECT]\r\nLASTDIR =/new\r\n[X]\r\n");
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
        QCOMPARE(ZConfig(path(), false).readEntry(w.group, w.key, "-"), w.value);
    }

    void writesWholeFilesOrNothing()
    {
        writeFile(path(), "[A]\nk=1\n");
        // Left by an earlier save: passed over.
        const QString left = dir.filePath(".mplayer.ini." + QString::number(getpid()) + "-0");
        writeFile(left, "");
        struct stat before, after;
        QCOMPARE(stat(qPrintable(path()), &before), 0);
        QVERIFY(ZConfig(path(), true).writeEntry("A", "k", QString("2")));
        QCOMPARE(stat(qPrintable(path()), &after), 0);
        QCOMPARE_NE(before.st_ino, after.st_ino);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void failedSavesKeepTheFile_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link to nothing") << false << "is not there";
        QTest::newRow("full disk") << true << "No space left on device";
    }

    void failedSavesKeepTheFile()
    {
        QFETCH(bool, fullDisk);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        const QString file = folder.filePath("mplayer.ini");
        const QByteArray old = lastDir("/old") + QByteArray(3000, '#');
        const QStringList tmpfs{"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder.path()};
        if (fullDisk && (geteuid() != 0 || QProcess::execute("mount", tmpfs) != 0))
            QSKIP("mounting a tmpfs needs root (CI runs as root)");
        const auto unmount = qScopeGuard([&] {
            if (fullDisk)
                QProcess::execute("umount", {folder.path()});
        });
        if (fullDisk) {
            writeFile(file, old);
            QFile filler(folder.filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(old) == old.size() && filler.flush()) {
            }
        } else {
            QVERIFY(QFile::link(folder.filePath("gone"), file));
        }
        const QStringList beside = QDir(folder.path()).entryList(QDir::AllEntries);
        StdoutCapture errors(2);
        QVERIFY(!saveLastDir(file));
        const QStringList said = errors.lines();
        QCOMPARE(said.size(), 1);
        const QString start = "morvane: could not save '" + file + "': ";
        QVERIFY2(said[0].startsWith(start), qPrintable(said[0]));
        QVERIFY2(said[0].contains(reason), qPrintable(said[0]));
        QCOMPARE(readFile(file), fullDisk ? old : QByteArray());
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries), beside);
    }

    // Root (sudo) saving a user's file leaves it theirs.
    void replacementKeepsOwnerModeAndLink()
    {
        if (geteuid() != 0)
            QSKIP("needs root (CI runs as root)");
        QTemporaryDir shared;
        QCOMPARE(chmod(qPrintable(shared.path()), 0777), 0);
        const QString file = shared.filePath("mplayer.ini"), link = shared.filePath("link.ini");
        const QStringList make{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", "sh",
                               "-c", "umask 027 && echo [FILESELECT] >\"$0\"", file};
        QCOMPARE(QProcess::execute("setpriv", make), 0);
        QVERIFY(QFile::link(file, link));
        QVERIFY(saveLastDir(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), file);
        QCOMPARE(readFile(file), lastDir("/new"));
        QCOMPARE(QFileInfo(file).owner(), "nobody");
        QCOMPARE(QFileInfo(file).group(), "nogroup");
        struct stat after;
        QCOMPARE(stat(qPrintable(file), &after), 0);
        QCOMPARE(after.st_mode & 07777, mode_t(0640));
    }

    void odds()
    {
        const QString halves = QString::fromUtf16(u"\xD800" u"a" u"\xDC7F");
        QCOMPARE(fsEncode(halves), QByteArray("\xEF\xBF\xBD" "a" "\xEF\xBF\xBD"));
        QCOMPARE(appDirFrom("morvane"), QString());
        QCOMPARE(appDirFrom("a b/c/morvane"), "a b/c/");
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
