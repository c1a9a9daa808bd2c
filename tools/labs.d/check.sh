# ./labs check: someone else's build of a deliverable, run through the collection's own
# test cases for it (tools/check/cases.tsv says which), with a PASS or FAIL line per case.
HELP+="
  check NAME PATH [--junit FILE]
               run the collection's tests of NAME against someone else's build PATH
               (a program built for NAME's target or a record library, or its C or C++
               sources, which are built first); --junit FILE writes a JUnit report
  check qb_ioctl FILE.ko|FOLDER
               the kernel module (or its Kbuild folder) through the guest scenarios in the VM
  check --dir DIR      every deliverable found in DIR by its file name
  check --class DIR [--csv FILE]
               each folder in DIR is one student's: a table of passed/total per deliverable;
               --timeout SECONDS: how long each run may take (10)"

check_usage() {
    echo "labs check: $1 (usage: ./labs check NAME PATH [--junit FILE] | --dir DIR | --class DIR [--csv FILE])" >&2
    exit 2
}

# The names ./labs check knows and the file each is built as: "NAME FILE" lines.
check_names() {
    grep -v -e '^#' -e '^$' "$ROOT/tools/check/cases.tsv" | while IFS='|' read -r name kind _; do
        printf '%s %s\n' "$name" "${kind#*:}"
    done
}

# The deliverables in DIR, by file name: "NAME PATH" lines (a file named after the catalog
# name, or after the program it is built as).
check_found() {
    local dir=$1 name file
    while read -r name file; do
        if [[ -f "$dir/$name" ]]; then
            printf '%s %s\n' "$name" "$dir/$name"
        elif [[ "$file" != "$name" && -f "$dir/$file" ]] && ! grep -q "^$file " < <(check_names); then
            printf '%s %s\n' "$name" "$dir/$file"
        fi
    done < <(check_names)
}

# The machine an ELF file is built for, as readelf names it ("" for anything else).
check_machine() {
    { LC_ALL=C readelf -h "$1" 2>/dev/null || true; } | sed -n 's/^ *Machine: *//p'
}

