# shellcheck shell=bash
# ./labs check: someone else's build of a deliverable, run through the collection's own test
# cases for it in a sandbox (tools/check/ is the checker; tests/check/cases.tsv says which
# cases check what, and of what kind each is).
HELP+="
  check NAME PATH... [--strict] [--junit FILE]
               run the collection's tests of NAME against someone else's build PATH (a
               program built for NAME's target, a record library, or its .c and .cpp
               sources, which are built first); the count is of the cases the description
               states, with notes where the collection mends it or leaves the choice open
               (--strict counts the mended ones too); --junit FILE writes a JUnit report
  check qb_ioctl FILE.ko|FOLDER [--kernel default|debug|both] [--series SERIES]
               the kernel module (or its Kbuild folder) through the guest scenarios in the
               VM, also on the debugging kernel once it is built; --series: on Debian's
               kernel of that series (see ./labs vm --help) instead of the lab's own
  check --dir DIR [--junit FILE]
               every deliverable found in DIR: a build, NAME.c, NAME.cpp or a folder NAME/
               of sources, named after the deliverable
  check --class DIR [--csv FILE]
               each folder in DIR is one student's: a table of the counts per deliverable;
               --timeout SECONDS: how long each run may take (10)"

cmd_check() {
    local args=()
    while [[ $# -gt 0 ]]; do
        if [[ $1 == --series ]]; then
            vm_series check "${@:2}" || return 2
            shift
        else
            args+=("$1")
        fi
        shift
    done
    build
    LABS_ROOT=$ROOT LABS_BUILD_DIR=$BUILD_DIR "$BUILD_DIR/tools/labs-check" "${args[@]}"
}
