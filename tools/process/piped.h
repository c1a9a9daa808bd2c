// Running a program on pipes: its standard input fed from a string while its standard output
// and error are drained, under a time limit and a cap on how much it may write.
#pragma once

#include "process.h"

#include <csignal>
#include <cstddef>
#include <string>

namespace process
{

struct PipedOptions {
    std::string input;                        // written to standard input, which is then closed
    std::chrono::milliseconds timeout{20000}; // then its group is killed
    std::size_t stopAfterOutput = 0;          // once standard output holds this much, stopSignal
    int stopSignal = SIGTERM;
    std::size_t outputLimit = 64u << 20; // past this much output in all, SIGKILL
    std::string outputFile; // non-empty: standard output goes to this file (e.g. /dev/full)
};

struct Piped {
    std::string out, err; // exact bytes
    Ending ending;
    bool stopped = false; // stopped after stopAfterOutput (or outputLimit) bytes
};

// Runs command (whose descriptors 0, 1 and 2 are pipes, except 1 when options name a file)
// to its end: input never blocks on a program busy writing. Throws when it cannot start.
Piped runPiped(Command command, const PipedOptions &options);

} // namespace process
