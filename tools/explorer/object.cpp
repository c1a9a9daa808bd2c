// Reads one object file in passes: libdwfl lays out and relocates its sections (so that the
// line table, the call frame information and the code share one address space); the ELF
// tables give symbols and relocations; Capstone decodes each function; references, locals
// and loops are then worked out from the decoded instructions.
#include "object.h"

#include "decode.h"
#include "elf_tables.h"
#include "locals.h"
#include "loops.h"
#include "references.h"

#include <elfutils/libdwfl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>

namespace explorer
{
namespace
{

bool sameFile(const char *file, const std::string &sourcePath)
{
    std::error_code error;
    return file != nullptr && std::filesystem::equivalent(file, sourcePath, error);
}

// Sections whose relocations describe code rather than use it (unwinding tables).
bool describesCode(const std::string &section)
{
    return section.starts_with(".eh_frame") || section.starts_with(".ARM.exidx") ||
           section.starts_with(".ARM.extab");
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
            dwfl_end(dwfl_);
            throw std::runtime_error(path + ": " + dwfl_errmsg(-1));
        }
        Dwarf_Addr bias = 0;
        dwarf_ = dwfl_module_getdwarf(module_, &bias); // lays the sections out and relocates
        GElf_Addr elfBias = 0;
        elf_ = dwfl_module_getelf(module_, &elfBias);
        if (elf_ == nullptr) {
            dwfl_end(dwfl_);
            throw std::runtime_error(path + ": not an ELF file");
        }
        cfi_ = dwfl_module_dwarf_cfi(module_, &bias);
        if (cfi_ == nullptr) {
            cfi_ = dwfl_module_eh_cfi(module_, &bias);
        }
        // libdwfl applies the relocations of the sections it lays out; the tables, the code
        // and the data are read as the file holds them, through a handle of their own.
        elf_version(EV_CURRENT);
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        raw_ = fd_ < 0 ? nullptr : elf_begin(fd_, ELF_C_READ, nullptr);
        if (raw_ == nullptr) {
            if (fd_ >= 0) {
                close(fd_);
            }
            dwfl_end(dwfl_);
            throw std::runtime_error(path + ": cannot read it");
        }
    }

    ~ObjectReader()
    {
        if (raw_ != nullptr) {
            elf_end(raw_);
        }
        if (fd_ >= 0) {
            close(fd_);
        }
        dwfl_end(dwfl_);
    }
    ObjectReader(const ObjectReader &) = delete;
    ObjectReader &operator=(const ObjectReader &) = delete;

    void fill(Level &level)
    {
        const ElfTables tables(raw_);
        const Decoder decoder(target_);
        Locals locals(dwarf_, cfi_);
        for (const Symbol &s : tables.symbols()) {
            if (s.type == STT_OBJECT && s.section != SHN_UNDEF) {
                level.variables.push_back({s.name, demangledName(s.name), s.size, s.global});
            }
        }
        std::vector<std::pair<const Symbol *, std::vector<Decoded>>> decoded;
        for (const Symbol &s : tables.symbols()) {
            if (s.type == STT_FUNC && s.size > 0 && s.section != SHN_UNDEF) {
                decoded.emplace_back(&s, decode(tables, decoder, s));
            }
        }
        const std::vector<Place> pointers = dataPointers(tables, decoded);
        std::vector<Place> addresses = pointers;
        for (const auto &[symbol, code] : decoded) {
            Resolved resolved = resolveReferences(tables, decoder, *symbol, code, pointers);
            addresses.insert(addresses.end(), resolved.addresses.begin(), resolved.addresses.end());
            level.functions.push_back(describe(decoder, locals, *symbol, code, resolved.code));
        }
        // Which functions the file itself calls, or names the address of.
        std::set<std::string> used;
        for (const Function &f : level.functions) {
            for (const Instruction &insn : f.code) {
                if (insn.flow == Flow::call || insn.flow == Flow::tailCall) {
                    used.insert(insn.callee);
                }
            }
        }
        for (const Place &place : addresses) {
            const Symbol *f = tables.functionAt(place);
            if (f != nullptr && std::int64_t(f->value) == place.offset) {
                used.insert(f->name);
            }
        }
        for (const Relocation &r : tables.allRelocations()) {
            const Symbol &s = tables.symbols()[r.symbol];
            if (s.type == STT_FUNC && !describesCode(tables.sectionNameOf(r.section))) {
                used.insert(s.name);
            }
        }
        for (Function &f : level.functions) {
            f.calledHere = used.contains(f.symbol);
        }
    }

  private:
    std::string target_, source_;
    Dwfl_Callbacks callbacks_{};
    Dwfl *dwfl_ = nullptr;
    Dwfl_Module *module_ = nullptr;
    Dwarf *dwarf_ = nullptr;
    Elf *elf_ = nullptr; // as libdwfl laid it out: section addresses for the DWARF
    Elf *raw_ = nullptr; // as the file holds it
    int fd_ = -1;
    Dwarf_CFI *cfi_ = nullptr;

