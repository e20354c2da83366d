#pragma once

#include "app/zfileselectdialog.h"
#include "benchsupport.h"
#include "platform/zapplication.h"
#include "settings/systemsettings.h"

#include <QApplication>

#include <memory>
#include <vector>

// Morvane's window on the offscreen platform, run from the program directory
// of appDir (whose mplayer must be in place) with lastDir as LASTDIR, its
// printing silenced, shown and laid out.
class BenchWindow
{
public:
    BenchWindow(BenchAppDir &appDir, int argc, char **argv, const QByteArray &lastDir)
        : args(prepare(appDir, argc, argv)), app(count, args.data(), 1)
    {
        const QString dir = QString::fromUtf8(appDir.dir);
        setSystemSettingsPath(dir + "/none.cfg");
        writeBytes(dir + "/mplayer.ini", "[FILESELECT]\nFILTER=*.avi\nLASTDIR=" + lastDir + "\n");
        quiet = std::make_unique<QuietStdout>();
        window = std::make_unique<ZFileSelectDialog>();
        window->show();
        QApplication::processEvents();
    }

    ZFileSelectDialog &operator*() { return *window; }
    ZFileSelectDialog *operator->() { return window.get(); }

private:
    static std::vector<char *> prepare(BenchAppDir &appDir, int argc, char **argv)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::vector<char *> v(argv, argv + argc);
        v[0] = appDir.argv0.data();
        return v;
    }

    std::vector<char *> args;
    int count = 1;
    ZApplication app;
    std::unique_ptr<QuietStdout> quiet;
    std::unique_ptr<ZFileSelectDialog> window;
};
