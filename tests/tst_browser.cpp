#include "platform/keycodes.h"
#include "platform/resiconreader.h"
#include "testsupport.h"

#include <QProcess>
#include <fcntl.h>

// made: "name/" a folder, "name>target" a link, else a file; lists split at "|".
// keys: handset codes pressed on the list, each printed, the last one choosing row `chosen`.
struct Listing { QString made, filter, lines, shown, keys, chosen; };
Q_DECLARE_METATYPE(Listing)

// While b.avi of a.avi, b.avi and c.avi plays, files are added and removed; after F2 the list has
// `rows`, the current one `current`, and the folder was read again or not.
struct AfterPlaying { QStringList added, removed, rows; QString current; bool readAgain; };
Q_DECLARE_METATYPE(AfterPlaying)

class BrowserTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    std::unique_ptr<ZFileSelectDialog> w;

    QStringList list(const QString &path)
    {
        StdoutCapture out;
        w->openDir(path);
        return out.lines();
    }

    // Each row as its icon's mark ("^" up, "/" folder, none for a file) and its text.
    QStringList rows()
    {
        const auto key = [](const char *icon) { return RES_ICON_Reader().getIcon(icon, true).cacheKey(); };
        const QMap<qint64, QString> marks{{key("gen_back_to_arrw_small.bmp"), "^"}, {key("fm_folder_small.bmp"), "/"},
                                          {key("msg_unsupport_file_type_small.bmp"), ""}};
        const ZListBox *box = WindowInspector::list(*w);
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << marks.value(box->item(i)->pixmap(0).cacheKey(), "?") + box->item(i)->getSubItemText(1, 0);
        return out;
    }

public:
    ~BrowserTest() override { QProcess::execute("rm", {"-rf", "--", tmp.path()}); } // names Qt cannot spell

