// Reads one object file with elfutils (libdwfl lays out and relocates a relocatable file's
// sections, so the line table, the call frame information and the symbols share one address
// space) and disassembles its functions with Capstone.
#include "object.h"

#include <capstone/capstone.h>
#include <cxxabi.h>
#include <dwarf.h>
#include <elfutils/libdw.h>
#include <elfutils/libdwfl.h>
#include <gelf.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

namespace explorer
{
namespace
{

struct Symbol {
    std::string name;
    std::size_t section = 0;
    std::uint64_t value = 0; // offset in its section
    std::uint64_t size = 0;
    int type = STT_NOTYPE;
    bool global = false;
};

struct Relocation {
    std::uint64_t offset = 0; // in the section it applies to
    std::size_t symbol = 0;   // index into the symbol table
    std::int64_t addend = 0;  // explicit (RELA) or read from the section (REL)
    unsigned type = 0;
};

// An ARM register known to hold the address of a symbol plus an offset: loaded from the
// literal pool, and for a PC-relative pool word once the program counter has been added.
struct KnownAddress {
    std::size_t symbol = 0;
    std::int64_t offset = 0;
    bool needsPc = false;
};

// A local of a function as DWARF places it: a register plus an offset, or a frame-base
// offset that the call frame information turns into one.
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

std::string demangled(const char *name)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> plain(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), &std::free);
    std::string text = status == 0 && plain ? plain.get() : name;
    const std::size_t paren = text.find('(');
    return paren == std::string::npos ? text : text.substr(0, paren);
}

std::string sameFile(const char *file, const std::string &sourcePath)
{
    if (file == nullptr) {
        return "";
    }
    std::error_code error;
    return std::filesystem::equivalent(file, sourcePath, error) ? file : "";
}

// DWARF register numbers of the registers Capstone names, for the three targets.
int dwarfRegister(const std::string &target, unsigned reg)
{
    if (target == "x86-64") {
        switch (reg) {
        case X86_REG_RAX:
            return 0;
        case X86_REG_RDX:
            return 1;
        case X86_REG_RCX:
            return 2;
        case X86_REG_RBX:
            return 3;
        case X86_REG_RSI:
            return 4;
        case X86_REG_RDI:
            return 5;
        case X86_REG_RBP:
            return 6;
        case X86_REG_RSP:
            return 7;
        default:
            return reg >= X86_REG_R8 && reg <= X86_REG_R15 ? 8 + int(reg - X86_REG_R8) : -1;
        }
    }
    if (target == "i386") {
        switch (reg) {
        case X86_REG_EAX:
            return 0;
        case X86_REG_ECX:
            return 1;
        case X86_REG_EDX:
            return 2;
        case X86_REG_EBX:
            return 3;
        case X86_REG_ESP:
            return 4;
        case X86_REG_EBP:
            return 5;
        case X86_REG_ESI:
            return 6;
        case X86_REG_EDI:
            return 7;
        default:
            return -1;
        }
    }
    switch (reg) {
    case ARM_REG_R0:
        return 0;
    case ARM_REG_R1:
        return 1;
    case ARM_REG_R2:
        return 2;
    case ARM_REG_R3:
        return 3;
    case ARM_REG_R4:
        return 4;
    case ARM_REG_R5:
        return 5;
    case ARM_REG_R6:
        return 6;
    case ARM_REG_R7:
        return 7;
    case ARM_REG_R8:
        return 8;
    case ARM_REG_R9:
        return 9;
    case ARM_REG_R10:
        return 10;
    case ARM_REG_R11:
        return 11;
    case ARM_REG_R12:
        return 12;
    case ARM_REG_SP:
        return 13;
    case ARM_REG_LR:
        return 14;
    case ARM_REG_PC:
        return 15;
    default:
        return -1;
    }
}

