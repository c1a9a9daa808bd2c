# shellcheck shell=bash
# The kernel module built for a kernel of one's choice, with the kernel's own build system.
HELP+="
  module build [--kdir DIR]
               builds qb_ioctl.ko (W=1 C=2) against the kernel build tree or headers DIR
               (default: the lab's kernel; this machine's: /lib/modules/\$(uname -r)/build)
               and says where it is, which kernel it is for (its vermagic) and whether it
               carries symbol versions; it loads nothing"

cmd_module() {
    local kdir=
    [[ "${1:-}" == build ]] || { echo "labs module: say 'build' (./labs module build [--kdir DIR])" >&2; return 2; }
    shift
    case "$#:${1:-}" in
        0:) ;;
        2:--kdir) kdir=$2 ;;
        *) echo "labs module build: the only option is --kdir DIR" >&2; return 2 ;;
    esac
    source "$ROOT/vmlab/kernel.sh"
    kdir=$(realpath -q "${kdir:-$(default_kdir)}" || echo "$kdir")
    local release output module
    release=$(kdir_release "$kdir") || return 2
    # The folder the lab's VM takes its module from for this kernel.
    output=$BUILD_DIR/vmlab/modules/$release/qb_ioctl
    "$ROOT/vmlab/build-module" "$ROOT/driver" "$output" --kdir "$kdir" || return 1
    module=$output/qb_ioctl.ko
    echo "module:      $module"
    echo "kernel:      $release (vermagic: $(module_vermagic "$module"))"
    if [[ $(kdir_modversions "$kdir") == on ]]; then
        echo "versioning:  on (the symbol versions of $kdir/Module.symvers are in the module)"
    else
        echo "versioning:  off (the kernel loads it without comparing symbol versions)"
    fi
}
