// What the toolchain recorded about one source compiled at several optimisation levels for
// several targets: every instruction with its source line (from the DWARF line table), the
// memory it reads or writes, the named globals (relocations) and locals (DWARF locations)
// it touches, the call it makes; each function's size; the compiler's own remarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace explorer
{

// What kind of work an instruction does, from the disassembler's instruction ids.
enum class Work { other, divide, multiply, shift, mask, call, branch };

struct Instruction {
    std::uint64_t offset = 0; // from the start of its function
    std::string text;         // mnemonic and operands, as the disassembler prints them
    int line = 0;             // source line (DWARF line table); 0 when it has none
    bool readsMemory = false;
    bool writesMemory = false;
    std::vector<std::string> globals; // named globals it reads, writes or takes the address of
    std::vector<std::string> locals;  // named locals of its function in memory it touches
    std::string callee;               // for a call: the function called ("" when unknown)
    std::string annotation;           // what a relocated operand refers to (a symbol or section)
    Work work = Work::other;
    bool jumpsBack = false;       // a branch to an earlier instruction of the same function: a loop
    bool jumpsWithin = false;     // a branch to an instruction of the same function
    std::uint64_t jumpTarget = 0; // for a branch within the function: the offset it jumps to
};

struct Function {
    std::string name; // demangled, without parameters
    std::uint64_t size = 0;
    bool global = false; // visible to other files
    std::vector<Instruction> code;
};

struct Variable {
    std::string name;
    std::uint64_t size = 0;
    bool global = false; // visible to other files (a static one is not)
};

// A remark the compiler made about what it did ("optimized:" lines of -fopt-info).
struct Remark {
    int line = 0;
    int column = 0;
    std::string text; // e.g. "Inlining int f2()/1 into void f1()/2."
};

struct Level {
    std::string name; // "-O0", "-O2", "-Os"
    std::vector<Function> functions;
    std::vector<Variable> variables; // data objects the object file defines
    std::vector<Remark> remarks;
};

struct Target {
    std::string name; // "x86-64", "arm", "i386"
    std::vector<Level> levels;
};

struct Exploration {
    std::string title;                    // the demo's name or the file's
    std::string sourcePath;               // the source as compiled
    std::vector<std::string> sourceLines; // for display only: line N is sourceLines[N - 1]
    std::vector<Target> targets;
};

} // namespace explorer
