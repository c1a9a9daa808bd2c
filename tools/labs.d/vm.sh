# The kernel module's lab: a shell in a small virtual machine (Debian's own kernel under
# qemu) with qb_ioctl loaded, its node /dev/qb made and the client qbctl at hand.
HELP+="
  vm           a shell in a small VM (Debian's kernel under qemu) with qb_ioctl loaded;
               with standard input not a terminal, runs its lines there as a script"

cmd_vm() {
    build
    local build_dir=${LABS_BUILD_DIR:-$BUILD/default}
    if [[ -t 0 && -t 1 ]]; then
        "$ROOT/vmlab/boot" --shell --build "$build_dir"
        return
    fi
    echo "labs vm: not on a terminal, so there is no interactive shell:" \
        "the lines of standard input run as a script in the VM, shown as they are read." >&2
    local script status=0
    script=$(mktemp)
    { printf '#!/bin/sh\n. /lab/lab.sh\nqb_up || exit 1\nset -v\n'; cat; } >"$script"
    "$ROOT/vmlab/boot" --run "$script" --build "$build_dir" || status=$?
    rm -f "$script"
    return "$status"
}
