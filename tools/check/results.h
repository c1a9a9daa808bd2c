// What one checked case came to, read from a test program's JSON report, and the report
// people read: a line per case, the failures with capped detail, the count, the notes.
#pragma once

#include "table.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace check
{

struct Outcome {
    Case what;
    bool ran = false; // the test program reported on it
    bool passed = false;
    bool skipped = false;
    bool used = false;   // it ran (or loaded) the build under check
    std::string detail;  // the failure messages, or why there is no result
    std::string lastRun; // the last run of the build: arguments, input, ending
    std::string unsafe;  // the first run that crashed, hung or flooded
};

// The outcomes of cases from a gtest JSON report (cases it does not mention are left alone).
void readReport(const std::string &json, std::map<std::string, Outcome *> &byName);

struct Tally {
    int passed = 0, failed = 0, notes = 0;
};

// How a case counts: a failure of the grade, a note beside it, or neither.
enum class Verdict { pass, fail, note, skip, unused };
Verdict verdictOf(const Outcome &outcome, bool strict);

// Text cut to a readable size: at most maxLines lines of at most maxWidth bytes each,
// with what was left out said.
std::string capped(const std::string &text, std::size_t maxLines = 40, std::size_t maxWidth = 240);

// Writes the report of one deliverable's outcomes and returns its tally.
Tally report(std::ostream &out, const std::vector<Outcome> &outcomes, bool strict);

} // namespace check
