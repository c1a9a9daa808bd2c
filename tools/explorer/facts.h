// What the toolchain recorded about one source compiled at several optimisation levels for
// several targets: every instruction with its source line (from the DWARF line table), where
// control goes after it, the variables it reads, writes or takes the address of (relocations,
// and addresses followed through registers), the locals it touches (DWARF locations); each
// function's loops and size; the compiler's own record of what it did and did not do.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace explorer
{

// The arithmetic an instruction does, scalar or vector alike.
enum class Work { other, divide, multiply, shift, mask };

// Where control goes after an instruction.
enum class Flow {
    next,            // on to the next instruction only
    jump,            // to jumpTarget in the same function, always
    conditionalJump, // to jumpTarget in the same function, or on to the next instruction
    call,            // to callee, then back
    tailCall,        // to callee, not back: a jump to another function (maybe conditional)
    indirectJump,    // to an address in a register or in memory (a jump table, say)
    indirectCall,    // a call through a register or memory
    ret,             // back to the caller
};

// A named variable (a data object of the file) that an instruction's operand names.
struct VariableUse {
    std::string symbol; // the variable's symbol
    bool reads = false;
    bool writes = false; // neither: the instruction only takes its address
};

struct Instruction {
    std::uint64_t offset = 0; // from the start of its function
    std::string text;         // mnemonic and operands, targets by name
    int line = 0;             // source line (DWARF line table); 0 when it has none
    Work work = Work::other;
    Flow flow = Flow::next;
    bool conditional = false;                // runs only under a condition: falls through too
    std::uint64_t jumpTarget = 0;            // for a jump: the offset it goes to
    std::vector<std::uint64_t> tableTargets; // for an indirect jump: the offsets it may go to
    std::string callee;                      // for a call or tail call: the symbol ("" unknown)
    std::vector<VariableUse> variables;      // in operand order, each symbol once
    std::vector<std::string> locals;         // named locals of its function in memory it touches
    bool readsMemory = false;                // through an operand (not the stack traffic of
    bool writesMemory = false;               // push, pop, call and return)
};

// A natural loop: the instructions from which the head is reached again without leaving them.
struct Loop {
    std::uint64_t head = 0;          // offset of the instruction every pass starts at
    std::vector<std::uint64_t> body; // offsets of its instructions, ascending (head included)
    std::set<int> lines;             // their source lines (none of 0)
};

struct Function {
    std::string symbol;    // as in the object file
    std::string name;      // the full signature when the symbol is a mangled C++ name
    std::string shortName; // the name without its parameter list, for display
    std::uint64_t size = 0;
    bool global = false;     // visible to other files
    bool calledHere = false; // called, tail-called or its address taken within the file
    std::vector<Instruction> code;
    std::vector<Loop> loops;
};

struct Variable {
    std::string symbol;
    std::string name; // demangled when the symbol is a mangled C++ name
    std::uint64_t size = 0;
    bool global = false; // visible to other files (a static one is not)
};

// A remark from the compiler's own record of its optimisations: what it did, or what it
// tried and did not do (and why).
struct Remark {
    int line = 0;
    int column = 0;
    bool missed = false;
    std::string pass;     // the compiler pass that made it ("inline", "vect", ...)
    std::string function; // the function it is about, as the compiler names it
    std::string text;     // e.g. "Inlining int f2()/1 into void f1()/2."
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
