# The optimisation explorer, for the demos in optimization/.
# `opt` compiles its own copies of a demo at several levels into a scratch folder (the
# delivered programs stay unoptimised) and compares what the compiler made of each.
HELP+="
  opt NAME     compile an optimisation demo at -O0, -O2 and -Os and show what changed
  opt --all    one table over every optimisation demo at -O0 and -O2"

OPT_PROGRAMS=(optionTest1_globals optionTest1 optionTest2 optionTest4 optionTest5 optionTest6
              optionTest7 globalVarOpt lowCostOp)

# The targets a demo is built for.
opt_targets() {
    case $1 in
        optionTest1_globals) echo i386 ;;
        optionTest1) echo arm ;;
        optionTest4) echo x86-64 arm ;;
        optionTest2 | optionTest5 | optionTest6 | optionTest7 | globalVarOpt | lowCostOp) echo x86-64 ;;
        *) return 1 ;;
    esac
}

# A binutils or compiler program for a target: g++, objdump, nm.
opt_tool() {
    case $1 in
        x86-64) echo "$2" ;;
        arm) echo "arm-linux-gnueabi-$2" ;;
        i386) echo "i686-linux-gnu-$2" ;;
    esac
}

# The same instruction-set flags as the toolchain files in cmake/toolchains/.
opt_flags() {
    case $1 in
        arm) echo "-march=armv5t -marm -mfloat-abi=soft" ;;
        i386) echo "-march=i386" ;;
    esac
}

# Compiles NAME for TARGET at LEVEL into DIR and leaves there the object (.o), its
# disassembly (.dis) and the facts the comparison reads (.facts).
opt_compile() {
    local name=$1 target=$2 level=$3 dir=$4
    local base=$dir/$target$level flags
    flags=$(opt_flags "$target")
    # shellcheck disable=SC2086 # the flags are separate words
    "$(opt_tool "$target" g++)" -std=c++20 -fno-exceptions $flags "$level" \
        -I"$ROOT/standins/minmax" -c "$ROOT/optimization/$name.cpp" -o "$base.o"
    "$(opt_tool "$target" nm)" -C -S --defined-only "$base.o" > "$base.nm"
    "$(opt_tool "$target" objdump)" -d -r -C --no-show-raw-insn "$base.o" > "$base.dis"
    awk -v symbols="$base.nm" -v target="$target" -f "$ROOT/tools/labs.d/optimization.awk" \
        "$base.dis" > "$base.facts"
}

opt_dir() {
    local dir=${LABS_OPT_DIR:-$BUILD/opt}/$1
    mkdir -p "$dir"
    printf '%s\n' "$dir"
}

opt_check_name() {
    if ! opt_targets "$1" > /dev/null; then
        echo "labs: '$1' is not an optimisation demo (one of: ${OPT_PROGRAMS[*]})" >&2
        exit 1
    fi
}

# fact FILE FUNCTION FIELD: one fact of one function, or "" when the function is absent.
opt_fact() {
    awk -v fn="$2" -v field="$3" '$1 == "fact" && $2 == fn {
        for (i = 3; i < NF; i += 2) if ($i == field) print $(i + 1) }' "$1"
}

# The demo's functions the explorer looks at, in the order main, f1, f2.
opt_functions() {
    local fn
    for fn in main f1 f2; do
        grep -q "^fact $fn " "$1" && printf '%s\n' "$fn"
    done
    return 0
}

# The globals an object defines (data symbols in the .nm listing).
opt_globals() {
    awk 'NF >= 4 && $3 ~ /^[BDGSC]$/ { print $4 }' "$1" | tr '\n' ' '
}

