#include "testsupport.h"

// Under the sanitizers the volume cases take minutes; ASan keeps freed memory.
const bool Sanitized = qEnvironmentVariableIsSet("MORVANE_SANITIZED");

long residentKiB() { return readFile("/proc/self/statm").split(' ').value(1).toLong() * 4; }

bool nothingLeft()
{
    const QString pid = dirFile("pid");
    return noChildren() && (!QFile::exists(pid) || groupGone(readFile(pid).trimmed()));
}

class RobustnessTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

private slots:
    void initTestCase()
    {
        useFakePlayer();
        qputenv("MORVANE_ADAPTER", MORVANE_APPDIR "/mplayer");
        writeFile(tmp.filePath("film.avi"), "not really a film");
        mkfifo(QFile::encodeName(tmp.filePath("fifo.avi")).constData(), 0600);
        QFile::link("/dev/zero", tmp.filePath("zero.avi"));
    }

    void cleanup() { QTRY_VERIFY_WITH_TIMEOUT(nothingLeft(), 2000); }

    // After a warm-up, 200 cycles leave no descriptor, process or memory behind.
    void manyPlayStopCycles()
    {
        ZFileSelectDialog w;
        int fds = 0;
        long rss = 0;
        for (int i = -10; i < 200; ++i) {
            if (i == 0) {
                fds = openDescriptors();
                rss = residentKiB();
            }
            startPlaying(w, tmp.filePath("film.avi"));
            QTest::keyClick(&w, i % 2 ? Qt::Key_Right : Qt::Key_F1);
            QTest::keyClick(&w, Qt::Key_F2);
            QVERIFY(nothingLeft());
        }
        QCOMPARE(openDescriptors(), fds);
        if (!Sanitized)
            QCOMPARE_LT(residentKiB() - rss, 1024);
    }

    void misbehavingPlayers_data()
    {
        QTest::addColumn<QByteArray>("player");
        QTest::addColumn<QString>("file");
        QTest::newRow("quits when told") << QByteArray() << "film.avi";
        QTest::newRow("ignores quit and TERM") << QByteArray("stubborn") << "film.avi";
        QTest::newRow("floods its output") << QByteArray("flood") << "film.avi";
        QTest::newRow("real MPlayer, FIFO") << QByteArray("real") << "fifo.avi";
        QTest::newRow("real MPlayer, /dev/zero") << QByteArray("real") << "zero.avi";
    }

    // Choosing the file and 600 keys take < 2 s; F2 brings the list back within 1 s.
    void misbehavingPlayers()
    {
        QFETCH(QByteArray, player);
        QFETCH(QString, file);
        qputenv("FAKE_PLAYER", player);
        ZFileSelectDialog w;
        w.show();
        QElapsedTimer t;
        t.start();
        startPlaying(w, tmp.filePath(file));
        for (int i = 0; i < 600; ++i)
            QTest::keyClick(&w, i % 2 ? Qt::Key_Right : Qt::Key_Left);
        QCOMPARE_LT(t.elapsed(), 2000);
        QTest::qWait(300); // the player is under way, whatever it does
        t.start();
        QTest::keyClick(&w, Qt::Key_F2);
        QCOMPARE_LT(t.elapsed(), player.isEmpty() ? 200 : 1000);
        QVERIFY(WindowInspector::list(w)->isVisible());
    }

    // A folder of 100,000 entries; a 10 MB settings file is kept but for LASTDIR.
    void hundredThousandEntries()
    {
        if (Sanitized)
            QSKIP("too slow under the sanitizers");
        const bool shm = QDir("/dev/shm").exists();
        QTemporaryDir where(shm ? "/dev/shm/morvane-big-XXXXXX" : tmp.filePath("big-XXXXXX"));
        QDir dir(where.path());
        for (int i = 0; i < 50000; ++i) {
            QVERIFY(dir.mkdir(QString("folder-%1").arg(i)));
            QVERIFY(QFile(dir.filePath(QString("film-%1.avi").arg(i))).open(QIODevice::WriteOnly));
        }
        const QByteArray was = "LASTDIR=" + tmp.path().toUtf8() + "\n";
        QByteArray big = "[FILESELECT]\n" + was + "[NOTES]\n";
        for (int i = 0; big.size() < 10 * 1024 * 1024; ++i)
            big += "note" + QByteArray::number(i) + "=kept here, " + QByteArray(60, 'x') + "\n";
        writeFile(dirFile("mplayer.ini"), big);
        ZFileSelectDialog w;
        w.openDir(where.path());
        QCOMPARE(WindowInspector::list(w)->count(), 100001);
        QMetaObject::invokeMethod(&w, "slotQuit");
        const QByteArray now = "LASTDIR=" + dir.canonicalPath().toUtf8() + "\n";
        QCOMPARE(readFile(dirFile("mplayer.ini")), big.replace(was, now));
    }
};

MORVANE_GUI_TEST_MAIN(RobustnessTest)
#include "tst_robustness.moc"
