// Places kept to resume from: when written, where sent back, when forgotten, the marks.

#include "testsupport.h"

namespace {

const char Query[] = "pausing_keep_force get_property time_pos";
const QByteArray ResumeOn = "[PLAYBACK]\nRESUME=YES\n";

// resumedAt: the place the player is sent to, empty for none.
struct ResumeRow
{
    QByteArray name;
    qint64 kept;
    QString resumedAt;
    bool otherFile = false, resumeOff = false;
};

enum class Then { Play, Stop, Pause, Quit };

} // namespace

Q_DECLARE_METATYPE(ResumeRow)
Q_DECLARE_METATYPE(Then)

class ResumeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

    QByteArray file(const QByteArray &name) { return fsEncode(media.path()) + '/' + name; }
    static QString places() { return dirFile("positions.txt"); }
    static QDateTime written() { return QFileInfo(places()).lastModified(); }

    // Adds the file to the file of places; otherSize: another file of its name.
    void keep(const QByteArray &name, qint64 seconds, bool seen = false, bool otherSize = false)
    {
        const QByteArray line = QByteArray::number(seconds) + (seen ? " seen " : " - ")
            + (otherSize ? "1 " : "0 ") + file(name) + '\n';
        writeFile(places(), readFile(places()) + line);
    }

    Positions::Entry onDisk(const char *name)
    {
        const Positions kept(places());
        const Positions::Entry *e = kept.find(file(name), 0);
        return e ? *e : Positions::Entry{};
    }