class ObjectReader
{
  public:
    ObjectReader(const std::string &path, const std::string &target, const std::string &source)
        : target_(target), source_(source)
    {
        callbacks_.find_debuginfo = dwfl_standard_find_debuginfo;
        callbacks_.section_address = dwfl_offline_section_address;
        dwfl_ = dwfl_begin(&callbacks_);
        if (dwfl_ == nullptr) {
            throw std::runtime_error("cannot start reading " + path);
        }
        module_ = dwfl_report_offline(dwfl_, "object", path.c_str(), -1);
        dwfl_report_end(dwfl_, nullptr, nullptr);
        if (module_ == nullptr) {
            throw std::runtime_error(path + ": " + dwfl_errmsg(-1));
        }
        Dwarf_Addr bias = 0;
        dwarf_ = dwfl_module_getdwarf(module_, &bias); // lays the sections out and relocates
        GElf_Addr elfBias = 0;
        elf_ = dwfl_module_getelf(module_, &elfBias);
        if (elf_ == nullptr) {
            throw std::runtime_error(path + ": not an ELF file");
        }
        cfi_ = dwfl_module_dwarf_cfi(module_, &bias);
        if (cfi_ == nullptr) {
            cfi_ = dwfl_module_eh_cfi(module_, &bias);
        }
        readSymbols();
        readRelocations();
        readFunctionDies();
    }

    ~ObjectReader()
    {
        dwfl_end(dwfl_);
    }
    ObjectReader(const ObjectReader &) = delete;
    ObjectReader &operator=(const ObjectReader &) = delete;

    void fill(Level &level)
    {
        for (const Symbol &s : symbols_) {
            if (s.type == STT_OBJECT) {
                level.variables.push_back({s.name, s.size, s.global});
            }
        }
        for (std::size_t i = 0; i < symbols_.size(); ++i) {
            const Symbol &s = symbols_[i];
            if (s.type == STT_FUNC && s.size > 0) {
                level.functions.push_back(disassemble(s));
            }
        }
    }

  private:
    std::string target_, source_;
    Dwfl_Callbacks callbacks_{};
    Dwfl *dwfl_ = nullptr;
    Dwfl_Module *module_ = nullptr;
    Dwarf *dwarf_ = nullptr;
    Elf *elf_ = nullptr;
    Dwarf_CFI *cfi_ = nullptr;
    std::vector<Symbol> symbols_;
    std::map<std::size_t, std::vector<Relocation>> relocations_;  // by the section they apply to
    std::map<std::size_t, std::vector<std::uint64_t>> dataMarks_; // ARM $d offsets per section
    std::map<std::size_t, std::vector<std::uint64_t>> codeMarks_; // ARM $a offsets per section
    std::vector<FunctionDie> functionDies_;

    GElf_Shdr header(std::size_t section) const
    {
        GElf_Shdr shdr{};
        gelf_getshdr(elf_getscn(elf_, section), &shdr);
        return shdr;
    }

    Elf_Data *contents(std::size_t section) const
    {
        return elf_getdata(elf_getscn(elf_, section), nullptr);
    }

    void readSymbols()
    {
        for (Elf_Scn *scn = elf_nextscn(elf_, nullptr); scn != nullptr;
             scn = elf_nextscn(elf_, scn)) {
            GElf_Shdr shdr{};
            gelf_getshdr(scn, &shdr);
            if (shdr.sh_type != SHT_SYMTAB) {
                continue;
            }
            Elf_Data *data = elf_getdata(scn, nullptr);
            const std::size_t count = shdr.sh_size / shdr.sh_entsize;
            for (std::size_t i = 0; i < count; ++i) {
                GElf_Sym sym{};
                gelf_getsym(data, int(i), &sym);
                const char *name = elf_strptr(elf_, shdr.sh_link, sym.st_name);
                Symbol s;
                s.name = name != nullptr ? demangled(name) : "";
                s.section = sym.st_shndx;
                s.value = sym.st_value;
                s.size = sym.st_size;
                s.type = GELF_ST_TYPE(sym.st_info);
                s.global = GELF_ST_BIND(sym.st_info) != STB_LOCAL;
                if (s.name == "$d" || s.name.starts_with("$d.")) {
                    dataMarks_[s.section].push_back(s.value);
                } else if (s.name == "$a" || s.name.starts_with("$a.")) {
                    codeMarks_[s.section].push_back(s.value);
                }
                symbols_.push_back(s);
            }
        }
    }

