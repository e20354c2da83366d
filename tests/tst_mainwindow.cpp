// The main window: start-up, texts, soft keys, menu, About, CPU speed, quit.

#include "platform/zlistbox.h"
#include "platform/zmessagedlg.h"
#include "platform/zoptionsmenu.h"
#include "platform/zsingleselectdlg.h"
#include "platform/zsoftkey.h"
#include "platform/lm.h"
#include "platform/zconfig.h"
#include "settings/appdir.h"
#include "settings/systemsettings.h"
#include "testsupport.h"

#include <QKeyEvent>
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

    void quitBeforeAnyListingWritesEmptyLastDir()
    {
        auto w = makeWindow("[FILESELECT]\nLASTDIR=/no/such/folder\n" + Language);
        QVERIFY(WindowInspector::currentDir(*w).isNull());
        QCOMPARE(WindowInspector::list(*w)->count(), 0);
        QMetaObject::invokeMethod(w.get(), "slotQuit");
        QVERIFY(readFile(settingsPath()).contains("\nLASTDIR=\n"));
        QCOMPARE(ZConfig(settingsPath(), false).readEntry("FILESELECT", "LASTDIR", "x"), QString(""));
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
