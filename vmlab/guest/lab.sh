# shellcheck shell=sh
# Shell functions the lab's guest scripts share (sourced, busybox sh).

# Prints the kernel log lines that arrived since the last call, indented under the command.
log_seen=$(dmesg | wc -l)
new_log() {
    dmesg | tail -n +$((log_seen + 1)) | sed 's/^\[[^]]*\] /    kernel: /'
    log_seen=$(dmesg | wc -l)
}

# Shows a command as typed: the lines after its first behind "> ", as the shell prompts.
show_command() {
    printf '%s\n' "$*" | sed '1s/^/qb-vm# /;2,$s/^/> /'
}

# Shows a command as typed, runs it, then shows its exit status (when not 0) and the kernel
# log lines it caused. Returns the command's status.
step() {
    show_command "$*"
    eval "$*"
    step_status=$?
    [ "$step_status" = 0 ] || echo "(exit status $step_status)"
    new_log
    return "$step_status"
}

# Loads qb_ioctl and makes its node /dev/qb for the major number the load logged.
qb_up() {
    step insmod /lab/qb_ioctl.ko || return 1
    qb_major=$(dmesg | sed -n 's/.*major number=\([0-9][0-9]*\)$/\1/p' | tail -n 1)
    step mknod /dev/qb c "$qb_major" 0
}
