#pragma once

#include "buttontable.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>

class QKeyEvent;
class ZConfig;
class ZKbMainWidget;

// Turns buttons into the window's own keys: each press and release becomes
// the key event of its row in the table, sent where a real key would go (an
// open menu, a dialog, the list, the window), so that everything a key does
// follows. The column is the list's, or the playing one while the window is
// in full-screen mode.
//
// A held direction repeats as a held key does: the first repeat after
// FirstRepeatMs, then one every RepeatMs. The held button (Back) gives its key
// only once it has been held for HoldMs.
//
// As an event filter on the application it also turns media keys and a
// remote's keys into the buttons they act as (ButtonTable::mediaKeyButton).
class ButtonKeys : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstRepeatMs = 400;
    static constexpr int RepeatMs = 50;
    static constexpr int HoldMs = 1000;

    ButtonKeys(ZKbMainWidget *window, const ButtonTable &table);

    // Starts what the group [GAMEPAD] of the settings turns on: ENABLED=YES the
    // gamepads, MEDIAKEYS=YES the media keys, both with its table. Returns the
    // ButtonKeys made (owned by window), or null when neither is on.
    static ButtonKeys *startFromSettings(ZKbMainWidget *window, const ZConfig &config);

    void press(PadButton button);
    void release(PadButton button);
    // Lets go of every button held (a pad unplugged).
    void releaseAll();

    // Media keys become their buttons from now on.
    void takeMediaKeys();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int keyFor(PadButton button) const;
    void sendKey(int qtKey, bool press, bool autoRepeat);
    void repeat();
    void holdReached();

    QPointer<ZKbMainWidget> window;
    ButtonTable table;
    std::array<bool, PadButtonCount> held{};
    std::array<int, PadButtonCount> heldKey{}; // the key chosen when it was pressed
    PadButton repeating = PadButton::Count;    // the direction held last
    QTimer repeatTimer;
    QTimer holdTimer;
};
