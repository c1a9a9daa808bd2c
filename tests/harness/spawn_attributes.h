// The attributes every program the harness starts is spawned with: a process group of its
// own, so that a stop reaches wrappers and what they started, and SIGPIPE at its default
// action, whatever the harness itself does with it.
#pragma once

#include <csignal>
#include <spawn.h>

namespace harness
{

struct SpawnAttributes {
    posix_spawnattr_t value;

    SpawnAttributes()
    {
        posix_spawnattr_init(&value);
        posix_spawnattr_setflags(&value, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
        posix_spawnattr_setpgroup(&value, 0);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&value, &defaults);
    }
    ~SpawnAttributes()
    {
        posix_spawnattr_destroy(&value);
    }
    SpawnAttributes(const SpawnAttributes &) = delete;
    SpawnAttributes &operator=(const SpawnAttributes &) = delete;
};

} // namespace harness
