# Shell functions the lab's host scripts share (sourced by bash): which kernel release an
# image, a kernel build tree or a module is for, and whether a tree has module versioning.
# Each prints its answer, or says in one line on standard error what is wrong and fails.

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
    vermagic=$(objcopy -O binary --only-section=.modinfo "$1" /dev/stdout 2>/dev/null |
        tr '\0' '\n' | sed -n 's/^vermagic=//p')
    [[ -n "$vermagic" ]] || { echo "vmlab: $1 is not a kernel module (no vermagic)" >&2; return 1; }
    echo "${vermagic%% *}"
}

# Debian's cloud kernel headers, the lab's default build tree.
default_kdir() {
    local release
    release=$("$(dirname "${BASH_SOURCE[0]}")/kernel-version") || return 1
    echo "/usr/src/linux-headers-$release"
}
