// The oracle that checks the explorer: binutils' own reading of an object (objdump's symbols,
// relocations, bytes and disassembly, c++filt's names), turned into the facts it must report.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace harness::oracle
{

enum class Arch { x86_64, i386, arm };

// ------------------------------------------------------------------ objdump's reading

struct Symbol {
    std::string name, section; // section *UND* for a symbol of another object
    std::int64_t value = 0, size = 0;
    char type = ' '; // F function, O data object, d section
    bool global = false;
};

struct Reloc {
    std::string type, symbol;
    std::int64_t addend = 0; // on i386 and arm read from the bytes it applies to
};

struct Insn {
    std::int64_t address = 0;
    std::vector<std::uint8_t> bytes;
    std::string mnemonic; // x86 prefixes dropped
    std::vector<std::string> operands;
    std::string line;  // objdump's, for messages
    bool data = false; // a word of an ARM literal pool
    std::int64_t end() const
    {
        return address + std::int64_t(bytes.size());
    }
};

struct Section {
    bool alloc = false;
    std::vector<Insn> insns;
    std::map<std::int64_t, Reloc> relocs;
    std::map<std::int64_t, std::uint8_t> bytes; // where relocations need their addends
};

struct Object {
    Arch arch;
    std::map<std::string, Symbol> symbols;
    std::vector<Symbol> functions, variables; // FUNC symbols with a size, OBJECT symbols
    std::map<std::string, Section> sections;
};

Object readObject(const std::string &path, Arch arch);

std::vector<std::string> split(const std::string &text, char separator);
std::string trim(const std::string &text);
bool matches(const std::string &text, const char *pattern); // the whole text, a regex
std::int64_t number(std::string text);                      // "0x1c", "-0x4", "#-12", "28"

// ------------------------------------------------------------------ places and names

// A place in the object: an offset in a section, and the data object a relocation names.
struct Place {
    std::string section, variable;
    std::int64_t offset = 0;
};

const Symbol *functionAt(const Object &object, const Place &place);
std::string variableAt(const Object &object, const Place &place);
bool pcRelative(const std::string &type);
bool throughGot(const std::string &type);
Place resolve(const Object &object, const Reloc &r, std::int64_t fieldToEnd);

// ------------------------------------------------------------------ decoding and flow

// An ARM mnemonic taken apart: addls = add + ls, lsls = lsl (+ s), ldrbeq = ldr + eq.
struct ArmOp {
    std::string base, cond;
};

ArmOp armOp(const std::string &mnemonic);
std::string armRegister(std::string name);
std::vector<std::string> armList(const std::string &operand);
std::string x86Register(const std::string &name);

// The memory operand of an instruction: where it is, its base register and displacement.
struct Memory {
    int position = -1;
    std::string base, index; // ARM: index only for [pc, rN]
    int scale = 1;
    std::int64_t displacement = 0;
};

Memory memoryOperand(Arch arch, const std::vector<std::string> &operands);

struct Step {
    std::string flow = "-", dest = "-", work = "other";
    bool conditional = false;
    std::optional<std::int64_t> to; // a jump's destination, an offset in the function
};

Step flowOf(const Object &object, const std::string &section, const Symbol &function,
            const Insn &i);

// The control-flow graph of a function's instructions: each one's successors (the next
// one, a jump's destination; an indirect jump's are the instructions of the function that
// addresses outside its instructions point at, or on ARM the branches its add indexes).
struct Graph {
    std::vector<std::vector<int>> successors;
};

Graph graphOf(const Object &object, const Symbol &f, const std::vector<const Insn *> &insns,
              const std::vector<Step> &steps, const std::vector<Place> &pointers);
std::map<int, std::set<int>> naturalLoops(const std::vector<std::vector<int>> &successors);

// ------------------------------------------------------------------ the reading as facts

// A fact by its kind, symbol and offset (-1 for functions and variables), and what it says.
using Key = std::tuple<std::string, std::string, std::int64_t>;
using Said = std::map<Key, std::string>;

std::string insnFact(const std::string &flow, const std::string &dest, const std::string &work,
                     const std::string &variables);
Said expectedFacts(const Object &object, std::map<Key, std::string> &shown);

} // namespace harness::oracle
