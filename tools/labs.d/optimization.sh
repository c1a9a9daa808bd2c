# The optimisation explorer and the debugging session, for the demos in optimization/.
# `opt` runs tools/explorer (built as opt_explorer), which compiles its own copies of a
# source at -O0, -O2 and -Os into a scratch folder (the delivered programs stay unoptimised)
# and reports what each source line became, from the compiler's own record.
HELP+="
  opt NAME     what -O0, -O2 and -Os make of each source line of an optimisation demo,
               with a summary; NAME may also be your own FILE.cpp (then --target
               x86-64, arm or i386); --html FILE writes the same as a page
  opt --all    one table over every optimisation demo at -O0 and -O2
  debug optionTest1  stop in main of the ARM debug build (qemu-arm and gdb-multiarch)"

# The catalog's optimisation demos: "NAME TARGET SOURCE", SOURCE the file NAME is built
# from (optionTest4-arm is optionTest4 built for arm).
opt_demos() {
    local name target rest source
    while IFS='|' read -r name target rest; do
        [[ -z "$name" || "$name" == \#* ]] && continue
        source=$name
        [[ -f "$ROOT/optimization/$source.cpp" ]] || source=${name%-"$target"}
        printf '%s %s %s\n' "$name" "$target" "$source"
    done < "$ROOT/catalog/60-optimization.tsv"
}

opt_explorer() {
    "${LABS_BUILD_DIR:-$BUILD/default}/tools/opt_explorer" -I "$ROOT/standins/minmax" "$@"
}

cmd_opt() {
    [[ $# -ge 1 ]] || { usage >&2; exit 2; }
    build
    local name=$1 demo target source targets=() sources=()
    shift
    if [[ $name == --all ]]; then
        local -A seen=()
        while read -r demo target source; do
            [[ -n "${seen[$source]:-}" ]] && seen[$source]+=",$target" || seen[$source]=$target
            [[ " ${sources[*]} " == *" $source "* ]] || sources+=("$source")
        done < <(opt_demos)
        local specs=()
        for source in "${sources[@]}"; do
            specs+=("$source:$ROOT/optimization/$source.cpp:${seen[$source]}")
        done
        opt_explorer --overview "${specs[@]}"
        return
    fi
    if [[ -f "$name" ]]; then
        opt_explorer "$name" "$@"
        return
    fi
    # A demo: every target it is built for; NAME-arm only that one.
    local wanted=
    while read -r demo target source; do
        [[ "$demo" == "$name" ]] && wanted=$source
    done < <(opt_demos)
    if [[ -z "$wanted" ]]; then
        echo "labs: '$name' is neither an optimisation demo (see ./labs list) nor a file" >&2
        exit 1
    fi
    while read -r demo target source; do
        if [[ "$source" == "$wanted" && ("$demo" == "$name" || "$name" == "$wanted") ]]; then
            targets+=(--target "$target")
        fi
    done < <(opt_demos)
    local dir=${LABS_OPT_DIR:-$BUILD/opt}
    mkdir -p "$dir"
    opt_explorer "$ROOT/optimization/$wanted.cpp" --name "$wanted" "${targets[@]}" --scratch "$dir" "$@"
    printf '\nObjects and remarks: %s/%s/\n' "${dir#"$ROOT"/}" "$wanted"
}

# A debugging session on the ARM debug build: qemu-arm runs optionTest1 with its gdb stub
# on a socket in a scratch folder, gdb-multiarch connects, stops in main and shows the
# locals before and after lv3 is assigned. On a terminal gdb then stays open for you;
# otherwise (a script, the tests) the program runs to its end.
cmd_debug() {
    if [[ $# -ne 1 || $1 != optionTest1 ]]; then
        echo "usage: ./labs debug optionTest1   (the ARM debug build)" >&2
        exit 2
    fi
    build
    local program=$BUILD/arm/bin/optionTest1 source=$ROOT/optimization/optionTest1.cpp
    local line scratch qemu waited=0
    [[ -x "$program" ]] || { echo "labs: $program is not built (make build)" >&2; exit 1; }
    line=$(grep -n 'lv3 = 1000;' "$source" | cut -d: -f1)
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/labs-debug.XXXXXX")
    qemu-arm -cpu arm926 -L /usr/arm-linux-gnueabi -g "$scratch/gdb.sock" "$program" &
    qemu=$!
    # shellcheck disable=SC2064 # the values are fixed now, the locals are gone at exit
    trap "kill $qemu 2>/dev/null || true; rm -rf '$scratch'" EXIT
    while [[ ! -S "$scratch/gdb.sock" ]]; do
        if ! kill -0 "$qemu" 2>/dev/null || [[ $waited -ge 100 ]]; then
            echo "labs: qemu-arm did not open its gdb stub" >&2
            exit 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    local -a session=(
        -ex 'set sysroot /usr/arm-linux-gnueabi'
        -ex 'set pagination off'
        -ex "target remote $scratch/gdb.sock"
        -ex 'break main'
        -ex 'continue'
        -ex 'echo \n--- in main, before any local is set ---\n'
        -ex 'info locals'
        -ex "break optionTest1.cpp:$line"
        -ex 'continue'
        -ex 'echo \n--- lv1 and lv2 are set, lv3 is not assigned yet ---\n'
        -ex 'info locals'
        -ex 'next'
        -ex 'echo \n--- after lv3 = 1000 ---\n'
        -ex 'info locals'
    )
    if [[ -t 0 ]]; then
        echo "(gdb stays open: 'next', 'info locals', 'continue', 'quit')"
        gdb-multiarch -q -nx "${session[@]}" "$program"
    else
        gdb-multiarch -q -nx -batch "${session[@]}" -ex 'continue' "$program"
        wait "$qemu"
    fi
}
