# After harness.sh: a QEMU VM booting a Debian kernel and root (9p, no disk image); `key` and
# `shot` over QMP.
vm_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) qmp_id=0

# vm_initramfs DIR [ROOT]: the VM boots ROOT (this machine's / by default), its newest kernel with
# modules (vm_kernel; an -arm64 one makes an arm64 VM); DIR/initramfs.cpio: busybox, 9p, overlay.
vm_initramfs() {
    local tree=$1/initramfs m path v
    vm_root=${2:-/} && vm_modules=$vm_root/lib/modules && vm_kernel=
    for v in $(ls "$vm_modules" | sort -V); do
        [ -r "$vm_root/boot/vmlinuz-$v" ] && vm_kernel=$v
    done
    [ "$vm_kernel" ] && mkdir -p "$tree/bin" "$tree/modules" || return 1
    cp "$vm_root/bin/busybox" "$tree/bin/" && install -m 755 "$vm_lib/vm-init.sh" "$tree/init"
    for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs \
        fscache 9pnet 9pnet_virtio 9p overlay; do
        path=$(sed -n "s|^\(.*/$m\.ko[.a-z]*\):.*|\1|p" "$vm_modules/$vm_kernel/modules.dep")
        path=${path%%$'\n'*}
        if [ -z "$path" ]; then
            grep -q "/$m.ko" "$vm_modules/$vm_kernel/modules.builtin" && continue || return 1
        fi
        case $path in *.xz) xz -dc ;; *.zst) zstd -qdc ;; *.gz) gzip -dc ;; *) cat ;; esac \
            <"$vm_modules/$vm_kernel/$path" >"$tree/modules/$m.ko" || return 1
        echo "$m" >>"$tree/modules.order"
    done
    (cd "$tree" && find . | /bin/busybox cpio -o -H newc 2>/dev/null) >"$1/initramfs.cpio"
}

# vm_start DIR SHARE SCRIPT [TAG=PATH...]: SHARE is /results, SCRIPT init; each PATH shared as TAG.
# PC or arm64 `virt` board; TCG, or KVM (MORVANE_VM_KVM=1; fails nested).
vm_start() {
    local accel=(-accel tcg) machine=(qemu-system-x86_64 -vga std) console=ttyS0 share
    [ "${MORVANE_VM_KVM:-0}" = 1 ] && [ -w /dev/kvm ] && accel=(-accel kvm -cpu host)
    [[ $vm_kernel == *-arm64 ]] && console=ttyAMA0 machine=(qemu-system-aarch64 -M virt
        -cpu cortex-a72 -device bochs-display -device virtio-keyboard-pci)
    rm -f "$1"/qmp.* && mkfifo "$1/qmp.in" "$1/qmp.out" && : >"$1/console.log" || return 1
    for share in "hostroot=$vm_root,readonly=on" "results=$2" "${@:4}"; do
        machine+=(-device "virtio-9p-pci,fsdev=${share%%=*},mount_tag=${share%%=*}" -fsdev
            "local,id=${share%%=*},path=${share#*=},security_model=none,multidevs=remap")
    done
    "${machine[@]}" "${accel[@]}" -smp 2 -m 1024 -nodefaults -no-reboot -display none \
        -kernel "$vm_root/boot/vmlinuz-$vm_kernel" -initrd "$1/initramfs.cpio" \
        -append "console=$console panic=-1 quiet loglevel=4 video=640x480 vm.run=$3" \
        -serial "file:$1/console.log" -chardev "pipe,id=qmp,path=$1/qmp" \
        -mon chardev=qmp,mode=control >"$1/qemu.log" 2>&1 &
    vm_pid=$! && started+=($!) logs+=("$1/console.log" "$1/qemu.log")
    exec {qmp_fd}<>"$1/qmp.in" # both FIFO ends opened read-write: never blocks, whatever QEMU does
    cat <>"$1/qmp.out" >"$1/qmp.log" & started+=($!) qmp_log=$1/qmp.log
    qmp '"qmp_capabilities"'
}
vm_running() { kill -0 "$vm_pid" 2>/dev/null; }
# vm_boot DIR SHARE SCRIPT [TAG=PATH...]: vm_start until SCRIPT touches SHARE/booted; a boot over
# MORVANE_VM_BOOT_MS is tried once more.
vm_boot() {
    local attempt booted=$2/booted
    for attempt in 1 2; do
        step "booting the VM (kernel $vm_kernel, attempt $attempt)"
        vm_start "$@" || fail "QEMU did not start"
        wait_ms "${MORVANE_VM_BOOT_MS:-90000}" eval '[ -e "$booted" ] || ! vm_running'
        [ -e "$booted" ] && return
        cp "$1/console.log" "$shots/console-attempt$attempt.log" && kill "$vm_pid" && wait "$vm_pid"
    done
    fail "the VM did not boot, twice"
}

