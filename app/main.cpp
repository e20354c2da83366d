#include "app/zfileselectdialog.h"
#include "platform/zapplication.h"

#include <cstdio>

int main(int argc, char **argv)
{
    // One diagnostic line per event; keep them whole and in order when the
    // output goes to a file or a pipe.
    setvbuf(stdout, nullptr, _IOLBF, 0);

    ZApplication app(argc, argv, 1);
    // The window lives for the whole run and is never deleted: it owns the
    // settings file, and nothing it holds needs its destructor at exit.
    auto *window = new ZFileSelectDialog();
    window->show();
    const int result = app.exec();
    return result;
}