    std::vector<Decoded> decode(const ElfTables &tables, const Decoder &decoder, const Symbol &s)
    {
        Elf_Data *data = elf_getdata(elf_getscn(raw_, s.section), nullptr);
        std::vector<Decoded> decoded;
        if (data == nullptr || data->d_buf == nullptr || s.value + s.size > data->d_size) {
            return decoded;
        }
        const auto *bytes = static_cast<const std::uint8_t *>(data->d_buf);
        const std::uint64_t size = data->d_size;
        // ARM code keeps literal pools between its instructions: decode the runs of code.
        const std::uint64_t end = s.value + s.size;
        for (std::uint64_t at = s.value; at < end;) {
            const std::uint64_t stop = tables.armRunEnd(s.section, at, end);
            if (!tables.armDataAt(s.section, at)) {
                std::vector<Decoded> run = decoder.decode(bytes, size, at, stop);
                decoded.insert(decoded.end(), run.begin(), run.end());
            }
            at = stop;
        }
        return decoded;
    }

    // The addresses the file holds outside its instructions: in data sections (tables of
    // functions, jump tables) and in ARM data words that no instruction loads as a literal.
    // A PC-relative entry of a jump table holds its target less the table's start, which
    // an instruction of the code points at.
    std::vector<Place>
    dataPointers(const ElfTables &tables,
                 const std::vector<std::pair<const Symbol *, std::vector<Decoded>>> &decoded) const
    {
        std::set<std::pair<std::size_t, std::int64_t>> tableStarts, literals;
        for (const auto &[symbol, code] : decoded) {
            for (const Decoded &d : code) {
                for (const Relocation *r :
                     tables.relocationsIn(symbol->section, d.address, d.address + d.size)) {
                    Place place;
                    if (instructionTarget(tables, *r, d.address + d.size, place)) {
                        tableStarts.emplace(place.section, place.offset);
                    }
                }
                if (d.isLiteralLoad) {
                    literals.emplace(symbol->section, d.literalAddress);
                }
            }
        }
        std::vector<Place> pointers;
        for (const Relocation &r : tables.allRelocations()) {
            GElf_Shdr shdr{};
            gelf_getshdr(elf_getscn(raw_, r.section), &shdr);
            if (describesCode(tables.sectionNameOf(r.section)) ||
                ((shdr.sh_flags & SHF_EXECINSTR) != 0 &&
                 (!tables.armDataAt(r.section, r.offset) ||
                  literals.contains({r.section, std::int64_t(r.offset)})))) {
                continue;
            }
            Place place;
            if (!tables.placeOf(r, 0, place)) {
                continue;
            }
            auto start = tableStarts.upper_bound({r.section, std::int64_t(r.offset)});
            if (pcRelative(tables.machine(), r.type) && start != tableStarts.begin() &&
                std::prev(start)->first == r.section) {
                place.offset -= std::int64_t(r.offset) - std::prev(start)->second;
            }
            pointers.push_back(place);
        }
        return pointers;
    }

    Function describe(const Decoder &decoder, Locals &locals, const Symbol &s,
                      const std::vector<Decoded> &decoded, std::vector<Instruction> code)
    {
        Function function;
        function.symbol = s.name;
        function.name = demangledName(s.name);
        function.shortName = withoutParameters(function.name);
        function.size = s.size;
        function.global = s.global;
        Elf_Scn *scn = elf_getscn(elf_, s.section);
        GElf_Shdr shdr{};
        gelf_getshdr(scn, &shdr);
        function.code = std::move(code);
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            Instruction &out = function.code[i];
            const Dwarf_Addr address = shdr.sh_addr + decoded[i].address;
            if (Dwfl_Line *line = dwfl_module_getsrc(module_, address)) {
                int number = 0;
                const char *file = dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr);
                out.line = sameFile(file, source_) ? number : 0;
            }
            for (const MemoryOperand &op : decoded[i].memory) {
                if (decoded[i].takesAddress || !op.index.empty() || op.base.empty() ||
                    op.base == "ip" || op.base == "pc") {
                    continue;
                }
                for (const std::string &name :
                     locals.at(address, decoder.dwarfNumber(op.base), op.displacement)) {
                    if (std::find(out.locals.begin(), out.locals.end(), name) == out.locals.end()) {
                        out.locals.push_back(name);
                    }
                }
            }
        }
        function.loops = naturalLoops(function.code);
        return function;
    }
};

} // namespace

void readObject(const std::string &path, const std::string &target, const std::string &sourcePath,
                Level &level)
{
    ObjectReader reader(path, target, sourcePath);
    reader.fill(level);
}

} // namespace explorer
