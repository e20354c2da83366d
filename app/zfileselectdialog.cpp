#include "zfileselectdialog.h"

#include "playback/playersession.h"
#include "playback/positionkeeper.h"
#include "platform/buttonkeys.h"
#include "platform/fsname.h"
#include "platform/zconfig.h"
#include "platform/zglobal.h"
#include "platform/zlistbox.h"
#include "platform/zmessagedlg.h"
#include "platform/zoptionsmenu.h"
#include "platform/zscrollpanel.h"
#include "platform/zsoftkey.h"
#include "settings/appdir.h"
#include "settings/systemsettings.h"

#include <QApplication>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include <cstdio>

namespace {

const char AboutText[] =
    "Morvane media player\n"
    "\n"
    "Browses folders and plays media files with MPlayer.\n"
    "MPlayer is free software by the MPlayer team.";

} // namespace

ZFileSelectDialog::ZFileSelectDialog()
    : ZKbMainWidget(nullptr, nullptr, {})
{
    fileFilter = QString();
    currentDir = QString();
    lastDir = QString();
    session = new PlayerSession(this); // Idle, no stream

    config = new ZConfig(QStringLiteral("%1%2").arg(appDir(), QStringLiteral("mplayer.ini")), true);
    fileFilter = config->readEntry(QStringLiteral("FILESELECT"), QStringLiteral("FILTER"), QString());
    lastDir = config->readEntry(QStringLiteral("FILESELECT"), QStringLiteral("LASTDIR"), QString());
    printf("sFilder='%s'\n", fsEncode(fileFilter).constData());
    printf("lastDir='%s'\n", fsEncode(lastDir).constData());
    hiSpeedMode = config->readBoolEntry(QStringLiteral("HiSpeedMode"), QStringLiteral("Enabled"), false);
    playback = PlaybackSettings::read(*config);
    if (playback.resume) {
        positions = new PositionKeeper(session, appDir() + QStringLiteral("positions.txt"),
                                       playback.resumedText, this);
        connect(positions, &PositionKeeper::changed, this, &ZFileSelectDialog::markRows);
    }
    auto systemSettings = std::make_unique<ZConfig>(systemSettingsPath(), false);
    displayTimeout = systemSettings->readNumEntry(QStringLiteral("SYS_SYSTEM_SET"),
                                                  QStringLiteral("DisplayTimeout"), -1);

    const QRect content = ZGlobal::getContentR(false);

    auto *panel = new ZScrollPanel(this, nullptr, 0, 62);
    panel->setGeometry(ZGlobal::mapFromGlobalR(panel, content));
    getVBoxLayout()->addWidget(panel, 0, {});
    setMainWidgetTitle(QStringLiteral("Morvane"));

    listBox = new ZListBox(QStringLiteral("%I%M"), panel, 0, 40);
    listBox->resize(content.right() - content.left() + 1, content.bottom() - content.top() + 1);
    listBox->setGeometry(ZGlobal::mapFromGlobalR(listBox, content));

    softKey = new ZSoftKey("CST_2", this, nullptr);
    const QString language = QStringLiteral("LANGUAGE");
    softKey->setText(ZSoftKey::KEY_IDX(0), config->readEntry(language, QStringLiteral("OPTIONS"), QString()),
                     ZSoftKey::TEXT_PRIORITY(0));
    softKey->setText(ZSoftKey::KEY_IDX(1), config->readEntry(language, QStringLiteral("EXIT"), QString()),
                     ZSoftKey::TEXT_PRIORITY(0));
    softKey->setGeometry(ZGlobal::mapFromGlobalR(softKey, ZGlobal::getCstR()));

    optionsMenu = new ZOptionsMenu(content, this, nullptr, 0, 55, true);
    softKey->setOptMenu(ZSoftKey::KEY_IDX(0), optionsMenu);
    optionsMenu->insertItem(config->readEntry(language, QStringLiteral("CPUSPEED"), QString()), nullptr,
                            this, &ZFileSelectDialog::slotCPUSpeed, true, false, false, 0, -1, false);
    optionsMenu->insertItem(config->readEntry(language, QStringLiteral("ABOUT"), QString()), nullptr,
                            this, &ZFileSelectDialog::slotAbout, true, false, false, 1, -1, false);

    session->setProbeAhead(playback.probeAhead);
    if (playback.probeAhead)
        connect(listBox, &ZListBox::highlighted, this, &ZFileSelectDialog::cursorMoved);
    connect(session, &PlayerSession::answered, this, &ZFileSelectDialog::startPlayer);
    openStartDir(lastDir);
    connect(listBox, &ZListBox::selected, this, &ZFileSelectDialog::slotSelected);
    softKey->setClickedSlot(ZSoftKey::KEY_IDX(1), this, &ZFileSelectDialog::slotQuit);
    systemSettings.reset();

    // Gamepads and media keys, when the settings turn them on. Their B (and
    // so Escape in the list) goes up one folder.
    if (ButtonKeys::startFromSettings(this, *config))
        connect(listBox, &ZListBox::backRequested, this, &ZFileSelectDialog::openParentDir);

    // The event loop can also end without slotQuit: the window closed by the
    // desktop, or a termination signal. A running player is stopped then too.
    if (qApp)
        connect(qApp, &QCoreApplication::aboutToQuit, this, &ZFileSelectDialog::applicationQuitting);
    // A player that has ended by itself brings the list back, as F2 does.
    connect(session, &PlayerSession::playerGone, this, [this] {
        if (isPlaying())
            stopPlayback();
    });
    connect(session, &PlayerSession::fileFailed, this, &ZFileSelectDialog::fileFailed);
    connect(session, &PlayerSession::fileEnded, this, &ZFileSelectDialog::fileEnded);
    connect(session, &PlayerSession::reportChanged, this, &ZFileSelectDialog::showReport);
    listBox->setFocus();
}

ZFileSelectDialog::~ZFileSelectDialog()
{
    quitting = true;
    if (isPlaying())
        stopPlayback();
    if (listBox) {
        delete listBox;
        listBox = nullptr;
    }
    if (softKey) {
        delete softKey;
        softKey = nullptr;
    }
    delete config;
    config = nullptr;
}

void ZFileSelectDialog::slotAbout()
{
    auto *dialog = new ZMessageDlg(QStringLiteral("About"), QString::fromUtf8(AboutText),
                                   ZMessageDlg::MessageDlgType(2), 0, this, nullptr, true, 0);
    dialog->exec();
    delete dialog;
}

void ZFileSelectDialog::slotQuit()
{
    config->writeEntry(QStringLiteral("FILESELECT"), QStringLiteral("LASTDIR"), dirToRemember());
    lastDirSaved = true;
    QApplication::quit();
}

void ZFileSelectDialog::applicationQuitting()
{
    if (isPlaying()) {
        // The folder shown stays as it is: a card pulled while a clip played
        // is stored as it was, like one pulled while the list was shown.
        const QScopedValueRollback<bool> going(quitting, true);
        stopPlayback();
    }
    // Closing the window from the desktop is quitting too; remember the
    // directory shown, but never replace a saved one with nothing.
    if (!lastDirSaved && !dirToRemember().isEmpty()) {
        config->writeEntry(QStringLiteral("FILESELECT"), QStringLiteral("LASTDIR"), dirToRemember());
        lastDirSaved = true;
    }
    if (positions)
        positions->flush();
}
