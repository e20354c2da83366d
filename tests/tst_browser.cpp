// Listing directories into the window and acting on the chosen row.

#include "platform/fsname.h"
#include "platform/resiconreader.h"
#include "platform/zlistbox.h"
#include "platform/zsettingitem.h"
#include "settings/systemsettings.h"
#include "testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <memory>
#include <unistd.h>

namespace {

struct Row
{
    QString text;
    QString icon;
    QString type;
    bool operator==(const Row &o) const
    {
        return text == o.text && icon == o.icon && type == o.type && type.isNull() == o.type.isNull();
    }
};

char *toString(const Row &r)
{
    return QTest::toString(QString("%1 <%2> %3").arg(r.text, r.icon, r.type.isNull() ? "null" : r.type));
}

const QString Parent = "gen_back_to_arrw_small.bmp";
const QString Folder = "fm_folder_small.bmp";
const QString File = "msg_unsupport_file_type_small.bmp";

Row parentRow() { return {"..", Parent, QString()}; }
Row folder(const QString &name) { return {name, Folder, QString()}; }
Row file(const QString &name) { return {name, File, QString()}; }

QString iconName(const QPixmap &pixmap)
{
    RES_ICON_Reader icons;
    for (const QString &name : {Parent, Folder, File})
        if (icons.getIcon(name, true).cacheKey() == pixmap.cacheKey())
            return name;
    return "?";
}

QList<Row> rows(ZFileSelectDialog &w)
{
    QList<Row> out;
    ZListBox *list = WindowInspector::list(w);
    for (int i = 0; i < list->count(); ++i) {
        const ZSettingItem *item = list->item(i);
        out.append({item->getSubItemText(1, 0), iconName(item->pixmap(0)), item->type()});
    }
    return out;
}

void mkdirs(const QString &base, const QStringList &names)
{
    for (const QString &n : names)
        QVERIFY2(QDir(base).mkpath(n), qPrintable(n));
}

void touch(const QString &base, const QStringList &names)
{
    for (const QString &n : names)
        writeFile(base + "/" + n, "x");
}

} // namespace

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

