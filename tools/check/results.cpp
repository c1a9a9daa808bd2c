// Reads test programs' JSON reports and writes ./labs check's report; see results.h.
#include "results.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

namespace check
{

namespace
{

// gtest's JSON report writes each byte above 0x7f of a message as its own \u00XX: text
// whose characters all lie below U+0100 is turned back into those bytes.
std::string asBytes(const std::string &utf8)
{
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if ((c & 0xe0) == 0xc0 && c <= 0xc3 && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((c & 0x03) << 6) | (utf8[i + 1] & 0x3f));
            ++i;
        } else {
            return utf8; // a character past U+00FF: the text was not bytes
        }
    }
    return bytes;
}

} // namespace

void readReport(const std::string &json, std::map<std::string, Outcome *> &byName)
{
    const nlohmann::json report = nlohmann::json::parse(json, nullptr, false);
    if (report.is_discarded() || !report.contains("testsuites")) {
        return;
    }
    auto text = [](const nlohmann::json &object, const char *key) {
        const auto at = object.find(key);
        return at != object.end() && at->is_string() ? asBytes(at->get<std::string>())
                                                     : std::string();
    };
    for (const nlohmann::json &suite : report["testsuites"]) {
        if (!suite.contains("testsuite")) {
            continue;
        }
        for (const nlohmann::json &test : suite["testsuite"]) {
            const std::string name = text(test, "classname") + "." + text(test, "name");
            const auto found = byName.find(name);
            if (found == byName.end() || text(test, "status") != "RUN") {
                continue;
            }
            Outcome &outcome = *found->second;
            outcome.ran = true;
            outcome.skipped = text(test, "result") == "SKIPPED";
            outcome.used = text(test, "used") == "1";
            outcome.lastRun = text(test, "ran");
            outcome.unsafe = text(test, "unsafe");
            outcome.detail.clear();
            for (const nlohmann::json &failure : test.value("failures", nlohmann::json::array())) {
                outcome.detail += text(failure, "failure");
                if (!outcome.detail.ends_with('\n')) {
                    outcome.detail += '\n';
                }
            }
            outcome.passed = outcome.detail.empty();
        }
    }
}

Verdict verdictOf(const Outcome &outcome, bool strict)
{
    if (!outcome.ran) {
        return Verdict::fail;
    }
    if (outcome.skipped) {
        return Verdict::skip;
    }
    if (!outcome.used) {
        return Verdict::unused;
    }
    if (outcome.passed) {
        return Verdict::pass;
    }
    switch (outcome.what.kind) {
    case Kind::mended:
        return strict ? Verdict::fail : Verdict::note;
    case Kind::choice:
        // Left to the implementer, but never a crash, a hang or a flood.
        return outcome.unsafe.empty() ? Verdict::note : Verdict::fail;
    default:
        return Verdict::fail;
    }
}

std::string capped(const std::string &text, std::size_t maxLines, std::size_t maxWidth)
{
    std::string result;
    std::size_t lines = 0, start = 0;
    while (start < text.size()) {
        if (lines++ == maxLines) {
            const auto more =
                std::count(text.begin() + static_cast<long>(start), text.end(), '\n') +
                (text.back() != '\n');
            result += "... (" + std::to_string(more) + " more lines, " +
                      std::to_string(text.size() - start) + " bytes)\n";
            break;
        }
        const std::size_t length = std::min(text.find('\n', start), text.size()) - start;
        result.append(text, start, std::min(length, maxWidth));
        if (length > maxWidth) {
            result += "... (" + std::to_string(length - maxWidth) + " more bytes on this line)";
        }
        result += '\n';
        start += length + 1;
    }
    return result;
}

namespace
{

void indented(std::ostream &out, const std::string &text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        out << "    " << line << '\n';
    }
}

// A failure's messages, with the source locations of the collection's tests left out:
// what the case saw and expected is what the reader needs.
std::string withoutLocations(const std::string &detail)
{
    std::string result;
    std::istringstream lines(detail);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t colon = line.rfind(':');
        const bool location =
            line.starts_with("/") && colon != std::string::npos && colon + 1 < line.size() &&
            (line.ends_with(": Failure") ||
             line.find_first_not_of("0123456789", colon + 1) == std::string::npos);
        if (!location && line != "Failed") {
            result += line + '\n';
        }
    }
    return result;
}

} // namespace

Tally report(std::ostream &out, const std::vector<Outcome> &outcomes, bool strict)
{
    Tally tally;
    std::vector<const Outcome *> notes, unused;
    for (const Outcome &outcome : outcomes) {
        switch (verdictOf(outcome, strict)) {
        case Verdict::pass:
            out << "PASS " << outcome.what.name << '\n';
            ++tally.passed;
            break;
        case Verdict::fail:
            out << "FAIL " << outcome.what.name << '\n';
            if (outcome.what.kind == Kind::choice && !outcome.unsafe.empty()) {
                out << "    (how it answers here is left to you, but not this: it "
                    << outcome.unsafe.substr(
                           std::min(outcome.unsafe.size(), outcome.unsafe.find("; it ") + 5))
                    << ")\n";
            } else if (outcome.what.kind == Kind::mended) {
                out << "    (counted with --strict: " << outcome.what.note << ")\n";
            }
            indented(out, capped(withoutLocations(outcome.detail)));
            if (!outcome.lastRun.empty()) {
                out << "    your build " << outcome.lastRun << '\n';
            }
            ++tally.failed;
            break;
        case Verdict::note:
            notes.push_back(&outcome);
            ++tally.notes;
            break;
        case Verdict::skip:
            out << "SKIP " << outcome.what.name << '\n';
            break;
        case Verdict::unused:
            unused.push_back(&outcome);
            break;
        }
    }
    out << tally.passed << " passed, " << tally.failed << " failed\n";
    if (!notes.empty()) {
        out << "notes (not counted" << (strict ? "" : "; --strict counts the mended ones")
            << "):\n";
        for (const Outcome *outcome : notes) {
            if (outcome->what.kind == Kind::mended) {
                out << "  mended " << outcome->what.name << ": yours keeps the description's "
                    << "fault: " << outcome->what.note << '\n';
            } else {
                out << "  choice " << outcome->what.name << ": left to you (" << outcome->what.note
                    << "); yours answers differently from the collection, safely\n";
            }
            indented(out, capped(withoutLocations(outcome->detail), 8, 160));
        }
    }
    for (const Outcome *outcome : unused) {
        out << "note: " << outcome->what.name << " did not run your build: not counted\n";
    }
    return tally;
}

} // namespace check