cmd_check() {
    local name= path= junit= dir= class= csv= entry kind file patterns sources=()
    while [[ $# -gt 0 ]]; do
        case $1 in
            --junit) [[ $# -ge 2 ]] || check_usage "--junit needs a file"; junit=$2; shift 2 ;;
            --dir) [[ $# -ge 2 ]] || check_usage "--dir needs a folder"; dir=$2; shift 2 ;;
            --class) [[ $# -ge 2 ]] || check_usage "--class needs a folder"; class=$2; shift 2 ;;
            --csv) [[ $# -ge 2 ]] || check_usage "--csv needs a file"; csv=$2; shift 2 ;;
            --timeout)
                [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || check_usage "--timeout needs a number of seconds"
                export LABS_CHECK_TIMEOUT=$2
                shift 2
                ;;
            -*) check_usage "unknown option '$1'" ;;
            *)
                if [[ -z "$name" ]]; then name=$1; else sources+=("$1"); fi
                shift
                ;;
        esac
    done
    if [[ -n "$dir" ]]; then
        [[ -d "$dir" ]] || check_usage "$dir: no such folder"
        check_dir "$dir"
        return
    fi
    if [[ -n "$class" ]]; then
        [[ -d "$class" ]] || check_usage "$class: no such folder"
        check_class "$class" "$csv"
        return
    fi
    [[ -n "$name" && ${#sources[@]} -gt 0 ]] || check_usage "name a deliverable and a build of it"
    path=${sources[0]}
    [[ ${#sources[@]} -eq 1 || "$path" == *.c || "$path" == *.cpp ]] || check_usage "too many arguments"
    entry=$(grep -v '^#' "$ROOT/tools/check/cases.tsv" | grep -m1 "^$name|" || true)
    [[ -n "$entry" ]] || check_usage "no checks for '$name' (see ./labs list)"
    IFS='|' read -r _ kind patterns <<<"$entry"
    file=${kind#*:}
    kind=${kind%%:*}
    if [[ $kind == ko ]]; then
        check_module "$name" "$file" "$path" "$junit"
        return
    fi
    local source
    for source in "${sources[@]}"; do
        [[ -f "$source" ]] || check_usage "$source: no such file"
    done
    local built=
    if [[ "$path" == *.c || "$path" == *.cpp ]]; then
        built=$(mktemp -d "${TMPDIR:-/tmp}/labs-check-build.XXXXXX")
        # shellcheck disable=SC2064 # the folder's name is fixed now
        trap "rm -rf '$built'" EXIT
        check_compile "$kind" "$file" "$built/$file" "${sources[@]}" || return 1
        path=$built/$file
    fi
    local machine wanted
    machine=$(check_machine "$path")
    case $kind in
        bin | lib) wanted="Advanced Micro Devices X86-64" ;;
        arm) wanted="ARM" ;;
        i386) wanted="Intel 80386" ;;
    esac
    [[ -n "$machine" ]] || check_usage "$path is not an ELF program"
    [[ "$machine" == "$wanted" ]] || check_usage "$path is built for $machine, $name needs $wanted"

    build
    local build_dir=${LABS_BUILD_DIR:-$BUILD/default} scratch
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/labs-check.XXXXXX")
    # shellcheck disable=SC2064 # the folder's name is fixed now
    trap "rm -rf '$scratch' ${built:+'$built'}" EXIT
    # The build under test is a copy in a scratch folder that anyone may read and run.
    cp "$path" "$scratch/$file"
    chmod 755 "$scratch" "$scratch/$file"
    # No network for the whole run (a library is loaded into the test programs themselves),
    # and under root every program the tests start runs as nobody.
    local isolated=() sandbox=()
    unshare -n true 2>/dev/null && isolated=(unshare -n)
    # (ex04-2's cases make the pipe it reads as the user who runs them, so it keeps that
    # user, without network all the same.)
    local nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    if [[ $(id -u) -eq 0 && $name != ex04-2 ]]; then
        # Programs of ours load their libraries from the build folder: nobody must reach it.
        if "${nobody[@]}" test -r "$build_dir/lib"; then
            sandbox=("${nobody[@]}")
        else
            echo "labs check: nobody cannot read $build_dir, so the code under test runs as" \
                "$(id -un) (still without network)" >&2
        fi
    fi
    # A library is found in the scratch folder before ours.
    local library_path=${LD_LIBRARY_PATH:-}
    [[ $kind == lib ]] && library_path=$scratch${library_path:+:$library_path}
    mkdir "$scratch/work"
    chmod 777 "$scratch/work"
    LABS_CHECK="$kind:$file=$scratch/$file" LABS_CHECK_SANDBOX="${sandbox[*]}" \
        LABS_CHECK_FOLDER="$scratch/work" \
        LABS_CHECK_TIMEOUT=${LABS_CHECK_TIMEOUT:-10} LD_LIBRARY_PATH=$library_path \
        "${isolated[@]}" ctest --test-dir "$build_dir" -R "$patterns" -j "$(nproc)" --timeout 120 \
        --output-on-failure --output-junit "$scratch/junit.xml" >"$scratch/ctest.log" 2>&1 || true
    # The report names the suite after what was checked.
    [[ -z "$junit" ]] || sed "s|<testsuite name=\"(empty)\"|<testsuite name=\"labs check $name\"|" \
        "$scratch/junit.xml" >"$junit"
    check_report "$scratch/ctest.log"
}

# Builds sources the way the project builds that deliverable: the target's compiler and
# instruction-set flags (from the toolchain files), C++20, debug information, no
# optimisation. A build error is reported with the compiler's messages.
check_compile() {
    local kind=$1 file=$2 output=$3
    shift 3
    local compiler=g++ flags=() toolchain
    case $kind in
        arm) toolchain=$ROOT/cmake/toolchains/arm-linux-gnueabi.cmake ;;
        i386) toolchain=$ROOT/cmake/toolchains/i686-linux-gnu.cmake ;;
    esac
    if [[ -n "${toolchain:-}" ]]; then
        compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER \([^)]*\))/\1/p' "$toolchain")
        read -r -a flags <<<"$(sed -n 's/^set(CMAKE_CXX_FLAGS_INIT "\([^"]*\)")/\1/p' "$toolchain")"
    fi
    [[ "$1" == *.c && $# -eq 1 ]] && compiler=${compiler%++}cc
    local language=(-std=c++20)
    [[ "$1" == *.c ]] && language=(-x c -std=c17)
    local libraries=()
    # A record library is built as ours are: no start-up code, no library of its own
    # (libmember names libvecbox), only its operations exported.
    if [[ $kind == lib ]]; then
        flags+=(-fPIC -shared -fvisibility=hidden -fno-exceptions -fno-rtti -nostdlib
                -I "$ROOT/array" -I "$ROOT/member" -I "$ROOT/common" -I "$ROOT/standins/vecbox")
        [[ "$file" == libmember.so ]] && libraries=(-L "${LABS_BUILD_DIR:-$BUILD/default}/lib" -lvecbox)
    fi
    [[ "$file" == optionTest7 ]] && libraries=(-I "$ROOT/standins/minmax" -L "${LABS_BUILD_DIR:-$BUILD/default}/lib" -lminmax -Wl,-z,now)
    [[ "$kind" == arm || "$kind" == i386 ]] && flags+=(-fno-exceptions)
    local log
    log=$(mktemp)
    if ! "$compiler" "${language[@]}" "${flags[@]}" -O0 -g -Wall -Wextra "$@" -o "$output" \
        "${libraries[@]}" >"$log" 2>&1; then
        echo "labs check: the build failed:"
        cat "$log"
        rm -f "$log"
        echo "0 passed, 1 failed"
        return 1
    fi
    rm -f "$log"
}

# The kernel module: a .ko built for the lab's kernel, or a folder with its Kbuild file and C
# sources, built here against the lab's kernel headers as ours is (W=1 C=2). It is tried
# only in the lab's VM, with the guest scenarios and the fuzzer of the project's own module;
# a VM that hangs or panics ends within the boot's time limit with its console and kernel log.
check_module() {
    local name=$1 file=$2 path=$3 junit=$4 release scratch
    release=$("$ROOT/vmlab/kernel-version")
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/labs-check.XXXXXX")
    # shellcheck disable=SC2064 # the folder's name is fixed now
    trap "rm -rf '$scratch'" EXIT
    if [[ -d "$path" ]]; then
        [[ -f "$path/Kbuild" ]] || check_usage "$path has no Kbuild file"
        if ! "$ROOT/vmlab/build-module" "$path" "$scratch/build" 2>"$scratch/build.log"; then
            echo "labs check: the build failed:"
            cat "$scratch/build.log"
            echo "0 passed, 1 failed"
            return 1
        fi
        path=$(find "$scratch/build" -maxdepth 1 -name '*.ko' | head -n 1)
    fi
    [[ -f "$path" ]] || check_usage "$path: no such file"
    local magic
    source "$ROOT/vmlab/kernel.sh"
    magic=$(module_release "$path" 2>/dev/null) || check_usage "$path is not a kernel module"
    [[ "$magic" == "$release" ]] || check_usage "$path is built for kernel $magic, the lab runs $release"
    build
    local build_dir=${LABS_BUILD_DIR:-$BUILD/default}
    cp "$path" "$scratch/$file"
    mkdir -p "$scratch/logs"
    VMLAB_MODULE=$scratch/$file VMLAB_LOGS=$scratch/logs \
        "$build_dir/tests/driver_vm_test" --gtest_filter='DriverVm.*:InTheVm/*:DriverFuzz.*' \
        --gtest_output="xml:$scratch/junit.xml" >"$scratch/gtest.log" 2>&1 || true
    [[ -z "$junit" ]] || cp "$scratch/junit.xml" "$junit"
    if [[ ! -s "$scratch/junit.xml" ]]; then
        cat "$scratch/gtest.log"
        echo "0 passed, 1 failed"
        return 1
    fi
    check_gtest_report "$scratch/junit.xml"
}

# The same report from a test program's own XML report (the guest's output that a failed
# case carries is detail, not cases of its own): PASS or FAIL per case, what a failed case
# said, the count.
check_gtest_report() {
    awk '
        function attribute(line, key,    start) {
            if (!match(line, key "=\"[^\"]*\"")) return ""
            return substr(line, RSTART + length(key) + 2, RLENGTH - length(key) - 3)
        }
        /<testcase / {
            name = attribute($0, "classname") "." attribute($0, "name")
            failing = 0; detail = ""; inside = 0
            if ($0 ~ /\/>[ \t]*$/) { print "PASS " name; passed++; name = "" }
            next
        }
        /<failure / { failing = 1; inside = 1; sub(/.*<!\[CDATA\[/, ""); }
        inside && /\]\]><\/failure>/ { sub(/\]\]><\/failure>.*/, ""); if ($0 != "") detail = detail "    " $0 "\n"; inside = 0; next }
        inside { detail = detail "    " $0 "\n"; next }
        /<\/testcase>/ && name != "" {
            if (failing) { print "FAIL " name; printf "%s", detail; failed++ } else { print "PASS " name; passed++ }
            name = ""
        }
        END {
            printf "%d passed, %d failed\n", passed, failed
            exit (failed > 0 || passed == 0) ? 1 : 0
        }' "$1"
}

# PASS or FAIL with the case's name for each case ctest ran, the output of each failed
# case under its line, and the count at the end; status 0 only when every case passed.
check_report() {
    awk '
        function flush() { if (failing != "") { printf "%s", detail; failing = ""; detail = "" } }
        /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: / {
            flush()
            line = $0
            sub(/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: /, "", line)
            name = line
            sub(/ \.+.*$/, "", name)
            if (line ~ /\.\.\.+ +Passed/) { print "PASS " name; passed++ }
            else { print "FAIL " name; failed++; failing = name }
            next
        }
        /^[0-9]+% tests passed/ || /^The following tests FAILED/ || /^Total Test time/ { flush(); stop = 1 }
        failing != "" && !stop && !/^Running main\(\)|^Note: Google Test filter|^\[==========\]|^\[----------\]|^\[ RUN|^\[  PASSED|^\[  FAILED|FAILED TEST$|^ *Start +[0-9]+:|^ *$/ {
            detail = detail "    " $0 "\n"
        }
        END {
            flush()
            printf "%d passed, %d failed\n", passed, failed
            exit (failed > 0 || passed == 0) ? 1 : 0
        }' "$1"
}

# Every deliverable found in a folder, one after the other, then the count over all.
check_dir() {
    local dir=$1 name path passed=0 failed=0 report status=0
    report=$(mktemp)
    while read -r name path; do
        printf '=== %s (%s)\n' "$name" "$path"
        (cmd_check "$name" "$path") | tee "$report" || status=1
        local last
        last=$(tail -n 1 "$report")
        passed=$((passed + ${last%% passed*}))
        failed=$((failed + $(sed -n 's/.* passed, \([0-9]*\) failed/\1/p' <<<"$last")))
    done < <(check_found "$dir")
    rm -f "$report"
    printf '%d passed, %d failed\n' "$passed" "$failed"
    [[ $status == 0 && $((passed + failed)) -gt 0 ]]
}

# One row per student folder, one column per deliverable any of them has: passed/total.
# A student's crash, hang or endless output fails that student's cases only.
check_class() {
    local class=$1 csv=$2 student name path names=() row last
    while read -r name _; do
        for student in "$class"/*/; do
            if check_found "$student" | grep -q "^$name "; then
                names+=("$name")
                break
            fi
        done
    done < <(check_names)
    [[ ${#names[@]} -gt 0 ]] || check_usage "no deliverable found in the folders of $class"
    local table
    table=$(mktemp)
    { printf 'student'; printf ',%s' "${names[@]}"; printf '\n'; } >"$table"
    for student in "$class"/*/; do
        row=$(basename "$student")
        for name in "${names[@]}"; do
            path=$(check_found "$student" | sed -n "s/^$name //p")
            if [[ -z "$path" ]]; then
                row+=",-"
                continue
            fi
            last=$( (cmd_check "$name" "$path" 2>/dev/null || true) | tail -n 1)
            if [[ "$last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
                row+=",${BASH_REMATCH[1]}/$((BASH_REMATCH[1] + BASH_REMATCH[2]))"
            else
                row+=",error"
            fi
        done
        printf '%s\n' "$row" >>"$table"
    done
    column -s, -t <"$table"
    [[ -z "$csv" ]] || cp "$table" "$csv"
    rm -f "$table"
}