private slots:
    void initTestCase()
    {
        setSystemSettingsPath(tmp.filePath("none.cfg"));
        writeFile(testAppDir() + "mplayer.ini",
                  "[FILESELECT]\nFILTER=*.avi;*.mp4\nLASTDIR=/no/such/dir\n");
        // A player that only notes the file it was asked to probe or play.
        writeFile(testAppDir() + "mplayer",
                  "#!/bin/sh\ncase \" $* \" in *\" -identify \"*)\n"
                  "  printf '%s' \"$2\" > \"$(dirname \"$0\")/probed\"; exit 0;; esac\n"
                  "eval \"last=\\${$#}\"\nprintf '%s' \"$last\" > \"$(dirname \"$0\")/played\"\n");
        QFile::setPermissions(testAppDir() + "mplayer", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        w = std::make_unique<ZFileSelectDialog>();
        // The start folder is gone: the nearest folder above it is shown.
        QCOMPARE(WindowInspector::currentDir(*w), QString("/"));
    }

    void cleanupTestCase() { w.reset(); }

    void workedExample()
    {
        const QString video = tmp.filePath("video");
        mkdirs(video, {"Movies", "clips"});
        touch(video, {"a.avi", "B.mp4", "notes.txt"});

        const QStringList lines = list(video);
        QCOMPARE(lines, (QStringList{"enter dir '" + video + "'", "dir entry count = 4", "dir:.",
                                     "dir:..", "dir:Movies", "dir:clips", "file entry count = 2",
                                     "file:B.mp4", "file:a.avi"}));
        QCOMPARE(rows(*w), (QList<Row>{parentRow(), folder("Movies"), folder("clips"), file("B.mp4"),
                                       file("a.avi")}));
        QCOMPARE(WindowInspector::currentDir(*w), video);
        QCOMPARE(WindowInspector::list(*w)->currentItem(), 0);

        // Row 1 goes up, row 5 plays.
        WindowInspector::select(*w, 0);
        QCOMPARE(WindowInspector::currentDir(*w), tmp.path());
        w->openDir(video);
        QFile::remove(testAppDir() + "played");
        WindowInspector::select(*w, 4);
        QVERIFY(WindowInspector::playing(*w));
        QTest::keyClick(w.get(), Qt::Key_F2);
        QVERIFY(!WindowInspector::playing(*w));
        QCOMPARE(QString::fromUtf8(readFile(testAppDir() + "played")), video + "/a.avi");

        // Choosing a row by keyboard: Down twice and Enter enters "clips".
        w->show();
        ZListBox *box = WindowInspector::list(*w);
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(WindowInspector::currentDir(*w), video + "/clips");
    }

    void firstNameBeforeDot()
    {
        const QString video = tmp.filePath("video2");
        mkdirs(video, {"Movies", "clips", "-old"});
        touch(video, {"a.avi", "B.mp4"});
        const QStringList lines = list(video);
        QCOMPARE(lines.mid(0, 8), (QStringList{"enter dir '" + video + "'", "dir entry count = 5",
                                               "dir:-old", "dir:-old", "dir:.", "dir:..",
                                               "dir:Movies", "dir:clips"}));
        QCOMPARE(rows(*w), (QList<Row>{parentRow(), folder("-old"), parentRow(), folder("Movies"),
                                       folder("clips"), file("B.mp4"), file("a.avi")}));
    }

    void rootDirectory()
    {
        list("/");
        QCOMPARE(WindowInspector::currentDir(*w), QString("/"));
        QStringList names = QDir("/").entryList(QDir::Dirs | QDir::Hidden);
        names.sort();
        QList<Row> got = rows(*w);
        // The root has no parent entry put in front, whatever sorts first.
        QCOMPARE(got.count(parentRow()), 1);
        // Rows follow the sorted names, less ".".
        QCOMPARE(got.indexOf(parentRow()), names.indexOf("..") - (names.indexOf(".") < names.indexOf("..") ? 1 : 0));
        // Its ".." lists "/" again.
        WindowInspector::select(*w, int(got.indexOf(parentRow())));
        QCOMPARE(WindowInspector::currentDir(*w), QString("/"));
        // A folder at the root is reached through a path with two slashes.
        const int bin = int(rows(*w).indexOf(folder("bin")));
        QVERIFY(bin >= 0);
        StdoutCapture out;
        WindowInspector::select(*w, bin);
        QCOMPARE(out.lines().value(0), QString("enter dir '//bin'"));
        QCOMPARE(WindowInspector::currentDir(*w), QDir("/bin").canonicalPath());
    }

    void listingWithNoNamesAtAll()
    {
        // A folder removed while open reads back with not even "." and "..".
        const QString doomed = tmp.filePath("doomed");
        QVERIFY(QDir().mkpath(doomed));
        const int fd = open(QFile::encodeName(doomed).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0);
        QVERIFY(QDir().rmdir(doomed));
        const QStringList lines = list(QString("/proc/self/fd/%1").arg(fd));
        close(fd);
        QCOMPARE(lines.value(1), QString("dir entry count = 0"));
        QCOMPARE(rows(*w), QList<Row>{parentRow()});
    }

    void hiddenEntriesAndFilter()
    {
        const QString d = tmp.filePath("hidden");
        mkdirs(d, {".config", "plain.avi"});
        touch(d, {".secret.avi", ".notes.txt", "MOVIE.AVI", "song.Mp4", "readme"});
        list(d);
        QCOMPARE(rows(*w), (QList<Row>{parentRow(), folder(".config"), folder("plain.avi"),
                                       file(".secret.avi"), file("MOVIE.AVI"), file("song.Mp4")}));

        // Without a filter every file is listed.
        const QString filter = WindowInspector::fileFilter(*w);
        WindowInspector::setFileFilter(*w, QString());
        list(d);
        WindowInspector::setFileFilter(*w, filter);
        QCOMPARE(rows(*w).size(), 8);
    }

    void sortIsByCharacterCode()
    {
        const QString d = tmp.filePath("sorted");
        mkdirs(d, {"Zoo", "apple", "Apple", "app", "apple2", "_x", "~y", "10", "9"});
        touch(d, {"b.avi", "B.avi", "a.avi", "A.avi", "a.AVI", "ab.avi"});
        list(d);
        QCOMPARE(rows(*w), (QList<Row>{parentRow(), folder("10"), folder("9"), folder("Apple"),
                                       folder("Zoo"), folder("_x"), folder("app"), folder("apple"),
                                       folder("apple2"), folder("~y"), file("A.avi"), file("B.avi"),
                                       file("a.AVI"), file("a.avi"), file("ab.avi"), file("b.avi")}));
    }

    void symbolicLinks()
    {
        const QString d = tmp.filePath("links");
        mkdirs(d, {"real/inner", "elsewhere"});
        QVERIFY(QFile::link(d + "/real/inner", d + "/elsewhere/shortcut"));
        QVERIFY(QFile::link(d + "/real/nothing", d + "/elsewhere/broken.avi"));
        touch(d + "/real", {"film.avi"});
        QVERIFY(QFile::link(d + "/real/film.avi", d + "/elsewhere/film-link.avi"));
        list(d + "/elsewhere");
        QCOMPARE(rows(*w), (QList<Row>{parentRow(), folder("shortcut"), file("film-link.avi")}));
        WindowInspector::select(*w, 1);
        QCOMPARE(WindowInspector::currentDir(*w), d + "/real/inner");
        WindowInspector::select(*w, 0);
        QCOMPARE(WindowInspector::currentDir(*w), d + "/real");
    }

    // A folder that cannot be listed prints its line and leaves the user
    // where they were: the same rows, the same current row, the same folder.
    void unlistableFolderKeepsTheList_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "not-there";
        QTest::newRow("a file") << "plain";
    }

    void unlistableFolderKeepsTheList()
    {
        QFETCH(QString, name);
        writeFile(tmp.filePath("plain"), "x");
        list(tmp.path());
        const QString before = WindowInspector::currentDir(*w);
        const QList<Row> shown = rows(*w);
        WindowInspector::list(*w)->setCurrentItem(1);
        QCOMPARE(list(tmp.filePath(name)), QStringList{"enter dir '" + tmp.filePath(name) + "'"});
        QCOMPARE(rows(*w), shown);
        QCOMPARE(WindowInspector::list(*w)->currentItem(), 1);
        QCOMPARE(WindowInspector::currentDir(*w), before);
    }

    // Chosen from the list: as root every folder can be read, so this runs
    // again in a child that has dropped to nobody.
    void unreadableFolderChosen()
    {
        if (geteuid() == 0) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_RUNTIME_DIR", QDir::tempPath());
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                                    QFile::symLinkTarget("/proc/self/exe"), "unreadableFolderChosen"});
            QVERIFY(child.waitForFinished(120000));
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     child.readAll().constData());
            return;
        }
        const QString d = tmp.filePath("closed");
        mkdirs(d, {"locked", "open"});
        QVERIFY(QFile::setPermissions(d + "/locked", QFile::Permissions()));
        list(d);
        const QList<Row> shown = rows(*w);
        QCOMPARE(shown, (QList<Row>{parentRow(), folder("locked"), folder("open")}));
        StdoutCapture out;
        WindowInspector::select(*w, 1);
        QCOMPARE(out.lines(), QStringList{"enter dir '" + d + "/locked'"});
        QCOMPARE(rows(*w), shown);
        QCOMPARE(WindowInspector::currentDir(*w), d);
        // The way up and the other folder still work.
        WindowInspector::select(*w, 2);
        QCOMPARE(WindowInspector::currentDir(*w), d + "/open");
    }

    // Names as the bytes a card from another system holds: listed, shown
    // with a replacement mark, probed and played by their exact bytes, and
    // a folder entered and remembered across a restart.
    void namesThatAreNotUtf8_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("E9 alone") << QByteArray("caf\xE9");
        QTest::newRow("FF") << QByteArray("\xFF");
        QTest::newRow("one bad byte in UTF-8") << QByteArray("\xD0\xA4\xD0\xB8\x80\xD0\xBB\xD1\x8C\xD0\xBC");
        QTest::newRow("encoded surrogate") << QByteArray("x\xED\xB2\x80");
    }

    void namesThatAreNotUtf8()
    {
        QFETCH(QByteArray, name);
        const QString d = tmp.filePath("bytes-" + QString(QTest::currentDataTag()).replace(' ', '-'));
        QVERIFY(QDir().mkpath(d));
        const QByteArray base = fsEncode(d) + "/" + name;
        const int fd = ::open(QByteArray(base + ".avi").constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        QCOMPARE(::mkdir(QByteArray(base + ".d").constData(), 0755), 0);
        const QString fileText = fsDecode(name + ".avi");
        const QString folderText = fsDecode(name + ".d");

        StdoutCapture out;
        w->openDir(d);
        const QByteArray printed = out.finish();
        QVERIFY(printed.contains("\ndir:" + name + ".d\n"));
        QVERIFY(printed.contains("\nfile:" + name + ".avi\n"));
        QCOMPARE(rows(*w), (QList<Row>{parentRow(), folder(folderText), file(fileText)}));
        const QString shown = WindowInspector::list(*w)->model()->index(2, 0).data().toString();
        QVERIFY(shown.contains(QChar(QChar::ReplacementCharacter)));
        QVERIFY(std::none_of(shown.begin(), shown.end(), [](QChar c) { return c.isSurrogate(); }));

        QFile::remove(testAppDir() + "probed");
        QFile::remove(testAppDir() + "played");
        WindowInspector::select(*w, 2);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QCOMPARE(readFile(testAppDir() + "probed"), QByteArray(base + ".avi"));
        QCOMPARE(readFile(testAppDir() + "played"), QByteArray(base + ".avi"));

        WindowInspector::select(*w, 1);
        QCOMPARE(fsEncode(WindowInspector::currentDir(*w)), QByteArray(base + ".d"));
        QMetaObject::invokeMethod(w.get(), "slotQuit");
        QVERIFY(readFile(testAppDir() + "mplayer.ini").contains("\nLASTDIR=" + base + ".d\n"));
        StdoutCapture restart;
        ZFileSelectDialog again;
        const QByteArray startLines = restart.finish();
        QVERIFY(startLines.contains("\nlastDir='" + base + ".d'\nenter dir '" + base + ".d'\n"));
        QCOMPARE(fsEncode(WindowInspector::currentDir(again)), QByteArray(base + ".d"));
    }

    // A link to a device is a file, listed once.
    void deviceLinkIsOneFile()
    {
        const QString d = tmp.filePath("device");
        QVERIFY(QDir().mkpath(d));
        QVERIFY(QFile::link("/dev/zero", d + "/x.avi"));
        const QStringList lines = list(d);
        QCOMPARE(lines.mid(1), (QStringList{"dir entry count = 2", "dir:.", "dir:..",
                                            "file entry count = 1", "file:x.avi"}));
        QCOMPARE(rows(*w), (QList<Row>{parentRow(), file("x.avi")}));
    }

    void nullAndRelativePaths()
    {
        const QString cwd = QDir::currentPath();
        const QString d = tmp.filePath("cwd");
        mkdirs(d, {"child"});
        QVERIFY(QDir::setCurrent(d));
        const QStringList lines = list(QString());
        QCOMPARE(lines.value(0), QString("enter dir ''"));
        QCOMPARE(WindowInspector::currentDir(*w), QDir(d).canonicalPath());
        list("child/..//child");
        QCOMPARE(WindowInspector::currentDir(*w), QDir(d).canonicalPath() + "/child");
        QDir::setCurrent(cwd);
    }

    static QString dirName(const QString &n) { return n.chopped(4) + ".d"; }

    void hostileNames()
    {
        const QString d = tmp.filePath("hostile");
        const QStringList names = {
            "it's.avi", "a'; touch pwned; '.avi", "$(touch pwned).avi", "`id`.avi",
            "with  spaces .avi", "new\nline.avi", "-rf.avi", "--help.avi", "\"quoted\".avi",
            "back\\slash.avi", QString(251, QChar('n')) + ".avi",
            QString::fromUtf8("Фильм 电影 é.avi"), "tab\there.avi", "%s%n.avi"};
        QVERIFY(QDir().mkpath(d));
        for (const QString &n : names) {
            writeFile(d + "/" + n, "x");
            QVERIFY2(QDir(d).mkdir(dirName(n)), qPrintable(n));
        }
        QCOMPARE(QFile::encodeName(names[10]).size(), 255);
        StdoutCapture out;
        w->openDir(d);
        const QByteArray printed = out.finish();
        const QList<Row> got = rows(*w);
        // "--help.d" sorts before ".", so a parent entry is put in front too.
        QCOMPARE(got.size(), 2 + 2 * names.size());
        QCOMPARE(got.first(), parentRow());
        for (const QString &n : names) {
            QVERIFY2(got.contains(file(n)), qPrintable(n));
            QVERIFY2(got.contains(folder(dirName(n))), qPrintable(n));
            QVERIFY(printed.contains("file:" + n.toUtf8() + "\n"));
        }
        // Entering each folder and coming back works through the row text.
        for (const QString &n : names) {
            w->openDir(d);
            WindowInspector::select(*w, int(rows(*w).indexOf(folder(dirName(n)))));
            QCOMPARE(WindowInspector::currentDir(*w), d + "/" + dirName(n));
            QCOMPARE(rows(*w), QList<Row>{parentRow()});
        }
        QVERIFY(!QFile::exists(d + "/pwned"));
    }
};

MORVANE_GUI_TEST_MAIN(BrowserTest)
#include "tst_browser.moc"
