// The main window: start-up, texts, soft keys, menu, dialogs, keys, quit.

#include "platform/zconfig.h"
#include "platform/zlistbox.h"
#include "platform/zmessagedlg.h"
#include "platform/zoptionsmenu.h"
#include "platform/zsettingitem.h"
#include "platform/zsingleselectdlg.h"
#include "platform/zsoftkey.h"
#include "settings/appdir.h"
#include "settings/systemsettings.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QByteArray Language = "[LANGUAGE]\nOPTIONS=Options\nEXIT=Exit\nCPUSPEED=CPU speed\n"
                            "ABOUT=About\nENABLE=Fast\nDISABLE=Normal\n";

// Runs action on the next modal dialog once it is up.
void whenModal(std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->deleteLater();
            timer->stop();
            action(modal);
        }
    });
    timer->start(10);
}

QString ini() { return testAppDir() + "mplayer.ini"; }
QString stored() { return ZConfig(ini(), false).readEntry("FILESELECT", "LASTDIR"); }

// The soft keys' texts, then the menu items'.
QStringList texts(ZFileSelectDialog &w)
{
    ZSoftKey *keys = WindowInspector::softKey(w);
    ZOptionsMenu *menu = WindowInspector::menu(w);
    QStringList out{keys->text(ZSoftKey::LEFT), keys->text(ZSoftKey::RIGHT)};
    for (QAction *a : menu->actions())
        out << a->text();
    return out;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

    std::unique_ptr<ZFileSelectDialog> makeWindow(const QByteArray &settings)
    {
        writeFile(ini(), settings);
        auto w = std::make_unique<ZFileSelectDialog>();
        w->show();
        return w;
    }

    // Opens the CPU-speed dialog, lets how act on it, and returns its title and entries.
    QStringList cpuDialog(ZFileSelectDialog &w, std::function<void(ZSingleSelectDlg *)> how)
    {
        QStringList seen{"no dialog"};
        whenModal([&](QWidget *modal) {
            auto *d = qobject_cast<ZSingleSelectDlg *>(modal);
            seen = QStringList{d->title()} + d->itemsList();
            how(d);
        });
        WindowInspector::menu(w)->itemAt(0)->trigger();
        return seen;
    }

private slots:
    void initTestCase() { setSystemSettingsPath(media.filePath("none.cfg")); }

    void startUp()
    {
        QCOMPARE(appDir(), testAppDir());
        writeFile(media.filePath("system.cfg"), "[SYS_SYSTEM_SET]\nDisplayTimeout=120\n");
        setSystemSettingsPath(media.filePath("system.cfg"));
        StdoutCapture out;
        auto w = makeWindow("[FILESELECT]\nFILTER=*.avi;*.mp4\nLASTDIR=" + media.path().toUtf8()
                            + "\n[HiSpeedMode]\nEnabled=true\n" + Language);
        setSystemSettingsPath(media.filePath("none.cfg"));
        QCOMPARE(out.lines().mid(0, 3), (QStringList{"sFilder='*.avi;*.mp4'", "lastDir='" + media.path() + "'",
                                                     "enter dir '" + media.path() + "'"}));
        QCOMPARE(WindowInspector::displayTimeout(*w), 120);
        QVERIFY(WindowInspector::hiSpeed(*w));
        QCOMPARE(w->windowTitle(), QString("Morvane"));
        QCOMPARE(w->mainWidgetTitle(), QString("Morvane"));
        QCOMPARE(texts(*w), (QStringList{"Options", "Exit", "CPU speed", "About"}));

        // No settings at all: defaults, and the working folder is listed.
        QFile::remove(ini());
        StdoutCapture bare;
        ZFileSelectDialog d;
        QCOMPARE(bare.lines().mid(0, 3), (QStringList{"sFilder=''", "lastDir=''", "enter dir ''"}));
        QCOMPARE(WindowInspector::displayTimeout(d), -1);
        QVERIFY(!WindowInspector::hiSpeed(d));
        QCOMPARE(WindowInspector::currentDir(d), QDir::current().canonicalPath());
        QStringList names;
        const QMetaObject &mo = ZFileSelectDialog::staticMetaObject;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            names << mo.method(i).methodSignature();
        QCOMPARE(names, (QStringList{"slotSelected(int)", "slotAbout()", "slotCPUSpeed()", "slotQuit()"}));
    }

    // Without a LANGUAGE group every text is empty and every action works;
    // About is made anew and deleted when closed.
    void withoutLanguageGroup()
    {
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "\n");
        QCOMPARE(texts(*w), QStringList(4, QString()));
        QCOMPARE(cpuDialog(*w, [](QWidget *d) { d->close(); }), QStringList(3, QString()));
        QPointer<ZMessageDlg> about;
        whenModal([&](QWidget *modal) {
            about = qobject_cast<ZMessageDlg *>(modal);
            QVERIFY(about && about->title() == "About" && about->text().startsWith("Morvane"));
            QTest::keyClick(modal, Qt::Key_Return);
        });
        WindowInspector::menu(*w)->itemAt(1)->trigger();
        QVERIFY(about.isNull() && w->findChildren<ZMessageDlg *>().isEmpty());
        QTest::mouseClick(WindowInspector::softKey(*w)->button(ZSoftKey::RIGHT), Qt::LeftButton);
        QCOMPARE(stored(), media.path());
    }

    // A start folder that cannot be listed (a card not inserted) shows the
    // nearest folder above it; quitting there keeps the stored one, while a
    // folder chosen since is stored, as its canonical path.
    void startFolderGone()
    {
        const QByteArray gone = media.path().toUtf8() + "/card/video";
        const QByteArray settings = "[FILESELECT]\nLASTDIR = " + gone + "\n" + Language;
        StdoutCapture out;
        auto w = makeWindow(settings);
        QCOMPARE(out.lines().mid(1, 4), (QStringList{"lastDir='" + gone + "'", "enter dir '" + gone + "'",
                                                     "enter dir '" + media.path() + "/card'",
                                                     "enter dir '" + media.path() + "'"}));
        QCOMPARE(WindowInspector::list(*w)->item(0)->getSubItemText(1, 0), QString(".."));
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(readFile(ini()), settings);
        QVERIFY(QDir(media.path()).mkpath("sub"));
        w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "/sub/..//sub\n");
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(stored(), media.path() + "/sub");
        WindowInspector::select(*w, 0);
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(stored(), media.path());
    }

    // Texts from the settings file are shown as they are: no markup, no
    // accelerators, and a very long one pushes nothing off the screen.
    void textsShownLiterally()
    {
        const QByteArray longText(10000, 'W');
        // "/." keeps quitting from storing a changed folder.
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "/.\n[LANGUAGE]\nOPTIONS=" + longText
                            + "\nEXIT=R&un\nCPUSPEED=<b>C</b><img src=\"/x.png\">" + longText + "\nABOUT=&amp;\n"
                            "ENABLE=<i>on</i>\nDISABLE=off\n");
        const QByteArray before = readFile(ini());
        ZSoftKey *keys = WindowInspector::softKey(*w);
        QCOMPARE(keys->button(ZSoftKey::RIGHT)->text(), QString("R&&un"));
        QCOMPARE(WindowInspector::menu(*w)->itemAt(1)->iconText(), QString("&amp;"));
        // Alt+U must not quit. An accelerator clicks after a short delay:
        // once a real one (Alt+Z) pressed after Alt+U has fired, Alt+U would have.
        w->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), w.get());
        QPushButton accelerated("&Zed", w.get());
        accelerated.show();
        QSignalSpy fired(&accelerated, &QPushButton::clicked);
        QTest::keyClick(w.get(), Qt::Key_U, Qt::AltModifier);
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::AltModifier);
        QTRY_COMPARE(fired.count(), 1);
        QCOMPARE(readFile(ini()), before);
        for (ZSoftKey::KEY_IDX k : {ZSoftKey::LEFT, ZSoftKey::RIGHT})
            QVERIFY(w->rect().contains(QRect(keys->button(k)->mapTo(w.get(), QPoint()), keys->button(k)->size())));
        QVERIFY(WindowInspector::menu(*w)->sizeHint().width() <= w->width());
        const QStringList shown = cpuDialog(*w, [&](ZSingleSelectDlg *d) {
            for (QLabel *label : d->findChildren<QLabel *>())
                QCOMPARE(label->textFormat(), Qt::PlainText);
            QWidget *cancel = d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel);
            QTRY_VERIFY(cancel->isVisible());
            QVERIFY(d->width() <= w->width());
            QVERIFY(d->rect().contains(QRect(cancel->mapTo(d, QPoint()), cancel->size())));
            d->close();
        });
        QCOMPARE(shown, (QStringList{"<b>C</b><img src=\"/x.png\">" + longText, "<i>on</i>", "off"}));
    }

    // Every key is printed, the keys the list uses itself included, and the
    // list still does with them what it always did; Return enters a folder.
    void everyKeyIsPrinted_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("row");
        QTest::newRow("Down") << int(Qt::Key_Down) << "pressed 0x1015" << 2;
        QTest::newRow("Up") << int(Qt::Key_Up) << "pressed 0x1013" << 0;
        QTest::newRow("PageDown") << int(Qt::Key_PageDown) << "pressed 0x1017" << 3;
        QTest::newRow("PageUp") << int(Qt::Key_PageUp) << "pressed 0x1016" << 0;
        QTest::newRow("digit") << int(Qt::Key_3) << "pressed 0x33" << 3;
        QTest::newRow("Right") << int(Qt::Key_Right) << "pressed 0x1014" << 1;
        QTest::newRow("F2, nothing playing") << int(Qt::Key_F2) << "pressed 0x1031" << 1;
    }

    void everyKeyIsPrinted()
    {
        QFETCH(int, key);
        QFETCH(QString, line);
        QFETCH(int, row);
        const QString d = media.filePath("keys");
        for (const char *name : {"1a", "2b", "3c"})
            QVERIFY(QDir(d).mkpath(name));
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + d.toUtf8() + "\n" + Language);
        ZListBox *list = WindowInspector::list(*w);
        list->setCurrentItem(1);
        StdoutCapture out;
        QTest::keyClick(list, Qt::Key(key));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(out.lines().mid(0, 3), (QStringList{line, "pressed 0x1004", "enter dir '" + d + "/"
                                                     + QStringList{"..", "1a", "2b", "3c"}[row] + "'"}));
        QVERIFY(!WindowInspector::playing(*w));
    }

    // Soft key 0 (F3) only opens the menu.
    void menuKey()
    {
        auto w = makeWindow(Language);
        const QByteArray before = readFile(ini());
        QTest::keyClick(w.get(), Qt::Key_F3);
        QTRY_VERIFY(WindowInspector::menu(*w)->isVisible());
        QTest::keyClick(WindowInspector::menu(*w), Qt::Key_Escape);
        QTRY_VERIFY(!WindowInspector::menu(*w)->isVisible());
        QCOMPARE(readFile(ini()), before);
    }

    // First entry, second entry, neither; the choice is stored and back after a restart.
    void cpuSpeed()
    {
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "\n" + Language);
        const auto enter = [](int down) {
            return [down](QWidget *) {
                for (int i = 0; i < down; ++i)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            };
        };
        const QStringList shown{"CPU speed", "Fast", "Normal"};
        QCOMPARE(cpuDialog(*w, enter(0)), shown);
        QVERIFY(WindowInspector::hiSpeed(*w));
        QCOMPARE(ZConfig(ini(), false).readBoolEntry("HiSpeedMode", "Enabled", false), true);
        QCOMPARE(cpuDialog(*w, enter(1)), shown);
        QVERIFY(!WindowInspector::hiSpeed(*w));
        QCOMPARE(ZConfig(ini(), false).readBoolEntry("HiSpeedMode", "Enabled", true), false);
        const QByteArray before = readFile(ini());
        cpuDialog(*w, [](QWidget *d) { QTest::keyClick(d, Qt::Key_Escape); });
        QVERIFY(!WindowInspector::hiSpeed(*w));
        QCOMPARE(readFile(ini()), before);
        cpuDialog(*w, enter(0));
        w.reset();
        ZFileSelectDialog again;
        QVERIFY(WindowInspector::hiSpeed(again));
    }
};

MORVANE_GUI_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
