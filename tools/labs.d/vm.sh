# shellcheck shell=bash
# The kernel module's lab: a shell in a small virtual machine (Debian's own kernel under
# qemu) with qb_ioctl loaded, its node /dev/qb made and the client qbctl at hand.
HELP+="
  vm [KERNEL]  a shell in a small VM (Debian's kernel under qemu) with qb_ioctl loaded;
               with standard input not a terminal, runs its lines there as a script and
               shows each command, its output and the kernel log lines it caused; the
               exit status is the script's (its last command's, as with sh). KERNEL is
               --series 5.10|6.1|6.12 (Debian's cloud kernel of that series; 6.1, the
               lab's own, is the default; the others are fetched first, once, about 80 MB),
               --debug-kernel (KASAN, UBSAN, lockdep, ...; built first if need be, once
               per machine, about 12 minutes) or --kernel IMAGE --kdir DIR (any bzImage,
               with qb_ioctl built against DIR, the tree or headers it was built with).
               ./labs run qb_ioctl --series S and ./labs check qb_ioctl ... --series S
               (or VMLAB_SERIES=S in the environment) choose the series there"

# vm_series COMMAND [SERIES]: checks the value of COMMAND's --series option (a kernel series
# the lab offers), fetches that series when it is missing and has the VM boot it for what the
# command runs (VMLAB_SERIES, in place of any kernel the environment names); says what is
# wrong otherwise.
vm_series() {
    [[ $# -ge 2 ]] || {
        echo "labs $1: --series needs one of: $("$ROOT/vmlab/fetch-series" --list | paste -sd' ')" >&2
        return 2
    }
    "$ROOT/vmlab/fetch-series" "$2" >/dev/null || return 2
    export VMLAB_SERIES=$2
    unset VMLAB_KERNEL VMLAB_KDIR VMLAB_DEBUG_KERNEL
}

cmd_vm() {
    local kernel=()
    while [[ $# -gt 0 ]]; do
        case "$1" in
            --debug-kernel)
                "$ROOT/vmlab/debug-kernel/build" >/dev/null || return 1
                kernel+=(--debug-kernel)
                shift
                ;;
            -h | --help)
                echo "usage: ./labs vm [--series SERIES | --debug-kernel | --kernel IMAGE --kdir DIR] [< SCRIPT]"
                echo "kernel series on offer (Debian's cloud kernels; 6.1 is the default):" \
                    "$("$ROOT/vmlab/fetch-series" --list | paste -sd' ')"
                return 0
                ;;
            --series | --kernel | --kdir)
                [[ $1 != --series ]] || vm_series vm "${@:2}" || return 2
                [[ $# -ge 2 ]] || { echo "labs vm: $1 needs a value" >&2; return 2; }
                kernel+=("$1" "$2")
                shift 2
                ;;
            *) echo "labs vm: unknown option '$1' (see ./labs help)" >&2; return 2 ;;
        esac
    done
    "$ROOT/vmlab/boot" --check "${kernel[@]}" || return 2
    # Typed lines would run only once Ctrl-D ends them, their output going elsewhere: not
    # what anyone at a terminal expects, so say what works instead.
    if [[ -t 0 && ! -t 1 ]]; then
        echo "labs vm: the shell needs standard output on the terminal too; for a script," \
            "give its lines on standard input (./labs vm < FILE > OUTPUT)" >&2
        return 2
    fi
    build
    if [[ -t 0 ]]; then
        "$ROOT/vmlab/boot" --shell --build "$BUILD_DIR" "${kernel[@]}"
        return
    fi
    echo "labs vm: standard input is not a terminal: its lines run as a script in the VM;" \
        "the transcript follows once the VM is off." >&2
    local vm_folder
    scratch_dir vm_folder
    cat >"$vm_folder/lines"
    "$ROOT/vmlab/boot" --run "$ROOT/vmlab/guest/script" --add "$vm_folder/lines" \
        --build "$BUILD_DIR" "${kernel[@]}"
}
