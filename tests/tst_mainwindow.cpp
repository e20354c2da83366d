#include "platform/zoptionsmenu.h"
#include "platform/zsingleselectdlg.h"
#include "platform/zsoftkey.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

static QString ini() { return dirFile("mplayer.ini"); }

static std::unique_ptr<ZFileSelectDialog> makeWindow(const QByteArray &settings)
{
    writeFile(ini(), settings);
    auto w = std::make_unique<ZFileSelectDialog>();
    w->show();
    return w;
}

static QString lastDir() { return ZConfig(ini(), false).readEntry("FILESELECT", "LASTDIR"); }

// Runs menu item `item`, acts on its dialog, returns its title and choices.
static QStringList viaMenu(ZFileSelectDialog &w, int item, std::function<void(QDialog *)> act)
{
    QStringList seen{"no dialog"};
    QTimer timer; // gone with this call, never fires on a later dialog
    timer.callOnTimeout([&] {
        if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            auto *choices = qobject_cast<ZSingleSelectDlg *>(d);
            seen = QStringList{d->windowTitle()} + (choices ? choices->itemsList() : QStringList());
            timer.stop();
            act(d);
        }
    });
    timer.start(20);
    w.findChild<ZOptionsMenu *>()->itemAt(item)->trigger();
    return seen;
}

static QStringList texts(ZFileSelectDialog &w)
{
    const ZSoftKey *keys = w.findChild<ZSoftKey *>();
    QStringList out{keys->text(ZSoftKey::LEFT), keys->text(ZSoftKey::RIGHT)};
    for (QAction *a : w.findChild<ZOptionsMenu *>()->actions())
        out << a->text();
    return out;
}

class MainWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

private slots:
    void startUp()
    {
        StdoutCapture out;
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "\nFILTER=*.avi\n"
                            "[HiSpeedMode]\nEnabled=true\n[LANGUAGE]\nOPTIONS=Options\nEXIT=Exit\n"
                            "CPUSPEED=CPU speed\nABOUT=About\n");
        const QStringList printed{"sFilder='*.avi'", "lastDir='" + media.path() + "'",
                                  "enter dir '" + media.path() + "'"};
        QCOMPARE(out.lines().mid(0, 3), printed);
        QVERIFY(WindowInspector::hiSpeed(*w));
        QCOMPARE(w->windowTitle(), "Morvane");
        QCOMPARE(w->mainWidgetTitle(), "Morvane");
        QCOMPARE(texts(*w), (QStringList{"Options", "Exit", "CPU speed", "About"}));
    }

    void noSettings()
    {
        StdoutCapture out;
        auto w = makeWindow("");
        QCOMPARE(out.lines().mid(1, 2), (QStringList{"lastDir=''", "enter dir ''"}));
        QCOMPARE(texts(*w), QStringList(4, QString()));
        QVERIFY(!WindowInspector::hiSpeed(*w));
        const struct { QList<Qt::Key> keys; QString hiSpeed; } rows[] = {
            {{Qt::Key_Return}, "true"}, {{Qt::Key_Down, Qt::Key_Return}, "false"}};
        for (const auto &r : rows) {
            const QStringList shown = viaMenu(*w, 0, [&](QDialog *d) { // maybe not active yet
                for (Qt::Key key : r.keys)
                    QTest::keyClick(d->focusWidget(), key);
            });
            QCOMPARE(shown, QStringList(3, QString()));
            QCOMPARE(ZConfig(ini(), false).readEntry("HiSpeedMode", "Enabled"), r.hiSpeed);
            QCOMPARE(WindowInspector::hiSpeed(*w), r.hiSpeed == "true");
        }
        const auto close = [](QDialog *d) { QTest::keyClick(d, Qt::Key_Return); };
        QCOMPARE(viaMenu(*w, 1, close).value(0), "About");
        QTest::mouseClick(w->findChild<ZSoftKey *>()->button(ZSoftKey::RIGHT), Qt::LeftButton);
        QCOMPARE(lastDir(), QDir::current().canonicalPath());
    }

    void startFolderGone()
    {
        const QString video = media.filePath("card/video");
        const QByteArray settings = "[FILESELECT]\nLASTDIR = " + video.toUtf8() + "\n";
        StdoutCapture out;
        auto w = makeWindow(settings);
        QCOMPARE(out.lines().value(4), "enter dir '" + media.path() + "'");
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(readFile(ini()), settings);
        WindowInspector::select(*w, 0);
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(lastDir(), QDir(media.path() + "/..").canonicalPath());
    }

    void noDisplay()
    {
        QProcess morvane; // on a display no test starts
        morvane.start("env", {"-u", "QT_QPA_PLATFORM", "-u", "WAYLAND_DISPLAY", "DISPLAY=:4711",
                              MORVANE_APPDIR "/morvane"});
        QVERIFY(morvane.waitForFinished(60000));
        QCOMPARE(morvane.exitCode(), 1);
        const QString said = morvane.readAllStandardError();
        QVERIFY2(said.startsWith("morvane: cannot open the X display \":4711\""), qPrintable(said));
    }

    // A long text pushes no button off the screen.
    void textsShownLiterally()
    {
        const QByteArray lots(10000, 'W');
        auto w = makeWindow("[LANGUAGE]\nOPTIONS=" + lots + "\nEXIT=R&un\nCPUSPEED=<b>C</b>" + lots
                            + "\nABOUT=&amp;\tF1\nENABLE=<i>on</i>\nDISABLE=off\n");
        ZSoftKey *keys = w->findChild<ZSoftKey *>();
        QCOMPARE(keys->button(ZSoftKey::RIGHT)->text(), "R&&un");
        QCOMPARE(keys->optMenu(ZSoftKey::LEFT)->itemAt(1)->text(), "&&amp; F1");
        const auto inside = [](QWidget *outer, QWidget *inner) {
            return outer->rect().contains(QRect(inner->mapTo(outer, QPoint()), inner->size()));
        };
        QVERIFY(inside(w.get(), keys->button(ZSoftKey::RIGHT)));
        QList<Qt::TextFormat> labels;
        bool laidOut = false, narrow = false, cancelInside = false;
        const QStringList shown = viaMenu(*w, 0, [&](QDialog *d) {
            for (const QLabel *label : d->findChildren<QLabel *>())
                labels << label->textFormat();
            QWidget *cancel = d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel);
            laidOut = QTest::qWaitFor([&] { return cancel->isVisible(); }, 5000);
            narrow = d->width() <= w->width();
            cancelInside = inside(d, cancel);
            d->reject();
        });
        QCOMPARE(shown, (QStringList{"<b>C</b>" + lots, "<i>on</i>", "off"}));
        QCOMPARE(labels, QList<Qt::TextFormat>{Qt::PlainText});
        QVERIFY(laidOut);
        QVERIFY(narrow);
        QVERIFY(cancelInside);
    }
};

MORVANE_GUI_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
