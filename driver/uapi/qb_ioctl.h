/*
 * The ioctl commands of the "QB" device, for programs in user space (qbctl and the tests).
 * The module, one source file by design, keeps its own copy of these two lines in
 * driver/qb_ioctl.c; tests/driver/ioctl_numbers_test.cpp fails when the copies differ.
 */
#pragma once

#include <linux/ioctl.h>

#define QB_SPEED_UP _IO('A', 1) /* 0x4101: logs "speed up" */
#define QB_SPEED_DOWN _IO('A', 2) /* 0x4102: logs "speed down" */
