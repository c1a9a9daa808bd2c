# shellcheck shell=bash
# The optimisation explorer, for the demos in optimization/.
# `opt` runs tools/explorer (built as opt_explorer), which compiles its own copies of a
# source at -O0, -O2 and -Os into a scratch folder (the delivered programs stay unoptimised)
# and reports what each source line became, from the compiler's own record.
HELP+="
  opt NAME     what -O0, -O2 and -Os make of each source line of an optimisation demo,
               with a summary; NAME may also be your own FILE.cpp (then --target
               x86-64, arm or i386); --html FILE writes the same as a page
  opt --all    one table over every optimisation demo at -O0 and -O2"

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
    "$BUILD_DIR/tools/opt_explorer" -I "$ROOT/standins/minmax" "$@"
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
