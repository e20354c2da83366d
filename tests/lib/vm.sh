# After harness.sh: a QEMU VM booting this machine's kernel and root (9p); `key` and `shot` over QMP.
vm_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) qmp_id=0

# vm_initramfs DIR: vm_kernel, the newest with modules; DIR/initramfs.cpio: busybox, 9p and overlay.
vm_initramfs() {
    local tree=$1/initramfs m path
    vm_kernel=$(ls /lib/modules | sort -V | while read -r v; do [ -r "/boot/vmlinuz-$v" ] && echo "$v"; done | tail -n 1) && [ "$vm_kernel" ] || return 1
    mkdir -p "$tree/bin" "$tree/modules" && cp /bin/busybox "$tree/bin/" && install -m 755 "$vm_lib/vm-init.sh" "$tree/init"
    for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs fscache 9pnet 9pnet_virtio 9p overlay; do
        path=$(sed -n "s|^\(.*/$m\.ko[.a-z]*\):.*|\1|p" "/lib/modules/$vm_kernel/modules.dep" | head -n 1)
        [ -n "$path" ] || { grep -q "/$m.ko" "/lib/modules/$vm_kernel/modules.builtin" && continue; return 1; }
        case $path in *.xz) xz -dc ;; *.zst) zstd -qdc ;; *.gz) gzip -dc ;; *) cat ;; esac \
            <"/lib/modules/$vm_kernel/$path" >"$tree/modules/$m.ko" && echo "$m" >>"$tree/modules.order" || return 1
    done
    (cd "$tree" && find . | /bin/busybox cpio -o -H newc 2>/dev/null) >"$1/initramfs.cpio"
}

# vm_start DIR SHARE SCRIPT: SHARE is /results, SCRIPT init. KVM (MORVANE_VM_KVM=1) fails nested.
vm_start() {
    local accel=(-accel tcg)
    [ "${MORVANE_VM_KVM:-0}" = 1 ] && [ -w /dev/kvm ] && accel=(-accel kvm -cpu host)
    rm -f "$1"/qmp.* && mkfifo "$1/qmp.in" "$1/qmp.out" && : >"$1/console.log" || return 1
    qemu-system-x86_64 "${accel[@]}" -smp 2 -m 1024 -nodefaults -no-reboot -vga std -display none \
        -kernel "/boot/vmlinuz-$vm_kernel" -initrd "$1/initramfs.cpio" -serial "file:$1/console.log" \
        -append "console=ttyS0 panic=-1 quiet loglevel=4 video=640x480 vm.run=$3" \
        -chardev "pipe,id=qmp,path=$1/qmp" -mon chardev=qmp,mode=control \
        -fsdev "local,id=host,path=/,security_model=none,readonly=on,multidevs=remap" -device virtio-9p-pci,fsdev=host,mount_tag=hostroot \
        -fsdev "local,id=res,path=$2,security_model=none" -device virtio-9p-pci,fsdev=res,mount_tag=results \
        >"$1/qemu.log" 2>&1 &
    vm_pid=$! && started+=($!) logs+=("$1/console.log" "$1/qemu.log")
    exec {qmp_fd}<>"$1/qmp.in" # both FIFO ends opened read-write: never blocks, whatever QEMU does
    cat <>"$1/qmp.out" >"$1/qmp.log" & started+=($!) qmp_log=$1/qmp.log
    qmp '"qmp_capabilities"'
}
vm_running() { kill -0 "$vm_pid" 2>/dev/null; }

# qmp '"COMMAND"' [ARGUMENTS-JSON]: one QMP command, answered without error within 10 s.
qmp() {
    local id=$((++qmp_id))
    printf '{"execute": %s%s, "id": %d}\n' "$1" "${2:+, \"arguments\": $2}" "$id" >&"$qmp_fd" || return 1
    wait_ms 10000 grep -qF "\"id\": $id}" "$qmp_log" && ! grep -F "\"id\": $id}" "$qmp_log" | grep -qF '"error"'
}
# key NAME...: QEMU key names (down, ret, f1), 80 ms apart.
key() { for k; do qmp '"send-key"' "{\"keys\": [{\"type\": \"qcode\", \"data\": \"$k\"}], \"hold-time\": 50}" && sleep 0.08 || return; done; }
shot() { rm -f "$work/s.ppm"; vm_running && qmp '"screendump"' "{\"filename\": \"$work/s.ppm\"}" && convert "$work/s.ppm" "$1"; }

# vm_boot SHARE GUEST: vm_initramfs and vm_start until GUEST has touched SHARE/booted; a boot over MORVANE_VM_BOOT_MS is retried once.
vm_boot() {
    vm_initramfs "$work" || fail "no initramfs (install linux-image-amd64 and busybox-static)"
    local attempt && vm_share=$1
    for attempt in 1 2; do
        step "booting the VM (kernel $vm_kernel, attempt $attempt)"
        vm_start "$work" "$1" "$2" || fail "QEMU did not start"
        wait_ms "${MORVANE_VM_BOOT_MS:-90000}" eval '[ -e "$vm_share/booted" ] || ! vm_running'
        [ -e "$1/booted" ] && return
        cp "$work/console.log" "$shots/console-attempt$attempt.log" && kill "$vm_pid" && wait "$vm_pid"
    done
    fail "the VM did not boot, twice"
}
# shot_until MS TEST: screendumps into $work/s.png until TEST holds for one; each costs the VM CPU time.
shot_until() { wait_ms "$1" eval "shot $work/s.png && $2 $work/s.png || ! sleep 0.3"; }
# The list covers the 640x480 screen: white under its rows drawn at the top.
list_drawn() { set -- $(stats "$1" 600x330+20+90) $(stats "$1" 300x44+0+26); above "$1" 0.97 && above "$5" 0.1; }
