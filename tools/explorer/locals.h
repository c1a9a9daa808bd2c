// The named locals of each function as DWARF places them (a register plus an offset, or a
// frame-base offset that the call frame information turns into one), so that a memory
// operand [reg + disp] can be named by the local it falls in.
#pragma once

#include <elfutils/libdw.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace explorer
{

class Locals
{
  public:
    // dwarf and cfi may be null (an object without debug information names no locals).
    Locals(Dwarf *dwarf, Dwarf_CFI *cfi);

    // The named locals whose memory [DWARF register reg + disp] falls in, at address (in
    // the address space the DWARF reader laid the sections out in).
    std::vector<std::string> at(Dwarf_Addr address, int reg, std::int64_t disp);

  private:
    struct Local {
        std::string name;
        Dwarf_Attribute location{};
        std::uint64_t size = 0;
    };
    struct FunctionDie {
        Dwarf_Addr low = 0, high = 0;
        bool frameBaseIsCfa = false;
        std::vector<Local> locals;
    };

    Dwarf_CFI *cfi_;
    std::vector<FunctionDie> functions_;

    static void collect(Dwarf_Die *die, std::vector<Local> &locals);
    std::optional<std::pair<int, std::int64_t>> cfa(Dwarf_Addr address) const;
};

} // namespace explorer
