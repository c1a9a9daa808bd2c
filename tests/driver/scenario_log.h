// One boot of the guest's scenarios read scenario by scenario, on the host: what the guest
// printed for each (its "[ RUN      ]" line up to its verdict) and the first lines of any
// kernel report in its part of the log. A scenario's part of the kernel log runs from its
// mark ("qb-scenario start NAME", written by the guest before it starts) to the next start;
// on the console, where the kernel shows its reports (and nothing else when it crashes), it
// runs from the scenario's "[ RUN      ]" line to the next one.
#pragma once

#include "kernel_log.h"
#include "run_process.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <regex>
#include <string>
#include <vector>

struct ScenarioPart {
    std::string name;      // as the guest runs it, e.g. "QbDevice.OpenAndCloseLogOneLineEach"
    bool finished = false; // the guest printed its verdict
    bool passed = false;   // ... and the verdict was OK
    std::string output;    // the guest's lines from "[ RUN      ]" to its verdict
    std::vector<std::string> report; // the first lines of the first kernel report in its part
};

// The lines of a kernel report quoted at most.
inline constexpr std::size_t reportLinesShown = 15;

namespace scenario_log
{

// The text's lines, without the serial line's carriage returns.
inline std::vector<std::string> splitLines(std::string text)
{
    std::erase(text, '\r');
    return harness::lines(text);
}

// A line the kernel wrote: "[  seconds.micros] text". The text, or "" for any other line.
inline std::string kernelText(const std::string &line)
{
    static const std::regex stamped(R"(^\[ *[0-9]+\.[0-9]+\] (.*)$)");
    std::smatch match;
    return std::regex_match(line, match, stamped) ? match[1].str() : std::string();
}

// A deque: the parts stay where they are while more are added.
inline ScenarioPart &partNamed(std::deque<ScenarioPart> &parts, const std::string &name)
{
    const auto found = std::ranges::find(parts, name, &ScenarioPart::name);
    if (found != parts.end()) {
        return *found;
    }
    parts.emplace_back().name = name;
    return parts.back();
}

// Notes the first report among the kernel's lines of one part, unless one was noted already.
class ReportReader
{
  public:
    explicit ReportReader(std::vector<std::string> *report) : report_(report) {}
    void line(const std::string &line)
    {
        const std::string text = kernelText(line);
        if (text.empty() || report_ == nullptr) {
            return;
        }
        if (!reading_ && report_->empty() && kernelReportIn(text) != nullptr) {
            reading_ = true;
        }
        // Call trace entries marked "?" are stale return addresses found on the stack, not
        // calls: left out, so that the lines shown reach the module's own functions.
        if (reading_ && report_->size() < reportLinesShown && !text.starts_with(" ? ")) {
            report_->push_back(line);
        }
    }

  private:
    std::vector<std::string> *report_;
    bool reading_ = false;
};

} // namespace scenario_log

// The scenarios of one boot in the order they started, from its console (the guest's output
// with the kernel's urgent lines) and its kernel log (complete when the guest got to its end,
// else empty). Only the last one can be unfinished: the boot stopped in it.
inline std::vector<ScenarioPart> scenarioParts(const std::string &console,
                                               const std::string &kernelLog)
{
    using namespace scenario_log;
    std::deque<ScenarioPart> parts;
    const std::string run = "[ RUN      ] ";
    const std::string ok = "[       OK ] ";
    const std::string failed = "[  FAILED  ] ";
    ScenarioPart *current = nullptr;
    ReportReader reports(nullptr);
    for (const std::string &line : splitLines(console)) {
        if (line.starts_with(run)) {
            current = &partNamed(parts, line.substr(run.size()));
            reports = ReportReader(&current->report);
        }
        if (current == nullptr) {
            continue;
        }
        reports.line(line);
        if (!current->finished) {
            current->output += line + "\n";
        }
        // "[       OK ] NAME (5 ms)"; "[  FAILED  ] NAME (5 ms)", or for a parameterised
        // scenario "[  FAILED  ] NAME, where GetParam() = ... (5 ms)".
        const bool passedNow = line.starts_with(ok + current->name + " (");
        const bool failedNow = line.starts_with(failed + current->name + " (") ||
                               line.starts_with(failed + current->name + ", where ");
        if (!current->finished && (passedNow || failedNow)) {
            current->finished = true;
            current->passed = passedNow;
        }
    }
    const std::string start = "qb-scenario start ";
    const std::string end = "qb-scenario end ";
    current = nullptr; // the boot's own lines come before the first mark
    for (const std::string &line : splitLines(kernelLog)) {
        const std::string text = kernelText(line);
        if (text.starts_with(start)) {
            current = &partNamed(parts, text.substr(start.size()));
            reports = ReportReader(current->report.empty() ? &current->report : nullptr);
        } else if (text.starts_with(end) && text.find(' ', end.size()) != std::string::npos) {
            // "qb-scenario end NAME passed": the verdict, when the console lost its own.
            const std::size_t verdict = text.rfind(' ');
            ScenarioPart &part = partNamed(parts, text.substr(end.size(), verdict - end.size()));
            if (!part.finished) {
                part.finished = true;
                part.passed = text.substr(verdict + 1) == "passed";
            }
        } else if (current != nullptr) {
            reports.line(line);
        }
    }
    return {parts.begin(), parts.end()};
}
