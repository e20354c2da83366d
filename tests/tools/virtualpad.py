#!/usr/bin/python3
# virtualpad.py COMMANDS DONE [--keyboard]: an Xbox 360 pad made through uinput, driven by lines
# appended to COMMANDS: "N plug", "N unplug", "N hold BUTTON MS", "N key" (--keyboard's Right).
# Each appends "N done T" (or failed) to DONE, T the press's ns.
import sys
import time

from evdev import AbsInfo, UInput, ecodes

KEY, ABS = ecodes.EV_KEY, ecodes.EV_ABS
BUTTONS = {name: (KEY, getattr(ecodes, 'BTN_' + name.upper()), 1)
           for name in ('a', 'b', 'x', 'y', 'tl', 'tr', 'select', 'start', 'mode')}
BUTTONS.update(up=(ABS, ecodes.ABS_HAT0Y, -1), down=(ABS, ecodes.ABS_HAT0Y, 1),
               left=(ABS, ecodes.ABS_HAT0X, -1), right=(ABS, ecodes.ABS_HAT0X, 1))


def plug():
    axes = [(code, AbsInfo(0, -32768, 32767, 0, 0, 0))
            for code in (ecodes.ABS_X, ecodes.ABS_Y, ecodes.ABS_RX, ecodes.ABS_RY)]
    axes += [(code, AbsInfo(0, 0, 255, 0, 0, 0)) for code in (ecodes.ABS_Z, ecodes.ABS_RZ)]
    axes += [(code, AbsInfo(0, -1, 1, 0, 0, 0)) for code in (ecodes.ABS_HAT0X, ecodes.ABS_HAT0Y)]
    keys = [code for kind, code, _ in BUTTONS.values() if kind == KEY]
    keys += [ecodes.BTN_THUMBL, ecodes.BTN_THUMBR]
    return UInput({KEY: keys, ABS: axes}, name='Microsoft X-Box 360 pad',
                  vendor=0x045e, product=0x028e, version=0x0114, bustype=ecodes.BUS_USB)


def press(device, kind, code, value, ms):
    pressed = time.monotonic_ns()
    device.write(kind, code, value)
    device.syn()
    time.sleep(ms / 1000)
    device.write(kind, code, 0)
    device.syn()
    return pressed


keyboard = None
if sys.argv[3:] == ['--keyboard']:
    keyboard = UInput({KEY: [ecodes.KEY_ENTER, ecodes.KEY_A, ecodes.KEY_RIGHT]},
                      name='virtualpad keyboard', bustype=ecodes.BUS_VIRTUAL)
pad, offset, done = None, 0, open(sys.argv[2], 'a')
while True:
    with open(sys.argv[1], 'rb') as commands:
        commands.seek(offset)
        while (line := commands.readline()).endswith(b'\n'):
            offset += len(line)
            n, verb, *rest = line.decode().split()
            pressed, ok = time.monotonic_ns(), True
            if verb == 'plug' and not pad:
                pad = plug()
            elif verb == 'unplug' and pad:
                pad.close()
                pad = None
            elif verb == 'hold' and pad and rest[0] in BUTTONS:
                pressed = press(pad, *BUTTONS[rest[0]], int(rest[1]))
            elif verb == 'key' and keyboard:
                pressed = press(keyboard, KEY, ecodes.KEY_RIGHT, 1, 0)
            else:
                ok = False
            print(n, 'done' if ok else 'failed', pressed, file=done, flush=True)
    time.sleep(0.01)
