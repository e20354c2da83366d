#include "platform/resiconreader.h"
#include "testsupport.h"

#include <fcntl.h>

// A row as rows() reads it: icon, then text.
static QString up() { return "up .."; }
static QString folder(const QString &name) { return "folder " + name; }
static QString file(const QString &name) { return "file " + name; }

struct Link { QString name, target; };

// Down and Return enter `chosen`; `printed` is checked if given.
struct Listing
{
    QStringList folders, files;
    QList<Link> links;
    QString filter;
    QStringList printed, shown;
    QString chosen;
};
Q_DECLARE_METATYPE(Listing)

class BrowserTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    std::unique_ptr<ZFileSelectDialog> w;

    ZListBox *box() { return WindowInspector::list(*w); }

    QStringList list(const QString &path)
    {
        StdoutCapture out;
        w->openDir(path);
        return out.lines();
    }

    QStringList rows()
    {
        const auto key = [](const char *name) {
            return RES_ICON_Reader().getIcon(name, true).cacheKey();
        };
        const QMap<qint64, QString> icons{{key("gen_back_to_arrw_small.bmp"), "up "},
                                          {key("fm_folder_small.bmp"), "folder "},
                                          {key("msg_unsupport_file_type_small.bmp"), "file "}};
        QStringList out;
        for (int i = 0; i < box()->count(); ++i) {
            const ZSettingItem *item = box()->item(i);
            out << icons.value(item->pixmap(0).cacheKey(), "unknown ") + item->getSubItemText(1, 0);
        }
        return out;
    }

    void select(int row) { WindowInspector::select(*w, row); }
    void choose(const QString &row) { select(int(rows().indexOf(row))); }

public:
    ~BrowserTest() override { QProcess::execute("rm", {"-rf", "--", tmp.path()}); } // odd names

