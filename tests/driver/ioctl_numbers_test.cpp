// The module's ioctl commands (its #define lines, copied out of driver/qb_ioctl.c by the build
// as MODULE_QB_...) are the ones the header for user space gives (driver/uapi/qb_ioctl.h).
#include "module_ioctl_numbers.h"
#include "qb_ioctl.h"

#include <gtest/gtest.h>

TEST(IoctlNumbers, TheModuleAndTheUserSpaceHeaderAgree)
{
#if defined(MODULE_QB_SPEED_UP) && defined(MODULE_QB_SPEED_DOWN)
    EXPECT_EQ(MODULE_QB_SPEED_UP, QB_SPEED_UP);
    EXPECT_EQ(MODULE_QB_SPEED_DOWN, QB_SPEED_DOWN);
    EXPECT_NE(QB_SPEED_UP, QB_SPEED_DOWN);
#else
    FAIL() << "driver/qb_ioctl.c no longer defines QB_SPEED_UP and QB_SPEED_DOWN";
#endif
}
