# shellcheck shell=bash
# Debugging sessions on the 32-bit debug builds of optimization/: the program runs under
# qemu-user with its gdb stub on a socket, gdb-multiarch connects, stops in main and shows
# the locals before and after lv3 is assigned, and the globals.
HELP+="
  debug optionTest1          stop in main of the ARM debug build (qemu-arm and gdb-multiarch)
  debug optionTest1_globals  the same on the i386 debug build (qemu-i386 and gdb-multiarch)"

# The number of the one source line that assigns lv3 its value.
debug_assign_line() {
    local lines
    lines=$(grep -n 'lv3 = 1000;' "$1" | cut -d: -f1)
    if [[ -z "$lines" || "$lines" == *$'\n'* ]]; then
        echo "labs: no single line 'lv3 = 1000;' in $1" >&2
        return 1
    fi
    printf '%s\n' "$lines"
}

# A session on a debug build. On a terminal gdb stays open after the session's steps;
# otherwise (a script, the tests) the program runs to its end.
cmd_debug() {
    local target sysroot program
    local -a emulator
    case "$#:${1:-}" in
        1:optionTest1) target=arm ;;
        1:optionTest1_globals) target=i386 ;;
        *)
            echo "usage: ./labs debug optionTest1           (the ARM debug build)" >&2
            echo "       ./labs debug optionTest1_globals   (the i386 debug build)" >&2
            exit 2
            ;;
    esac
    build
    # The emulator, the sysroot gdb loads the target's C library from, and the program, as
    # the build's targets.tsv has them.
    program=$(target_field "$target" folder)/bin/$1 && sysroot=$(target_field "$target" sysroot) &&
        read -ra emulator <<<"$(target_field "$target" emulator)" || exit 1
    [[ -x "$program" ]] || { echo "labs: $program is not built (make build)" >&2; exit 1; }
    debug_session "$sysroot" "$program" "$ROOT/optimization/$1.cpp" "${emulator[@]}"
}

# debug_session SYSROOT PROGRAM SOURCE EMULATOR...: the session on PROGRAM run by the
# EMULATOR command, with gdb taking the target's C library from SYSROOT and the line to
# stop at from SOURCE.
debug_session() {
    local sysroot=$1 program=$2 source_file=$3 line scratch qemu waited=0
    shift 3
    local -a emulator=("$@")
    line=$(debug_assign_line "$source_file") || exit 1
    scratch_dir scratch
    "${emulator[@]}" -g "$scratch/gdb.sock" "$program" &
    qemu=$!
    scratch_pids+=("$qemu")
    while [[ ! -S "$scratch/gdb.sock" ]]; do
        if ! kill -0 "$qemu" 2>/dev/null || [[ $waited -ge 100 ]]; then
            echo "labs: ${emulator[0]} did not open its gdb stub" >&2
            exit 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    local -a session=(
        -ex "set sysroot $sysroot"
        -ex 'set pagination off'
        -ex "target remote $scratch/gdb.sock"
        -ex 'break main'
        -ex 'continue'
        -ex 'echo \n--- in main, before any local is set ---\n'
        -ex 'info locals'
        -ex 'echo \n--- the globals ---\n'
        -ex 'printf "gv1 = %d\n", gv1'
        -ex 'printf "gv2 = %d\n", gv2'
        -ex 'printf "gv3 = %d\n", gv3'
        -ex "break ${source_file##*/}:$line"
        -ex 'continue'
        -ex 'echo \n--- lv1 and lv2 are set, lv3 is not assigned yet ---\n'
        -ex 'info locals'
        -ex 'next'
        -ex 'echo \n--- after lv3 = 1000 ---\n'
        -ex 'info locals'
    )
    if [[ -t 0 ]]; then
        echo "(gdb stays open: 'next', 'info locals', 'continue', 'quit')"
        trap : INT # Ctrl-C is gdb's here: it interrupts the program, not the session
        gdb-multiarch -q -nx "${session[@]}" "$program"
    else
        gdb-multiarch -q -nx -batch "${session[@]}" -ex 'continue' "$program"
        wait "$qemu"
    fi
}
