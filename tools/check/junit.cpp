// The JUnit XML report of a check, for CI systems: a test suite per deliverable, its notes
// as skipped cases.
#include "checker.h"

#include <fstream>
#include <map>

namespace check
{
namespace
{

std::string xmlEscaped(const std::string &text)
{
    static const std::map<char, std::string> entities = {
        {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};
    std::string result;
    for (const char c : text) {
        if (const auto entity = entities.find(c); entity != entities.end()) {
            result += entity->second;
        } else {
            // Control characters other than the line break and the tab are not allowed in XML.
            const bool control = static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t';
            result += control ? '?' : c;
        }
    }
    return result;
}

} // namespace

void writeJunit(const fs::path &file, const std::vector<Checked> &all, bool strict)
{
    std::ofstream out(file);
    int tests = 0, failures = 0;
    for (const Checked &checked : all) {
        tests += checked.tally.passed + checked.tally.failed;
        failures += checked.tally.failed;
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites tests=\"" << tests
        << "\" failures=\"" << failures << "\">\n";
    for (const Checked &checked : all) {
        out << "  <testsuite name=\"labs check " << xmlEscaped(checked.name) << "\" tests=\""
            << checked.tally.passed + checked.tally.failed << "\" failures=\""
            << checked.tally.failed << "\">\n";
        if (!checked.rejected.empty()) {
            out << "    <testcase name=\"build\" classname=\"" << xmlEscaped(checked.name)
                << "\">\n      <failure message=\"" << xmlEscaped(checked.rejected)
                << "\"/>\n    </testcase>\n";
        }
        for (const Outcome &outcome : checked.outcomes) {
            const Verdict verdict = verdictOf(outcome, strict);
            if (verdict == Verdict::unused) {
                continue;
            }
            out << "    <testcase name=\"" << xmlEscaped(outcome.what.name) << "\" classname=\""
                << xmlEscaped(checked.name) << "\">";
            if (verdict == Verdict::fail) {
                out << "\n      <failure message=\"" << kindName(outcome.what.kind) << "\">"
                    << xmlEscaped(capped(outcome.detail)) << "</failure>\n    ";
            } else if (verdict == Verdict::note) {
                out << "\n      <skipped message=\"note (" << kindName(outcome.what.kind)
                    << "): " << xmlEscaped(outcome.what.note) << "\"/>\n    ";
            } else if (verdict == Verdict::skip) {
                out << "\n      <skipped/>\n    ";
            }
            out << "</testcase>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
}

} // namespace check
