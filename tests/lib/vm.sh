# Sourced by tests that run Morvane in a small QEMU virtual machine with a
# real framebuffer. No disk image: the VM boots this machine's own Debian
# kernel with a tiny busybox initramfs (built here at test time), mounts this
# machine's root read-only over virtio-9p under a tmpfs overlay, and runs one
# script. A second, writable 9p share carries results out, and QMP (over
# two FIFOs) sends keys and takes screendumps.
#
# Every wait here has a real deadline in milliseconds.

vm_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Microseconds since the epoch, without starting a process.
vm_now_us() { echo "${EPOCHREALTIME/[.,]/}"; }

# Waits up to $1 milliseconds for the command after it to succeed.
vm_wait() {
    local end=$(( $(vm_now_us) + $1 * 1000 )); shift
    until "$@" >/dev/null 2>&1; do
        (( $(vm_now_us) >= end )) && return 1
        sleep 0.1
    done
}

# The newest kernel in /boot whose modules are installed: installing
# linux-image-amd64 on a machine that runs another kernel leaves both.
vm_kernel() {
    local k version best=
    for k in /boot/vmlinuz-*; do
        version=${k#/boot/vmlinuz-}
        [ -r "$k" ] && [ -d "/lib/modules/$version/kernel" ] || continue
        best+="$version"$'\n'
    done
    best=$(printf '%s' "$best" | sort -V | tail -n 1)
    [ -n "$best" ] || return 1
    echo "$best"
}

# Modules the initramfs loads, in order, to mount 9p shares and an overlay.
vm_modules=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci
            netfs fscache 9pnet 9pnet_virtio 9p overlay)

# vm_initramfs VERSION FILE: writes the initramfs for kernel VERSION to FILE.
vm_initramfs() {
    local version=$1 out=$2 tree m path
    tree=$(mktemp -d "$(dirname "$out")/initramfs-XXXXXX") || return 1
    mkdir -p "$tree/bin" "$tree/modules"
    cp /bin/busybox "$tree/bin/busybox" || { rm -rf "$tree"; return 1; }
    if readelf -l /bin/busybox 2>/dev/null | grep -q "program interpreter"; then
        echo "vm: /bin/busybox is not static (install busybox-static)" >&2; rm -rf "$tree"; return 1
    fi
    install -m 755 "$vm_lib/vm-init.sh" "$tree/init"
    : >"$tree/modules.order"
    for m in "${vm_modules[@]}"; do
        path=$(sed -n "s|^\(.*/$m\.ko[.a-z]*\):.*|\1|p" "/lib/modules/$version/modules.dep" | head -n 1)
        if [ -z "$path" ]; then
            # Built into this kernel: nothing to load.
            grep -q "/$m.ko" "/lib/modules/$version/modules.builtin" 2>/dev/null && continue
            echo "vm: module $m not found for $version" >&2; rm -rf "$tree"; return 1
        fi
        path=/lib/modules/$version/$path
        case $path in
            *.ko.xz) xz -dc "$path" >"$tree/modules/$m.ko" ;;
            *.ko.zst) zstd -qdc "$path" >"$tree/modules/$m.ko" ;;
            *.ko.gz) gzip -dc "$path" >"$tree/modules/$m.ko" ;;
            *) cp "$path" "$tree/modules/$m.ko" ;;
        esac || { rm -rf "$tree"; return 1; }
        echo "$m" >>"$tree/modules.order"
    done
    (cd "$tree" && find . | /bin/busybox cpio -o -H newc 2>/dev/null) >"$out"
    local status=$?
    rm -rf "$tree"
    return $status
}

vm_qemu_pid=
vm_qmp_reader=
vm_qmp_fd=
vm_qmp_id=0

