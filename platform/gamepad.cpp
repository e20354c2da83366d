#include "gamepad.h"

#include "buttonkeys.h"
#include "fsname.h"

#include <QSocketNotifier>

#include <SDL2/SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

const char InputFolder[] = "/dev/input";

// A stick or trigger counts as a button pressed beyond half its travel and
// as let go again below a quarter, so that a stick resting near the middle
// does not flicker.
constexpr int AxisPressed = 16384;
constexpr int AxisReleased = 8192;

// After /dev/input changes, SDL is asked again after these pauses (ms): udev
// tells SDL of a new pad only once its rules have run.
constexpr int LookAgainMs[] = {50, 100, 150, 200, 500, 1000, 2000};

PadButton buttonOf(int sdlButton)
{
    switch (sdlButton) {
    case SDL_CONTROLLER_BUTTON_A: return PadButton::A;
    case SDL_CONTROLLER_BUTTON_B: return PadButton::B;
    case SDL_CONTROLLER_BUTTON_X: return PadButton::X;
    case SDL_CONTROLLER_BUTTON_Y: return PadButton::Y;
    case SDL_CONTROLLER_BUTTON_BACK: return PadButton::Back;
    case SDL_CONTROLLER_BUTTON_GUIDE: return PadButton::Guide;
    case SDL_CONTROLLER_BUTTON_START: return PadButton::Start;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK: return PadButton::L3;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK: return PadButton::R3;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return PadButton::L1;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return PadButton::R1;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return PadButton::Up;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return PadButton::Down;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return PadButton::Left;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return PadButton::Right;
    default: return PadButton::Count;
    }
}

// SDL reads this variable, not a hint, when it starts; it is set for that
// moment only, so that the player does not inherit it.
class EnvironmentForStart
{
public:
    EnvironmentForStart(const char *name, const char *value)
        : name(name), set(!getenv(name) && setenv(name, value, 0) == 0)
    {
    }
    ~EnvironmentForStart()
    {
        if (set)
            unsetenv(name);
    }

private:
    const char *name;
    bool set;
};

} // namespace

// One pad taken: SDL's controller, and a descriptor of its own on the pad's
// event device whose input wakes the program.
struct Gamepad::Pad
{
    SDL_GameController *controller = nullptr;
    int instance = -1;
    QByteArray name;
    Fd device;
    QSocketNotifier *input = nullptr;
    std::array<bool, PadButtonCount> down{};

    // A pad can go while its own notifier is being served.
    ~Pad()
    {
        if (input) {
            input->setEnabled(false);
            input->deleteLater();
        }
        SDL_GameControllerClose(controller);
    }
};

Gamepad::Gamepad(ButtonKeys *keys, const QString &mappingFile)
    : QObject(keys), keys(keys)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Pads through the kernel's event devices only: their reports come when
    // something changes, where SDL's own USB drivers read pads that report
    // all the time, and need devices most users may not open.
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    // A is the lower face button on every pad, whatever it is labelled.
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    {
        // Without a running udev, SDL's udev watch would never hear of a pad.
        std::unique_ptr<EnvironmentForStart> noUdev;
        if (access("/run/udev/control", F_OK) != 0)
            noUdev = std::make_unique<EnvironmentForStart>("SDL_JOYSTICK_DISABLE_UDEV", "1");
        running = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    }
    if (!running) {
        printf("gamepad: SDL did not start: %s\n", SDL_GetError());
        return;
    }
    const QByteArray file = fsEncode(mappingFile);
    if (access(file.constData(), F_OK) == 0 && SDL_GameControllerAddMappingsFromFile(file.constData()) < 0)
        printf("gamepad: %s: %s\n", file.constData(), SDL_GetError());

    lookAgain.setSingleShot(true);
    connect(&lookAgain, &QTimer::timeout, this, [this] {
        readEvents();
        if (++lookAgainStep < int(std::size(LookAgainMs)))
            lookAgain.start(LookAgainMs[lookAgainStep]);
    });
    watchInputFolder();
    // The pads connected now are announced by SDL as added.
    QTimer::singleShot(0, this, &Gamepad::readEvents);
}

