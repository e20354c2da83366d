#include "buttonkeys.h"

#include "gamepad.h"
#include "zconfig.h"
#include "zkbmainwidget.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

namespace {

// The text a real key event would carry, for the keys that have one.
QString keyText(int qtKey)
{
    if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter)
        return QStringLiteral("\r");
    if (qtKey == Qt::Key_Escape)
        return QStringLiteral("\x1b");
    if (qtKey >= Qt::Key_Space && qtKey <= Qt::Key_AsciiTilde)
        return QString(QChar(qtKey)).toLower();
    return QString();
}

} // namespace

ButtonKeys::ButtonKeys(ZKbMainWidget *window, const ButtonTable &table)
    : QObject(window), window(window), table(table)
{
    repeatTimer.setTimerType(Qt::PreciseTimer);
    holdTimer.setTimerType(Qt::PreciseTimer);
    holdTimer.setSingleShot(true);
    connect(&repeatTimer, &QTimer::timeout, this, &ButtonKeys::repeat);
    connect(&holdTimer, &QTimer::timeout, this, &ButtonKeys::holdReached);
}

ButtonKeys *ButtonKeys::startFromSettings(ZKbMainWidget *window, const ZConfig &config)
{
    const QString group = QLatin1String(ButtonTable::Group);
    const bool pads = config.readBoolEntry(group, QStringLiteral("ENABLED"), false);
    const bool mediaKeys = config.readBoolEntry(group, QStringLiteral("MEDIAKEYS"), false);
    if (!pads && !mediaKeys)
        return nullptr;
    ButtonTable table;
    table.readSettings(config);
    auto *keys = new ButtonKeys(window, table);
    if (mediaKeys)
        keys->takeMediaKeys();
    if (pads) // gamecontrollerdb.txt beside the settings, in the program directory
        new Gamepad(keys, QFileInfo(config.path()).dir().filePath(QStringLiteral("gamecontrollerdb.txt")));
    return keys;
}

int ButtonKeys::keyFor(PadButton button) const
{
    const ButtonRow &row = table.row(button);
    return window && window->isFullScreenMode() ? row.playingKey : row.listKey;
}

void ButtonKeys::press(PadButton button)
{
    const size_t i = size_t(button);
    if (button == PadButton::Count || held[i])
        return;
    held[i] = true;
    heldKey[i] = keyFor(button);
    if (button == ButtonTable::HeldButton) {
        holdTimer.start(HoldMs);
        return;
    }
    sendKey(heldKey[i], true, false);
    if (ButtonTable::repeats(button) && heldKey[i]) {
        repeating = button;
        repeatTimer.start(FirstRepeatMs);
    }
}

void ButtonKeys::release(PadButton button)
{
    const size_t i = size_t(button);
    if (button == PadButton::Count || !held[i])
        return;
    held[i] = false;
    if (repeating == button) {
        repeating = PadButton::Count;
        repeatTimer.stop();
    }
    if (button == ButtonTable::HeldButton && holdTimer.isActive()) {
        holdTimer.stop(); // let go too soon: nothing
        return;
    }
    sendKey(heldKey[i], false, false);
}

void ButtonKeys::releaseAll()
{
    for (int i = 0; i < PadButtonCount; ++i)
        release(PadButton(i));
}

void ButtonKeys::repeat()
{
    repeatTimer.setInterval(RepeatMs);
    if (repeating != PadButton::Count)
        sendKey(heldKey[size_t(repeating)], true, true);
}

void ButtonKeys::holdReached()
{
    const size_t i = size_t(ButtonTable::HeldButton);
    if (held[i])
        sendKey(heldKey[i], true, false);
}

void ButtonKeys::sendKey(int qtKey, bool press, bool autoRepeat)
{
    if (!qtKey)
        return;
    QWidget *target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    if (!target)
        return;
    QKeyEvent key(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier,
                  keyText(qtKey), autoRepeat);
    QApplication::sendEvent(target, &key);
}

void ButtonKeys::takeMediaKeys()
{
    qApp->installEventFilter(this);
}

bool ButtonKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    PadButton button;
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType()
        || !ButtonTable::mediaKeyButton(static_cast<QKeyEvent *>(event)->key(), &button))
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const int mapped = keyFor(button);
    if (mapped) {
        QKeyEvent instead(type, mapped, key->modifiers(), keyText(mapped), key->isAutoRepeat());
        QApplication::sendEvent(watched, &instead);
    }
    return true;
}
