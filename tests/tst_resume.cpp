#include "settings/positions.h"
#include "testsupport.h"

const QByteArray ResumeOn = "[PLAYBACK]\nRESUME=YES\n";

class ResumeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

    QByteArray file(const QByteArray &name) { return fsEncode(media.path()) + '/' + name; }
    static QString places() { return dirFile("positions.txt"); }

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
        QTest::addColumn<Qt::Key>("then");
        QTest::newRow("every 5 s") << Qt::Key_2;
        QTest::newRow("F2") << Qt::Key_F2;
        QTest::newRow("pause") << Qt::Key_Return;
        QTest::newRow("quit") << Qt::Key_Close;
    }

    // Written at load, then every 5 s, or within the 5 s at F2 or pause, or at once at quit.
    void kept()
    {
        QFETCH(Qt::Key, then);
        qputenv("FAKE_PLAYER", "plays");
        keep("a.avi", 100);
        const QDateTime last = QFileInfo(places()).lastModified();
        auto w = activeWindow(media.path(), ResumeOn);
        w->playFile(fsDecode(file("a.avi")));
        QTRY_VERIFY(QFileInfo(places()).lastModified() != last);
        QElapsedTimer since;
        since.start();
        QTest::keyClick(w.get(), Qt::Key_Right);
        if (then == Qt::Key_Close)
            w.reset();
        else
            QTest::keyClick(w.get(), then);
        QTRY_COMPARE_WITH_TIMEOUT(onDisk("a.avi").seconds, 130, 8000);
        if (w)
            QCOMPARE_GE(since.elapsed(), 4000);
    }

    // A player that starts late is sent back once loaded; the name is not UTF-8.
    void resuming()
    {
        qputenv("FAKE_PLAYER", "slow");
        keep("caf\xE9.avi", 2830);
        auto w = activeWindow(media.path(), ResumeOn);
        w->playFile(fsDecode(file("caf\xE9.avi")));
        QTRY_VERIFY(logLines("input.log").contains("seek 2830 2"));
        QTest::qWait(300);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QStringList sent = logLines("input.log");
        QCOMPARE(sent.value(0), QString(Query));
        sent.removeAll(Query);
        const QString osd = "osd_show_text \"Resumed at 47:10\" 2000";
        QCOMPARE(sent, (QStringList{"seek 2830 2", osd, "quit"}));
    }

    // Played to its end, a file is forgotten and marked seen.
    void forgetting()
    {
        qputenv("FAKE_PLAYER", "ends");
        keep("a.avi", 2830);
        auto w = activeWindow(media.path(), ResumeOn);
        w->playFile(fsDecode(file("a.avi")));
        QTRY_COMPARE_WITH_TIMEOUT(onDisk("a.avi").seen, true, 8000);
        QCOMPARE(onDisk("a.avi").seconds, 0);
    }

    // Marks (none for another file of c.avi's name), the start on b.avi, back up onto sub.
    void listing()
    {
        keep("list/b.avi", 0, true);
        keep("list/a.avi", 2830);
        keep("list/c.avi", 2830, false, true);
        auto w = activeWindow(media.filePath("list"), ResumeOn);
        ZListBox *list = WindowInspector::list(*w);
        QStringList marks; // "..", sub, a.avi, b.avi, c.avi
        for (int i = 0; i < list->count(); ++i)
            marks << list->item(i)->mark();
        QCOMPARE(marks, (QStringList{"", "", "47:10", "\u2714", ""}));
        QCOMPARE(list->currentItem(), 3);
        WindowInspector::select(*w, 1);
        WindowInspector::select(*w, 0);
        QCOMPARE(list->currentItem(), 1);
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
        for (int i = 0; i < Positions::Limit; ++i)
            kept.put({"/films/" + QByteArray::number(i) + ".avi", 100, 600, false});
        kept.put({"/caf\xE9\n.avi", 7, 61, true});
        writeFile(kept.path(), kept.text());
        const Positions back(kept.path());
        QVERIFY(!back.find("/films/0.avi", 100));
        QVERIFY(back.find("/films/1.avi", 100));
        QCOMPARE(back.text(), kept.text());
    }
};

MORVANE_GUI_TEST_MAIN(ResumeTest)
#include "tst_resume.moc"
