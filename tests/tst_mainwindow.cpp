#include "platform/zmessagedlg.h"
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

// Runs menu item `item`, acts on the modal dialog it opens, and returns its title and texts.
static QStringList viaMenu(ZFileSelectDialog &w, int item, std::function<void(QDialog *)> act)
{
    QStringList seen{"no dialog"};
    QTimer timer; // gone with this call, so it never fires on a dialog that did not open
    timer.callOnTimeout([&] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (auto *s = qobject_cast<ZSingleSelectDlg *>(d))
            seen = QStringList{s->title()} + s->itemsList();
        else if (auto *m = qobject_cast<ZMessageDlg *>(d))
            seen = QStringList{m->title(), m->text()};
        if (d)
            timer.stop(), act(d);
    });
    timer.start(20);
    w.findChild<ZOptionsMenu *>()->itemAt(item)->trigger();
    return seen;
}

static QStringList texts(ZFileSelectDialog &w) // the soft keys', then the menu items'
{
    QStringList out{w.findChild<ZSoftKey *>()->text(ZSoftKey::LEFT), w.findChild<ZSoftKey *>()->text(ZSoftKey::RIGHT)};
    for (QAction *a : w.findChild<ZOptionsMenu *>()->actions())
        out << a->text();
    return out;
}

class MainWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;
    QByteArray at(const QString &sub = "") { return "[FILESELECT]\nLASTDIR=" + media.filePath(sub).toUtf8() + "\n"; }

