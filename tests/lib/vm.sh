# After harness.sh: a QEMU VM booting a Debian kernel and root over 9p; `key` and `shot` by QMP.
qmp_id=0

# vm_initramfs DIR [ROOT]: DIR/initramfs.cpio to boot ROOT (/ by default) with its newest kernel.
vm_initramfs() {
    local tree=$1/initramfs m path dep
    vm_root=${2:-/}
    vm_kernel=$(ls "$vm_root/boot" | sed -n 's/^vmlinuz-//p' | sort -V | tail -n 1)
    dep=$vm_root/lib/modules/$vm_kernel/modules.dep
    [ "$vm_kernel" ] && mkdir -p "$tree/bin" "$tree/modules" || return 1
    cp "$vm_root/bin/busybox" "$tree/bin/" && install "${BASH_SOURCE%/*}/vm-init.sh" "$tree/init"
    # Debian 12's kernels have these built in (virtio on arm64) or as modules, not compressed.
    for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs \
        fscache 9pnet 9pnet_virtio 9p overlay; do
        grep -q "/$m\.ko$" "${dep%/*}/modules.builtin" && continue
        path=$(grep -o "^[^:]*/$m\.ko:" "$dep") && cp "${dep%/*}/${path%:}" "$tree/modules/$m.ko" &&
            echo "$m" >>"$tree/modules.order" || return 1
    done
    (cd "$tree" && find . | /bin/busybox cpio -o -H newc 2>/dev/null) >"$1/initramfs.cpio"
}

# vm_boot DIR SHARE SCRIPT [TAG=PATH...]: SHARE is /results, SCRIPT init; a boot is tried twice.
vm_boot() {
    local machine=(qemu-system-x86_64 -vga std) console=ttyS0 share attempt booted=$2/booted
    [[ $vm_kernel == *-arm64 ]] && console=ttyAMA0 machine=(qemu-system-aarch64 -M virt
        -cpu cortex-a72 -device bochs-display -device virtio-keyboard-pci)
    for share in "hostroot=$vm_root,readonly=on" "results=$2" "${@:4}"; do
        machine+=(-device "virtio-9p-pci,fsdev=${share%%=*},mount_tag=${share%%=*}" -fsdev
            "local,id=${share%%=*},path=${share#*=},security_model=none,multidevs=remap")
    done
    for attempt in 1 2; do
        step "booting the VM, attempt $attempt"
        rm -f "$1"/qmp.* && mkfifo "$1/qmp.in" "$1/qmp.out" && : >"$1/console.log" || fail "no FIFO"
        "${machine[@]}" -accel tcg -smp 2 -m 1024 -nodefaults -no-reboot -display none \
            -kernel "$vm_root/boot/vmlinuz-$vm_kernel" -initrd "$1/initramfs.cpio" \
            -append "console=$console panic=-1 quiet loglevel=4 video=640x480 vm.run=$3" \
            -serial "file:$1/console.log" -chardev "pipe,id=qmp,path=$1/qmp" \
            -mon chardev=qmp,mode=control >"$1/qemu.log" 2>&1 &
        vm_pid=$! && started+=($!) logs+=("$1/console.log" "$1/qemu.log")
        exec {qmp_fd}<>"$1/qmp.in" # read-write: never blocks, whatever QEMU does
        cat <>"$1/qmp.out" >"$1/qmp.log" & started+=($!) qmp_log=$1/qmp.log
        qmp '"qmp_capabilities"' || fail "QEMU did not start"
        wait_ms 90000 eval '[ -e "$booted" ] || ! vm_running'
        [ -e "$booted" ] && return
        kill "$vm_pid" && wait "$vm_pid"
    done
    fail "the VM did not boot"
}
vm_running() { kill -0 "$vm_pid" 2>/dev/null; }

# qmp '"COMMAND"' [ARGUMENTS]: answered without error within 10 s.
qmp() {
    local id=$((++qmp_id))
    printf '{"execute": %s%s, "id": %d}\n' "$1" "${2:+, \"arguments\": $2}" "$id" >&"$qmp_fd" ||
        return
    wait_ms 10000 grep -qF "\"id\": $id}" "$qmp_log" || return
    ! grep -F "\"id\": $id}" "$qmp_log" | grep -qF '"error"'
}
# key NAME...: QEMU key names (down, ret, f1).
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

# shot_until MS TEST: screendumps into $work/s.png until TEST holds for one.
shot_until() { wait_ms "$1" eval "shot $work/s.png && $2 $work/s.png || ! sleep 0.3"; }