    void readRelocations()
    {
        for (Elf_Scn *scn = elf_nextscn(elf_, nullptr); scn != nullptr;
             scn = elf_nextscn(elf_, scn)) {
            GElf_Shdr shdr{};
            gelf_getshdr(scn, &shdr);
            if (shdr.sh_type != SHT_RELA && shdr.sh_type != SHT_REL) {
                continue;
            }
            const GElf_Shdr applies = header(shdr.sh_info);
            if ((applies.sh_flags & SHF_ALLOC) == 0) {
                continue; // debug sections: libdwfl has relocated them already
            }
            // Read the raw file contents, not the relocated ones, for REL addends.
            Elf_Data *target = contents(shdr.sh_info);
            Elf_Data *data = elf_getdata(scn, nullptr);
            const std::size_t count = shdr.sh_size / shdr.sh_entsize;
            std::vector<Relocation> &list = relocations_[shdr.sh_info];
            for (std::size_t i = 0; i < count; ++i) {
                Relocation r;
                if (shdr.sh_type == SHT_RELA) {
                    GElf_Rela rela{};
                    gelf_getrela(data, int(i), &rela);
                    r = {rela.r_offset, std::size_t(GELF_R_SYM(rela.r_info)), rela.r_addend,
                         unsigned(GELF_R_TYPE(rela.r_info))};
                } else {
                    GElf_Rel rel{};
                    gelf_getrel(data, int(i), &rel);
                    std::int32_t implicit = 0;
                    if (target != nullptr && rel.r_offset + 4 <= target->d_size) {
                        std::memcpy(&implicit,
                                    static_cast<const char *>(target->d_buf) + rel.r_offset, 4);
                    }
                    r = {rel.r_offset, std::size_t(GELF_R_SYM(rel.r_info)), implicit,
                         unsigned(GELF_R_TYPE(rel.r_info))};
                }
                list.push_back(r);
            }
            std::sort(list.begin(), list.end(),
                      [](const Relocation &a, const Relocation &b) { return a.offset < b.offset; });
        }
    }

