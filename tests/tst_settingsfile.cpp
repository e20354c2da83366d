// The settings file, the program directory and the key-code translation.

#include "platform/fsname.h"
#include "platform/keycodes.h"
#include "platform/zconfig.h"
#include "settings/appdir.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

QString units(std::initializer_list<char16_t> codes)
{
    QString text;
    for (char16_t c : codes)
        text += QChar(c);
    return text;
}

} // namespace

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

    // Files from other editors keep their byte-order mark, line breaks and
    // spacing: only the value changes, and new lines take the file's breaks.
    void writeKeepsTheFilesOwnForm_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("byte-order mark")
            << bom + "[FILESELECT]\nFILTER=*.avi\nLASTDIR=/old\n"
            << bom + "[FILESELECT]\nFILTER=*.avi\nLASTDIR=/new\n";
        QTest::newRow("CRLF") << QByteArray("[FILESELECT]\r\nLASTDIR=/old\r\n[LANGUAGE]\r\nEXIT=Quit\r\n")
                              << QByteArray("[FILESELECT]\r\nLASTDIR=/new\r\n[LANGUAGE]\r\nEXIT=Quit\r\n");
        QTest::newRow("CRLF new key") << QByteArray("[FILESELECT]\r\nFILTER=*.avi\r\n[X]\r\n")
                                      << QByteArray("[FILESELECT]\r\nFILTER=*.avi\r\nLASTDIR=/new\r\n[X]\r\n");
        QTest::newRow("CRLF new group, no last break")
            << bom + "[LANGUAGE]\r\nEXIT=Quit"
            << bom + "[LANGUAGE]\r\nEXIT=Quit\r\n\r\n[FILESELECT]\r\nLASTDIR=/new\r\n";
        QTest::newRow("spacing") << QByteArray("[FILESELECT]\n  LASTDIR = /old \t\n")
                                 << QByteArray("[FILESELECT]\n  LASTDIR = /new \t\n");
        QTest::newRow("empty value") << QByteArray("[FILESELECT]\r\nLASTDIR =\r\n")
                                     << QByteArray("[FILESELECT]\r\nLASTDIR =/new\r\n");
    }

    void writeKeepsTheFilesOwnForm()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        writeFile(path, before);
        ZConfig config(path, true);
        if (before.contains("FILTER"))
            QCOMPARE(config.readEntry("FILESELECT", "FILTER"), QString("*.avi"));
        QVERIFY(config.writeEntry("FILESELECT", "LASTDIR", QString("/new")));
        QCOMPARE(readFile(path), after);
        QCOMPARE(ZConfig(path, false).readEntry("FILESELECT", "LASTDIR"), QString("/new"));
    }

    // Names are bytes: every byte string survives the trip through QString,
    // and bytes that are no text become lone surrogates U+DC80..U+DCFF.
    void fileNameBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("/mnt/a.avi") << QString("/mnt/a.avi");
        QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9 \xF0\x9F\x8E\xAC") << QString::fromUtf8("café 🎬");
        QTest::newRow("E9 alone") << QByteArray("caf\xE9") << QString("caf") + QChar(0xDCE9);
        QTest::newRow("FF") << QByteArray("\xFF") << QString(QChar(0xDCFF));
        QTest::newRow("encoded surrogate") << QByteArray("\xED\xB2\x80")
                                           << units({0xDCED, 0xDCB2, 0xDC80});
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << units({0xDCC0, 0xDCAF});
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80x")
                                        << units({0xDCF4, 0xDC90, 0xDC80, 0xDC80, u'x'});
        QTest::newRow("cut short") << QByteArray("\xE2\x82") << units({0xDCE2, 0xDC82});
    }

    void fileNameBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(fsDecode(bytes), text);
        QCOMPARE(fsEncode(text), bytes);
        // Through the settings file as well.
        QTemporaryDir dir;
        const QString path = dir.filePath("mplayer.ini");
        QVERIFY(ZConfig(path, true).writeEntry("FILESELECT", "LASTDIR", text));
        QCOMPARE(readFile(path), "[FILESELECT]\nLASTDIR=" + bytes + "\n");
        QCOMPARE(ZConfig(path, false).readEntry("FILESELECT", "LASTDIR"), text);
    }

    void textThatIsNoFileName()
    {
        // Half a pair, or a surrogate no decoding makes, is written as U+FFFD.
        QCOMPARE(fsEncode(units({0xD800, u'a', 0xDC7F})),
                 QByteArray("\xEF\xBF\xBD" "a" "\xEF\xBF\xBD"));
        QVERIFY(fsEncode(QString()).isNull());
        QVERIFY(!fsDecode(QByteArray("")).isNull());
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
