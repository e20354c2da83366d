#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QProgressBar;

// A screen for sound, for a file that has no picture: its name, its title
// and artist when it has them, the position and the length with a bar, and
// the keys. It covers its parent and follows its size; the type grows with
// the screen, from a handset's 240x320 up. Texts are shown as they are
// (no markup); one too long for the screen ends in "…".
class ZNowPlaying : public QWidget
{
    Q_OBJECT
public:
    explicit ZNowPlaying(QWidget *parent);

    void setTrack(const QString &name, const QString &title, const QString &artist);
    // Seconds; a length of 0 is not known.
    void setProgress(double position, double length);
    // One line per key; empty lines are left out.
    void setKeyHelp(const QStringList &lines);

    // "1:05 / 3:20", as shown.
    QString timeText() const;
    // The texts shown, top to bottom, in full.
    QStringList texts() const;

    // "m:ss", or "h:mm:ss" from an hour on.
    static QString clock(double seconds);

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void layOut();

    QLabel *title = nullptr;
    QLabel *artist = nullptr;
    QLabel *name = nullptr;
    QLabel *time = nullptr;
    QProgressBar *bar = nullptr;
    QLabel *help = nullptr;
    QStringList helpLines;
};
