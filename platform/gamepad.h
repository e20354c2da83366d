#pragma once

#include "buttontable.h"
#include "fd.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <memory>
#include <vector>

class ButtonKeys;
class QSocketNotifier;

// Gamepads through SDL's game-controller interface and its database of
// pads, so that every pad's buttons are known by their place. Only that part
// of SDL is started: no window, no signal handlers. Mappings are added from
// the file SDL_GAMECONTROLLERCONFIG_FILE names and from gamecontrollerdb.txt
// in the program directory.
//
// Pads plugged in or out while the program runs are taken or let go; each
// one taken or let go prints a line. Nothing is polled: SDL is asked for
// news when one of the pads' event devices has input, and for a few seconds
// after anything changes in /dev/input (udev's own notice can come later
// than the device). Without a running udev SDL watches /dev/input itself.
//
// Buttons, the d-pad, the left stick (as the d-pad) and the triggers go to
// the ButtonKeys that owns this object.
class Gamepad : public QObject
{
    Q_OBJECT
public:
    // mappingFile: a gamecontrollerdb.txt to add, if it is there.
    Gamepad(ButtonKeys *keys, const QString &mappingFile);
    ~Gamepad() override;

    // SDL is running (it may have failed to start, which is printed).
    bool isRunning() const { return running; }

private:
    struct Pad;

    void readEvents();
    void deviceAdded(int index);
    void deviceRemoved(int instance);
    void axisMoved(Pad &pad, int axis, int value);
    void setButton(Pad &pad, PadButton button, bool down);
    void watchInputFolder();
    void inputFolderChanged();
    Pad *find(int instance);

    ButtonKeys *keys;
    bool running = false;
    std::vector<std::unique_ptr<Pad>> pads;
    Fd inotify; // on /dev/input
    QSocketNotifier *inputFolder = nullptr;
    QTimer lookAgain; // after a change in /dev/input
    int lookAgainStep = 0;
};
