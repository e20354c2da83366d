// Writes the content of one X window as a PPM image to standard output:
//   xwinshot WINDOW-ID
// Unlike `import -window`, which cuts the image to the part on the screen,
// it reads the whole window, so that a window a compositor has placed partly
// off the screen can still be judged.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
struct DisplayCloser {
    void operator()(Display *d) const { XCloseDisplay(d); }
};
struct ImageDestroyer {
    void operator()(XImage *i) const { XDestroyImage(i); }
};
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: xwinshot WINDOW-ID\n");
        return 2;
    }
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return 1;
    const Window window = strtoul(argv[1], nullptr, 0);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display.get(), window, &attributes))
        return 1;
    std::unique_ptr<XImage, ImageDestroyer> image(XGetImage(display.get(), window, 0, 0,
        unsigned(attributes.width), unsigned(attributes.height), AllPlanes, ZPixmap));
    if (!image)
        return 1;
    printf("P6\n%d %d\n255\n", attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long p = XGetPixel(image.get(), x, y);
            putchar(int((p >> 16) & 0xff));
            putchar(int((p >> 8) & 0xff));
            putchar(int(p & 0xff));
        }
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