cmd_opt() {
    [[ $# -eq 1 ]] || { usage >&2; exit 2; }
    if [[ $1 == --all ]]; then
        opt_all
        return
    fi
    local name=$1 target level dir
    opt_check_name "$name"
    dir=$(opt_dir "$name")
    for target in $(opt_targets "$name"); do
        for level in -O0 -O2 -Os; do
            opt_compile "$name" "$target" "$level" "$dir"
        done
        opt_show "$name" "$target" "$dir"
    done
    printf '\nObjects and disassembly: %s/\n' "${dir#"$ROOT"/}"
}

# The comparison of one demo on one target: facts per function and level, the
# instructions side by side, and a one-line summary.
opt_show() {
    local name=$1 target=$2 dir=$3 fn level facts
    printf '=== %s on %s: -O0, -O2, -Os ===\n' "$name" "$target"
    printf '%-8s %-5s %6s %6s %5s %15s %8s %8s %7s %6s  %s\n' function level bytes insns loop \
        globals-in-loop stack-st divides shifts masks calls
    for fn in $(opt_functions "$dir/$target-O0.facts"); do
        for level in -O0 -O2 -Os; do
            facts=$dir/$target$level.facts
            awk -v fn="$fn" -v level="$level" '$1 == "fact" && $2 == fn {
                for (i = 3; i < NF; i += 2) v[$i] = $(i + 1)
                printf "%-8s %-5s %6d %6d %5s %15d %8d %8d %7d %6d  %s\n", fn, level, v["bytes"],
                    v["insns"], v["loop"] ? "yes" : "no", v["loopglobal"], v["stack"],
                    v["divides"], v["shifts"], v["masks"], v["calls"] }' "$facts"
        done
    done
    for fn in $(opt_functions "$dir/$target-O0.facts"); do
        printf '\n--- %s at -O0 | -O2 | -Os ---\n' "$fn"
        opt_side_by_side "$fn" "$dir/$target-O0.facts" "$dir/$target-O2.facts" "$dir/$target-Os.facts"
    done
    printf '\nsummary (%s): %s\n\n' "$target" "$(opt_summary "$name" "$target" "$dir")"
}

# The instructions of one function at three levels in three columns.
opt_side_by_side() {
    local fn=$1
    shift
    awk -v fn="$fn" -v width=38 '
        FNR == 1 { file++ }
        $1 == "asm" && $2 == fn {
            line = $0
            sub(/^asm [^ ]+ /, "", line)
            gsub(/[ \t]+/, " ", line)
            rows[file, ++count[file]] = line
            if (count[file] > most) most = count[file]
        }
        END {
            for (r = 1; r <= most; r++) {
                out = ""
                for (f = 1; f <= 3; f++) {
                    cell = ((f, r) in rows) ? rows[f, r] : ""
                    if (length(cell) > width - 1) cell = substr(cell, 1, width - 2) "~"
                    out = out sprintf(f < 3 ? "%-" width "s" : "%s", cell)
                }
                sub(/ +$/, "", out)
                print out
            }
        }' "$@"
}

# What changed, in words, from the facts of -O0, -O2 and -Os.
opt_summary() {
    local name=$1 target=$2 dir=$3 fn
    local o0=$dir/$target-O0.facts o2=$dir/$target-O2.facts os=$dir/$target-Os.facts
    local -a said=()
    local source=$ROOT/optimization/$name.cpp

    for fn in $(opt_functions "$o0"); do
        said+=("$fn $(opt_fact "$o0" "$fn" bytes) -> $(opt_fact "$o2" "$fn" bytes) bytes at -O2, $(opt_fact "$os" "$fn" bytes) at -Os")
    done
    for fn in $(opt_functions "$o0"); do
        local per_pass later
        per_pass=$(opt_fact "$o0" "$fn" loopglobal)
        later=$(opt_fact "$o2" "$fn" loopglobal)
        if [[ $(opt_fact "$o0" "$fn" loop) == 1 && $(opt_fact "$o2" "$fn" loop) == 0 ]]; then
            if [[ $per_pass -gt 0 ]]; then
                said+=("$fn loads or stores $(opt_fact "$o0" "$fn" uses | tr ',' ' ') $per_pass times in each pass of its loop at -O0, none at -O2 (the loop is gone: $(opt_fact "$o2" "$fn" globals) access in all)")
            else
                said+=("$fn's loop is gone at -O2")
            fi
        elif [[ $per_pass -gt 0 && $later -eq 0 ]]; then
            said+=("$fn's loop no longer loads or stores a global at -O2")
        fi
    done
    # Calls into the demo's own functions that vanish were inlined.
    local callee
    for fn in $(opt_functions "$o0"); do
        for callee in $(opt_fact "$o0" "$fn" calls | tr ',' ' '); do
            [[ -n "$(opt_fact "$o0" "$callee" bytes)" ]] || continue
            if [[ ",$(opt_fact "$o2" "$fn" calls)," != *",$callee,"* ]]; then
                said+=("$fn no longer calls $callee at -O2 (inlined)")
            fi
        done
    done
    local stores0 stores2
    stores0=$(opt_fact "$o0" main stack)
    stores2=$(opt_fact "$o2" main stack)
    if [[ $stores0 -gt 0 && $stores2 -eq 0 ]]; then
        said+=("main keeps no local on the stack at -O2 ($stores0 stack stores at -O0)")
    elif [[ $stores0 -gt $stores2 ]]; then
        said+=("main's stores to the stack drop from $stores0 to $stores2 at -O2")
    fi
    local divides=0 level
    for level in "$o0" "$o2" "$os"; do
        divides=$((divides + $(opt_fact "$level" main divides)))
    done
    if grep -Eq '[A-Za-z0-9_)] [/%] [0-9]' "$source" && [[ $divides -eq 0 ]]; then
        said+=("no divide instruction at any level: division and remainder by a power of two are shifts and masks even at -O0")
    fi
    local bits0 bits2
    bits0=$(($(opt_fact "$o0" main shifts) + $(opt_fact "$o0" main masks)))
    bits2=$(($(opt_fact "$o2" main shifts) + $(opt_fact "$o2" main masks)))
    if [[ $bits0 -gt 0 && $bits2 -eq 0 ]]; then
        said+=("at -O2 no shift or mask is left: the compiler works the values out and main passes constants")
    fi
    local function_name called
    for function_name in log log2 log10 exp sqrt pow sin cos; do
        grep -Eq "\\b$function_name\\(" "$source" || continue
        called=no
        for level in "$o0" "$o2" "$os"; do
            [[ ",$(opt_fact "$level" main calls)," == *",$function_name,"* ]] && called=yes
        done
        if [[ $called == no ]]; then
            said+=("$function_name is never called: its value is a constant at every level")
        fi
    done
    local used global
    for global in $(opt_globals "$dir/$target-O0.nm"); do
        used=no
        for level in "$o0" "$o2" "$os"; do
            for fn in $(opt_functions "$level"); do
                [[ ",$(opt_fact "$level" "$fn" uses)," == *",$global,"* ]] && used=yes
            done
        done
        [[ $used == no ]] && said+=("$global is never read yet stays at every level (a global another file could use)")
    done
    local kept
    kept=$(opt_fact "$o2" main uses | tr ',' ' ')
    if [[ -n "$kept" && "$kept" != - ]]; then
        said+=("at -O2 main still accesses $kept in memory (globals: another file could read or change them)")
    fi
    local phrase separator=""
    for phrase in "${said[@]}"; do
        printf '%s%s' "$separator" "$phrase"
        separator="; "
    done
}

# One table: every demo, each of its targets, at -O0 and -O2; the facts add up main, f1 and f2.
opt_all() {
    local name target level dir
    printf '%-20s %-6s %-5s %6s %6s %5s %15s %8s %8s %7s %6s  %s\n' program target level bytes insns \
        loops globals-in-loop stack-st divides shifts masks calls-from-main
    for name in "${OPT_PROGRAMS[@]}"; do
        dir=$(opt_dir "$name")
        for target in $(opt_targets "$name"); do
            for level in -O0 -O2; do
                opt_compile "$name" "$target" "$level" "$dir"
                awk -v name="$name" -v target="$target" -v level="$level" '
                    $1 == "fact" {
                        for (i = 3; i < NF; i += 2) {
                            if ($i == "calls" && $2 == "main") calls = $(i + 1)
                            else v[$i] += $(i + 1)
                        }
                    }
                    END {
                        printf "%-20s %-6s %-5s %6d %6d %5d %15d %8d %8d %7d %6d  %s\n", name, target,
                            level, v["bytes"], v["insns"], v["loop"], v["loopglobal"], v["stack"],
                            v["divides"], v["shifts"], v["masks"], calls
                    }' "$dir/$target$level.facts"
            done
        done
    done
}
