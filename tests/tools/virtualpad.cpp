// virtualpad COMMANDS DONE [--keyboard]: a pad made through uinput with the ids and layout of an
// Xbox 360 pad (the kernel's xpad driver), driven by the lines appended to the file COMMANDS:
//   N plug | N unplug | N hold BUTTON MS | N key KEY
// BUTTON: a b x y tl tr select start mode up down left right; KEY: right (the keyboard's).
// Each command done appends "N done T" to DONE, T the monotonic ns at which it was pressed.
// --keyboard also makes a keyboard at the start, for "key".
#include <linux/uinput.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/ioctl.h>
#include <string>
#include <unistd.h>

namespace {

struct Control { int type, code, value; };

const std::map<std::string, Control> Buttons = {
    {"a", {EV_KEY, BTN_A, 1}}, {"b", {EV_KEY, BTN_B, 1}}, {"x", {EV_KEY, BTN_X, 1}}, {"y", {EV_KEY, BTN_Y, 1}},
    {"tl", {EV_KEY, BTN_TL, 1}}, {"tr", {EV_KEY, BTN_TR, 1}}, {"select", {EV_KEY, BTN_SELECT, 1}},
    {"start", {EV_KEY, BTN_START, 1}}, {"mode", {EV_KEY, BTN_MODE, 1}}, {"up", {EV_ABS, ABS_HAT0Y, -1}},
    {"down", {EV_ABS, ABS_HAT0Y, 1}}, {"left", {EV_ABS, ABS_HAT0X, -1}}, {"right", {EV_ABS, ABS_HAT0X, 1}}};

long long nowNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

bool emit(int fd, int type, int code, int value)
{
    input_event e{};
    e.type = type, e.code = code, e.value = value;
    input_event sync{};
    sync.type = EV_SYN, sync.code = SYN_REPORT;
    return write(fd, &e, sizeof e) == sizeof e && write(fd, &sync, sizeof sync) == sizeof sync;
}

bool setAbs(int fd, int code, int min, int max)
{
    uinput_abs_setup abs{};
    abs.code = code, abs.absinfo.minimum = min, abs.absinfo.maximum = max;
    return ioctl(fd, UI_SET_ABSBIT, code) == 0 && ioctl(fd, UI_ABS_SETUP, &abs) == 0;
}

int makeDevice(bool keyboard)
{
    const int fd = open("/dev/uinput", O_WRONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0;
    uinput_setup setup{};
    if (keyboard) {
        for (int key : {KEY_ENTER, KEY_A, KEY_RIGHT})
            ok = ok && ioctl(fd, UI_SET_KEYBIT, key) == 0;
        setup.id = {BUS_VIRTUAL, 1, 1, 1};
        strcpy(setup.name, "virtualpad keyboard");
    } else {
        for (int key : {BTN_A, BTN_B, BTN_X, BTN_Y, BTN_TL, BTN_TR, BTN_SELECT, BTN_START, BTN_MODE, BTN_THUMBL, BTN_THUMBR})
            ok = ok && ioctl(fd, UI_SET_KEYBIT, key) == 0;
        ok = ok && ioctl(fd, UI_SET_EVBIT, EV_ABS) == 0;
        for (int axis : {ABS_X, ABS_Y, ABS_RX, ABS_RY})
            ok = ok && setAbs(fd, axis, -32768, 32767);
        ok = ok && setAbs(fd, ABS_Z, 0, 255) && setAbs(fd, ABS_RZ, 0, 255);
        ok = ok && setAbs(fd, ABS_HAT0X, -1, 1) && setAbs(fd, ABS_HAT0Y, -1, 1);
        setup.id = {BUS_USB, 0x045e, 0x028e, 0x0114};
        strcpy(setup.name, "Microsoft X-Box 360 pad");
    }
    ok = ok && ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ioctl(fd, UI_DEV_CREATE) == 0;
    if (!ok) {
        perror("virtualpad: uinput");
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return fprintf(stderr, "usage: virtualpad COMMANDS DONE [--keyboard]\n"), 2;
    const int keyboard = argc > 3 && !strcmp(argv[3], "--keyboard") ? makeDevice(true) : -1;
    FILE *done = fopen(argv[2], "a");
    int pad = -1;
    long offset = 0;
    char line[256];
    for (;;) {
        FILE *commands = fopen(argv[1], "r");
        while (commands && !fseek(commands, offset, SEEK_SET) && fgets(line, sizeof line, commands) && strchr(line, '\n')) {
            offset = ftell(commands);
            int n = 0, ms = 60;
            char verb[32] = "", what[32] = "";
            sscanf(line, "%d %31s %31s %d", &n, verb, what, &ms);
            long long pressed = nowNs();
            bool ok = true;
            const auto found = Buttons.find(what);
            if (!strcmp(verb, "plug") && pad < 0) {
                ok = (pad = makeDevice(false)) >= 0;
            } else if (!strcmp(verb, "unplug") && pad >= 0) {
                ok = ioctl(pad, UI_DEV_DESTROY) == 0 && close(pad) == 0;
                pad = -1;
            } else if (!strcmp(verb, "hold") && pad >= 0 && found != Buttons.end()) {
                const Control &c = found->second;
                pressed = nowNs();
                ok = emit(pad, c.type, c.code, c.value) && usleep(useconds_t(ms) * 1000) == 0 && emit(pad, c.type, c.code, 0);
            } else if (!strcmp(verb, "key") && keyboard >= 0) {
                pressed = nowNs();
                ok = emit(keyboard, EV_KEY, KEY_RIGHT, 1) && emit(keyboard, EV_KEY, KEY_RIGHT, 0);
            } else {
                ok = false;
            }
            fprintf(done, "%d %s %lld\n", n, ok ? "done" : "failed", pressed);
            fflush(done);
        }
        if (commands)
            fclose(commands);
        usleep(10000);
    }
}
