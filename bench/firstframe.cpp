// Times a command to the first video frame on the screen.
//
//   bench_firstframe [--after-red MS] X Y W H TIMEOUT_MS COMMAND [ARG...]
//
// Notes the monotonic time, starts COMMAND, and reads the screen region
// WxH+X+Y of the X display in DISPLAY with XGetImage until a frame of the
// benchmark clip shows there: at least 2 % of the region in the clip's pure
// green, a colour no part of Morvane's window uses. Prints the milliseconds
// from the start of COMMAND to that frame, then ends COMMAND if it still runs
// (SIGTERM, reaped). Exits 1 when no frame shows within TIMEOUT_MS.
//
// With --after-red the time is counted from the end of a clip MS long played
// before it, all pure red: from the moment its first frame showed (a third
// of the region red) and MS more. (Its last frame stays on the screen until
// the next one replaces it, so its end cannot be seen.)

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long monotonicNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

struct DisplayCloser {
    void operator()(Display *d) const { XCloseDisplay(d); }
};
struct ImageDestroyer {
    void operator()(XImage *i) const { XDestroyImage(i); }
};

enum class Colour { Green, Red };

bool showsFrame(Display *display, int x, int y, int w, int h, Colour colour = Colour::Green)
{
    std::unique_ptr<XImage, ImageDestroyer> image(
        XGetImage(display, DefaultRootWindow(display), x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap));
    if (!image)
        return false;
    long matching = 0;
    for (int j = 0; j < h; j += 2) {
        for (int i = 0; i < w; i += 2) {
            const unsigned long p = XGetPixel(image.get(), i, j);
            const unsigned r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            const unsigned main = colour == Colour::Green ? g : r, other = colour == Colour::Green ? r : g;
            if (main > 200 && other < 70 && b < 70)
                ++matching;
        }
    }
    // Green: 2 % of the region. Red: a third (the clip with green has a
    // red bar).
    const long parts = colour == Colour::Green ? 50 : 3;
    return matching * parts >= long(w / 2) * long(h / 2);
}

} // namespace

int main(int argc, char **argv)
{
    const bool afterRed = argc > 2 && std::string(argv[1]) == "--after-red";
    const long long redNs = afterRed ? atoll(argv[2]) * 1000000LL : 0;
    if (afterRed)
        argc -= 2, argv += 2;
    if (argc < 7) {
        fprintf(stderr, "usage: bench_firstframe [--after-red MS] X Y W H TIMEOUT_MS COMMAND [ARG...]\n");
        return 2;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]), w = atoi(argv[3]), h = atoi(argv[4]);
    const long long timeoutNs = atoll(argv[5]) * 1000000LL;
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) {
        fprintf(stderr, "bench_firstframe: cannot open the display\n");
        return 2;
    }

    long long t0 = monotonicNs();
    const long long started = t0;
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[6], argv + 6);
        _exit(127);
    }
    if (child < 0)
        return 2;

    int result = 1;
    while (afterRed && monotonicNs() - started < timeoutNs) {
        if (showsFrame(display.get(), x, y, w, h, Colour::Red)) {
            t0 = monotonicNs() + redNs;
            break;
        }
        usleep(1000);
    }
    while (monotonicNs() - started < timeoutNs) {
        if (showsFrame(display.get(), x, y, w, h)) {
            printf("%.1f\n", (monotonicNs() - t0) / 1e6);
            result = 0;
            break;
        }
        usleep(1000);
    }
    if (result != 0)
        fprintf(stderr, "bench_firstframe: no frame within %s ms\n", argv[5]);
    if (waitpid(child, nullptr, WNOHANG) == 0) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    return result;
}