private slots:
    // Settings are read at start. Without LANGUAGE texts are empty and CPU speed (stored), About and Exit work.
    void startUp()
    {
        StdoutCapture out;
        auto w = makeWindow(at() + "FILTER=*.avi;*.mp4\n[HiSpeedMode]\nEnabled=true\n[LANGUAGE]\nOPTIONS=Options\n"
                                   "EXIT=Exit\nCPUSPEED=CPU speed\nABOUT=About\n");
        QCOMPARE(out.lines().mid(0, 3), (QStringList{"sFilder='*.avi;*.mp4'", "lastDir='" + media.path() + "'",
                                                     "enter dir '" + media.path() + "'"}));
        QVERIFY(WindowInspector::hiSpeed(*w) && w->windowTitle() == "Morvane" && w->mainWidgetTitle() == "Morvane");
        QCOMPARE(texts(*w), (QStringList{"Options", "Exit", "CPU speed", "About"}));
        QVERIFY(!w->findChild<ZOptionsMenu *>()->itemAt(2));
        StdoutCapture again;
        w = makeWindow(""); // no settings: the working folder is shown
        QCOMPARE(again.lines().mid(1, 2), (QStringList{"lastDir=''", "enter dir ''"}));
        QCOMPARE(texts(*w), QStringList(4, QString()));
        QVERIFY(!WindowInspector::hiSpeed(*w));
        QCOMPARE(viaMenu(*w, 0, [](QDialog *d) { d->reject(); }), QStringList(3, QString()));
        const auto choose = [&](const QList<int> &keys) {
            viaMenu(*w, 0, [&](QDialog *d) { // to the dialog's focus, active yet or not (a slow machine)
                for (int key : keys)
                    QTest::keyClick(d->focusWidget(), Qt::Key(key));
            });
            return readFile(ini());
        };
        QVERIFY(choose({Qt::Key_Return}).endsWith("[HiSpeedMode]\nEnabled=true\n") && WindowInspector::hiSpeed(*w));
        QVERIFY(choose({Qt::Key_Down, Qt::Key_Return}).endsWith("[HiSpeedMode]\nEnabled=false\n") && !WindowInspector::hiSpeed(*w));
        QVERIFY(choose({Qt::Key_Escape}).endsWith("[HiSpeedMode]\nEnabled=false\n") && !WindowInspector::hiSpeed(*w));
        QPointer<QDialog> about;
        const QStringList shown = viaMenu(*w, 1, [&](QDialog *d) {
            about = d;
            QTest::keyClick(d, Qt::Key_Return);
        });
        QVERIFY(shown.value(0) == "About" && shown.value(1).startsWith("Morvane") && about.isNull()); // deleted when closed
        QTest::mouseClick(w->findChild<ZSoftKey *>()->button(ZSoftKey::RIGHT), Qt::LeftButton);
        QCOMPARE(ZConfig(ini(), false).readEntry("FILESELECT", "LASTDIR"), QDir::current().canonicalPath());
    }

    // A start folder that cannot be listed shows its nearest listable parent and stays stored until the user moves.
    void startFolderGone()
    {
        const QByteArray settings = "[FILESELECT]\nLASTDIR = " + media.filePath("card/video").toUtf8() + "\n";
        StdoutCapture out;
        auto w = makeWindow(settings);
        QCOMPARE(out.lines().mid(2, 3), (QStringList{"enter dir '" + media.filePath("card/video") + "'",
                                                     "enter dir '" + media.filePath("card") + "'",
                                                     "enter dir '" + media.path() + "'"}));
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(readFile(ini()), settings);
        WindowInspector::select(*w, 0);
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(ZConfig(ini(), false).readEntry("FILESELECT", "LASTDIR"), QDir(media.path() + "/..").canonicalPath());
    }

    // With no display the built program ends with status 1 and one line naming it, not Qt's abort.
    void noDisplay()
    {
        int number = 4711;
        while (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)))
            ++number;
        const QString display = QString(":%1").arg(number);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", display);
        QProcess morvane;
        morvane.setProcessEnvironment(env);
        morvane.start(MORVANE_APPDIR "/morvane", QStringList());
        QVERIFY(morvane.waitForFinished(60000));
        QCOMPARE(morvane.exitStatus(), QProcess::NormalExit);
        QCOMPARE(morvane.exitCode(), 1);
        const QString said = morvane.readAllStandardError();
        QCOMPARE(said.count('\n'), 1);
        const QString start = "morvane: cannot open the X display \"" + display
                              + "\". On a console, run it with QT_QPA_PLATFORM=linuxfb; over VNC, "
                                "with QT_QPA_PLATFORM=vnc";
        QVERIFY2(said.startsWith(start), qPrintable(said));
    }

    // Texts are shown as they are: no markup, no accelerators, and a long one pushes nothing off the screen.
    void textsShownLiterally()
    {
        const QByteArray lots(10000, 'W');
        auto w = makeWindow(at(".") + "[LANGUAGE]\nOPTIONS=" + lots + "\nEXIT=R&un\nCPUSPEED=<b>C</b><img src=\"/x\">"
                            + lots + "\nABOUT=&amp;\tF1\nENABLE=<i>on</i>\nDISABLE=off\n");
        ZSoftKey *keys = w->findChild<ZSoftKey *>();
        QCOMPARE(keys->button(ZSoftKey::RIGHT)->text(), QString("R&&un"));
        QCOMPARE(keys->optMenu(ZSoftKey::LEFT)->itemAt(1)->text(), QString("&&amp; F1"));
        for (QWidget *b : {keys->button(ZSoftKey::LEFT), keys->button(ZSoftKey::RIGHT)})
            QVERIFY(w->rect().contains(QRect(b->mapTo(w.get(), QPoint()), b->size())));
        const QStringList shown = viaMenu(*w, 0, [&](QDialog *d) {
            const QList<QLabel *> labels = d->findChildren<QLabel *>(); // the title alone, as plain text
            QVERIFY(labels.size() == 1 && labels[0]->textFormat() == Qt::PlainText);
            QWidget *cancel = d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel);
            QTRY_VERIFY(cancel->isVisible());
            QVERIFY(d->width() <= w->width() && d->rect().contains(QRect(cancel->mapTo(d, QPoint()), cancel->size())));
            d->reject();
        });
        QCOMPARE(shown, (QStringList{"<b>C</b><img src=\"/x\">" + lots, "<i>on</i>", "off"}));
    }
};

MORVANE_GUI_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
