// xwinshot WINDOW-ID|root: the whole content of one X window as a PPM on
// standard output. Unlike `import -window`, it does not cut the image to the
// screen, so a window a compositor placed partly off the screen can be judged.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char **argv)
{
    std::unique_ptr<Display, int (*)(Display *)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (argc != 2 || !display)
        return 2;
    const Window window = strcmp(argv[1], "root") ? strtoul(argv[1], nullptr, 0) : DefaultRootWindow(display.get());
    XWindowAttributes a;
    if (!XGetWindowAttributes(display.get(), window, &a))
        return 1;
    std::unique_ptr<XImage, int (*)(XImage *)> image(
        XGetImage(display.get(), window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap),
        [](XImage *i) { return XDestroyImage(i); });
    if (!image)
        return 1;
    printf("P6\n%d %d\n255\n", a.width, a.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image.get(), x, y);
            const char rgb[3] = {char(p >> 16), char(p >> 8), char(p)};
            fwrite(rgb, 1, 3, stdout);
        }
    return fflush(stdout) == 0 ? 0 : 1;
}