private slots:
    void initTestCase()
    {
        useFakePlayer();
        w = std::make_unique<ZFileSelectDialog>();
        w->show();
    }

    void listing_data()
    {
        QTest::addColumn<Listing>("c");
        QTest::newRow("worked example") << Listing{
            .folders = {"Movies", "clips"}, .files = {"a.avi", "B.mp4", "notes.txt"},
            .filter = "*.avi;*.mp4",
            .printed = {"dir entry count = 4", "dir:.", "dir:..", "dir:Movies", "dir:clips",
                        "file entry count = 2", "file:B.mp4", "file:a.avi"},
            .shown = {up(), folder("Movies"), folder("clips"), file("B.mp4"), file("a.avi")},
            .chosen = "Movies"};
        QTest::newRow("-old, hidden, byte order") << Listing{
            .folders = {".config", "plain.avi", "Zoo", "apple", "-old"},
            .files = {".n.txt", "MOVIE.AVI", "b.avi"},
            .filter = "*.avi;*.mp4",
            .shown = {up(), folder("-old"), up(), folder(".config"), folder("Zoo"),
                      folder("apple"), folder("plain.avi"), file("MOVIE.AVI"), file("b.avi")},
            .chosen = "-old"};
        QTest::newRow("links, no filter") << Listing{
            .folders = {"real", "real/inner"}, .files = {"real/f.avi", "x.txt", "r"},
            .links = {{"in", "real/inner"}, {"gone.avi", "real/no"}, {"f2.avi", "real/f.avi"},
                      {"zero.avi", "/dev/zero"}},
            .shown = {up(), folder("in"), folder("real"), file("f2.avi"), file("r"),
                      file("x.txt"), file("zero.avi")},
            .chosen = "in"};
    }

    void listing()
    {
        QFETCH(Listing, c);
        const QString d = tmp.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(d));
        for (const QString &name : c.folders)
            QVERIFY(QDir(d).mkpath(name));
        for (const QString &name : c.files)
            writeFile(d + "/" + name, "x");
        for (const Link &link : c.links)
            QVERIFY(QFile::link(link.target, d + "/" + link.name));
        WindowInspector::setFileFilter(*w, c.filter);
        const QStringList printed = list(d);
        if (!c.printed.isEmpty())
            QCOMPARE(printed.mid(1), c.printed);
        QCOMPARE(rows(), c.shown);
        QCOMPARE(box()->item(0)->pixmap(0).size(), QSize(16, 16));
        StdoutCapture out;
        QTest::keyClick(box(), Qt::Key_Down);
        QTest::keyClick(box(), Qt::Key_Return);
        QCOMPARE(out.lines().filter(QRegularExpression("^pressed 0x")).size(), 2);
        QCOMPARE(WindowInspector::currentDir(*w), QDir(d + "/" + c.chosen).canonicalPath());
    }

    // The event loop ends without Exit.
    void quittingWhilePlaying()
    {
        const QString d = tmp.filePath("worked example");
        list(d);
        choose(file("a.avi"));
        QVERIFY(w->isPlaying());
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        qApp->exec();
        QVERIFY(!w->isPlaying());
        QCOMPARE(ZConfig(dirFile("mplayer.ini"), false).readEntry("FILESELECT", "LASTDIR"), d);
    }

    void rootAndEmpty()
    {
        list("/"); // ".." is "/" here
        QCOMPARE(rows().count(up()), 1);
        choose(up());
        StdoutCapture out;
        choose(folder("bin"));
        QCOMPARE(out.lines().value(0), "enter dir '//bin'"); // still at "/"
        QVERIFY(QDir(tmp.path()).mkpath("removed"));
        const int fd = open(qPrintable(tmp.filePath("removed")), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0);
        QVERIFY(QDir(tmp.path()).rmdir("removed"));
        QCOMPARE(list(QString("/proc/self/fd/%1").arg(fd)).value(1), "dir entry count = 0");
        close(fd);
        QCOMPARE(rows(), QStringList{up()});
    }

    // An unlistable folder leaves the user where they were.
    void unlistableFolderKeepsTheList()
    {
        if (geteuid() == 0) {
            QProcess child;
            child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                                    QFile::symLinkTarget("/proc/self/exe"),
                                    "unlistableFolderKeepsTheList"});
            QVERIFY(child.waitForFinished(120000));
            QVERIFY2(child.exitCode() == 0, child.readAll().constData());
            return;
        }
        QVERIFY(QDir(tmp.path()).mkpath("locked"));
        QVERIFY(QFile::setPermissions(tmp.filePath("locked"), {}));
        list(tmp.path());
        const QStringList before = rows();
        box()->setCurrentItem(1);
        w->openDir(tmp.filePath("not-there"));
        StdoutCapture out;
        choose(folder("locked"));
        QCOMPARE(out.lines(), QStringList{"enter dir '" + tmp.filePath("locked") + "'"});
        QCOMPARE(rows(), before);
        QCOMPARE(box()->currentItem(), 1);
        QCOMPARE(WindowInspector::currentDir(*w), tmp.path());
    }

    // A card pulled: a gone file is not played, a gone folder leads up.
    void nothingLeadsNowhere()
    {
        const QString card = tmp.filePath("card"), video = card + "/video";
        QVERIFY(QDir().mkpath(video));
        for (const QString name : {"a.avi", "b.avi", "c.avi"})
            writeFile(video + "/" + name, "x");
        WindowInspector::setFileFilter(*w, "*.avi");
        list(video);
        box()->setCurrentItem(2);
        clearLogs();
        select(2);
        QTRY_COMPARE_WITH_TIMEOUT(logLines("played.log"), QStringList{video + "/b.avi"}, 10000);
        QVERIFY(QFile::remove(video + "/b.avi"));
        QTest::keyClick(w.get(), Qt::Key_F2);
        QCOMPARE(rows(), (QStringList{up(), file("a.avi"), file("c.avi")}));
        QCOMPARE(box()->currentItem(), 2);
        clearLogs();
        QVERIFY(QFile::remove(video + "/a.avi"));
        select(1);
        QCOMPARE(rows(), (QStringList{up(), file("c.avi")}));
        QCOMPARE(box()->currentItem(), 1);
        QVERIFY(QDir(video).removeRecursively());
        select(1);
        QCOMPARE(WindowInspector::currentDir(*w), card);
        QVERIFY(!QFile::exists(dirFile("probes.log")));
    }

    void namesAsBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("visible");
        const QString bad(QChar::ReplacementCharacter);
        QTest::newRow("E9 alone") << QByteArray("caf\xE9") << "caf" + bad;
        const char *hostile = "it's $(touch pwned)";
        QTest::newRow(hostile) << QByteArray(hostile) << QString(hostile);
        QTest::newRow("newline, tab")
            << QByteArray("new\nline\ttab") << QString("new␊line␉tab");
    }

    void namesAsBytes()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, visible);
        const QString d = tmp.filePath(QTest::currentDataTag());
        const QByteArray base = fsEncode(d) + "/" + name;
        QVERIFY(QDir().mkpath(d));
        QCOMPARE(::close(::open(base + ".avi", O_CREAT | O_WRONLY, 0644)), 0);
        QCOMPARE(::mkdir(base + ".d", 0755), 0);
        StdoutCapture out;
        w->openDir(d);
        const QByteArray printed = out.finish();
        QVERIFY(printed.contains("\nfile:" + name + ".avi\n"));
        const int at = int(rows().indexOf(file(fsDecode(name + ".avi"))));
        QCOMPARE(box()->model()->index(at, 0).data().toString(), visible + ".avi");
        clearLogs();
        select(at);
        const QByteArray played = base + ".avi\n";
        QTRY_COMPARE_WITH_TIMEOUT(readFile(dirFile("played.log")), played, 10000);
        QVERIFY(readFile(dirFile("probes.log")).endsWith(" " + played));
        QTest::keyClick(w.get(), Qt::Key_F2);
        choose(folder(fsDecode(name + ".d")));
        QMetaObject::invokeMethod(w.get(), "slotQuit");
        ZFileSelectDialog again;
        QCOMPARE(fsEncode(WindowInspector::currentDir(again)), QByteArray(base + ".d"));
    }
};

MORVANE_GUI_TEST_MAIN(BrowserTest)
#include "tst_browser.moc"
