# shellcheck shell=bash
# Shell functions the lab's host scripts share (sourced by bash): which kernel release an
# image, a kernel build tree or a module is for, and whether a tree has module versioning.
# Each prints its answer, or says in one line on standard error what is wrong and fails.

# fail STATUS MESSAGE...: says "vmlab: MESSAGE" on standard error and exits with STATUS.
fail() {
    local status=$1
    shift
    echo "vmlab: $*" >&2
    exit "$status"
}

# The release of a kernel image: the version string the bzImage's setup header points at.
image_release() {
    local image=$1 offset release
    if [[ ! -f "$image" || "$(dd if="$image" bs=1 skip=$((0x202)) count=4 2>/dev/null)" != HdrS ]]; then
        echo "vmlab: $image is not a kernel image (no bzImage header)" >&2
        return 1
    fi
    offset=$(od -An -tu2 -j $((0x20e)) -N2 "$image" | tr -d ' ')
    release=$(dd if="$image" bs=1 skip=$((offset + 0x200)) count=256 2>/dev/null | tr '\0' '\n' |
        head -n 1 | cut -d' ' -f1)
    [[ -n "$release" ]] || { echo "vmlab: $image names no kernel release" >&2; return 1; }
    echo "$release"
}

# The release a kernel build tree or headers folder builds modules for (its utsrelease.h).
kdir_release() {
    local kdir=$1 header=$1/include/generated/utsrelease.h
    if [[ ! -f "$kdir/Makefile" || ! -f "$header" || ! -f "$kdir/.config" ]]; then
        echo "vmlab: $kdir is not a kernel build tree or headers folder (no Makefile," \
            ".config and include/generated/utsrelease.h)" >&2
        return 1
    fi
    sed -n 's/^#define UTS_RELEASE "\(.*\)"$/\1/p' "$header"
}

# "on" when modules built against the tree carry symbol versions, "off" otherwise.
kdir_modversions() {
    grep -q '^CONFIG_MODVERSIONS=y' "$1/.config" && echo on || echo off
}

# The release a module was built for: the first word of its vermagic.
module_release() {
    local vermagic
    vermagic=$(module_vermagic "$1")
    [[ -n "$vermagic" ]] || { echo "vmlab: $1 is not a kernel module (no vermagic)" >&2; return 1; }
    echo "${vermagic%% *}"
}

# choose_kernel DEBUG SERIES: the kernel the lab boots: the debugging kernel (DEBUG 1), the
# image in kernel (with its tree in kdir), Debian's kernel of SERIES (fetched when missing) or
# of the installed headers. Sets kernel (the image), kdir (the tree modules are built
# against) and kernel_name (how messages name it).
# shellcheck disable=SC2034 # kernel_name is for the caller
choose_kernel() {
    local here fetched
    here=$(dirname "${BASH_SOURCE[0]}")
    kernel_name="Debian's kernel"
    if [[ $1 == 1 ]]; then
        kdir=$("$here/debug-kernel/build" --if-built) || {
            echo "vmlab: the debugging kernel is not built yet (build it once: make debug-kernel)" >&2
            return 1
        }
        kernel=$kdir/arch/x86/boot/bzImage
        kernel_name="the debugging kernel"
    elif [[ -n "$kernel" ]]; then
        kernel_name="the kernel"
    elif [[ -n "$2" ]]; then
        fetched=$("$here/fetch-series" "$2") || return 1
        kernel=${fetched%%$'\n'*}
        kdir=${fetched#*$'\n'}
    else
        kernel=$("$here/fetch-kernel") || return 1
    fi
    kdir=${kdir:-$(default_kdir)}
}

# Debian's cloud kernel headers, the lab's default build tree.
default_kdir() {
    local release
    release=$("$(dirname "${BASH_SOURCE[0]}")/kernel-version") || return 1
    echo "/usr/src/linux-headers-$release"
}

# The vermagic of a kernel image: the string a module's own vermagic must equal for the
# kernel to load it (its release, then SMP, preempt, mod_unload, modversions as built),
# without its trailing blank.
# Read from the image's compressed payload; prints nothing when its compression is unknown.
image_vermagic() {
    local image=$1 release setup_sects payload_offset payload_length start decompress
    release=$(image_release "$image") || return 1
    setup_sects=$(od -An -tu1 -j $((0x1f1)) -N1 "$image" | tr -d ' ')
    [[ $setup_sects == 0 ]] && setup_sects=4
    payload_offset=$(od -An -tu4 -j $((0x248)) -N4 "$image" | tr -d ' ')
    payload_length=$(od -An -tu4 -j $((0x24c)) -N4 "$image" | tr -d ' ')
    start=$(((setup_sects + 1) * 512 + payload_offset))
    case "$(od -An -tx1 -j "$start" -N4 "$image" | tr -d ' ')" in
        1f8b*) decompress=(gzip -dc) ;;
        fd377a58) decompress=(xz -dc) ;;
        28b52ffd) decompress=(zstd -dcq) ;;
        02214c18) decompress=(lz4 -dcq) ;;
        5d00*) decompress=(xz --format=lzma -dc) ;;
        425a68*) decompress=(bzip2 -dc) ;;
        *) return 0 ;;
    esac
    command -v "${decompress[0]}" >/dev/null || return 0
    tail -c +$((start + 1)) "$image" | head -c "$payload_length" | "${decompress[@]}" 2>/dev/null |
        strings -a -n 8 | grep -m 1 -E "^${release//./\\.} ((SMP|preempt|PREEMPT_RT|mod_unload|modversions|RANDSTRUCT_[^ ]*) )*$" |
        sed 's/ *$//' || true
}

# The whole vermagic of a module (without the trailing blank the kernel's own has too), from
# readelf's dump of its .modinfo strings.
module_vermagic() {
    { readelf -p .modinfo "$1" 2>/dev/null || true; } |
        sed -n 's/^ *\[ *[0-9a-f]*\]  vermagic=\(.*[^ ]\) *$/\1/p'
}

# Options a kernel release needs under qemu (software emulation, two CPUs each emulated by a
# host thread of its own), found by booting it: Debian's 6.12 kernel crashes early there
# more often than not (a double fault or a warning in the allocator, at a 16-byte
# compare-and-exchange, cmpxchg16b; one host thread for both CPUs crashed it too), and boots
# reliably when the emulated CPU does not offer that instruction (the kernel then does without
# it). The guest keeps its two CPUs running at once, so concurrent callers still overlap.
qemu_cpu_options() {
    case "$1" in
        6.12.*) echo "-cpu qemu64,-cx16" ;;
    esac
}
