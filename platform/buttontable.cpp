#include "buttontable.h"

#include "fsname.h"
#include "zconfig.h"

#include <QMetaEnum>

#include <cstdio>

namespace {

const char *const SettingNames[PadButtonCount] = {
    "A", "B", "X", "Y", "BACK", "GUIDE", "START", "L1", "R1", "L2", "R2", "L3", "R3",
    "UP", "DOWN", "LEFT", "RIGHT",
};

} // namespace

ButtonTable::ButtonTable()
{
    const auto set = [this](PadButton b, int list, int playing) { setRow(b, {list, playing}); };
    set(PadButton::Up, Qt::Key_Up, Qt::Key_Up);
    set(PadButton::Down, Qt::Key_Down, Qt::Key_Down);
    set(PadButton::Left, Qt::Key_Left, Qt::Key_Left);
    set(PadButton::Right, Qt::Key_Right, Qt::Key_Right);
    set(PadButton::A, Qt::Key_Return, Qt::Key_Return);
    set(PadButton::B, Qt::Key_Escape, Qt::Key_F2);
    set(PadButton::X, 0, Qt::Key_F1);
    set(PadButton::Y, Qt::Key_F3, 0);
    set(PadButton::Start, Qt::Key_F3, 0);
    set(PadButton::L1, Qt::Key_PageUp, Qt::Key_1);
    set(PadButton::R1, Qt::Key_PageDown, Qt::Key_3);
    set(PadButton::L2, 0, Qt::Key_PageDown);
    set(PadButton::R2, 0, Qt::Key_PageUp);
    set(PadButton::Back, Qt::Key_F4, 0);
}

QString ButtonTable::settingName(PadButton button)
{
    return QLatin1String(SettingNames[size_t(button)]);
}

void ButtonTable::readSettings(const ZConfig &config)
{
    for (int i = 0; i < PadButtonCount; ++i) {
        const auto button = PadButton(i);
        const QString text = config.readEntry(QLatin1String(Group), settingName(button), QString());
        if (text.isNull())
            continue;
        const qsizetype comma = text.indexOf(QLatin1Char(','));
        const QString list = comma < 0 ? text : text.left(comma);
        const QString playing = comma < 0 ? text : text.mid(comma + 1);
        bool listOk = false;
        bool playingOk = false;
        const ButtonRow keys{keyFromName(list, &listOk), keyFromName(playing, &playingOk)};
        if (listOk && playingOk)
            setRow(button, keys);
        else
            printf("gamepad: no such key in %s=%s\n", SettingNames[i], fsEncode(text).constData());
    }
}

bool ButtonTable::mediaKeyButton(int qtKey, PadButton *button)
{
    switch (qtKey) {
    case Qt::Key_MediaTogglePlayPause:
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaPause:
        *button = PadButton::A;
        return true;
    case Qt::Key_MediaStop:
    case Qt::Key_Back:
        *button = PadButton::B;
        return true;
    case Qt::Key_VolumeUp:
        *button = PadButton::R2;
        return true;
    case Qt::Key_VolumeDown:
        *button = PadButton::L2;
        return true;
    case Qt::Key_MediaNext:
        *button = PadButton::R1;
        return true;
    case Qt::Key_MediaPrevious:
        *button = PadButton::L1;
        return true;
    default:
        return false;
    }
}

bool ButtonTable::repeats(PadButton button)
{
    return button == PadButton::Up || button == PadButton::Down || button == PadButton::Left
        || button == PadButton::Right;
}

int ButtonTable::keyFromName(const QString &name, bool *ok)
{
    const QString wanted = QLatin1String("Key_") + name.trimmed();
    *ok = true;
    if (wanted.size() == 4)
        return 0;
    // Qt's own names, whatever their case: PageUp, pageup, RETURN.
    const QMetaEnum keys = QMetaEnum::fromType<Qt::Key>();
    for (int i = 0; i < keys.keyCount(); ++i) {
        if (wanted.compare(QLatin1String(keys.key(i)), Qt::CaseInsensitive) == 0)
            return keys.value(i);
    }
    *ok = false;
    return 0;
}