    static void collectLocals(Dwarf_Die *die, std::vector<Local> &locals)
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
                if (name != nullptr &&
                    dwarf_attr(&child, DW_AT_location, &local.location) != nullptr &&
                    dwarf_attr_integrate(&child, DW_AT_type, &type) != nullptr &&
                    dwarf_formref_die(&type, &typeDie) != nullptr &&
                    dwarf_peel_type(&typeDie, &peeled) == 0 &&
                    dwarf_aggregate_size(&peeled, &size) == 0) {
                    local.name = name;
                    local.size = size;
                    locals.push_back(local);
                }
            } else if (tag == DW_TAG_lexical_block || tag == DW_TAG_inlined_subroutine) {
                collectLocals(&child, locals);
            }
        } while (dwarf_siblingof(&child, &child) == 0);
    }

    void readFunctionDies()
    {
        if (dwarf_ == nullptr) {
            return;
        }
        Dwarf_Off offset = 0, next = 0;
        std::size_t headerSize = 0;
        while (dwarf_nextcu(dwarf_, offset, &next, &headerSize, nullptr, nullptr, nullptr) == 0) {
            Dwarf_Die cu;
            if (dwarf_offdie(dwarf_, offset + headerSize, &cu) != nullptr) {
                Dwarf_Die child;
                if (dwarf_child(&cu, &child) == 0) {
                    do {
                        if (dwarf_tag(&child) != DW_TAG_subprogram) {
                            continue;
                        }
                        FunctionDie f;
                        if (dwarf_lowpc(&child, &f.low) != 0 ||
                            dwarf_highpc(&child, &f.high) != 0) {
                            continue;
                        }
                        Dwarf_Attribute frameBase;
                        Dwarf_Op *ops = nullptr;
                        std::size_t count = 0;
                        f.frameBaseIsCfa =
                            dwarf_attr(&child, DW_AT_frame_base, &frameBase) != nullptr &&
                            dwarf_getlocation(&frameBase, &ops, &count) == 0 && count == 1 &&
                            ops[0].atom == DW_OP_call_frame_cfa;
                        collectLocals(&child, f.locals);
                        functionDies_.push_back(std::move(f));
                    } while (dwarf_siblingof(&child, &child) == 0);
                }
            }
            offset = next;
        }
    }

    // The register and offset that the call frame information gives for the CFA at address.
    std::optional<std::pair<int, std::int64_t>> cfa(Dwarf_Addr address) const
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

    // The named locals whose memory [reg + disp] falls in, at address.
    std::vector<std::string> localsAt(Dwarf_Addr address, int reg, std::int64_t disp)
    {
        std::vector<std::string> names;
        for (FunctionDie &f : functionDies_) {
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
                        place = std::make_pair(base->first,
                                               base->second + std::int64_t(expr[0].number));
                    }
                } else if (expr[0].atom >= DW_OP_breg0 && expr[0].atom <= DW_OP_breg31) {
                    place = std::make_pair(int(expr[0].atom - DW_OP_breg0),
                                           std::int64_t(expr[0].number));
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

    // The symbol defined at offset at of a section: a data object, or with functions also a
    // function. Relocations name a section plus offset for what the file keeps local.
    const Symbol *definedAt(std::size_t section, std::int64_t at, bool functions) const
    {
        for (const Symbol &candidate : symbols_) {
            if (candidate.section == section &&
                (candidate.type == STT_OBJECT || (functions && candidate.type == STT_FUNC)) &&
                at >= std::int64_t(candidate.value) &&
                at < std::int64_t(candidate.value + std::max<std::uint64_t>(candidate.size, 1))) {
                return &candidate;
            }
        }
        return nullptr;
    }

    // The data object or function a relocation refers to. correction is where the reference
    // points relative to the symbol plus addend (a PC-relative field counts from the end of
    // its instruction).
    const Symbol *referenced(const Relocation &r, std::int64_t correction) const
    {
        if (r.symbol >= symbols_.size()) {
            return nullptr;
        }
        const Symbol &s = symbols_[r.symbol];
        if (s.type != STT_SECTION) {
            return s.type == STT_OBJECT || s.type == STT_FUNC || s.type == STT_NOTYPE ? &s
                                                                                      : nullptr;
        }
        return definedAt(s.section, r.addend + correction, true);
    }

    // The data object at offset from symbol index (a section symbol or a variable).
    const Symbol *objectAt(std::size_t index, std::int64_t offset) const
    {
        if (index >= symbols_.size()) {
            return nullptr;
        }
        const Symbol &s = symbols_[index];
        return definedAt(s.section, (s.type == STT_SECTION ? 0 : std::int64_t(s.value)) + offset,
                         false);
    }

    std::vector<const Relocation *> relocationsIn(std::size_t section, std::uint64_t from,
                                                  std::uint64_t to) const
    {
        std::vector<const Relocation *> found;
        auto it = relocations_.find(section);
        if (it == relocations_.end()) {
            return found;
        }
        for (const Relocation &r : it->second) {
            if (r.offset >= from && r.offset < to) {
                found.push_back(&r);
            }
        }
        return found;
    }

    // The name of the section a section symbol stands for ("" for any other symbol).
    std::string sectionName(std::size_t index) const
    {
        if (index >= symbols_.size() || symbols_[index].type != STT_SECTION) {
            return "";
        }
        std::size_t names = 0;
        elf_getshdrstrndx(elf_, &names);
        const char *name = elf_strptr(elf_, names, header(symbols_[index].section).sh_name);
        return name != nullptr ? name : "";
    }

    const Symbol *functionAt(std::size_t section, std::uint64_t offset) const
    {
        for (const Symbol &s : symbols_) {
            if (s.type == STT_FUNC && s.section == section && s.value == offset) {
                return &s;
            }
        }
        return nullptr;
    }

    // Where the ARM code of a function stops being instructions: the first $d mark after
    // from, or the end; and where code starts again after a $d mark.
    std::uint64_t codeEnd(std::size_t section, std::uint64_t from, std::uint64_t end) const
    {
        auto it = dataMarks_.find(section);
        if (it == dataMarks_.end()) {
            return end;
        }
        std::uint64_t stop = end;
        for (std::uint64_t mark : it->second) {
            if (mark > from && mark < stop) {
                stop = mark;
            }
        }
        return stop;
    }

    std::uint64_t nextCode(std::size_t section, std::uint64_t from, std::uint64_t end) const
    {
        auto it = codeMarks_.find(section);
        std::uint64_t next = end;
        if (it != codeMarks_.end()) {
            for (std::uint64_t mark : it->second) {
                if (mark > from && mark < next) {
                    next = mark;
                }
            }
        }
        return next;
    }

    void classify(const cs_insn &insn, Instruction &out, std::uint64_t functionStart) const;

    // A branch to "to": within the function it jumps to an offset of it, and to an earlier
    // instruction it closes a loop.
    void noteBranchTarget(std::uint64_t to, std::uint64_t at, std::uint64_t functionStart,
                          Instruction &out) const
    {
        out.jumpsBack = to >= functionStart && to <= at;
        out.jumpsWithin = to >= functionStart && to < functionEnd_;
        out.jumpTarget = out.jumpsWithin ? to - functionStart : 0;
    }

    Function disassemble(const Symbol &s)
    {
        Function function{s.name, s.size, s.global, {}};
        const GElf_Shdr shdr = header(s.section);
        Elf_Data *data = contents(s.section);
        if (data == nullptr || s.value + s.size > data->d_size) {
            return function;
        }
        const bool arm = target_ == "arm";
        csh handle = 0;
        const cs_arch arch = arm ? CS_ARCH_ARM : CS_ARCH_X86;
        const cs_mode mode = arm ? CS_MODE_ARM : target_ == "i386" ? CS_MODE_32 : CS_MODE_64;
        if (cs_open(arch, mode, &handle) != CS_ERR_OK) {
            throw std::runtime_error("the disassembler cannot handle " + target_);
        }
        cs_option(handle, CS_OPT_DETAIL, CS_OPT_ON);
        const auto *bytes = static_cast<const std::uint8_t *>(data->d_buf);
        const std::uint64_t end = s.value + s.size;
        known_.clear();
        functionEnd_ = end;
        std::uint64_t at = s.value;
        while (at < end) {
            const std::uint64_t stop = arm ? codeEnd(s.section, at, end) : end;
            cs_insn *insns = nullptr;
            const std::size_t count = cs_disasm(handle, bytes + at, stop - at, at, 0, &insns);
            std::uint64_t reached = at;
            for (std::size_t i = 0; i < count; ++i) {
                const cs_insn &insn = insns[i];
                Instruction out;
                out.offset = insn.address - s.value;
                out.text = std::string(insn.mnemonic) + (insn.op_str[0] ? " " : "") + insn.op_str;
                const Dwarf_Addr address = shdr.sh_addr + insn.address;
                int lineNumber = 0;
                if (Dwfl_Line *line = dwfl_module_getsrc(module_, address)) {
                    const char *file =
                        dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr);
                    if (sameFile(file, source_).empty()) {
                        lineNumber = 0;
                    }
                }
                out.line = lineNumber;
                classify(insn, out, s.value);
                resolveReferences(handle, insn, s, shdr, out);
                // Calls and jumps by name, not by the object's unrelocated addresses.
                if (!out.annotation.empty()) {
                    out.text += "  # " + out.annotation;
                }
                if (!out.callee.empty()) {
                    out.text = std::string(insn.mnemonic) + " " + out.callee;
                } else if (out.jumpsWithin) {
                    char offset[32];
                    std::snprintf(offset, sizeof offset, "+0x%llx",
                                  (unsigned long long)out.jumpTarget);
                    out.text = std::string(insn.mnemonic) + " " + s.name + offset;
                }
                function.code.push_back(std::move(out));
                reached = insn.address + insn.size;
            }
            cs_free(insns, count);
            // Past a literal pool (ARM) or bytes the disassembler could not read: go on at
            // the next code mark, or stop.
            at = arm ? nextCode(s.section, std::max(reached, stop) - 1, end) : end;
            if (arm && at < stop) {
                at = end;
            }
        }
        cs_close(&handle);
        return function;
    }

    void resolveReferences(csh handle, const cs_insn &insn, const Symbol &function,
                           const GElf_Shdr &shdr, Instruction &out);
    void trackArmAddresses(csh handle, const cs_insn &insn, const Symbol &function,
                           Instruction &out);

    std::map<unsigned, KnownAddress> known_; // ARM registers holding known addresses
    std::uint64_t functionEnd_ = 0;          // of the function being disassembled
};

