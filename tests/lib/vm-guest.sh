# Sourced by a guest script: the framebuffer, the keyboard, Morvane's environment.
touch /results/booted
mkdir -p /dev/pts /dev/shm && mount -t devpts devpts /dev/pts
mount -t tmpfs -o mode=1777 shm /dev/shm
modprobe bochs; modprobe evdev
for i in $(seq 200); do
    [ -c /dev/fb0 ] && [ -c /dev/input/event0 ] && [ -c /dev/tty1 ] && break; sleep 0.1
done
export HOME=/root LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime MORVANE_PLAYER_LOG=/results/player.log
mkdir -m 700 -p /tmp/runtime
