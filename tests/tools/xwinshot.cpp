// xwinshot WINDOW-ID|root: a window's whole content as PPM, also parts off the screen (import cuts them).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    Display *d = XOpenDisplay(nullptr);
    Window w = argc == 2 ? strtoul(argv[1], nullptr, 0) : 0; // "root" reads as 0
    XWindowAttributes a;
    XImage *image = nullptr;
    if (argc != 2 || !d || !XGetWindowAttributes(d, w = w ? w : DefaultRootWindow(d), &a)
        || !(image = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap)))
        return 1; // the process's end closes the display
    printf("P6\n%d %d\n255\n", a.width, a.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            putchar(int(p >> 16 & 0xff)), putchar(int(p >> 8 & 0xff)), putchar(int(p & 0xff));
        }
    return fflush(stdout) == 0 ? 0 : 1;
}