void ObjectReader::classify(const cs_insn &insn, Instruction &out,
                            std::uint64_t functionStart) const
{
    const cs_detail *detail = insn.detail;
    if (target_ == "arm") {
        switch (insn.id) {
        case ARM_INS_SDIV:
        case ARM_INS_UDIV:
            out.work = Work::divide;
            break;
        case ARM_INS_MUL:
        case ARM_INS_MLA:
        case ARM_INS_MLS:
        case ARM_INS_SMULL:
        case ARM_INS_UMULL:
        case ARM_INS_SMLAL:
        case ARM_INS_UMLAL:
            out.work = Work::multiply;
            break;
        case ARM_INS_LSL:
        case ARM_INS_LSR:
        case ARM_INS_ASR:
        case ARM_INS_ROR:
            out.work = Work::shift;
            break;
        case ARM_INS_AND:
        case ARM_INS_BIC:
            out.work = Work::mask;
            break;
        case ARM_INS_BL:
        case ARM_INS_BLX:
            out.work = Work::call;
            break;
        case ARM_INS_B:
        case ARM_INS_BX:
            out.work = Work::branch;
            break;
        default:
            break;
        }
        // An operand shifted on the way in (add r3, r3, r2, lsr #30) is a shift as well.
        if (out.work == Work::other) {
            for (int i = 0; i < detail->arm.op_count; ++i) {
                if (detail->arm.operands[i].shift.type != ARM_SFT_INVALID &&
                    detail->arm.operands[i].shift.value != 0) {
                    out.work = Work::shift;
                }
            }
        }
        switch (insn.id) {
        case ARM_INS_LDR:
        case ARM_INS_LDRB:
        case ARM_INS_LDRH:
        case ARM_INS_LDRSB:
        case ARM_INS_LDRSH:
        case ARM_INS_LDRD:
        case ARM_INS_LDM:
        case ARM_INS_LDMIB:
        case ARM_INS_LDMDA:
        case ARM_INS_LDMDB:
        case ARM_INS_POP:
            out.readsMemory = true;
            break;
        case ARM_INS_STR:
        case ARM_INS_STRB:
        case ARM_INS_STRH:
        case ARM_INS_STRD:
        case ARM_INS_STM:
        case ARM_INS_STMIB:
        case ARM_INS_STMDA:
        case ARM_INS_STMDB:
        case ARM_INS_PUSH:
            out.writesMemory = true;
            break;
        default:
            break;
        }
        if (out.work == Work::branch && detail->arm.op_count == 1 &&
            detail->arm.operands[0].type == ARM_OP_IMM) {
            noteBranchTarget(std::uint32_t(detail->arm.operands[0].imm), insn.address,
                             functionStart, out);
        }
        return;
    }
    switch (insn.id) {
    case X86_INS_DIV:
    case X86_INS_IDIV:
        out.work = Work::divide;
        break;
    case X86_INS_MUL:
    case X86_INS_IMUL:
        out.work = Work::multiply;
        break;
    case X86_INS_SAR:
    case X86_INS_SHR:
    case X86_INS_SHL:
    case X86_INS_SAL:
    case X86_INS_ROR:
    case X86_INS_ROL:
        out.work = Work::shift;
        break;
    case X86_INS_AND:
        out.work = Work::mask;
        break;
    case X86_INS_CALL:
        out.work = Work::call;
        break;
    default:
        for (int i = 0; i < detail->groups_count; ++i) {
            if (detail->groups[i] == CS_GRP_JUMP) {
                out.work = Work::branch;
            }
        }
        break;
    }
    // The stack accesses that have no memory operand.
    switch (insn.id) {
    case X86_INS_PUSH:
    case X86_INS_CALL:
        out.writesMemory = true;
        break;
    case X86_INS_POP:
    case X86_INS_RET:
    case X86_INS_LEAVE:
        out.readsMemory = true;
        break;
    default:
        break;
    }
    if (insn.id != X86_INS_LEA && insn.id != X86_INS_NOP) {
        for (int i = 0; i < detail->x86.op_count; ++i) {
            const cs_x86_op &op = detail->x86.operands[i];
            if (op.type == X86_OP_MEM) {
                out.readsMemory = out.readsMemory || (op.access & CS_AC_READ) != 0;
                out.writesMemory = out.writesMemory || (op.access & CS_AC_WRITE) != 0;
            }
        }
    }
    if (out.work == Work::branch && detail->x86.op_count == 1 &&
        detail->x86.operands[0].type == X86_OP_IMM) {
        noteBranchTarget(std::uint64_t(detail->x86.operands[0].imm), insn.address, functionStart,
                         out);
    }
}

