// The settings file, the program directory and the key-code translation.

#include "platform/keycodes.h"
#include "platform/zconfig.h"
#include "settings/appdir.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class SettingsFileTest : public QObject
{
    Q_OBJECT

private slots:
    void missingFileGivesDefaults()
    {
        QTemporaryDir dir;
        ZConfig config(dir.filePath("none.ini"), true);
        QVERIFY(config.readEntry("FILESELECT", "FILTER", QString()).isNull());
        QCOMPARE(config.readBoolEntry("HiSpeedMode", "Enabled", false), false);
        QCOMPARE(config.readBoolEntry("HiSpeedMode", "Enabled", true), true);
        QCOMPARE(config.readNumEntry("SYS_SYSTEM_SET", "DisplayTimeout", -1), -1);
        // A directory in place of the file reads as no file at all.
        ZConfig notAFile(dir.path(), true);
        QCOMPARE(notAFile.readNumEntry("SYS_SYSTEM_SET", "DisplayTimeout", -1), -1);
    }

    void namesAreExactAndCaseSensitive()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        writeFile(path, "[HiSpeedMode]\nEnabled=true\n[hispeedmode]\nenabled=false\n"
                        "[SYS_SYSTEM_SET]\nDisplayTimeout = 45 \nBad=12x\n");
        ZConfig config(path, false);
        QCOMPARE(config.readBoolEntry("HiSpeedMode", "Enabled", false), true);
        QCOMPARE(config.readBoolEntry("hispeedmode", "enabled", true), false);
        QCOMPARE(config.readBoolEntry("HISPEEDMODE", "ENABLED", false), false);
        QCOMPARE(config.readNumEntry("SYS_SYSTEM_SET", "DisplayTimeout", -1), 45);
        QCOMPARE(config.readNumEntry("SYS_SYSTEM_SET", "Bad", -1), -1);
        // A key outside its group is not found in another.
        QCOMPARE(config.readNumEntry("HiSpeedMode", "DisplayTimeout", -1), -1);
    }

    void awkwardValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("commas") << QString("*.avi,*.mp4, *.mkv");
        QTest::newRow("equals") << QString("a=b=c");
        QTest::newRow("quotes") << QString("\"quoted\" and 'single'");
        QTest::newRow("leading quote only") << QString("\"half");
        QTest::newRow("outer blanks") << QString("  padded\t");
        QTest::newRow("newline") << QString("two\nlines\r\n");
        QTest::newRow("backslashes") << QString("C:\\dir\\\"x\\n");
        QTest::newRow("semicolon hash") << QString("# not a comment ; really");
        QTest::newRow("non-ascii") << QString::fromUtf8("/mnt/card/Фильмы/电影 ünïcode");
        QTest::newRow("empty") << QString("");
        QTest::newRow("brackets") << QString("[LANGUAGE]");
    }

    void awkwardValuesRoundTrip()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        {
            ZConfig config(path, true);
            QVERIFY(config.writeEntry("FILESELECT", "LASTDIR", value));
            QCOMPARE(config.readEntry("FILESELECT", "LASTDIR", "default"), value);
        }
        ZConfig reread(path, true);
        QCOMPARE(reread.readEntry("FILESELECT", "LASTDIR", "default"), value);
    }

    void writeKeepsEverythingElse()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        const QByteArray before = "# Morvane settings\n"
                                  "\n"
                                  "; another comment\n"
                                  "[FILESELECT]\n"
                                  "FILTER = *.avi;*.mp4\n"
                                  "UNKNOWN=kept\n"
                                  "LASTDIR=/old\n"
                                  "\n"
                                  "# about the next group\n"
                                  "[CUSTOM]\n"
                                  "x=1\n"
                                  "this line does not parse\n"
                                  "[LANGUAGE]\r\n"
                                  "EXIT=Quit\r\n";
        writeFile(path, before);
        ZConfig config(path, true);
        QVERIFY(config.writeEntry("FILESELECT", "LASTDIR", QString("/new")));
        QByteArray expected = before;
        expected.replace("LASTDIR=/old", "LASTDIR=/new");
        QCOMPARE(readFile(path), expected);

        // A new key goes to the end of its group, a new group to the end.
        QVERIFY(config.writeEntry("CUSTOM", "y", QString("2")));
        QVERIFY(config.writeEntry("HiSpeedMode", "Enabled", true));
        const QByteArray after = readFile(path);
        QVERIFY(after.contains("[CUSTOM]\nx=1\ny=2\nthis line does not parse\n"));
        QVERIFY(after.endsWith("EXIT=Quit\r\n\n[HiSpeedMode]\nEnabled=true\n"));
        QCOMPARE(ZConfig(path, false).readBoolEntry("HiSpeedMode", "Enabled", false), true);
        QCOMPARE(ZConfig(path, false).readEntry("LANGUAGE", "EXIT"), QString("Quit"));
        QCOMPARE(ZConfig(path, false).readEntry("FILESELECT", "FILTER"), QString("*.avi;*.mp4"));
    }

    void writeKeepsEditsMadeMeanwhile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        writeFile(path, "[FILESELECT]\nLASTDIR=/a\n");
        ZConfig config(path, true);
        writeFile(path, "[FILESELECT]\nLASTDIR=/a\nFILTER=*.ogg\n");
        QVERIFY(config.writeEntry("FILESELECT", "LASTDIR", QString("/b")));
        QCOMPARE(readFile(path), QByteArray("[FILESELECT]\nLASTDIR=/b\nFILTER=*.ogg\n"));
    }

    void replacementIsAtomic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        writeFile(path, "[FILESELECT]\nLASTDIR=/a\n");
        struct stat before;
        QCOMPARE(stat(QFile::encodeName(path).constData(), &before), 0);
        ZConfig config(path, true);
        QVERIFY(config.writeEntry("FILESELECT", "LASTDIR", QString("/b")));
        struct stat after;
        QCOMPARE(stat(QFile::encodeName(path).constData(), &after), 0);
        // A new file took the old one's name (rename), rather than the old
        // one being rewritten in place; nothing else is left beside it.
        QVERIFY(before.st_ino != after.st_ino);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mplayer.ini"});
    }

    void failedWriteLeavesOldFile()
    {
        QTemporaryDir dir;
        // The file's folder vanishes: nothing can be written there.
        const QString folder = dir.filePath("gone");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/mplayer.ini";
        writeFile(path, "[FILESELECT]\nLASTDIR=/a\n");
        ZConfig config(path, true);
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(!config.writeEntry("FILESELECT", "LASTDIR", QString("/b")));
        QVERIFY(!QFile::exists(path));

        // A file opened read-only is never written.
        const QString system = dir.filePath("system.cfg");
        writeFile(system, "[SYS_SYSTEM_SET]\nDisplayTimeout=30\n");
        ZConfig readOnly(system, false);
        QVERIFY(!readOnly.writeEntry("SYS_SYSTEM_SET", "DisplayTimeout", QString("1")));
        QCOMPARE(readFile(system), QByteArray("[SYS_SYSTEM_SET]\nDisplayTimeout=30\n"));
    }

    void garbageSurvivesAWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 7919) & 0xff));
        writeFile(path, garbage);
        ZConfig config(path, true);
        QVERIFY(config.readEntry("FILESELECT", "LASTDIR").isNull());
        QVERIFY(config.writeEntry("FILESELECT", "LASTDIR", QString("/x")));
        const QByteArray after = readFile(path);
        QVERIFY(after.startsWith(garbage));
        QCOMPARE(ZConfig(path, false).readEntry("FILESELECT", "LASTDIR"), QString("/x"));
    }

    void appDirFromArgv0()
    {
        QCOMPARE(appDirFrom("morvane"), QString(""));
        QVERIFY(!appDirFrom("morvane").isNull());
        QCOMPARE(appDirFrom("/morvane"), QString("/"));
        QCOMPARE(appDirFrom("/opt/morvane/morvane"), QString("/opt/morvane/"));
        QCOMPARE(appDirFrom("./morvane"), QString("./"));
        QCOMPARE(appDirFrom("a b/c/"), QString("a b/c/"));
    }

    void keyCodes()
    {
        QCOMPARE(handset::fromQtKey(Qt::Key_Right), 0x1014);
        QCOMPARE(handset::fromQtKey(Qt::Key_Left), 0x1012);
        QCOMPARE(handset::fromQtKey(Qt::Key_Return), 0x1004);
        QCOMPARE(handset::fromQtKey(Qt::Key_PageUp), 0x1016);
        QCOMPARE(handset::fromQtKey(Qt::Key_PageDown), 0x1017);
        QCOMPARE(handset::fromQtKey(Qt::Key_F1), 0x1030);
        QCOMPARE(handset::fromQtKey(Qt::Key_F2), 0x1031);
        QCOMPARE(handset::fromQtKey(Qt::Key_3), 0x33);
        QCOMPARE(handset::fromQtKey(Qt::Key_A), 0x41);
        for (int key : {int(Qt::Key_Up), int(Qt::Key_F2), int(Qt::Key_1)})
            QCOMPARE(handset::toQtKey(handset::fromQtKey(key)), key);
        QCOMPARE(int(QEvent::WindowActivate), 24);
        QCOMPARE(int(QEvent::WindowDeactivate), 25);
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
