// The settings file, names as bytes, the program directory and key codes.

#include "platform/fsname.h"
#include "platform/keycodes.h"
#include "platform/zconfig.h"
#include "settings/appdir.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
QString u16(QStringView text) { return text.toString(); }
} // namespace

class SettingsFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath("mplayer.ini"); }

private slots:
    void reads()
    {
        ZConfig none(dir.filePath("none.ini"), true), folder(dir.path(), true);
        QVERIFY(none.readEntry("FILESELECT", "FILTER", QString()).isNull());
        QCOMPARE(none.readBoolEntry("HiSpeedMode", "Enabled", true), true);
        QCOMPARE(folder.readNumEntry("SYS_SYSTEM_SET", "DisplayTimeout", -1), -1);
        writeFile(path(), "[HiSpeedMode]\nEnabled=true\n[hispeedmode]\nenabled=false\n"
                          "[SYS_SYSTEM_SET]\nDisplayTimeout = 45 \nBad=12x\n"
                          "[B]\nb1=1\nb2=YES\nb3= on\nb4=0\nb5=no\nb6=Off\nb7=maybe\n");
        ZConfig c(path(), false);
        QCOMPARE(c.readBoolEntry("HiSpeedMode", "Enabled", false), true);
        QCOMPARE(c.readBoolEntry("hispeedmode", "enabled", true), false);
        QCOMPARE(c.readBoolEntry("HISPEEDMODE", "ENABLED", false), false);
        QCOMPARE(c.readNumEntry("SYS_SYSTEM_SET", "DisplayTimeout", -1), 45);
        QCOMPARE(c.readNumEntry("SYS_SYSTEM_SET", "Bad", -1), -1);
        QCOMPARE(c.readNumEntry("HiSpeedMode", "DisplayTimeout", -1), -1);
        QString bools; // each key read with default false, then true
        for (const char *k : {"b1", "b2", "b3", "b4", "b5", "b6", "b7"})
            bools += QString::number(c.readBoolEntry("B", k, false)) + QString::number(c.readBoolEntry("B", k, true));
        QCOMPARE(bools, QString("11111100000001"));
    }

    // A write changes one value in the file's own form (mark, line breaks,
    // spacing, comments, unknown lines), keeps what was edited since the
    // file was read, and the value reads back. Names are bytes: bytes that
    // are no text travel as lone surrogates U+DC80..U+DCFF.
    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const auto fresh = [](const char *tag, const QString &value, const QByteArray &stored) {
            QTest::newRow(tag) << QByteArray() << "FILESELECT/LASTDIR" << value
                               << "[FILESELECT]\nLASTDIR=" + stored + "\n";
        };
        fresh("commas, equals", "*.avi,*.mp4, a=b", "*.avi,*.mp4, a=b");
        fresh("quotes", "\"q\" 'single'", "\"\\\"q\\\" 'single'\"");
        fresh("leading blank", " lead", "\" lead\"");
        fresh("trailing tab", "trail\t", "\"trail\\t\"");
        fresh("line breaks", "two\nlines\r\n", "\"two\\nlines\\r\\n\"");
        fresh("backslashes", "C:\\d\\\"x\\n", "C:\\d\\\"x\\n");
        fresh("comment marks, brackets", "# no ; [LANGUAGE]", "# no ; [LANGUAGE]");
        fresh("empty", "", "");
        fresh("utf-8", QString::fromUtf8("Фильмы/电影 🎬"), "\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC\xD1\x8B/\xE7\x94\xB5\xE5\xBD\xB1 \xF0\x9F\x8E\xAC");
        fresh("E9 alone", u16(u"caf\xDCE9"), "caf\xE9");
        fresh("FF", u16(u"\xDCFF"), "\xFF");
        fresh("encoded surrogate", u16(u"\xDCED\xDCB2\xDC80"), "\xED\xB2\x80");
        fresh("overlong slash", u16(u"\xDCC0\xDCAF"), "\xC0\xAF");
        fresh("above U+10FFFF", u16(u"\xDCF4\xDC90\xDC80\xDC80x"), "\xF4\x90\x80\x80x");
        fresh("cut short", u16(u"\xDCE2\xDC82"), "\xE2\x82");
        const auto row = [](const char *tag, const QByteArray &before, const QByteArray &after,
                            const QString &value = "/new", const QString &where = "FILESELECT/LASTDIR") {
            QTest::newRow(tag) << before << where << value << after;
        };
        const QByteArray kept = "# Morvane\n\n; c\n[FILESELECT]\nFILTER = *.avi\nUNKNOWN=k\nLASTDIR=/old\n\n"
                                "# next\n[CUSTOM]\nx=1\nthis line does not parse\n[LANGUAGE]\r\nEXIT=Quit\r\n";
        row("comments, order", kept, QByteArray(kept).replace("/old", "/new"));
        row("new key", kept, QByteArray(kept).replace("x=1\n", "x=1\ny=2\n"), "2", "CUSTOM/y");
        row("new group", kept, kept + "\n[HiSpeedMode]\nEnabled=true\n", "true", "HiSpeedMode/Enabled");
        const QByteArray bom = "\xEF\xBB\xBF";
        row("byte-order mark", bom + "[FILESELECT]\nLASTDIR=/old\n", bom + "[FILESELECT]\nLASTDIR=/new\n");
        row("CRLF", "[FILESELECT]\r\nLASTDIR=/old\r\n[X]\r\n", "[FILESELECT]\r\nLASTDIR=/new\r\n[X]\r\n");
        row("CRLF new key", "[FILESELECT]\r\nF=*\r\n[X]\r\n", "[FILESELECT]\r\nF=*\r\nLASTDIR=/new\r\n[X]\r\n");
        row("CRLF new group", bom + "[L]\r\nE=Q", bom + "[L]\r\nE=Q\r\n\r\n[FILESELECT]\r\nLASTDIR=/new\r\n");
        row("spacing", "[FILESELECT]\n  LASTDIR = /old \t\n", "[FILESELECT]\n  LASTDIR = /new \t\n");
        row("empty value", "[FILESELECT]\r\nLASTDIR =\r\n", "[FILESELECT]\r\nLASTDIR =/new\r\n");
        const QByteArray garbage("\0\xFF\r\n=\x01[", 7);
        row("garbage", garbage, garbage + "\r\n\r\n[FILESELECT]\r\nLASTDIR=/new\r\n");
    }

    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, where);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString group = where.section('/', 0, 0), key = where.section('/', 1);
        QFile::remove(path());
        ZConfig config(path(), true);
        if (!before.isNull())
            writeFile(path(), before);
        QVERIFY(config.writeEntry(group, key, value));
        QCOMPARE(readFile(path()), after);
        QCOMPARE(config.readEntry(group, key, "-"), value);
        QCOMPARE(ZConfig(path(), false).readEntry(group, key, "-"), value);
    }

    // A new file takes the name (rename, not a rewrite in place) or nothing
    // changes and the write says it failed.
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
        const QString folder = dir.filePath("gone");
        QVERIFY(QDir().mkpath(folder));
        ZConfig gone(folder + "/mplayer.ini", true);
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(!gone.writeEntry("A", "k", QString("4")));
        QVERIFY(!QFile::exists(folder));
    }

    void odds()
    {
        // Half a pair, or a surrogate no decoding makes, is written as U+FFFD.
        QCOMPARE(fsEncode(u16(u"\xD800" u"a" u"\xDC7F")), QByteArray("\xEF\xBF\xBD" "a" "\xEF\xBF\xBD"));
        QVERIFY(fsEncode(QString()).isNull());
        QVERIFY(!fsDecode(QByteArray("")).isNull());
        QVERIFY(!appDirFrom("morvane").isNull());
        QStringList dirs;
        for (const char *argv0 : {"morvane", "/morvane", "/opt/m/morvane", "./morvane", "a b/c/"})
            dirs << appDirFrom(argv0);
        QCOMPARE(dirs, (QStringList{"", "/", "/opt/m/", "./", "a b/c/"}));
        const QList<QPair<int, int>> codes = {{Qt::Key_Right, 0x1014}, {Qt::Key_Return, 0x1004},
                                              {Qt::Key_PageDown, 0x1017}, {Qt::Key_F2, 0x1031},
                                              {Qt::Key_3, 0x33}, {Qt::Key_A, 0x41}};
        for (const auto &[qt, code] : codes) {
            QCOMPARE(handset::fromQtKey(qt), code);
            QCOMPARE(handset::toQtKey(code), qt);
        }
        QCOMPARE(int(QEvent::WindowActivate), 24);
        QCOMPARE(int(QEvent::WindowDeactivate), 25);
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
