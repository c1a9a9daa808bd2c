// Reads the subprograms of each compilation unit and the variables and parameters in them
// (also in nested blocks and inlined copies) that have a location and a sized type.
#include "locals.h"

#include <dwarf.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace explorer
{

Locals::Locals(Dwarf *dwarf, Dwarf_CFI *cfi) : cfi_(cfi)
{
    if (dwarf == nullptr) {
        return;
    }
    Dwarf_Off offset = 0, next = 0;
    std::size_t headerSize = 0;
    while (dwarf_nextcu(dwarf, offset, &next, &headerSize, nullptr, nullptr, nullptr) == 0) {
        Dwarf_Die cu;
        Dwarf_Die child;
        if (dwarf_offdie(dwarf, offset + headerSize, &cu) != nullptr &&
            dwarf_child(&cu, &child) == 0) {
            do {
                if (dwarf_tag(&child) != DW_TAG_subprogram) {
                    continue;
                }
                FunctionDie f;
                if (dwarf_lowpc(&child, &f.low) != 0 || dwarf_highpc(&child, &f.high) != 0) {
                    continue;
                }
                Dwarf_Attribute frameBase;
                Dwarf_Op *ops = nullptr;
                std::size_t count = 0;
                f.frameBaseIsCfa = dwarf_attr(&child, DW_AT_frame_base, &frameBase) != nullptr &&
                                   dwarf_getlocation(&frameBase, &ops, &count) == 0 && count == 1 &&
                                   ops[0].atom == DW_OP_call_frame_cfa;
                collect(&child, f.locals);
                functions_.push_back(std::move(f));
            } while (dwarf_siblingof(&child, &child) == 0);
        }
        offset = next;
    }
}

void Locals::collect(Dwarf_Die *die, std::vector<Local> &locals)
{
    Dwarf_Die child;
    if (dwarf_child(die, &child) != 0) {
        return;
    }
    do {
        const int tag = dwarf_tag(&child);
        if (tag == DW_TAG_variable || tag == DW_TAG_formal_parameter) {
            Local local;
            const char *name = dwarf_diename(&child);
            Dwarf_Attribute type;
            Dwarf_Die typeDie, peeled;
            Dwarf_Word size = 0;
            if (name != nullptr && dwarf_attr(&child, DW_AT_location, &local.location) != nullptr &&
                dwarf_attr_integrate(&child, DW_AT_type, &type) != nullptr &&
                dwarf_formref_die(&type, &typeDie) != nullptr &&
                dwarf_peel_type(&typeDie, &peeled) == 0 &&
                dwarf_aggregate_size(&peeled, &size) == 0) {
                local.name = name;
                local.size = size;
                locals.push_back(local);
            }
        } else if (tag == DW_TAG_lexical_block || tag == DW_TAG_inlined_subroutine) {
            collect(&child, locals);
        }
    } while (dwarf_siblingof(&child, &child) == 0);
}

// The register and offset that the call frame information gives for the CFA at address.
std::optional<std::pair<int, std::int64_t>> Locals::cfa(Dwarf_Addr address) const
{
    Dwarf_Frame *frame = nullptr;
    if (cfi_ == nullptr || dwarf_cfi_addrframe(cfi_, address, &frame) != 0) {
        return std::nullopt;
    }
    std::unique_ptr<Dwarf_Frame, decltype(&std::free)> owned(frame, &std::free);
    Dwarf_Op *ops = nullptr;
    std::size_t count = 0;
    if (dwarf_frame_cfa(frame, &ops, &count) != 0 || count != 1) {
        return std::nullopt;
    }
    if (ops[0].atom == DW_OP_bregx) {
        return std::make_pair(int(ops[0].number), std::int64_t(ops[0].number2));
    }
    if (ops[0].atom >= DW_OP_breg0 && ops[0].atom <= DW_OP_breg31) {
        return std::make_pair(int(ops[0].atom - DW_OP_breg0), std::int64_t(ops[0].number));
    }
    return std::nullopt;
}

std::vector<std::string> Locals::at(Dwarf_Addr address, int reg, std::int64_t disp)
{
    std::vector<std::string> names;
    for (FunctionDie &f : functions_) {
        if (address < f.low || address >= f.high) {
            continue;
        }
        for (Local &local : f.locals) {
            Dwarf_Op *expr = nullptr;
            std::size_t length = 0;
            if (dwarf_getlocation_addr(&local.location, address, &expr, &length, 1) != 1 ||
                length != 1) {
                continue;
            }
            std::optional<std::pair<int, std::int64_t>> place;
            if (expr[0].atom == DW_OP_fbreg && f.frameBaseIsCfa) {
                if (auto base = cfa(address)) {
                    place =
                        std::make_pair(base->first, base->second + std::int64_t(expr[0].number));
                }
            } else if (expr[0].atom >= DW_OP_breg0 && expr[0].atom <= DW_OP_breg31) {
                place =
                    std::make_pair(int(expr[0].atom - DW_OP_breg0), std::int64_t(expr[0].number));
            }
            if (place && place->first == reg && disp >= place->second &&
                disp < place->second + std::int64_t(local.size) &&
                std::find(names.begin(), names.end(), local.name) == names.end()) {
                names.push_back(local.name);
            }
        }
    }
    return names;
}

} // namespace explorer