Gamepad::~Gamepad()
{
    pads.clear();
    if (running)
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void Gamepad::watchInputFolder()
{
    if (inotify.get() < 0)
        inotify.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (inotify.get() < 0 || inputFolder)
        return;
    // No input device at all yet: /dev/input comes with the first one.
    const uint32_t changes = IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO | IN_MOVED_FROM;
    if (inotify_add_watch(inotify.get(), InputFolder, changes) < 0
        && inotify_add_watch(inotify.get(), "/dev", IN_CREATE | IN_ONLYDIR) < 0)
        return;
    inputFolder = new QSocketNotifier(inotify.get(), QSocketNotifier::Read, this);
    connect(inputFolder, &QSocketNotifier::activated, this, &Gamepad::inputFolderChanged);
}

void Gamepad::inputFolderChanged()
{
    alignas(inotify_event) char buffer[4096];
    while (read(inotify.get(), buffer, sizeof buffer) > 0) {
    }
    inotify_add_watch(inotify.get(), InputFolder, IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO | IN_MOVED_FROM);
    readEvents();
    lookAgainStep = 0;
    lookAgain.start(LookAgainMs[0]);
}

Gamepad::Pad *Gamepad::find(int instance)
{
    for (const auto &pad : pads) {
        if (pad->instance == instance)
            return pad.get();
    }
    return nullptr;
}

void Gamepad::readEvents()
{
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_JOYDEVICEADDED:
            if (!SDL_IsGameController(e.jdevice.which)) {
                char guid[33];
                SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(e.jdevice.which), guid, sizeof guid);
                const char *name = SDL_JoystickNameForIndex(e.jdevice.which);
                printf("gamepad without a mapping: %s (%s)\n", name ? name : "", guid);
            }
            break;
        case SDL_CONTROLLERDEVICEADDED:
            deviceAdded(e.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            deviceRemoved(e.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (Pad *pad = find(e.cbutton.which))
                setButton(*pad, buttonOf(e.cbutton.button), e.cbutton.state == SDL_PRESSED);
            break;
        case SDL_CONTROLLERAXISMOTION:
            if (Pad *pad = find(e.caxis.which))
                axisMoved(*pad, e.caxis.axis, e.caxis.value);
            break;
        default:
            break;
        }
    }
}

void Gamepad::deviceAdded(int index)
{
    SDL_GameController *controller = SDL_GameControllerOpen(index);
    if (!controller)
        return;
    const int instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    if (find(instance)) {
        SDL_GameControllerClose(controller); // announced twice
        return;
    }
    auto pad = std::make_unique<Pad>();
    pad->controller = controller;
    pad->instance = instance;
    const char *name = SDL_GameControllerName(controller);
    pad->name = name ? name : "";
    if (const char *path = SDL_GameControllerPath(controller))
        pad->device.reset(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (pad->device.get() >= 0) {
        pad->input = new QSocketNotifier(pad->device.get(), QSocketNotifier::Read, this);
        Pad *p = pad.get();
        connect(p->input, &QSocketNotifier::activated, this, [this, p] {
            char discard[1024];
            ssize_t n;
            while ((n = read(p->device.get(), discard, sizeof discard)) > 0 || (n < 0 && errno == EINTR)) {
            }
            if (n == 0 || (n < 0 && errno != EAGAIN))
                p->input->setEnabled(false); // unplugged: SDL hears of it through /dev/input
            readEvents();
        });
    } else {
        printf("gamepad: cannot watch %s\n", SDL_GameControllerPath(controller));
    }
    printf("gamepad connected: %s\n", pad->name.constData());
    pads.push_back(std::move(pad));
}

void Gamepad::deviceRemoved(int instance)
{
    for (auto it = pads.begin(); it != pads.end(); ++it) {
        Pad &pad = **it;
        if (pad.instance != instance)
            continue;
        for (int i = 0; i < PadButtonCount; ++i)
            setButton(pad, PadButton(i), false);
        printf("gamepad disconnected: %s\n", pad.name.constData());
        pads.erase(it);
        return;
    }
}

void Gamepad::axisMoved(Pad &pad, int axis, int value)
{
    const auto setFromAxis = [&](PadButton button, int travel) {
        if (travel > AxisPressed)
            setButton(pad, button, true);
        else if (travel < AxisReleased)
            setButton(pad, button, false);
    };
    switch (axis) {
    case SDL_CONTROLLER_AXIS_LEFTX:
        setFromAxis(PadButton::Left, -value);
        setFromAxis(PadButton::Right, value);
        break;
    case SDL_CONTROLLER_AXIS_LEFTY:
        setFromAxis(PadButton::Up, -value);
        setFromAxis(PadButton::Down, value);
        break;
    case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
        setFromAxis(PadButton::L2, value);
        break;
    case SDL_CONTROLLER_AXIS_TRIGGERRIGHT:
        setFromAxis(PadButton::R2, value);
        break;
    default:
        break;
    }
}

void Gamepad::setButton(Pad &pad, PadButton button, bool down)
{
    if (button == PadButton::Count || pad.down[size_t(button)] == down)
        return;
    pad.down[size_t(button)] = down;
    if (down)
        keys->press(button);
    else
        keys->release(button);
}
