// Running a program on a pseudo-terminal, and telling when it waits for a line typed there.
#pragma once

#include <string>
#include <sys/types.h>
#include <termios.h>

namespace process
{

// A pseudo-terminal that echoes and hands over whole lines, and changes no byte on the way,
// both ends closed on exec: ours is where the program's output is read and its input typed,
// theirs is what the program gets. A size of 0 rows leaves the terminal's size unset.
// Throws when none can be had.
struct Terminal {
    int ours = -1;
    int theirs = -1;
};
Terminal openTerminal(unsigned short rows = 0, unsigned short columns = 0);

// Whether the process is in a read of its standard input (x86-64: system call 0 with first
// argument 0), and how many reads it had completed before that one. The count tells a new
// read from the one just answered, which still shows until the process runs again. It is
// taken before and after the look at the system call and must not change in between:
// otherwise a read that ended meanwhile could be taken for the one seen.
struct ReadState {
    long completed = -1;
    bool waiting = false;
};
ReadState readState(pid_t pid);

// Whether a process of the terminal's foreground group sits in a read of its standard
// input, that input being this terminal (a pipeline's later members read a pipe there).
// False where the system does not show what a process is doing.
bool waitingForInput(int terminal);

} // namespace process
