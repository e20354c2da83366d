#pragma once

// The handset numbers its special keys from 0x1000 (Key_Right is 0x1014,
// Key_F2 is 0x1031); Qt 6 numbers the same keys from 0x01000000. Everything
// above the platform layer sees handset codes only.
namespace handset {

constexpr int QtSpecialKeyBase = 0x01000000;
constexpr int SpecialKeyBase = 0x1000;

// Qt 6 key code -> handset key code. Printable keys (below 0x01000000) are
// the same in both numberings and pass unchanged.
constexpr int fromQtKey(int qtKey)
{
    if (qtKey >= QtSpecialKeyBase && qtKey < QtSpecialKeyBase + 0x1000)
        return SpecialKeyBase + (qtKey - QtSpecialKeyBase);
    return qtKey;
}

// Handset key code -> Qt 6 key code, for synthesising key events.
constexpr int toQtKey(int handsetKey)
{
    if (handsetKey >= SpecialKeyBase && handsetKey < 2 * SpecialKeyBase)
        return QtSpecialKeyBase + (handsetKey - SpecialKeyBase);
    return handsetKey;
}

// The handset key codes the window acts on while a file plays.
enum Key : int {
    Key_1 = 0x31,
    Key_3 = 0x33,
    Key_Return = 0x1004,
    Key_Left = 0x1012,
    Key_Right = 0x1014,
    Key_PageUp = 0x1016,
    Key_PageDown = 0x1017,
    Key_F1 = 0x1030,
    Key_F2 = 0x1031,
};

} // namespace handset
