// xwinshot WINDOW-ID|root: a window's whole content as PPM, also its parts off the screen (xwd
// and import cut them).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

int main(int argc, char **argv)
{
    Display *d = XOpenDisplay(nullptr);
    Window w = argc == 2 ? strtoul(argv[1], nullptr, 0) : 0; // "root" reads as 0
    XWindowAttributes a;
    if (argc != 2 || !d || !XGetWindowAttributes(d, w = w ? w : DefaultRootWindow(d), &a))
        return 1; // the process's end closes the display
    const unsigned width = unsigned(a.width), height = unsigned(a.height);
    XImage *image = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image)
        return 1;
    printf("P6\n%d %d\n255\n", a.width, a.height);
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            for (int shift : {16, 8, 0})
                putchar(int(p >> shift & 0xff));
        }
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
