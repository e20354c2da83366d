// Times a command to the first video frame on the screen.
//
//   bench_firstframe [--after-red MS] X Y W H TIMEOUT_MS COMMAND [ARG...]
//   bench_firstframe [--after-red MS] X Y W H TIMEOUT_MS --keys KEY...
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
//
// With --keys the keys (X key names: Down, Return) are pressed and released
// in the focused window through the XTEST extension, and the time is counted
// from the press of the last one: the starting of a program (xdotool) is no
// part of it, as it is not of the time of a command. Built without XTEST,
// xdotool presses them.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#ifdef HAVE_XTEST
#include <X11/extensions/XTest.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>
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

// Presses and releases each key; returns the time of the last press, or -1
// (a key the display does not have, or no XTEST).
long long pressKeys(Display *display, char **names, int count)
{
    long long lastPress = -1;
#ifdef HAVE_XTEST
    for (int i = 0; i < count; ++i) {
        const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(names[i]));
        if (code == 0)
            return -1;
        XSync(display, False);
        lastPress = monotonicNs();
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
    }
#else
    (void)display, (void)names, (void)count;
#endif
    return lastPress;
}

} // namespace

int main(int argc, char **argv)
{
    const bool afterRed = argc > 2 && std::string(argv[1]) == "--after-red";
    const long long redNs = afterRed ? atoll(argv[2]) * 1000000LL : 0;
    if (afterRed)
        argc -= 2, argv += 2;
    if (argc < 7) {
        fprintf(stderr, "usage: bench_firstframe [--after-red MS] X Y W H TIMEOUT_MS "
                        "COMMAND [ARG...]|--keys KEY...\n");
        return 2;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]), w = atoi(argv[3]), h = atoi(argv[4]);
    const long long timeoutNs = atoll(argv[5]) * 1000000LL;
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) {
        fprintf(stderr, "bench_firstframe: cannot open the display\n");
        return 2;
    }

    std::vector<char *> command(argv + 6, argv + argc);
    long long t0 = monotonicNs();
    pid_t child = -1;
#ifdef HAVE_XTEST
    const bool pressed = command.front() == std::string("--keys");
#else
    const bool pressed = false;
    if (command.front() == std::string("--keys")) {
        static char xdotool[] = "xdotool", key[] = "key", delay[] = "--delay", one[] = "1";
        command.erase(command.begin());
        command.insert(command.begin(), {xdotool, key, delay, one});
    }
#endif
    if (pressed) {
        t0 = pressKeys(display.get(), command.data() + 1, int(command.size()) - 1);
        if (t0 < 0) {
            fprintf(stderr, "bench_firstframe: a key the display does not have\n");
            return 2;
        }
    } else {
        command.push_back(nullptr);
        child = fork();
        if (child == 0) {
            execvp(command[0], command.data());
            _exit(127);
        }
        if (child < 0)
            return 2;
    }
    const long long started = t0;

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
    if (child > 0 && waitpid(child, nullptr, WNOHANG) == 0) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    return result;
}
