// Runs the target's compiler (its C compiler for a .c file) with the same instruction-set
// flags as the project's own builds for that target (the toolchain files' settings, compiled
// in) and reads the object and the compiler's own record of its optimisations.
#include "compile.h"

#include "object.h"
#include "process.h"

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

namespace explorer
{
namespace
{

struct Toolchain {
    std::string target, cCompiler, cxxCompiler, flags;
};

const Toolchain toolchains[] = {
    {"x86-64", LABS_X86_64_CC, LABS_X86_64_CXX, LABS_X86_64_FLAGS},
    {"arm", LABS_ARM_CC, LABS_ARM_CXX, LABS_ARM_FLAGS},
    {"i386", LABS_I386_CC, LABS_I386_CXX, LABS_I386_FLAGS},
};

// Runs args with standard output and error into logPath; returns the exit status.
int runLogged(const std::vector<std::string> &args, const std::string &logPath)
{
    process::Command command;
    command.argv = args;
    command.ownGroup = false; // a Ctrl-C at the terminal ends the compiler too
    int null = -1, log = -1;
    try {
        null = process::openFile("/dev/null", O_RDONLY);
        log = process::openFile(logPath, O_WRONLY | O_CREAT | O_TRUNC);
        command.fds = {{0, null}, {1, log}, {2, log}};
        process::Process compiler(command);
        process::closeFd(null);
        process::closeFd(log);
        const process::Ending ending = compiler.wait();
        return ending.signal() != 0 ? 128 + ending.signal() : ending.status();
    } catch (const std::runtime_error &) {
        process::closeFd(null);
        process::closeFd(log);
        throw CompileError(args[0] + ": cannot run the compiler");
    }
}

// The text of a record's message: its strings, and the names, expressions and statements
// it refers to, in order.
std::string messageText(const nlohmann::json &message)
{
    std::string text;
    for (const nlohmann::json &part : message) {
        if (part.is_string()) {
            text += part.get<std::string>();
        } else if (part.is_object()) {
            for (const char *key : {"symtab_node", "expr", "stmt"}) {
                if (part.contains(key) && part[key].is_string()) {
                    text += part[key].get<std::string>();
                }
            }
        }
    }
    // One line, without the blanks the compiler pads it with.
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\t') {
            c = ' ';
        }
        if (c != ' ' || (!line.empty() && line.back() != ' ')) {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

std::string gunzip(const std::string &path)
{
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "";
    }
    std::string text;
    char buffer[65536];
    for (int n; (n = gzread(file, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, std::size_t(n));
    }
    gzclose(file);
    return text;
}

// The compiler's record of what it did ("success") and tried but did not do ("failure"),
// for the source itself: [header, passes, records], each record with its kind, location,
// pass and message. Notes on what it merely considered are left out.
std::vector<Remark> readRecord(const std::string &path, const std::string &sourcePath)
{
    // Most records are notes on what the compiler merely considered (a hundred megabytes for
    // a large file): each is dropped as soon as it is read, so that only what is shown is kept.
    const nlohmann::json::parser_callback_t keep =
        [](int depth, nlohmann::json::parse_event_t event, nlohmann::json &parsed) {
            if (depth == 2 && event == nlohmann::json::parse_event_t::object_end &&
                parsed.is_object()) {
                const auto kind = parsed.find("kind");
                return kind == parsed.end() || *kind == "success" || *kind == "failure";
            }
            return true;
        };
    const nlohmann::json record = nlohmann::json::parse(gunzip(path), keep, false);
    if (!record.is_array() || record.size() < 3 || !record[2].is_array()) {
        throw std::runtime_error(path + ": the compiler's optimisation record cannot be read");
    }
    std::map<std::string, std::string> passes;
    if (record[1].is_array()) {
        for (const nlohmann::json &pass : record[1]) {
            if (pass.contains("id") && pass.contains("name")) {
                passes[pass["id"].get<std::string>()] = pass["name"].get<std::string>();
            }
        }
    }
    std::vector<Remark> remarks;
    std::set<std::tuple<int, bool, std::string>> seen;
    for (const nlohmann::json &entry : record[2]) {
        const std::string kind = entry.value("kind", "");
        if ((kind != "success" && kind != "failure") || !entry.contains("location")) {
            continue;
        }
        const nlohmann::json &location = entry["location"];
        std::error_code error;
        if (!std::filesystem::equivalent(location.value("file", ""), sourcePath, error)) {
            continue;
        }
        Remark remark;
        remark.line = location.value("line", 0);
        remark.column = location.value("column", 0);
        remark.missed = kind == "failure";
        remark.pass = passes[entry.value("pass", "")];
        remark.function = entry.value("function", "");
        remark.text = messageText(entry.value("message", nlohmann::json::array()));
        // The same message for the same line comes once (a loop is tried for each size).
        if (!remark.text.empty() && seen.emplace(remark.line, remark.missed, remark.text).second) {
            remarks.push_back(remark);
        }
    }
    std::stable_sort(remarks.begin(), remarks.end(),
                     [](const Remark &a, const Remark &b) { return a.line < b.line; });
    return remarks;
}

bool isC(const std::string &sourcePath)
{
    return std::filesystem::path(sourcePath).extension() == ".c";
}

} // namespace

const std::vector<std::string> &knownTargets()
{
    static const std::vector<std::string> names = {"x86-64", "arm", "i386"};
    return names;
}

void compileAndRead(const std::string &sourcePath, const std::string &target, Level &level,
                    const std::string &folder, const std::vector<std::string> &includeDirs,
                    Timing &timing)
{
    const Toolchain *toolchain = std::ranges::find(toolchains, target, &Toolchain::target);
    if (toolchain == std::end(toolchains)) {
        throw std::runtime_error("unknown target '" + target + "' (x86-64, arm or i386)");
    }
    const std::string stem = target + level.name;
    const std::string base = folder + "/" + stem;
    const std::string object = base + ".o", record = base + ".opt-record.json.gz",
                      log = base + ".log";
    // The call frame information goes to .debug_frame, which elfutils relocates in an
    // object file (it does not relocate .eh_frame); the instructions stay the same. A C
    // source is compiled as C.
    std::vector<std::string> args;
    if (isC(sourcePath)) {
        args = {toolchain->cCompiler, "-std=c17"};
    } else {
        args = {toolchain->cxxCompiler, "-std=c++20", "-fno-exceptions"};
    }
    args.push_back("-fno-asynchronous-unwind-tables");
    for (const std::string &flag : process::words(toolchain->flags)) {
        args.push_back(flag);
    }
    for (const std::string &dir : includeDirs) {
        args.push_back("-I" + dir);
    }
    // The record is named after -dumpbase, beside the object.
    args.insert(args.end(), {"-g", level.name, "-fsave-optimization-record", "-dumpbase", stem,
                             "-c", sourcePath, "-o", object});
    std::filesystem::remove(record);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    if (runLogged(args, log) != 0) {
        throw CompileError(process::readFile(log));
    }
    const auto compiled = Clock::now();
    level.remarks = readRecord(record, sourcePath);
    readObject(object, target, sourcePath, level);
    timing.compiling += std::chrono::duration<double>(compiled - start).count();
    timing.reading += std::chrono::duration<double>(Clock::now() - compiled).count();
}

} // namespace explorer
