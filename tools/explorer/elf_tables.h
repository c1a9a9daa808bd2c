// The tables of a relocatable object file that name things: its symbols, the relocations of
// its allocated sections, and the ARM marks that tell code from data. Lookups answer "what
// lies at this section offset" and "what does this relocation refer to".
#pragma once

#include <gelf.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace explorer
{

struct Symbol {
    std::string name; // as in the file
    std::size_t section = 0;
    std::uint64_t value = 0; // offset in its section
    std::uint64_t size = 0;
    int type = STT_NOTYPE;
    bool global = false;
};

struct Relocation {
    std::size_t section = 0;  // the section it applies to
    std::uint64_t offset = 0; // in that section
    std::size_t symbol = 0;   // index into the symbol table
    std::int64_t addend = 0;  // explicit (RELA) or read from the section (REL)
    unsigned type = 0;
};

// A place in the file: a section and an offset in it.
struct Place {
    std::size_t section = 0;
    std::int64_t offset = 0;
    bool operator==(const Place &) const = default;
};

class ElfTables
{
  public:
    explicit ElfTables(Elf *elf);

    const std::vector<Symbol> &symbols() const
    {
        return symbols_;
    }
    int machine() const
    {
        return machine_;
    } // EM_X86_64, EM_386 or EM_ARM

    // The relocations that apply to bytes [from, to) of a section, by offset.
    std::vector<const Relocation *> relocationsIn(std::size_t section, std::uint64_t from,
                                                  std::uint64_t to) const;
    const std::vector<Relocation> &allRelocations() const
    {
        return all_;
    }

    // Where a relocation points: its symbol's place plus addend plus correction (for a
    // PC-relative field, the distance from the field to where the processor counts from).
    // False for an undefined symbol, which has no place in this file.
    bool placeOf(const Relocation &r, std::int64_t correction, Place &place) const;

    // The data object, or the function, whose bytes hold a place (nullptr when none).
    const Symbol *objectAt(const Place &place) const;
    const Symbol *functionAt(const Place &place) const;

    // The name of a section, by its index ("" when it has none).
    std::string sectionNameOf(std::size_t section) const;

    // Whether bytes at an offset of a section are ARM data (a literal pool), and where the
    // run of code or data that starts there ends.
    bool armDataAt(std::size_t section, std::uint64_t offset) const;
    std::uint64_t armRunEnd(std::size_t section, std::uint64_t offset, std::uint64_t end) const;

  private:
    Elf *elf_;
    int machine_ = 0;
    std::vector<Symbol> symbols_;
    std::vector<Relocation> all_;                                // every relocation, by section
    std::map<std::size_t, std::vector<Relocation>> bySection_;   // sorted by offset
    std::map<std::size_t, std::map<std::uint64_t, bool>> marks_; // ARM $a/$d: offset -> data

    void readSymbols();
    void readRelocations();
    const Symbol *symbolAt(const Place &place, int type) const;
};

// A symbol's name for people: the full signature when it is a mangled C++ name ("_Z..."),
// the name itself otherwise (a C global named "i" stays "i").
std::string demangledName(const std::string &symbol);

// The name without its parameter list ("twice(int)" -> "twice"), for short displays.
std::string withoutParameters(const std::string &name);

} // namespace explorer
