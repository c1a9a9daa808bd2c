# shellcheck shell=bash
# ./labs bench: how the examples compare with real peers, as ratios from one run.
# Every figure sets two sides against each other in the same run, alternating which goes
# first over several rounds, and reports the median ratio: never an absolute time.
HELP+="
  bench        compare the array, the pipe reader and caseconv with real peers; time the
               explorer and the test loop"

# Nanoseconds the command takes.
bench_nanoseconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $((end - start))
}

# The median of the numbers given.
bench_median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# bench_ratio ROUNDS OURS_FUNCTION PEER_FUNCTION: median of peer time / our time.
bench_ratio() {
    local rounds=$1 ours=$2 peer=$3 round ratios=() a p
    for ((round = 0; round < rounds; round++)); do
        if ((round % 2 == 0)); then
            a=$(bench_nanoseconds "$ours"); p=$(bench_nanoseconds "$peer")
        else
            p=$(bench_nanoseconds "$peer"); a=$(bench_nanoseconds "$ours")
        fi
        ratios+=("$(awk -v a="$a" -v p="$p" 'BEGIN { printf "%.3f", p / a }')")
    done
    bench_median "${ratios[@]}"
}

bench_verdict() { # RATIO TARGET
    awk -v r="$1" -v t="$2" 'BEGIN { print (r >= t) ? "met" : "NOT met" }'
}

bench_seconds() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e9 }'; }

# bench_timed LABEL NANOSECONDS LIMIT: a time in seconds against its limit.
bench_timed() {
    awk -v l="$1" -v n="$2" -v t="$3" \
        'BEGIN { printf "%-34s %6.1f s   target <= %g s: %s\n", l, n / 1e9, t, (n <= t * 1e9) ? "met" : "NOT met" }'
}

# bench_fifo READER...: READER reading 512 MiB from ./myfifo; the pipe reader and dd read
# 1023 bytes at a time.
bench_fifo() {
    (cd "$BENCH_DIR" && { head -c 512M /dev/zero > myfifo & "$@" > /dev/null; wait; })
}
bench_fifo_ours() { bench_fifo "$BIN/ex04-2"; }
bench_fifo_dd() { bench_fifo dd if=myfifo bs=1023 status=none; }
bench_fifo_cat() { bench_fifo cat myfifo; }

# The VM scenario: one boot of the lab's VM running every kernel-module scenario, to power-off.
bench_vm_scenario() {
    "$BUILD_DIR/tests/driver_vm_test" --gtest_filter="DriverVm.*:InTheVm/*"
}

# A source of 5,000 small functions, each with a loop, a global array and a call.
bench_many_functions() {
    local i
    printf '#include <cstdio>\nint g[64];\n'
    for ((i = 0; i < 5000; i++)); do
        printf 'int f%d(int x) { int s = 0; for (int k = 0; k < x; ++k) s += g[(k + %d) & 63] * %d;' \
            "$i" "$i" $((i % 7 + 2))
        printf ' if (s > %d) puts("big"); return s; }\n' "$i"
    done
    printf 'int main() { return f0(3) + f4999(5); }\n'
}

bench_caseconv_ours() { "$BIN/caseconv" < "$BENCH_DIR/text" > /dev/null; }
bench_caseconv_tr() { tr 'A-Za-z' 'a-zA-Z' < "$BENCH_DIR/text" > /dev/null; }

cmd_bench() {
    build
    scratch_dir BENCH_DIR

    echo "== Dynamic array =="
    local array_report array_met
    array_report=$("$BUILD_DIR/bench/array_bench" "$LIB/libarray_srh.so")
    printf '%s\n' "$array_report"
    array_met=$(grep -o 'on [0-9] of 4' <<<"$array_report")

    echo
    echo "== Named-pipe reader: 512 MiB through ./myfifo, output to /dev/null (median of 5) =="
    mkfifo "$BENCH_DIR/myfifo"
    local dd_ratio cat_ratio
    dd_ratio=$(bench_ratio 5 bench_fifo_ours bench_fifo_dd)
    cat_ratio=$(bench_ratio 3 bench_fifo_ours bench_fifo_cat)
    printf '%-34s %6sx   target >= 0.9x: %s\n' "ex04-2 vs dd bs=1023" "$dd_ratio" "$(bench_verdict "$dd_ratio" 0.9)"
    printf '%-34s %6sx   (cat reads 128 KiB at a time; no 1023-byte reader can keep up)\n' \
        "ex04-2 vs cat" "$cat_ratio"
    rm -f "$BENCH_DIR/myfifo"

    echo
    echo "== caseconv: 256 MiB of text, one character at a time (median of 3) =="
    # yes ends with a broken pipe once head has enough: that is how it is meant to stop.
    yes 'Hello, World 123 - the Quick brown FOX' | head -c 256M > "$BENCH_DIR/text" || true
    local tr_ratio
    tr_ratio=$(bench_ratio 3 bench_caseconv_ours bench_caseconv_tr)
    printf '%-34s %6sx   (the character-at-a-time loop is the lesson; this is its cost)\n' \
        "caseconv vs tr" "$tr_ratio"

    echo
    echo "== Optimisation explorer =="
    local all_ns explorer_timing explorer_ratio
    "$ROOT/labs" opt --all > /dev/null # warm: built, and the compilers' files in the cache
    all_ns=$(bench_nanoseconds "$ROOT/labs" opt --all)
    bench_timed "./labs opt --all (warm)" "$all_ns" 5
    bench_many_functions > "$BENCH_DIR/many.cpp"
    # The explorer's own account: its compiler runs (three levels, with the optimisation
    # record) against everything, reading included.
    explorer_timing=$("$BUILD_DIR/tools/opt_explorer" "$BENCH_DIR/many.cpp" \
        --facts --timing 2>&1 >/dev/null | tail -n 1)
    explorer_ratio=$(awk '{ printf "%.2f", ($2 + $5) / $2 }' <<<"$explorer_timing")
    printf '%-34s %6sx   target <= 2x the compiler: %s (%s)\n' "5,000 functions, explorer/compiler" \
        "$explorer_ratio" "$(awk -v r="$explorer_ratio" 'BEGIN { print (r <= 2) ? "met" : "NOT met" }')" \
        "$explorer_timing"

    echo
    echo "== Developer loop (warm) =="
    local test_ns vm_ns=""
    test_ns=$(bench_nanoseconds make -s -C "$ROOT" test)
    bench_timed "make test" "$test_ns" 60
    if [[ -x "$BUILD_DIR/tests/driver_vm_test" ]]; then
        vm_ns=$(bench_nanoseconds bench_vm_scenario)
        bench_timed "VM scenario, boot to power-off" "$vm_ns" 10
    fi
    echo
    printf 'summary: array >= 1.0x GPtrArray %s; pipe reader %sx dd (>= 0.9x: %s); caseconv %sx tr;' \
        "$array_met" "$dd_ratio" "$(bench_verdict "$dd_ratio" 0.9)" "$tr_ratio"
    printf ' explorer --all %s s, %sx the compiler on 5,000 functions;' "$(bench_seconds "$all_ns")" "$explorer_ratio"
    printf ' make test %s s' "$(bench_seconds "$test_ns")"
    [[ -z "$vm_ns" ]] || printf '; VM scenario %s s' "$(bench_seconds "$vm_ns")"
    printf '\n'
}
