#include "playback/mediainfo.h"
#include "testsupport.h"

enum class Probe { NotStarted, Running, Answered };

struct EnterRow
{
    Probe atEnter;
    QList<Qt::Key> keys;
    int heldRepeats;
};

Q_DECLARE_METATYPE(EnterRow)

class ProbeAheadTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

    std::unique_ptr<ZFileSelectDialog> window(bool probeAhead, const char *probeSeconds, int row)
    {
        qputenv("FAKE_PROBE", probeSeconds);
        clearLogs();
        auto w = activeWindow(media.path(), probeAhead ? "[PLAYBACK]\nPROBEAHEAD=YES\n" : "");
        for (int i = 0; i < row; ++i)
            QTest::keyClick(WindowInspector::list(*w), Qt::Key_Down);
        return w;
    }

    static void enter(ZFileSelectDialog &w)
    {
        QTest::keyClick(WindowInspector::list(w), Qt::Key_Return);
    }

private slots:
    void initTestCase()
    {
        useFakePlayer();
        // The slow probe sleeps 1.5 s: under emulation its start alone can pass the 1.8 s limit.
        MediaInfo::setProbeTimeoutMs(10000);
        writeFile(dirFile("identify.txt"), "ID_VIDEO_WIDTH=640\n");
        qputenv("FAKE_PLAYER", "plays");
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            writeFile(media.filePath(name), "not really a film");
    }

    void cleanup() { QTRY_VERIFY_WITH_TIMEOUT(noChildren(), 8000); }

    // Scrolling starts no probe; a rest does. Moving on ends it and leaves no process.
    void restAndMoveOn()
    {
        auto w = window(true, "30", 3);
        QCOMPARE(logLines("probes.log"), QStringList());
        QTRY_COMPARE(logLines("probes.log").size(), 1);
        const QStringList started = logLines("probes.log").first().split(' ');
        QCOMPARE(started.value(1), media.filePath("c.avi"));
        QTest::keyClick(WindowInspector::list(*w), Qt::Key_Up);
        QVERIFY(noChildren());
        QVERIFY(groupGone(started.value(0)));
    }

    // Played on the answer probed ahead; probed again after it grew, then after a new time.
    void changedFile()
    {
        auto w = window(true, "0", 2);
        QTRY_COMPARE(logLines("done.log").size(), 1);
        const QString path = media.filePath("b.avi");
        for (int play = 1; play <= 3; ++play) {
            if (play == 2)
                writeFile(path, "not really a film, now longer");
            if (play == 3)
                QCOMPARE(QProcess::execute("touch", {"-d", "yesterday", path}), 0);
            enter(*w);
            QTRY_COMPARE(logLines("played.log").size(), play);
            QTest::keyClick(w.get(), Qt::Key_F2);
            QCOMPARE(logLines("probes.log").size(), play);
        }
    }

    void keysWithTheEnter_data()
    {
        QTest::addColumn<EnterRow>("row");
        const QList<Qt::Key> keys{Qt::Key_Right, Qt::Key_Return};
        QTest::newRow("keys during the probe") << EnterRow{Probe::Running, keys, 0};
        QTest::newRow("probed: double Enter") << EnterRow{Probe::Answered, {Qt::Key_Return}, 0};
        QTest::newRow("not probing ahead: held Enter") << EnterRow{Probe::NotStarted, {}, 3};
        QTest::newRow("not probing ahead: F2") << EnterRow{Probe::NotStarted, {Qt::Key_F2}, 0};
    }

    // Enter waits for a running probe; no key here pauses; F2 stops; a later Enter pauses.
    void keysWithTheEnter()
    {
        QFETCH(EnterRow, row);
        const bool answered = row.atEnter == Probe::Answered;
        auto w = window(row.atEnter != Probe::NotStarted, answered ? "0" : "1.5", 1);
        if (row.atEnter != Probe::NotStarted)
            QTRY_COMPARE(logLines(answered ? "done.log" : "probes.log").size(), 1);
        enter(*w);
        if (!answered)
            QTest::qWait(300);
        for (Qt::Key key : row.keys)
            QTest::keyClick(w.get(), key);
        if (row.keys.contains(Qt::Key_F2)) {
            QVERIFY(!w->isPlaying());
            QTest::qWait(300);
            QCOMPARE(logLines("played.log"), QStringList());
            return;
        }
        QTRY_COMPARE(logLines("played.log"), QStringList{media.filePath("a.avi")});
        QCOMPARE(logLines("probes.log").size(), 1);
        QTest::qWait(500);
        for (int i = 0; i < row.heldRepeats; ++i) {
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", i % 2 == 1);
            release.setTimestamp(1000 + i);
            repeat.setTimestamp(1000 + i);
            QApplication::sendEvent(w.get(), &release);
            QApplication::sendEvent(w.get(), &repeat);
        }
        QTest::qWait(300);
        QCOMPARE(logLines("input.log"), QStringList());
        QTest::keyClick(w.get(), Qt::Key_Return);
        QTRY_COMPARE(logLines("input.log"), QStringList{"pause"});
        QTest::keyClick(w.get(), Qt::Key_F2);
    }

    void deactivatedWhileStarting()
    {
        auto w = window(false, "0.5", 1);
        enter(*w);
        QEvent away(QEvent::WindowDeactivate);
        QApplication::sendEvent(w.get(), &away);
        QTRY_COMPARE(logLines("input.log"), QStringList{"pause"});
        QTest::keyClick(w.get(), Qt::Key_F2);
    }
};

MORVANE_GUI_TEST_MAIN(ProbeAheadTest)
#include "tst_probeahead.moc"
