#pragma once

#include <QString>

#include <array>

class ZConfig;

// The buttons of a gamepad, by their place (A is the lower face button,
// whatever it is labelled), and the keys each one stands for: one key while
// the list is shown, another while a file plays.
enum class PadButton {
    A, B, X, Y,
    Back, Guide, Start,
    L1, R1, L2, R2, L3, R3,
    Up, Down, Left, Right,
    Count
};

constexpr int PadButtonCount = int(PadButton::Count);

// The keys a button becomes (Qt key codes; 0: nothing).
struct ButtonRow
{
    int listKey = 0;
    int playingKey = 0;
};

// The table of buttons to keys. The group [GAMEPAD] of the settings file can
// change any row, one line a button, the key in the list, a comma, the key
// while playing, each by its Qt name (Return, Escape, F1, PageUp, Left, 1):
//
//   [GAMEPAD]
//   B=Escape,F2
//   X=,F1         (nothing in the list)
//   GUIDE=F1      (one key: the same in both)
//
// A line that names an unknown key leaves its row as it was.
class ButtonTable
{
public:
    static constexpr const char *Group = "GAMEPAD";

    // The default table.
    ButtonTable();

    const ButtonRow &row(PadButton button) const { return rows[size_t(button)]; }
    void setRow(PadButton button, ButtonRow keys) { rows[size_t(button)] = keys; }

    // Reads the group's lines for the buttons over the defaults; each line
    // that cannot be read is printed.
    void readSettings(const ZConfig &config);

    // The button's name in the settings file: A, L1, UP...
    static QString settingName(PadButton button);
    // The row a media key or a remote's key acts as (play/pause as A, stop and
    // back as B, volume as R2/L2, next/previous as R1/L1); false for others.
    static bool mediaKeyButton(int qtKey, PadButton *button);
    // Buttons that repeat while held (the directions).
    static bool repeats(PadButton button);
    // The button whose key comes only once it has been held for a while.
    static constexpr PadButton HeldButton = PadButton::Back;

    // Qt key name ("PageUp", "1", any case) to key code; an empty name is 0.
    static int keyFromName(const QString &name, bool *ok);

private:
    std::array<ButtonRow, PadButtonCount> rows;
};
