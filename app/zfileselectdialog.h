#pragma once

#include "browser/folderstamp.h"
#include "platform/zkbmainwidget.h"
#include "settings/playbacksettings.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <memory>

class PlayerSession;
class PositionKeeper;
class ZConfig;
class ZListBox;
class ZNowPlaying;
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
    // Probes and plays the file at path, giving the screen to the player
    // (or, while one plays, in its place). The player starts once the probe
    // has answered, at once when the answer is known.
    void playFile(QString path);
    // Writes one slave command to the player, if there is one.
    void sendCommand(const char *text);
    // The playback state, as the session of the playback holds it.
    bool isPlaying() const;
    bool isPaused() const;
    // The player's stream, or nullptr.
    FILE *playerPipe() const;
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
    // Lists the nearest folder above path that can be listed.
    bool listNearestAbove(const QString &path);
    // Reads the folder shown again (or, when it has gone, the nearest one
    // above), the current row on the same name or else on the same place.
    void relist(int row);
    // After playback: relists the folder shown if it changed meanwhile.
    void relistIfChanged();
    // Enter on the list's parent entry, if it has one.
    void openParentDir();
    // The folder that quitting stores as the last directory.
    QString dirToRemember() const;
    // A row's path, the row after row that names a file (-1: none), and
    // the current row.
    QString rowPath(int row) const;
    int nextFileRow(int row) const;
    int currentRow() const;
    void setCurrentRow(int row);
    // The player started on the probe's answer.
    void startPlayer();
    // The list's cursor is on row: with probing ahead, its file is probed
    // once the cursor rests there.
    void cursorMoved(int row);
    // The row of the entry named name, or -1.
    int rowOf(const QString &name) const;
    // With RESUME: marks the files played with where they were left or as
    // seen, in the rows just listed (files: the names of the rows from
    // firstFile on) or in all rows; makes the row of name current, when
    // there is one.
    void markListed(int firstFile, const QStringList &files);
    void markRows();
    void landOn(const QString &name);
    void stopPlayback();
    void fileEnded();
    void fileFailed();
    void showReport();
    void applicationQuitting();

    ZListBox *listBox = nullptr;
    ZSoftKey *softKey = nullptr;
    ZOptionsMenu *optionsMenu = nullptr;
    QString fileFilter;
    QString currentDir;
    QString lastDir;
    int displayTimeout = -1;
    int savedCpuOp = 0;
    bool hiSpeedMode = false;
    ZConfig *config = nullptr;

    bool cpuOpRecorded = false;     // savedCpuOp holds a value read from the device
    bool lastDirSaved = false;      // slotQuit has stored currentDir
    bool startDirUnlisted = false;  // the start folder failed and no folder was chosen since
    bool quitting = false;          // the program is ending: nothing is listed again
    FolderStamp listedStamp;        // the folder shown, as it was when listed
    PlayerSession *session = nullptr; // the playback: player, its stream, its state
    PlaybackSettings playback;        // [PLAYBACK]: the end of a file, the sound screen
    ZNowPlaying *soundScreen = nullptr; // made when first needed
    QElapsedTimer enterInList;          // since the last Enter in the list
    PositionKeeper *positions = nullptr; // with RESUME: where each file was left
};
