// xwinshot WINDOW-ID|root: the whole content of one X window as a PPM on
// standard output. Unlike `import -window`, it does not cut the image to the
// screen, so a window a compositor placed partly off the screen can be judged.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char **argv)
{
    std::unique_ptr<Display, int (*)(Display *)> d(XOpenDisplay(nullptr), XCloseDisplay);
    XWindowAttributes a;
    Window w = argc == 2 ? strtoul(argv[1], nullptr, 0) : 0; // "root" reads as 0
    if (argc != 2 || !d || !XGetWindowAttributes(d.get(), w = w ? w : DefaultRootWindow(d.get()), &a))
        return 1;
    std::unique_ptr<XImage, int (*)(XImage *)> image(XGetImage(d.get(), w, 0, 0, unsigned(a.width), unsigned(a.height),
        AllPlanes, ZPixmap), [](XImage *i) { return XDestroyImage(i); });
    if (!image)
        return 1;
    printf("P6\n%d %d\n255\n", a.width, a.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image.get(), x, y);
            putchar(int(p >> 16 & 0xff)), putchar(int(p >> 8 & 0xff)), putchar(int(p & 0xff));
        }
    return fflush(stdout) == 0 ? 0 : 1;
}
