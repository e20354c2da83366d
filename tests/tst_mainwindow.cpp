// The main window: start-up, texts, soft keys, menu, About, CPU speed, quit.

#include "platform/zlistbox.h"
#include "platform/zmessagedlg.h"
#include "platform/zoptionsmenu.h"
#include "platform/zsettingitem.h"
#include "platform/zsingleselectdlg.h"
#include "platform/zsoftkey.h"
#include "platform/lm.h"
#include "platform/zconfig.h"
#include "settings/appdir.h"
#include "settings/systemsettings.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaMethod>
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
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

QString settingsPath()
{
    return testAppDir() + "mplayer.ini";
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir media;

    std::unique_ptr<ZFileSelectDialog> makeWindow(const QByteArray &ini)
    {
        writeFile(settingsPath(), ini);
        auto w = std::make_unique<ZFileSelectDialog>();
        w->show();
        QTest::qWait(1);
        return w;
    }

    void chooseInCpuDialog(ZFileSelectDialog &w, std::function<void(ZSingleSelectDlg *)> how)
    {
        whenModal([how](QWidget *modal) {
            auto *dialog = qobject_cast<ZSingleSelectDlg *>(modal);
            QVERIFY(dialog);
            how(dialog);
        });
        QMetaObject::invokeMethod(&w, "slotCPUSpeed");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(media.isValid());
        setSystemSettingsPath(media.filePath("no-system.cfg"));
    }

    void appDirIsWhereArgv0Is()
    {
        QCOMPARE(appDir(), testAppDir());
    }

    void startUpReadsSettingsAndPrints()
    {
        const QString system = media.filePath("system.cfg");
        writeFile(system, "[SYS_SYSTEM_SET]\nDisplayTimeout=120\n");
        setSystemSettingsPath(system);
        StdoutCapture out;
        auto w = makeWindow("[FILESELECT]\nFILTER=*.avi;*.mp4\nLASTDIR=" + media.path().toUtf8()
                            + "\n[HiSpeedMode]\nEnabled=true\n" + Language);
        const QStringList lines = out.lines();
        setSystemSettingsPath(media.filePath("no-system.cfg"));
        QVERIFY(lines.size() >= 3);
        QCOMPARE(lines[0], QString("sFilder='*.avi;*.mp4'"));
        QCOMPARE(lines[1], "lastDir='" + media.path() + "'");
        QCOMPARE(lines[2], "enter dir '" + media.path() + "'");
        QCOMPARE(WindowInspector::displayTimeout(*w), 120);
        QVERIFY(WindowInspector::hiSpeed(*w));
        QCOMPARE(w->windowTitle(), QString("Morvane"));
        QCOMPARE(w->mainWidgetTitle(), QString("Morvane"));
        ZSoftKey *keys = WindowInspector::softKey(*w);
        QCOMPARE(keys->text(ZSoftKey::LEFT), QString("Options"));
        QCOMPARE(keys->text(ZSoftKey::RIGHT), QString("Exit"));
        ZOptionsMenu *menu = WindowInspector::menu(*w);
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->itemAt(0)->text(), QString("CPU speed"));
        QCOMPARE(menu->itemAt(1)->text(), QString("About"));
    }

    void defaultsWithoutSettings()
    {
        QFile::remove(settingsPath());
        ZFileSelectDialog w;
        QCOMPARE(WindowInspector::displayTimeout(w), -1);
        QVERIFY(!WindowInspector::hiSpeed(w));
        QVERIFY(WindowInspector::fileFilter(w).isNull());
        // No start directory: the working directory is listed.
        QCOMPARE(WindowInspector::currentDir(w), QDir::current().canonicalPath());
    }

    void metaObject()
    {
        const QMetaObject &mo = ZFileSelectDialog::staticMetaObject;
        QCOMPARE(mo.className(), "ZFileSelectDialog");
        QCOMPARE(mo.superClass()->className(), "ZKbMainWidget");
        QStringList names;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            const QMetaMethod m = mo.method(i);
            QCOMPARE(m.methodType(), QMetaMethod::Slot);
            QCOMPARE(m.access(), QMetaMethod::Private);
            names << QString::fromLatin1(m.methodSignature());
        }
        QCOMPARE(names, (QStringList{"slotSelected(int)", "slotAbout()", "slotCPUSpeed()", "slotQuit()"}));
    }

    void withoutLanguageGroupEverythingStillWorks()
    {
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "\n");
        ZSoftKey *keys = WindowInspector::softKey(*w);
        QVERIFY(keys->text(ZSoftKey::LEFT).isEmpty());
        QVERIFY(keys->text(ZSoftKey::RIGHT).isEmpty());
        ZOptionsMenu *menu = WindowInspector::menu(*w);
        QCOMPARE(menu->actions().size(), 2);
        QVERIFY(menu->itemAt(0)->text().isEmpty());
        QVERIFY(menu->itemAt(1)->text().isEmpty());

        // The first item opens the CPU-speed dialog, with empty texts.
        bool sawCpuDialog = false;
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<ZSingleSelectDlg *>(modal);
            sawCpuDialog = dialog && dialog->title().isEmpty()
                && dialog->itemsList() == QStringList({QString(), QString()});
            modal->close();
        });
        menu->itemAt(0)->trigger();
        QVERIFY(sawCpuDialog);

        // The second opens About.
        bool sawAbout = false;
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<ZMessageDlg *>(modal);
            sawAbout = dialog && dialog->title() == "About";
            modal->close();
        });
        menu->itemAt(1)->trigger();
        QVERIFY(sawAbout);

        // The unlabelled exit key still quits and stores the directory.
        QTest::mouseClick(keys->button(ZSoftKey::RIGHT), Qt::LeftButton);
        QCOMPARE(ZConfig(settingsPath(), false).readEntry("FILESELECT", "LASTDIR"), media.path());
    }

    void aboutIsMadeAnewAndDeleted()
    {
        auto w = makeWindow(Language);
        for (int round = 0; round < 2; ++round) {
            QPointer<ZMessageDlg> seen;
            whenModal([&](QWidget *modal) {
                seen = qobject_cast<ZMessageDlg *>(modal);
                QVERIFY(seen);
                QVERIFY(seen->text().startsWith("Morvane"));
                QTest::keyClick(modal, Qt::Key_Return);
            });
            QMetaObject::invokeMethod(w.get(), "slotAbout");
            QVERIFY(seen.isNull());
            QVERIFY(w->findChildren<ZMessageDlg *>().isEmpty());
        }
    }

    // A start folder that cannot be listed (a card not inserted) shows the
    // nearest folder above it; quitting from there keeps the stored one,
    // while a folder chosen since is stored as usual.
    void startFolderGoneFallsBackAndIsKept()
    {
        const QByteArray gone = media.path().toUtf8() + "/card/video";
        const QByteArray ini = "[FILESELECT]\nLASTDIR = " + gone + "\n" + Language;
        StdoutCapture out;
        auto w = makeWindow(ini);
        const QStringList lines = out.lines();
        QCOMPARE(lines.mid(1, 4), (QStringList{"lastDir='" + gone + "'", "enter dir '" + gone + "'",
                                               "enter dir '" + media.path() + "/card'",
                                               "enter dir '" + media.path() + "'"}));
        QCOMPARE(WindowInspector::currentDir(*w), media.path());
        QCOMPARE(WindowInspector::list(*w)->item(0)->getSubItemText(1, 0), QString(".."));
        QMetaObject::invokeMethod(w.get(), "slotQuit");
        QCOMPARE(readFile(settingsPath()), ini);

        w = makeWindow(ini);
        WindowInspector::select(*w, 0);
        QMetaObject::invokeMethod(w.get(), "slotQuit");
        QCOMPARE(ZConfig(settingsPath(), false).readEntry("FILESELECT", "LASTDIR"),
                 QDir(media.path() + "/..").canonicalPath());
    }

    // Texts from the settings file are shown as they are: no markup, no
    // accelerators, and a very long one pushes nothing off the screen.
    void languageTextsAreShownLiterally()
    {
        const QString longText(10000, QChar('W'));
        // Quitting would store the folder without its "/.", changing the file.
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "/."
                            + "\n[LANGUAGE]\nOPTIONS=" + longText.toUtf8() + "\nEXIT=R&un\n"
                            "CPUSPEED=<b>CPU</b> <img src=\"/x.png\"> " + longText.toUtf8()
                            + "\nABOUT=&amp;\nENABLE=<i>on</i>\nDISABLE=off\n");
        const QByteArray before = readFile(settingsPath());
        ZSoftKey *keys = WindowInspector::softKey(*w);
        QCOMPARE(keys->text(ZSoftKey::RIGHT), QString("R&un"));
        QCOMPARE(keys->button(ZSoftKey::RIGHT)->text(), QString("R&&un"));
        // Alt+U is no accelerator for the exit key: nothing quits. (A real
        // accelerator on a button of the window would have fired.)
        w->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), w.get());
        QPushButton accelerated("&Zed", w.get());
        accelerated.show();
        QSignalSpy fired(&accelerated, &QPushButton::clicked);
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::AltModifier);
        QTRY_COMPARE(fired.count(), 1);
        // An accelerator clicks after a short delay: once Alt+Z pressed
        // after Alt+U has clicked, Alt+U would have too.
        QTest::keyClick(w.get(), Qt::Key_U, Qt::AltModifier);
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::AltModifier);
        QTRY_COMPARE(fired.count(), 2);
        QCOMPARE(readFile(settingsPath()), before);
        for (ZSoftKey::KEY_IDX k : {ZSoftKey::LEFT, ZSoftKey::RIGHT}) {
            const QRect at(keys->button(k)->mapTo(w.get(), QPoint(0, 0)), keys->button(k)->size());
            QVERIFY(w->rect().contains(at));
        }
        ZOptionsMenu *menu = WindowInspector::menu(*w);
        QCOMPARE(menu->itemAt(1)->iconText(), QString("&amp;"));
        QVERIFY(menu->sizeHint().width() <= w->width());

        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<ZSingleSelectDlg *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->title(), "<b>CPU</b> <img src=\"/x.png\"> " + longText);
            QCOMPARE(dialog->itemsList(), (QStringList{"<i>on</i>", "off"}));
            for (QLabel *label : dialog->findChildren<QLabel *>())
                QCOMPARE(label->textFormat(), Qt::PlainText);
            auto *cancel = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel);
            QTRY_VERIFY(cancel->isVisible());
            QVERIFY(dialog->width() <= w->width());
            QVERIFY(dialog->rect().contains(QRect(cancel->mapTo(dialog, QPoint(0, 0)), cancel->size())));
            modal->close();
        });
        menu->itemAt(0)->trigger();
        QVERIFY(!WindowInspector::hiSpeed(*w));
    }

    // Every key is printed, the keys the list uses itself included, and the
    // list still does with them what it always did.
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
        QTest::newRow("F4 exit key") << int(Qt::Key_F4) << "pressed 0x1033" << 1;
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
        QCOMPARE(out.lines(), QStringList{line});
        QCOMPARE(list->currentItem(), row);

        // Return enters the folder: its line comes first, once.
        StdoutCapture enter;
        QTest::keyClick(list, Qt::Key_Return);
        const QStringList entered = enter.lines();
        QCOMPARE(entered.value(0), QString("pressed 0x1004"));
        QVERIFY(entered.value(1).startsWith("enter dir '" + d + "/"));
        QCOMPARE(entered.filter("pressed").size(), 1);
    }

    void quitWritesCanonicalDirectoryShown()
    {
        QVERIFY(QDir(media.path()).mkpath("sub"));
        const QByteArray roundabout = media.path().toUtf8() + "/sub/..//sub";
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + roundabout + "\n" + Language);
        // The F4 key is the exit soft key.
        QTest::keyClick(w.get(), Qt::Key_F4);
        QCOMPARE(ZConfig(settingsPath(), false).readEntry("FILESELECT", "LASTDIR"),
                 media.path() + "/sub");
    }

    void softKeyZeroOnlyOpensTheMenu()
    {
        auto w = makeWindow(Language);
        const QByteArray before = readFile(settingsPath());
        ZOptionsMenu *menu = WindowInspector::menu(*w);
        QTest::keyClick(w.get(), Qt::Key_F3);
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(readFile(settingsPath()), before);
        QVERIFY(!WindowInspector::playing(*w));
    }

    void keysReachTheWindowInHandsetCodes()
    {
        auto w = makeWindow(Language);
        StdoutCapture out;
        QTest::keyClick(w.get(), Qt::Key_Right);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QTest::keyClick(w.get(), Qt::Key_3);
        QCOMPARE(out.lines(), (QStringList{"pressed 0x1014", "pressed 0x1031", "pressed 0x33"}));
        QVERIFY(!WindowInspector::playing(*w));
    }

    void cpuSpeedDialog()
    {
        auto w = makeWindow("[FILESELECT]\nLASTDIR=" + media.path().toUtf8() + "\n" + Language);
        QVERIFY(!readFile(settingsPath()).contains("HiSpeedMode"));

        QStringList shown;
        QString title;
        chooseInCpuDialog(*w, [&](ZSingleSelectDlg *d) {
            shown = d->itemsList();
            title = d->title();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // first entry
        });
        QCOMPARE(title, QString("CPU speed"));
        QCOMPARE(shown, (QStringList{"Fast", "Normal"}));
        QVERIFY(WindowInspector::hiSpeed(*w));
        QCOMPARE(ZConfig(settingsPath(), false).readBoolEntry("HiSpeedMode", "Enabled", false), true);

        // The entries stay in the same order whatever the setting is.
        chooseInCpuDialog(*w, [&](ZSingleSelectDlg *d) {
            shown = d->itemsList();
            QWidget *list = QApplication::focusWidget();
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return); // second entry
        });
        QCOMPARE(shown, (QStringList{"Fast", "Normal"}));
        QVERIFY(!WindowInspector::hiSpeed(*w));
        QCOMPARE(ZConfig(settingsPath(), false).readBoolEntry("HiSpeedMode", "Enabled", true), false);

        // Closed without a choice: nothing changes.
        const QByteArray before = readFile(settingsPath());
        chooseInCpuDialog(*w, [](ZSingleSelectDlg *d) { QTest::keyClick(d, Qt::Key_Escape); });
        QVERIFY(!WindowInspector::hiSpeed(*w));
        QCOMPARE(readFile(settingsPath()), before);

        // After a restart the stored choice is back.
        chooseInCpuDialog(*w, [](ZSingleSelectDlg *d) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        w.reset();
        ZFileSelectDialog again;
        QVERIFY(WindowInspector::hiSpeed(again));
    }
};

MORVANE_GUI_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
