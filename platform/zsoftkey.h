#pragma once

#include <QWidget>

#include <functional>

class QPushButton;
class ZOptionsMenu;

// The soft-key bar: two keys along the bottom of the main window. Key 0 sits
// on the left and opens the options menu attached to it; key 1 sits on the
// right and runs its clicked slot. Both answer the mouse and the keyboard:
// F3 (or the Menu key) presses key 0, F4 presses key 1.
//
// Texts are shown as they are: an "&" is a character, not an accelerator,
// and a text too long for its half of the bar ends in an ellipsis.
class ZSoftKey : public QWidget
{
    Q_OBJECT
public:
    enum KEY_IDX { LEFT = 0, RIGHT = 1 };
    enum TEXT_PRIORITY { PRIORITY_NORMAL = 0 };

    ZSoftKey(const char *type, QWidget *parent, QWidget *second = nullptr);
    ~ZSoftKey() override;

    void setText(KEY_IDX key, const QString &text, TEXT_PRIORITY priority = PRIORITY_NORMAL);
    QString text(KEY_IDX key) const;
    void setOptMenu(KEY_IDX key, ZOptionsMenu *menu);

    template <typename Receiver>
    void setClickedSlot(KEY_IDX key, Receiver *receiver, void (Receiver::*slot)())
    {
        setClickedAction(key, receiver, [receiver, slot] { (receiver->*slot)(); });
    }

    // Presses key: opens its menu or runs its clicked slot.
    void click(KEY_IDX key);
    QPushButton *button(KEY_IDX key) const;
    ZOptionsMenu *optMenu(KEY_IDX key) const;

    // Serves a Qt key code meant for the soft keys; true when it was one.
    bool handleKey(int qtKey);

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void showTexts();
    void setClickedAction(KEY_IDX key, QObject *context, std::function<void()> action);

    struct Key
    {
        QPushButton *button = nullptr;
        QString text;
        ZOptionsMenu *menu = nullptr;
        std::function<void()> action;
        QObject *context = nullptr;
    };
    Key keys[2];
};