# vm_start DIR KERNEL INITRAMFS RESULTS SCRIPT [KERNEL ARGS...]
# Boots the VM in the background. DIR gets console.log (the VM's serial
# console), qemu.log and the QMP FIFOs; RESULTS is shared writable as
# /results; SCRIPT (a path on this machine) runs as the VM's init.
vm_start() {
    local dir=$1 kernel=$2 initrd=$3 results=$4 script=$5; shift 5
    local accel=(-accel tcg -smp 2)
    # KVM where it is asked for and works; Debian's kernel does not boot
    # under every nested KVM, so it is not the default.
    if [ "${MORVANE_VM_KVM:-0}" = 1 ] && [ -w /dev/kvm ]; then accel=(-accel kvm -cpu host -smp 2); fi
    rm -f "$dir/qmp.in" "$dir/qmp.out" "$dir/qmp.log"
    mkfifo "$dir/qmp.in" "$dir/qmp.out" || return 1
    : >"$dir/console.log"
    qemu-system-x86_64 "${accel[@]}" -m 1024 -nodefaults -no-reboot \
        -vga std -display none \
        -kernel "$kernel" -initrd "$initrd" \
        -append "console=ttyS0 panic=-1 quiet loglevel=4 video=640x480 vm.run=$script $*" \
        -serial "file:$dir/console.log" \
        -chardev "pipe,id=qmp,path=$dir/qmp" -mon chardev=qmp,mode=control \
        -fsdev "local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap" \
        -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
        -fsdev "local,id=results,path=$results,security_model=none" \
        -device virtio-9p-pci,fsdev=results,mount_tag=results \
        >"$dir/qemu.log" 2>&1 &
    vm_qemu_pid=$!
    # Both ends opened read-write: opening a FIFO so never blocks, whatever
    # QEMU does.
    exec {vm_qmp_fd}<>"$dir/qmp.in"
    cat <>"$dir/qmp.out" >"$dir/qmp.log" &
    vm_qmp_reader=$!
    vm_qmp_dir=$dir
    vm_qmp_id=0
    vm_qmp '"qmp_capabilities"'
}

vm_running() { [ -n "$vm_qemu_pid" ] && kill -0 "$vm_qemu_pid" 2>/dev/null; }

# vm_qmp '"command"' ['ARGUMENTS-JSON']: runs one QMP command and waits up to
# 10 s for its answer; fails on an error answer.
vm_qmp() {
    local id=$((++vm_qmp_id))
    printf '{"execute": %s%s, "id": %d}\n' "$1" "${2:+, \"arguments\": $2}" "$id" >&"$vm_qmp_fd" || return 1
    vm_wait 10000 grep -qF "\"id\": $id}" "$vm_qmp_dir/qmp.log" || return 1
    ! grep -F "\"id\": $id}" "$vm_qmp_dir/qmp.log" | grep -qF '"error"'
}

# vm_key NAME...: presses and releases each key in turn (QEMU key names:
# down, ret, f1, ...), 80 ms apart.
vm_key() {
    local k
    for k do
        vm_qmp '"send-key"' "{\"keys\": [{\"type\": \"qcode\", \"data\": \"$k\"}], \"hold-time\": 50}" || return 1
        sleep 0.08
    done
}

# vm_shot FILE.png: the VM's screen as a PNG.
vm_shot() {
    local ppm="${1%.png}.ppm"
    rm -f "$ppm"
    vm_qmp '"screendump"' "{\"filename\": \"$ppm\"}" || return 1
    convert "$ppm" "$1" && rm -f "$ppm"
}

# Ends QEMU (if still running) and the QMP reader; safe to call twice.
vm_stop() {
    if [ -n "$vm_qemu_pid" ]; then
        kill "$vm_qemu_pid" 2>/dev/null
        wait "$vm_qemu_pid" 2>/dev/null
        vm_qemu_pid=
    fi
    if [ -n "$vm_qmp_reader" ]; then
        kill "$vm_qmp_reader" 2>/dev/null
        wait "$vm_qmp_reader" 2>/dev/null
        vm_qmp_reader=
    fi
    if [ -n "$vm_qmp_fd" ]; then
        exec {vm_qmp_fd}>&-
        vm_qmp_fd=
    fi
}