# qmp '"COMMAND"' [ARGUMENTS-JSON]: one QMP command, answered without error within 10 s.
qmp() {
    local id=$((++qmp_id))
    printf '{"execute": %s%s, "id": %d}\n' "$1" "${2:+, \"arguments\": $2}" "$id" >&"$qmp_fd" ||
        return
    wait_ms 10000 grep -qF "\"id\": $id}" "$qmp_log" || return
    ! grep -F "\"id\": $id}" "$qmp_log" | grep -qF '"error"'
}
# key NAME...: QEMU key names (down, ret, f1), 80 ms apart.
key() {
    local k keys
    for k; do
        keys="{\"keys\": [{\"type\": \"qcode\", \"data\": \"$k\"}], \"hold-time\": 50}"
        qmp '"send-key"' "$keys" && sleep 0.08 || return
    done
}
shot() {
    rm -f "$work/s.ppm" && vm_running || return
    qmp '"screendump"' "{\"filename\": \"$work/s.ppm\"}" && convert "$work/s.ppm" "$1"
}

# Screen checks of the 640x480 framebuffer. shot_until MS TEST: screendumps into $work/s.png until
# TEST holds for one; each costs the VM CPU time.
shot_until() { wait_ms "$1" eval "shot $work/s.png && $2 $work/s.png || ! sleep 0.3"; }
# The list covers the screen: white under its rows ("..", clip.avi) drawn at the top.
list_drawn() {
    set -- $(stats "$1" 600x330+20+90) $(stats "$1" 300x44+0+26)
    above "$1" 0.97 && above "$5" 0.1
}
osd_shown() {
    set -- $(stats "$1" 640x54+0+0) $(stats "$1" 640x54+0+426)
    above "$3" 0.5 || above "$6" 0.5
}
# After F2 all but the rows (clip.avi is the current one now) is the list as first seen.
list_whole() {
    list_drawn "$1" || return
    for r in 640x26+0+0 640x410+0+70; do
        [ "$(print_of "$1" $r)" = "$(print_of "$shots/list.png" $r)" ] || return
    done
}

# vm_session STATUS INI: Morvane on the VM's console, writing $out, with clip.avi in $media: its
# list on /dev/fb0; Down and Enter play the clip moving in its 16:9 shape; F1 shows the on-screen
# display, F2 the whole list again; F4 ends it with status 0 (the file STATUS) and LASTDIR=$media
# stored in the settings file INI.
vm_session() {
    step "seeing the list on the framebuffer"
    wait_ms 120000 printed "file:clip.avi" || fail "Morvane did not list clip.avi"
    shot_until 30000 list_drawn && cp "$work/s.png" "$shots/list.png" || fail "no list on screen"
    local on="Morvane is running on the framebuffer /dev/fb0 with the keyboard /dev/input/event0"
    [[ $(head -n 1 "$out") == "$on"* ]] || fail "not on /dev/fb0"
    step "playing clip.avi with Down and Enter: a moving 16:9 picture"
    key down ret || fail "QMP did not take the keys"
    wait_ms 60000 play_run clip.avi "[-vo] [fbdev2:/dev/fb0]" || fail "no player on /dev/fb0"
    shot_until 90000 "shape 640x480 16/9" && cp "$work/s.png" "$shots/playing.png" ||
        fail "no 16:9 picture: $(shape 640x480 16/9 "$work/s.png")"
    moves 1.2 600x300+20+90 || fail "the picture does not move"
    step "switching the on-screen display with F1"
    key f1 && shot_until 30000 osd_shown || fail "F1 showed nothing over the picture"
    step "stopping with F2"
    key f2 && shot_until 30000 list_whole || fail "the list did not come back whole"
    step "quitting with F4"
    key f4 && wait_ms 30000 grep -qx 0 "$1" || fail "no status 0 within 30 s of F4: $(cat "$1")"
    grep -qxF "LASTDIR=$media" "$2" || fail "LASTDIR=$media is not on disk"
}
