#pragma once

#include <QApplication>

class QSocketNotifier;

// The handset application object: a QApplication whose argv[0] locates the
// program's directory. SIGINT, SIGTERM and SIGHUP end the event loop in the
// ordinary way, so that the program can stop its player before it goes; so
// does Ctrl-C on the Linux framebuffer, where the terminal sends no SIGINT.
class ZApplication : public QApplication
{
    Q_OBJECT
public:
    // The handset passes an application type; Qt 6 has one kind of GUI
    // application only, so it is accepted and otherwise ignored.
    enum Type { Tty = 0, GuiClient = 1, GuiServer = 2 };
    ZApplication(int &argc, char **argv, int type = GuiClient);
    ~ZApplication() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onSignal();
    QSocketNotifier *signalNotifier = nullptr;
};
