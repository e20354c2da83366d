// [PLAYBACK] RESUME against fake players that answer get_property time_pos: what is kept and
// when, the player sent back, what is forgotten, the list's marks and current row.

#include "platform/safesave.h"
#include "settings/devicecontrol.h"
#include "testsupport.h"

namespace {

// Notes its input in input.log. FAKE_PLAYER: plays (starts at once), slow (starts once asked),
// ends (ends after its first answer). It goes where it is sent, FAKE_STEP s on at each question.
const char FakePlayer[] = R"(#!/bin/sh
case " $* " in *" -identify "*) echo ID_LENGTH=3600.00; exit 0;; esac
for file; do :; done
echo "Playing $file."
pos=0 started=no
start() { started=yes; echo "Starting playback..."; }
[ "$FAKE_PLAYER" = slow ] || start
while IFS= read -r line; do
    printf '%s\n' "$line" >>"$(dirname "$0")/input.log"
    set -f; set -- $line; set +f
    [ "$1" = pausing_keep_force ] && shift
    case "$1" in
        quit) exit 0;;
        seek) if [ "${3:-0}" = 2 ]; then pos=$2; else pos=$((pos + $2)); fi
              [ "$pos" -ge 0 ] || pos=0;;
        get_property) [ "$started" = yes ] || start
            pos=$((pos + ${FAKE_STEP:-0})) && echo "ANS_time_pos=$pos.000000"
            [ "$FAKE_PLAYER" = ends ] && echo "EOF code: 1";;
    esac
done
)";

const char Query[] = "pausing_keep_force get_property time_pos";
const QByteArray ResumeOn = "[PLAYBACK]\nRESUME=YES\n";

struct Kept
{
    QByteArray name;
    qint64 seconds;
    bool seen;
};

// The file kept at `kept` s (and seen, or another file of its name kept); what the player is sent
// after the question that finds it loaded, queries left out; what is kept after F2.
struct ResumeRow
{
    QByteArray settings, name;
    qint64 kept;
    bool seen, otherFile;
    QStringList sent;
    qint64 keptAfter;
};

// a.avi kept at 47:10 plays with `player`, `keys` are pressed, F2.
struct ForgetRow
{
    QByteArray player;
    QList<Qt::Key> keys;
    qint64 keptAfter;
    bool seenAfter;
    QString mark;
};

enum class Then { Play, Stop, Pause, Quit };

} // namespace

Q_DECLARE_METATYPE(ResumeRow)
Q_DECLARE_METATYPE(ForgetRow)
Q_DECLARE_METATYPE(Then)

class ResumeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

    QString file(const QByteArray &name) { return fsDecode(fsEncode(media.path()) + '/' + name); }
    static QString places() { return dirFile("positions.txt"); }

    static struct stat status(const QString &path)
    {
        struct stat st = {};
        stat(fsEncode(path).constData(), &st);
        return st;
    }

    // The file of places with these files, the first played last (otherFile: another size).
    void keep(const QList<Kept> &files, bool otherFile = false)
    {
        QByteArray text;
        for (const Kept &k : files) {
            text += QByteArray::number(k.seconds) + (k.seen ? " seen " : " - ")
                + QByteArray::number(status(file(k.name)).st_size + otherFile) + ' '
                + fsEncode(file(k.name)) + '\n';
        }
        writeFile(places(), text);
    }

    std::unique_ptr<ZFileSelectDialog> window(const QByteArray &settings,
                                              const QString &folder = {})
    {
        QFile::remove(dirFile("input.log"));
        return activeWindow(folder.isEmpty() ? media.path() : folder, settings);
    }

    // The entry of the file at path as it is now, in kept.
    static Positions::Entry entry(const Positions &kept, const QString &path)
    {
        const Positions::Entry *e = kept.find(Positions::key(path), status(path).st_size);
        return e ? *e : Positions::Entry{};
    }
    qint64 secondsOnDisk() { return entry(Positions(places()), file("a.avi")).seconds; }
    static QStringList input() { return fileLines(dirFile("input.log")); }