// Follows addresses through ARM registers within a function: a literal-pool load gives a
// register a symbol's address (a PC-relative pool word once "add rX, pc, rX" has run), a
// load or store through that register then touches the data object at that address, and
// any other write to the register forgets it. This names the globals that -O2 reaches
// through one section address plus offsets.
void ObjectReader::trackArmAddresses(csh handle, const cs_insn &insn, const Symbol &function,
                                     Instruction &out)
{
    const cs_arm &arm = insn.detail->arm;
    // A load or store through a register with a known address.
    for (int i = 0; i < arm.op_count; ++i) {
        const cs_arm_op &op = arm.operands[i];
        if (op.type != ARM_OP_MEM || op.mem.base == ARM_REG_PC || op.mem.index != ARM_REG_INVALID) {
            continue;
        }
        auto it = known_.find(op.mem.base);
        if (it != known_.end() && !it->second.needsPc) {
            const std::int64_t disp = std::int64_t(op.mem.disp) * (op.subtracted ? -1 : 1);
            if (const Symbol *object = objectAt(it->second.symbol, it->second.offset + disp)) {
                if (std::find(out.globals.begin(), out.globals.end(), object->name) ==
                    out.globals.end()) {
                    out.globals.push_back(object->name);
                }
            }
        }
    }
    std::optional<std::pair<unsigned, KnownAddress>> learned;
    if ((insn.id == ARM_INS_LDR) && arm.op_count == 2 && arm.operands[0].type == ARM_OP_REG &&
        arm.operands[1].type == ARM_OP_MEM && arm.operands[1].mem.base == ARM_REG_PC &&
        arm.operands[1].mem.index == ARM_REG_INVALID) {
        const std::uint64_t word =
            insn.address + 8 +
            std::int64_t(arm.operands[1].mem.disp) * (arm.operands[1].subtracted ? -1 : 1);
        for (const Relocation *r : relocationsIn(function.section, word, word + 4)) {
            const bool relative = r->type == R_ARM_REL32;
            learned = std::make_pair(
                unsigned(arm.operands[0].reg),
                KnownAddress{r->symbol, r->addend - (relative ? std::int64_t(word) : 0), relative});
        }
    } else if (insn.id == ARM_INS_ADD && arm.op_count == 3 && arm.operands[1].type == ARM_OP_REG &&
               arm.operands[1].reg == ARM_REG_PC && arm.operands[2].type == ARM_OP_REG) {
        auto it = known_.find(arm.operands[2].reg);
        if (it != known_.end() && it->second.needsPc) {
            KnownAddress address = it->second;
            address.offset += std::int64_t(insn.address + 8);
            address.needsPc = false;
            learned = std::make_pair(unsigned(arm.operands[0].reg), address);
        }
    }
    cs_regs read, written;
    std::uint8_t readCount = 0, writtenCount = 0;
    if (cs_regs_access(handle, &insn, read, &readCount, written, &writtenCount) == CS_ERR_OK) {
        for (std::uint8_t i = 0; i < writtenCount; ++i) {
            known_.erase(written[i]);
        }
    }
    if (out.work == Work::call) {
        for (unsigned reg :
             {ARM_REG_R0, ARM_REG_R1, ARM_REG_R2, ARM_REG_R3, ARM_REG_R12, ARM_REG_LR}) {
            known_.erase(reg);
        }
    }
    if (learned) {
        known_[learned->first] = learned->second;
    }
}

