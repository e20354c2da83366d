#pragma once

#include <QWidget>

class QKeyEvent;
class QLabel;
class QVBoxLayout;
class ZSoftKey;

// A handset main window: a title bar, a content area with a vertical box
// layout, and the soft-key bar along the bottom. In full-screen mode title and
// soft keys give way to a black video surface that fills the window; on X11
// the surface's window id is published to child processes in
// MORVANE_VIDEO_WID so that a player can draw into it while the window keeps
// the keyboard. On the Linux framebuffer (Qt's linuxfb, which shows the
// window over the whole screen) the device is published in MORVANE_VIDEO_FB
// instead, for a player that draws on the framebuffer itself.
//
// Every key press reaches subclasses' keyPressEvent() with handset key codes
// (see keycodes.h), once, before anything else acts on it: keys for the
// window itself, then the soft-key keys; keys for a watched child (the list)
// too, which the child then uses as it always would, what it leaves going to
// the soft keys. A held key's repeats come marked as such (isAutoRepeat).
class ZKbMainWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr const char *VideoWindowVariable = "MORVANE_VIDEO_WID";
    static constexpr const char *VideoFramebufferVariable = "MORVANE_VIDEO_FB";

    explicit ZKbMainWidget(QWidget *parent = nullptr, const char *name = nullptr,
                           Qt::WindowFlags flags = {});
    ~ZKbMainWidget() override;

    void setMainWidgetTitle(const QString &title);
    QString mainWidgetTitle() const;
    QVBoxLayout *getVBoxLayout() const;

    // on: hide title and soft keys and show the video surface; off: back to
    // the normal layout. The second flag is the handset's and is not needed
    // here.
    virtual void setFullScreenMode(bool on, bool keepStatus);
    bool isFullScreenMode() const { return fullScreen; }
    QWidget *videoSurface() const;
    // Shows child's key presses to the window as well (see above).
    void watchKeysOf(QWidget *child);

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    friend class ZSoftKey;
    void attachSoftKey(ZSoftKey *keys);
    void showKey(const QKeyEvent *key);
    void noteRelease(const QKeyEvent *key);

    QVBoxLayout *outerLayout = nullptr;
    QLabel *titleBar = nullptr;
    QWidget *contentArea = nullptr;
    QVBoxLayout *contentLayout = nullptr;
    ZSoftKey *softKeys = nullptr;
    QWidget *surface = nullptr;
    bool fullScreen = false;
    int releasedKey = 0;           // the last key released, and the time stamp of that
    quint64 releasedAt = 0;
};