private slots:
    void initTestCase()
    {
        writeScript(dirFile("mplayer"), FakePlayer);
        setSystemSettingsPath(media.filePath("none.cfg"));
        DeviceControl::setShellRunner([](const QByteArray &) { return 0; });
        QVERIFY(QDir(media.path()).mkpath("list/sub"));
        // fopen: QFile would spell a name that is not UTF-8 in UTF-8.
        for (const char *name :
             {"a.avi", "caf\xE9.avi", "list/a.avi", "list/b.avi", "list/c.avi"}) {
            FILE *made = fopen(fsEncode(file(name)).constData(), "w");
            QVERIFY(made);
            QCOMPARE(fclose(made), 0);
        }
    }

    void cleanup() { QTRY_VERIFY_WITH_TIMEOUT(noChildren(), 3000); }

    void kept_data()
    {
        QTest::addColumn<Then>("then");
        QTest::newRow("while playing") << Then::Play;
        QTest::newRow("F2") << Then::Stop;
        QTest::newRow("pause") << Then::Pause;
        QTest::newRow("quit") << Then::Quit;
    }

    // Written when the file loads; then as the place moves, every 5 s and never more often; after
    // Right (30 s on) and F2 or a pause, within the 5 s; after Right and quitting, at once.
    void kept()
    {
        QFETCH(Then, then);
        qputenv("FAKE_PLAYER", "plays");
        qputenv("FAKE_STEP", then == Then::Play ? "1" : "0");
        keep({{"a.avi", 100, false}});
        ino_t last = status(places()).st_ino;
        auto w = window(ResumeOn);
        w->playFile(file("a.avi"));
        QTRY_VERIFY_WITH_TIMEOUT(status(places()).st_ino != last, 5000);
        QElapsedTimer since;
        since.start();
        for (int write = 0; then == Then::Play && write < 2; ++write) {
            last = status(places()).st_ino;
            QTRY_VERIFY_WITH_TIMEOUT(status(places()).st_ino != last, 8000);
            QVERIFY2(since.restart() >= 4000, "two writes within 4 s");
            QVERIFY(secondsOnDisk() > 100);
        }
        if (then == Then::Play)
            return;
        QTest::keyClick(w.get(), Qt::Key_Right);
        if (then == Then::Quit) {
            w.reset();
            QCOMPARE(secondsOnDisk(), 130);
            return;
        }
        QTest::keyClick(w.get(), then == Then::Stop ? Qt::Key_F2 : Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(secondsOnDisk(), 130, 8000);
        QVERIFY2(since.elapsed() >= 4000, "written within 4 s of the last write");
    }

    void resuming_data()
    {
        QTest::addColumn<ResumeRow>("row");
        const auto sent = [](const char *seek, const char *at) {
            const QString osd = QString("osd_show_text \"Resumed at %1\" 2000").arg(at);
            return QStringList{seek, osd, "quit"};
        };
        const QStringList none{"quit"};
        QTest::newRow("47:10") << ResumeRow{ResumeOn, "a.avi", 2830, false, false,
                                            sent("seek 2830 2", "47:10"), 2830};
        QTest::newRow("9 s") << ResumeRow{ResumeOn, "a.avi", 9, false, false, none, 0};
        QTest::newRow("10 s") << ResumeRow{ResumeOn, "a.avi", 10, false, false,
                                           sent("seek 10 2", "0:10"), 10};
        QTest::newRow("95 %") << ResumeRow{ResumeOn, "a.avi", 3420, false, false,
                                           sent("seek 3420 2", "57:00"), 3420};
        QTest::newRow("95 % and 1 s") << ResumeRow{ResumeOn, "a.avi", 3421, false, false, none, 0};
        QTest::newRow("seen") << ResumeRow{ResumeOn, "a.avi", 0, true, false, none, 0};
        QTest::newRow("other file") << ResumeRow{ResumeOn, "a.avi", 2830, false, true, none, 0};
        QTest::newRow("not UTF-8") << ResumeRow{ResumeOn, "caf\xE9.avi", 2830, false, false,
                                                sent("seek 2830 2", "47:10"), 2830};
        QTest::newRow("RESUME absent") << ResumeRow{"", "a.avi", 2830, false, false, none, 2830};
    }

    // A player that starts late: it is sent there once it says the file is loaded, and its answer
    // to the question asked before that does not count.
    void resuming()
    {
        QFETCH(ResumeRow, row);
        qputenv("FAKE_PLAYER", "slow");
        keep({{row.name, row.kept, row.seen}}, row.otherFile);
        const QByteArray before = readFile(places());
        auto w = window(row.settings);
        w->playFile(file(row.name));
        QTRY_VERIFY_WITH_TIMEOUT(input().contains(row.sent.size() > 1 ? row.sent[0] : Query), 5000);
        QTest::qWait(500);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QStringList sent = input();
        QCOMPARE(sent.value(0), QString(Query));
        sent.removeAll(Query);
        QCOMPARE(sent, row.sent);
        w.reset();
        if (row.settings.isEmpty()) {
            QCOMPARE(readFile(places()), before);
            return;
        }
        const Positions::Entry after = entry(Positions(places()), file(row.name));
        QCOMPARE(after.seconds, row.keptAfter);
        QCOMPARE(after.seen, row.seen);
    }

    void forgetting_data()
    {
        QTest::addColumn<ForgetRow>("row");
        QTest::newRow("to its end") << ForgetRow{"ends", {}, 0, true, "\u2714"};
        const QList<Qt::Key> backToStart(10, Qt::Key_1); // 5 minutes back, 10 times
        QTest::newRow("back to its start") << ForgetRow{"plays", backToStart, 0, false, ""};
        QTest::newRow("30 s on") << ForgetRow{"plays", {Qt::Key_Right}, 2860, false, "47:40"};
    }

    // Enter on the current row at start (the file played last) plays it from 47:10.
    void forgetting()
    {
        QFETCH(ForgetRow, row);
        qputenv("FAKE_PLAYER", row.player);
        keep({{"a.avi", 2830, false}});
        auto w = window(ResumeOn);
        ZListBox *list = WindowInspector::list(*w);
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(input().contains("seek 2830 2"), 5000);
        if (row.player == "ends")
            QTRY_VERIFY_WITH_TIMEOUT(entry(*WindowInspector::kept(*w), file("a.avi")).seen, 5000);
        for (Qt::Key key : row.keys)
            QTest::keyClick(w.get(), key);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QCOMPARE(list->item(list->currentItem())->getSubItemText(1, 0), QString("a.avi"));
        QCOMPARE(list->item(list->currentItem())->mark(), row.mark);
        w.reset();
        const Positions::Entry after = entry(Positions(places()), file("a.avi"));
        QCOMPARE(after.seconds, row.keptAfter);
        QCOMPARE(after.seen, row.seenAfter);
    }

    // In "list": sub/, a.avi at 47:10, b.avi seen and played last, c.avi: another file of its
    // name kept. Marks beside the names, the start on b.avi, going up onto sub; without RESUME,
    // none of it.
    void listing_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<int>("startRow");
        QTest::addColumn<int>("rowAfterGoingUp");
        QTest::newRow("RESUME") << ResumeOn << QStringList{"", "", "47:10", "\u2714", ""} << 3 << 1;
        QTest::newRow("RESUME absent") << QByteArray() << QStringList(5, "") << 0 << 0;
    }

    void listing()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, marks);
        keep({{"list/b.avi", 0, true}, {"list/a.avi", 2830, false}});
        writeFile(places(), readFile(places()) + "2830 - 1 " + fsEncode(file("list/c.avi")) + "\n");
        auto w = window(settings, file("list"));
        ZListBox *list = WindowInspector::list(*w);
        QStringList names, shown;
        for (int i = 0; i < list->count(); ++i) {
            names << list->item(i)->getSubItemText(1, 0);
            shown << list->item(i)->mark();
        }
        QCOMPARE(names, QStringList({"..", "sub", "a.avi", "b.avi", "c.avi"}));
        QCOMPARE(shown, marks);
        QTEST(list->currentItem(), "startRow");
        WindowInspector::select(*w, 1);
        WindowInspector::select(*w, 0);
        QTEST(list->currentItem(), "rowAfterGoingUp");
        // Drawn at the right end of a.avi's row, where c.avi's has nothing.
        const QImage shot = list->viewport()->grab().toImage();
        const auto inkAtRight = [&](int row) {
            const QRect r = list->visualRect(list->model()->index(row, 0));
            for (int x = r.right() - 24; x < r.right(); ++x)
                for (int y = r.top(); y <= r.bottom(); ++y)
                    if (shot.pixel(x, y) != shot.pixel(r.right(), r.top()))
                        return true;
            return false;
        };
        QCOMPARE(inkAtRight(2), !settings.isEmpty());
        QVERIFY(!inkAtRight(4));
    }

    // Paths kept byte for byte, whatever they hold; the 1,000 played last.
    void fileOfPlaces()
    {
        Positions kept(media.filePath("places.txt"));
        const QList<QByteArray> odd{"/caf\xE9.avi", "/two\nlines.avi", "/blank at the end.avi ",
                                    "/\"quoted\".avi", "/tab\there.avi"};
        for (int i = 0; i < Positions::Limit + 1 - int(odd.size()); ++i)
            kept.put({"/films/" + QByteArray::number(i) + ".avi", 100, 600, false});
        for (const QByteArray &name : odd)
            kept.put({name, 7, 61, true});
        QVERIFY(saveFile(kept.path(), kept.text()));
        const Positions back(kept.path());
        for (const QByteArray &name : odd)
            QVERIFY2(back.find(name, 7), name.constData());
        QVERIFY(!back.find("/films/0.avi", 100)); // the one played first is let go
        QVERIFY(back.find("/films/1.avi", 100));
        QCOMPARE(back.text(), kept.text());
    }
};

MORVANE_GUI_TEST_MAIN(ResumeTest)
#include "tst_resume.moc"