void ObjectReader::resolveReferences(csh handle, const cs_insn &insn, const Symbol &function,
                                     const GElf_Shdr &shdr, Instruction &out)
{
    const cs_detail *detail = insn.detail;
    auto note = [&](const Symbol *s) {
        if (s == nullptr) {
            return;
        }
        if (out.work == Work::call && s->type != STT_OBJECT) {
            out.callee = s->name;
            if (s->name.starts_with("__aeabi_") && s->name.find("div") != std::string::npos) {
                out.work = Work::divide; // ARMv5 has no divide instruction: a runtime call does it
            }
        } else if (s->type == STT_OBJECT && std::find(out.globals.begin(), out.globals.end(),
                                                      s->name) == out.globals.end()) {
            out.globals.push_back(s->name);
        }
    };
    // Relocations inside the instruction: x86 displacements and call targets, ARM calls.
    for (const Relocation *r :
         relocationsIn(function.section, insn.address, insn.address + insn.size)) {
        // A PC-relative field counts from the end of the instruction.
        const std::int64_t correction =
            target_ == "arm" ? 0 : std::int64_t(insn.address + insn.size - r->offset);
        const Symbol *s = referenced(*r, target_ == "x86-64" ? correction : 0);
        note(s);
        // What the unrelocated operand will point at, for the reader of the text.
        if (target_ != "arm" && out.work != Work::call) {
            out.annotation = s != nullptr ? s->name : sectionName(r->symbol);
        }
    }
    if (target_ == "arm") {
        trackArmAddresses(handle, insn, function, out);
        // A load from the literal pool: the word it loads names the symbol.
        for (int i = 0; i < detail->arm.op_count; ++i) {
            const cs_arm_op &op = detail->arm.operands[i];
            if (op.type == ARM_OP_MEM && op.mem.base == ARM_REG_PC &&
                op.mem.index == ARM_REG_INVALID) {
                const std::uint64_t word =
                    insn.address + 8 + std::int64_t(op.mem.disp) * (op.subtracted ? -1 : 1);
                for (const Relocation *r : relocationsIn(function.section, word, word + 4)) {
                    note(referenced(*r, 0));
                }
                out.readsMemory = true;
            } else if (op.type == ARM_OP_MEM && op.mem.index == ARM_REG_INVALID) {
                const int reg = dwarfRegister(target_, op.mem.base);
                const std::int64_t disp = std::int64_t(op.mem.disp) * (op.subtracted ? -1 : 1);
                for (const std::string &name : localsAt(shdr.sh_addr + insn.address, reg, disp)) {
                    out.locals.push_back(name);
                }
            }
        }
        if (out.work == Work::call && out.callee.empty() && detail->arm.op_count == 1 &&
            detail->arm.operands[0].type == ARM_OP_IMM) {
            if (const Symbol *s =
                    functionAt(function.section, std::uint32_t(detail->arm.operands[0].imm))) {
                out.callee = s->name;
            }
        }
        return;
    }
    for (int i = 0; i < detail->x86.op_count; ++i) {
        const cs_x86_op &op = detail->x86.operands[i];
        if (op.type == X86_OP_MEM && op.mem.index == X86_REG_INVALID && insn.id != X86_INS_LEA &&
            op.mem.base != X86_REG_RIP && op.mem.base != X86_REG_INVALID) {
            const int reg = dwarfRegister(target_, op.mem.base);
            for (const std::string &name :
                 localsAt(shdr.sh_addr + insn.address, reg, op.mem.disp)) {
                out.locals.push_back(name);
            }
        }
    }
    if (out.work == Work::call && out.callee.empty() && detail->x86.op_count == 1 &&
        detail->x86.operands[0].type == X86_OP_IMM) {
        if (const Symbol *s =
                functionAt(function.section, std::uint64_t(detail->x86.operands[0].imm))) {
            out.callee = s->name;
        }
    }
}

} // namespace

void readObject(const std::string &path, const std::string &target, const std::string &sourcePath,
                Level &level)
{
    ObjectReader reader(path, target, sourcePath);
    reader.fill(level);
}

} // namespace explorer