private slots:
    void initTestCase()
    {
        useFakePlayer();
        writeFile(dirFile("identify.txt"), "ID_LENGTH=3600.00\n");
        QVERIFY(QDir(media.path()).mkpath("list/sub"));
        // fopen: QFile would spell a name that is not UTF-8 in UTF-8.
        for (const char *name : {"a.avi", "caf\xE9.avi", "list/a.avi", "list/b.avi", "list/c.avi"})
            QCOMPARE(fclose(fopen(file(name).constData(), "w")), 0);
    }

    void init()
    {
        QFile::remove(places());
        clearLogs();
    }
    void cleanup() { QTRY_VERIFY(noChildren()); }

    void kept_data()
    {
        QTest::addColumn<Then>("then");
        QTest::newRow("while playing") << Then::Play;
        QTest::newRow("F2") << Then::Stop;
        QTest::newRow("pause") << Then::Pause;
        QTest::newRow("quit") << Then::Quit;
    }

    // Written at load, then every 5 s, at F2 or pause within the 5 s, at quit at once.
    void kept()
    {
        QFETCH(Then, then);
        qputenv("FAKE_PLAYER", "plays");
        qputenv("FAKE_STEP", then == Then::Play ? "1" : "0");
        keep("a.avi", 100);
        QDateTime last = written();
        auto w = activeWindow(media.path(), ResumeOn);
        w->playFile(fsDecode(file("a.avi")));
        QTRY_VERIFY(written() != last);
        QElapsedTimer since;
        since.start();
        if (then == Then::Play) {
            last = written();
            QTRY_VERIFY_WITH_TIMEOUT(written() != last, 8000);
            QVERIFY2(since.elapsed() >= 4000, "two writes within 4 s");
            QCOMPARE_GT(onDisk("a.avi").seconds, 100);
            return;
        }
        QTest::keyClick(w.get(), Qt::Key_Right);
        if (then == Then::Quit) {
            w.reset();
            QCOMPARE(onDisk("a.avi").seconds, 130);
            return;
        }
        QTest::keyClick(w.get(), then == Then::Stop ? Qt::Key_F2 : Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(onDisk("a.avi").seconds, 130, 8000);
        QVERIFY2(since.elapsed() >= 4000, "written within 4 s of the last write");
    }

    void resuming_data()
    {
        QTest::addColumn<ResumeRow>("row");
        QTest::newRow("other file") << ResumeRow{"a.avi", 2830, "", true};
        QTest::newRow("47:10, not UTF-8") << ResumeRow{"caf\xE9.avi", 2830, "47:10"};
        QTest::newRow("RESUME absent") << ResumeRow{"a.avi", 2830, "", false, true};
    }

    // A player that starts late is sent back once loaded.
    void resuming()
    {
        QFETCH(ResumeRow, row);
        qputenv("FAKE_PLAYER", "slow");
        keep(row.name, row.kept, false, row.otherFile);
        const QByteArray before = readFile(places());
        auto w = activeWindow(media.path(), row.resumeOff ? "" : ResumeOn);
        w->playFile(fsDecode(file(row.name)));
        const QString seek = QString("seek %1 2").arg(row.kept);
        const bool resumed = !row.resumedAt.isEmpty();
        QTRY_VERIFY(logLines("input.log").contains(resumed ? seek : Query));
        QTest::qWait(300);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QStringList sent = logLines("input.log");
        QCOMPARE(sent.value(0), QString(Query));
        sent.removeAll(Query);
        const QString osd = QString("osd_show_text \"Resumed at %1\" 2000").arg(row.resumedAt);
        QStringList expected = resumed ? QStringList{seek, osd} : QStringList();
        QCOMPARE(sent, expected << "quit");
        w.reset();
        if (row.resumeOff) {
            QCOMPARE(readFile(places()), before);
            return;
        }
        QCOMPARE(onDisk(row.name).seconds, resumed ? row.kept : 0);
    }

    // Enter on the row the list starts on plays a.avi from 47:10; played to its end, it is
    // forgotten and marked seen.
    void forgetting()
    {
        qputenv("FAKE_PLAYER", "ends");
        keep("a.avi", 2830);
        auto w = activeWindow(media.path(), ResumeOn);
        ZListBox *list = WindowInspector::list(*w);
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(logLines("input.log").contains("seek 2830 2"));
        QTRY_VERIFY(WindowInspector::kept(*w)->find(file("a.avi"), 0)->seen);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QCOMPARE(list->item(list->currentItem())->getSubItemText(1, 0), QString("a.avi"));
        QCOMPARE(list->item(list->currentItem())->mark(), QString("\u2714"));
        w.reset();
        QCOMPARE(onDisk("a.avi").seconds, 0);
        QCOMPARE(onDisk("a.avi").seen, true);
    }

    // The marks, the start on b.avi (played last), back up onto sub; none without RESUME.
    void listing()
    {
        keep("list/b.avi", 0, true);
        keep("list/a.avi", 2830);
        keep("list/c.avi", 2830, false, true);
        for (bool on : {true, false}) {
            auto w = activeWindow(media.filePath("list"), on ? ResumeOn : "");
            ZListBox *list = WindowInspector::list(*w);
            QStringList marks; // "..", sub, a.avi, b.avi, c.avi
            for (int i = 0; i < list->count(); ++i)
                marks << list->item(i)->mark();
            const QStringList shown{"", "", "47:10", "\u2714", ""};
            QCOMPARE(marks, on ? shown : QStringList(5, ""));
            QCOMPARE(list->currentItem(), on ? 3 : 0);
            WindowInspector::select(*w, 1);
            WindowInspector::select(*w, 0);
            QCOMPARE(list->currentItem(), on ? 1 : 0);
        }
    }

    // A place counts from 10 s on, up to 95 % of a clip's length when that is known.
    void placesThatCount()
    {
        const struct { double seconds, length; bool counts; } rows[] = {
            {9, 3600, false}, {10, 3600, true}, {3420, 3600, true}, {3421, 3600, false},
            {3421, 0, true}};
        for (auto r : rows)
            QCOMPARE(Positions::counts(r.seconds, r.length), r.counts);
    }

    // Paths kept byte for byte; the 1,000 played last.
    void fileOfPlaces()
    {
        Positions kept(media.filePath("places.txt"));
        const QList<QByteArray> odd{"/caf\xE9.avi", "/two\nlines.avi"};
        for (int i = 0; i < Positions::Limit + 1 - int(odd.size()); ++i)
            kept.put({"/films/" + QByteArray::number(i) + ".avi", 100, 600, false});
        for (const QByteArray &name : odd)
            kept.put({name, 7, 61, true});
        writeFile(kept.path(), kept.text());
        const Positions back(kept.path());
        QVERIFY(!back.find("/films/0.avi", 100)); // the one played first is let go
        QVERIFY(back.find("/films/1.avi", 100));
        QCOMPARE(back.text(), kept.text());
    }
};

MORVANE_GUI_TEST_MAIN(ResumeTest)
#include "tst_resume.moc"