private slots:
    void initTestCase()
    {
        setSystemSettingsPath(tmp.filePath("none.cfg"));
        // A player that only notes the file it was asked to probe or play, and plays on until F2.
        writeScript(dirFile("mplayer"),
                  "#!/bin/sh\ncase \" $* \" in *\" -identify \"*)\n"
                  "  printf '%s' \"$2\" > \"$(dirname \"$0\")/probed\"; exit 0;; esac\n"
                  "eval \"last=\\${$#}\"\nprintf '%s' \"$last\" > \"$(dirname \"$0\")/played\"\n"
                  "read -r line\n");
        w = std::make_unique<ZFileSelectDialog>();
        w->show();
    }

    void listing_data()
    {
        QTest::addColumn<Listing>("c");
        QTest::newRow("worked example") << Listing{"Movies/|clips/|a.avi|B.mp4|notes.txt", "*.avi;*.mp4",
            "dir entry count = 4|dir:.|dir:..|dir:Movies|dir:clips|file entry count = 2|file:B.mp4|file:a.avi",
            "^..|/Movies|/clips|B.mp4|a.avi", "1004", ".."};
        QTest::newRow("-old") << Listing{"Movies/|clips/|-old/|a.avi|B.mp4", "*.avi;*.mp4",
            "dir entry count = 5|dir:-old|dir:-old|dir:.|dir:..|dir:Movies|dir:clips|file entry count = 2|"
            "file:B.mp4|file:a.avi", "^..|/-old|^..|/Movies|/clips|B.mp4|a.avi", "1017 1013 1013 1013 1004", "Movies"};
        QTest::newRow("hidden") << Listing{".config/|plain.avi/|.s.avi|.n.txt|MOVIE.AVI|s.Mp4|r", "*.avi;*.mp4", "",
            "^..|/.config|/plain.avi|.s.avi|MOVIE.AVI|s.Mp4", "1015 1015 1004", "plain.avi"};
        QTest::newRow("no filter") << Listing{"x.txt|r", "", "", "^..|r|x.txt", "1015 1016 1004", ".."};
        QTest::newRow("character codes") << Listing{"Zoo/|apple/|Apple/|10/|9/|_x/|~y/|b.avi|B.avi|a.avi|a.AVI", "*.avi",
            "", "^..|/10|/9|/Apple|/Zoo|/_x|/apple|/~y|B.avi|a.AVI|a.avi|b.avi", "39 1004", "9"};
        QTest::newRow("links") << Listing{"real/inner/|real/f.avi|in>real/inner|gone.avi>real/no|f2.avi>real/f.avi|"
            "x.avi>/dev/zero", "*.avi",
            "dir entry count = 4|dir:.|dir:..|dir:in|dir:real|file entry count = 2|file:f2.avi|file:x.avi",
            "^..|/in|/real|f2.avi|x.avi", "1015 1015 1013 1004", "in"};
    }

    void listing()
    {
        QFETCH(Listing, c);
        const QString d = tmp.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(d));
        for (const QString &m : c.made.split('|')) {
            const QString target = m.section('>', 1);
            if (m.endsWith('/'))
                QVERIFY(QDir(d).mkpath(m));
            else if (!target.isEmpty())
                QVERIFY(QFile::link(target.startsWith('/') ? target : d + "/" + target, d + "/" + m.section('>', 0, 0)));
            else
                writeFile(d + "/" + m, "x");
        }
        WindowInspector::setFileFilter(*w, c.filter);
        const QStringList printed = list(d);
        QCOMPARE(printed.value(0), "enter dir '" + d + "'");
        if (!c.lines.isEmpty())
            QCOMPARE(printed.mid(1), c.lines.split('|'));
        QCOMPARE(rows(), c.shown.split('|'));
        QCOMPARE(WindowInspector::list(*w)->item(0)->pixmap(0).size(), QSize(16, 16)); // the list's icon size: not scaled
        StdoutCapture out;
        QStringList expected;
        for (const QString &code : c.keys.split(' ')) {
            QTest::keyClick(WindowInspector::list(*w), Qt::Key(handset::toQtKey(code.toInt(nullptr, 16))));
            expected << "pressed 0x" + code;
        }
        expected << "enter dir '" + d + "/" + c.chosen + "'";
        QCOMPARE(out.lines().mid(0, expected.size()), expected);
        QCOMPARE(WindowInspector::currentDir(*w), QDir(d + "/" + c.chosen).canonicalPath());
    }

    // The event loop can end without the exit key (window closed, a signal): the clip is stopped, the folder stored.
    void quittingWhilePlaying()
    {
        const QString d = tmp.filePath("worked example");
        list(d);
        WindowInspector::select(*w, int(rows().indexOf("a.avi")));
        QVERIFY(WindowInspector::playing(*w));
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        qApp->exec();
        QVERIFY(!WindowInspector::playing(*w));
        QVERIFY(readFile(dirFile("mplayer.ini")).contains("\nLASTDIR=" + d.toUtf8() + "\n"));
    }

    void rootAndEmpty()
    {
        list("/"); // no parent entry is put in front at the root, and its ".." is "/"
        QCOMPARE(rows().count("^.."), 1);
        WindowInspector::select(*w, int(rows().indexOf("^..")));
        StdoutCapture out;
        WindowInspector::select(*w, int(rows().indexOf("/bin")));
        QCOMPARE(out.lines().value(0), QString("enter dir '//bin'")); // still at "/"
        // A folder removed while open reads back with not even "." and "..".
        QVERIFY(QDir(tmp.path()).mkpath("removed"));
        const int fd = open(QFile::encodeName(tmp.filePath("removed")).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0 && QDir(tmp.path()).rmdir("removed"));
        QCOMPARE(list(QString("/proc/self/fd/%1").arg(fd)).value(1), QString("dir entry count = 0"));
        close(fd);
        QCOMPARE(rows(), QStringList{"^.."});
        // A new list and a cleared one have no rows, not even one for the view to draw.
        QCOMPARE(ZListBox("%I%M", nullptr, 0, 0).model()->rowCount(), 0);
        WindowInspector::list(*w)->clear();
        QCOMPARE(WindowInspector::list(*w)->model()->rowCount(), 0);
    }

    // A folder that cannot be listed prints its line and leaves the user where they were. Run as nobody.
    void unlistableFolderKeepsTheList()
    {
        if (geteuid() == 0) {
            QProcess child;
            child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                                    QFile::symLinkTarget("/proc/self/exe"), "unlistableFolderKeepsTheList"});
            QVERIFY(child.waitForFinished(120000));
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
            return;
        }
        writeFile(tmp.filePath("plain"), "x");
        QVERIFY(QDir(tmp.path()).mkpath("locked") && QFile::setPermissions(tmp.filePath("locked"), {}));
        list(tmp.path());
        const QStringList before = rows();
        WindowInspector::list(*w)->setCurrentItem(1);
        for (const QString name : {"not-there", "plain", "locked"}) {
            StdoutCapture out;
            if (name == "locked") // chosen from the list; the others are no folders to choose
                WindowInspector::select(*w, int(before.indexOf("/locked")));
            else
                w->openDir(tmp.filePath(name));
            QCOMPARE(out.lines(), QStringList{"enter dir '" + tmp.filePath(name) + "'"});
            QCOMPARE(rows(), before);
            QCOMPARE(WindowInspector::list(*w)->currentItem(), 1);
            QCOMPARE(WindowInspector::currentDir(*w), tmp.path());
        }
    }

    void afterPlaying_data()
    {
        QTest::addColumn<AfterPlaying>("c");
        const QStringList all{"^..", "a.avi", "b.avi", "c.avi"};
        QTest::newRow("unchanged") << AfterPlaying{{}, {}, all, "b.avi", false};
        const QStringList added{"^..", "a.avi", "a2.avi", "b.avi", "c.avi"};
        QTest::newRow("a clip added") << AfterPlaying{{"a2.avi"}, {}, added, "b.avi", true};
        const QStringList left{"^..", "a.avi", "c.avi"};
        QTest::newRow("the clip gone") << AfterPlaying{{}, {"b.avi"}, left, "c.avi", true};
    }

    // F2 shows the folder as it is now; one that did not change is not read again.
    void afterPlaying()
    {
        QFETCH(AfterPlaying, c);
        const QString d = tmp.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(d));
        for (const QString name : {"a.avi", "b.avi", "c.avi"})
            writeFile(d + "/" + name, "x");
        WindowInspector::setFileFilter(*w, "*.avi");
        list(d);
        WindowInspector::list(*w)->setCurrentItem(2);
        WindowInspector::select(*w, 2);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(dirFile("played")), fsEncode(d + "/b.avi"), 10000);
        for (const QString &name : c.added)
            writeFile(d + "/" + name, "x");
        for (const QString &name : c.removed)
            QVERIFY(QFile::remove(d + "/" + name));
        StdoutCapture out;
        QTest::keyClick(w.get(), Qt::Key_F2);
        QCOMPARE(out.lines().value(1), c.readAgain ? "enter dir '" + d + "'" : QString());
        QCOMPARE(rows(), c.rows);
        ZListBox *box = WindowInspector::list(*w);
        QCOMPARE(box->item(box->currentItem())->getSubItemText(1, 0), c.current);
    }

    // A file gone since it was listed is not played: the list is read again, the row after it
    // chosen. A row in a folder shown that has gone (a card pulled) leads to the nearest folder
    // above.
    void nothingLeadsNowhere()
    {
        const QString card = tmp.filePath("card"), video = card + "/video";
        QVERIFY(QDir().mkpath(video));
        for (const QString name : {"a.avi", "b.avi"})
            writeFile(video + "/" + name, "x");
        WindowInspector::setFileFilter(*w, "*.avi");
        list(video);
        QFile::remove(dirFile("probed"));
        QVERIFY(QFile::remove(video + "/a.avi"));
        WindowInspector::select(*w, 1);
        QCOMPARE(rows(), (QStringList{"^..", "b.avi"}));
        QCOMPARE(WindowInspector::list(*w)->currentItem(), 1);
        QVERIFY(QDir(video).removeRecursively());
        WindowInspector::select(*w, 1);
        QCOMPARE(WindowInspector::currentDir(*w), card);
        QVERIFY(!QFile::exists(dirFile("probed")));
    }

    // Names from other systems and hostile to shells: listed, shown, probed, played, entered and remembered as bytes.
    void namesAsBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("visible");
        const QString bad(QChar::ReplacementCharacter);
        QTest::newRow("E9 alone") << QByteArray("caf\xE9") << "caf" + bad;
        QTest::newRow("one bad byte") << QByteArray("\xD0\xA4\xD0\xB8\x80\xD0\xBB") << QString::fromUtf8("Фи") + bad + "л";
        QTest::newRow("encoded surrogate") << QByteArray("x\xED\xB2\x80") << "x" + bad + bad + bad;
        QTest::newRow("non-ASCII") << QByteArray("Фильм 电影 🎬") << QString::fromUtf8("Фильм 电影 🎬");
        for (const char *name : {"it's", "$(touch pwned)", "`id`", "-rf", " two  blanks ", "new\nline\ttab"})
            QTest::newRow(name) << QByteArray(name) << QString(name).replace('\n', QChar(0x240A)).replace('\t', QChar(0x2409));
        QTest::newRow("255 bytes") << QByteArray(251, 'n') << QString(251, 'n');
    }

    void namesAsBytes()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, visible);
        const QString d = tmp.filePath(QTest::currentDataTag()); // a hostile folder name as well
        const QByteArray base = fsEncode(d) + "/" + name;
        QVERIFY(QDir().mkpath(d));
        QVERIFY(::close(::open(QByteArray(base + ".avi").constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        QCOMPARE(::mkdir(QByteArray(base + ".d").constData(), 0755), 0);
        StdoutCapture out;
        w->openDir(d);
        const QByteArray printed = out.finish();
        QVERIFY(printed.contains("\ndir:" + name + ".d\n") && printed.contains("\nfile:" + name + ".avi\n"));
        const int file = int(rows().indexOf(fsDecode(name + ".avi"))), folder = int(rows().indexOf("/" + fsDecode(name + ".d")));
        QCOMPARE(WindowInspector::list(*w)->model()->index(file, 0).data().toString(), visible + ".avi");

        WindowInspector::select(*w, file);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(dirFile("probed")), QByteArray(base + ".avi"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(dirFile("played")), QByteArray(base + ".avi"), 10000);
        QTest::keyClick(w.get(), Qt::Key_F2);

        WindowInspector::select(*w, folder);
        QMetaObject::invokeMethod(w.get(), "slotQuit");
        ZFileSelectDialog again;
        QCOMPARE(fsEncode(WindowInspector::currentDir(again)), QByteArray(base + ".d"));
    }
};

MORVANE_GUI_TEST_MAIN(BrowserTest)
#include "tst_browser.moc"
