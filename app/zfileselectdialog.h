#pragma once

#include "platform/zkbmainwidget.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <memory>

class QSocketNotifier;
class ZConfig;
class ZListBox;
class ZOptionsMenu;
class ZSoftKey;
struct WindowInspector;

// Morvane's one window: the list of one directory, the soft keys and options
// menu, and the remote control of the player while a file plays.
//
// The operations live beside their subsystems: the browser in browser/,
// playback in playback/, the CPU-speed option in settings/.
class ZFileSelectDialog : public ZKbMainWidget
{
    Q_OBJECT
public:
    ZFileSelectDialog();
    ~ZFileSelectDialog() override;

    // Lists path in the list box; on success currentDir is its canonical path.
    void openDir(const QString &path);
    // Probes and plays the file at path, giving the screen to the player.
    void playFile(QString path);
    // Writes one slave command to the player, if there is one.
    void sendCommand(const char *text);
    // true: record the CPU operating point and raise it; false: put the
    // recorded one back.
    void applyCpuSpeed(bool saveAndRaise);

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private slots:
    void slotSelected(int index);
    void slotAbout();
    void slotCPUSpeed();
    void slotQuit();

private:
    friend struct WindowInspector;

    // Lists path; false, with list and currentDir untouched, when it cannot.
    bool listDir(const QString &path);
    // Lists the start folder, or the nearest folder above it that can be.
    void openStartDir(const QString &path);
    // Enter on the list's parent entry, if it has one.
    void openParentDir();
    // The folder that quitting stores as the last directory.
    QString dirToRemember() const;
    void stopPlayback();
    void watchPlayerOutput();
    void drainPlayerOutput();
    void writePendingCommands();
    void unwatchPlayer();
    void applicationQuitting();

    ZListBox *listBox = nullptr;
    ZSoftKey *softKey = nullptr;
    ZOptionsMenu *optionsMenu = nullptr;
    QString fileFilter;
    QString currentDir;
    QString lastDir;
    bool isPlaying = false;
    int displayTimeout = -1;
    int savedCpuOp = 0;
    bool isPaused = false;
    bool hiSpeedMode = false;
    FILE *playerPipe = nullptr;
    ZConfig *config = nullptr;

    bool cpuOpRecorded = false;     // savedCpuOp holds a value read from the device
    bool lastDirSaved = false;      // slotQuit has stored currentDir
    bool startDirUnlisted = false;  // the start folder failed and no folder was chosen since
    QSocketNotifier *playerOutput = nullptr;
    QSocketNotifier *playerInput = nullptr; // on while commands wait for the player
    QByteArray pendingCommands;             // written to the player as it reads
};
