#include "platform/znowplaying.h"

#include <QLabel>
#include <QProgressBar>
#include "testsupport.h"

const QByteArray SoundOn = "[PLAYBACK]\nNOWPLAYING=YES\n";

struct QueryRow
{
    QByteArray player, settings;
    QStringList input;
};

// currentRow: 0 "..", 1 a.avi, 2 b.avi, 3 c.avi.
struct EndRow
{
    QByteArray atEnd, endSeconds;
    bool stopDuringSecond;
    QStringList played;
    bool stillPlaying;
    int currentRow;
};

Q_DECLARE_METATYPE(QueryRow)
Q_DECLARE_METATYPE(EndRow)

class SessionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

private slots:
    void initTestCase()
    {
        useFakePlayer();
        qputenv("FAKE_POS", "12");
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            writeFile(media.filePath(name), "not really a film");
    }

    void init() { clearLogs(); }
    void cleanup() { QTRY_VERIFY(noChildren()); }

    void queries_data()
    {
        QTest::addColumn<QueryRow>("row");
        QTest::newRow("plays, new keys absent") << QueryRow{"plays", "", {}};
        QTest::newRow("video, sound screen") << QueryRow{"plays", SoundOn, {}};
        QTest::newRow("starts late, paused") << QueryRow{"slow", "", {"pause", Query}};
        QTest::newRow("cannot open") << QueryRow{"fails", "", {Query, "quit"}};
    }

    // A file not started within a second is asked about once; one that fails ends within 3 s.
    void queries()
    {
        QFETCH(QueryRow, row);
        qputenv("FAKE_PLAYER", row.player);
        auto w = activeWindow(media.path(), row.settings);
        w->playFile(media.filePath("a.avi"));
        QTRY_VERIFY(w->playerPipe()); // its first second has begun
        if (row.player == "slow")
            QTest::keyClick(w.get(), Qt::Key_Return);
        QTest::qWait(1500);
        QTRY_COMPARE_WITH_TIMEOUT(w->isPlaying(), !row.input.contains("quit"), 1500);
        QTRY_COMPARE(logLines("input.log"), row.input);
        w.reset(); // places are kept only with RESUME on
        QVERIFY(!QFile::exists(dirFile("positions.txt")));
    }

    // No video: readable texts; the length asked once, the place once a second.
    void soundScreen()
    {
        qputenv("FAKE_PLAYER", "sound");
        const QByteArray keys = "[LANGUAGE]\nPAUSEKEY=<b>Enter</b>\nSTOPKEY=F2\n";
        auto w = activeWindow(media.path(), SoundOn + keys);
        w->playFile(media.filePath("a.avi"));
        QTRY_VERIFY(w->findChild<ZNowPlaying *>());
        QElapsedTimer shown;
        shown.start();
        ZNowPlaying *screen = w->findChild<ZNowPlaying *>();
        const QStringList texts = {"Song", "Band", "a.avi", "0:12", "<b>Enter</b>", "F2"};
        QTRY_COMPARE(screen->texts(), texts);
        const QColor background = screen->palette().color(QPalette::Window);
        for (const QLabel *label : screen->findChildren<QLabel *>())
            QCOMPARE_NE(label->palette().color(QPalette::WindowText), background);
        QTest::qWait(2500);
        const QStringList asked = logLines("input.log");
        QCOMPARE_GE(asked.size(), 3);
        QCOMPARE_LE(asked.size(), shown.elapsed() / 1000 + 2);
        QCOMPARE(asked.filter(QRegularExpression("^pausing_keep_force get_property ")), asked);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QVERIFY(!screen->isVisible());
    }

    void atEnd_data()
    {
        QTest::addColumn<EndRow>("row");
        const QStringList all = {"a.avi", "b.avi", "c.avi"}, first = all.mid(0, 1);
        QTest::newRow("absent") << EndRow{"", "0.2", false, first, true, 1};
        QTest::newRow("next") << EndRow{"ATEND=NEXT", "0.2", false, all, false, 3};
        QTest::newRow("F2 during b") << EndRow{"ATEND=NEXT", "1", true, all.mid(0, 2), false, 2};
        // Last: it deletes a.avi.
        QTest::newRow("stay, deleted") << EndRow{"ATEND=STAY", "0.5", false, first, false, 1};
    }

    void atEnd()
    {
        QFETCH(EndRow, row);
        qputenv("FAKE_END", row.endSeconds);
        qputenv("FAKE_PLAYER", "ends");
        auto w = activeWindow(media.path(), "[PLAYBACK]\n" + row.atEnd + "\n");
        ZListBox *list = WindowInspector::list(*w);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        if (row.atEnd == "ATEND=STAY")
            QFile::remove(media.filePath("a.avi"));
        if (row.stopDuringSecond) {
            QTRY_COMPARE(logLines("played.log").size(), 2);
            QTest::keyClick(w.get(), Qt::Key_F2);
        }
        QTRY_COMPARE(logLines("played.log").size(), row.played.size());
        QTRY_COMPARE(w->isPlaying(), row.stillPlaying);
        QTest::qWait(1200);
        QCOMPARE(logLines("played.log").replaceInStrings(media.path() + '/', ""), row.played);
        QCOMPARE(list->currentItem(), row.currentRow);
    }

    // The clock rounds down; the bar is full at the end.
    void clock()
    {
        QCOMPARE(ZNowPlaying::clock(59.9), QString("0:59"));
        ZNowPlaying screen(nullptr);
        screen.setProgress(100, 100);
        QVERIFY(screen.texts().contains("1:40 / 1:40"));
        const QProgressBar *bar = screen.findChild<QProgressBar *>();
        QCOMPARE(bar->value(), bar->maximum());
    }
};

MORVANE_GUI_TEST_MAIN(SessionTest)
#include "tst_session.moc"
