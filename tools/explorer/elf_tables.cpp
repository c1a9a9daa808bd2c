// Reads the symbol table and the relocations of an object file with libelf. REL sections
// (i386, ARM) keep the addend in the relocated bytes: it is read from the file's own contents.
#include "elf_tables.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace explorer
{

ElfTables::ElfTables(Elf *elf) : elf_(elf)
{
    GElf_Ehdr ehdr{};
    if (gelf_getehdr(elf_, &ehdr) != nullptr) {
        machine_ = ehdr.e_machine;
    }
    readSymbols();
    readRelocations();
}

void ElfTables::readSymbols()
{
    for (Elf_Scn *scn = elf_nextscn(elf_, nullptr); scn != nullptr; scn = elf_nextscn(elf_, scn)) {
        GElf_Shdr shdr{};
        gelf_getshdr(scn, &shdr);
        if (shdr.sh_type != SHT_SYMTAB) {
            continue;
        }
        Elf_Data *data = elf_getdata(scn, nullptr);
        const std::size_t count = shdr.sh_entsize == 0 ? 0 : shdr.sh_size / shdr.sh_entsize;
        for (std::size_t i = 0; i < count; ++i) {
            GElf_Sym sym{};
            gelf_getsym(data, int(i), &sym);
            const char *name = elf_strptr(elf_, shdr.sh_link, sym.st_name);
            Symbol s;
            s.name = name != nullptr ? name : "";
            s.section = sym.st_shndx;
            s.value = sym.st_value;
            s.size = sym.st_size;
            s.type = GELF_ST_TYPE(sym.st_info);
            s.global = GELF_ST_BIND(sym.st_info) != STB_LOCAL;
            if (machine_ == EM_ARM && (s.name.starts_with("$d") || s.name.starts_with("$a"))) {
                marks_[s.section][s.value] = s.name[1] == 'd';
            }
            symbols_.push_back(s);
        }
    }
}

void ElfTables::readRelocations()
{
    for (Elf_Scn *scn = elf_nextscn(elf_, nullptr); scn != nullptr; scn = elf_nextscn(elf_, scn)) {
        GElf_Shdr shdr{};
        gelf_getshdr(scn, &shdr);
        if (shdr.sh_type != SHT_RELA && shdr.sh_type != SHT_REL) {
            continue;
        }
        GElf_Shdr applies{};
        gelf_getshdr(elf_getscn(elf_, shdr.sh_info), &applies);
        if ((applies.sh_flags & SHF_ALLOC) == 0) {
            continue; // debug sections
        }
        Elf_Data *target = elf_getdata(elf_getscn(elf_, shdr.sh_info), nullptr);
        Elf_Data *data = elf_getdata(scn, nullptr);
        const std::size_t count = shdr.sh_entsize == 0 ? 0 : shdr.sh_size / shdr.sh_entsize;
        std::vector<Relocation> &list = bySection_[shdr.sh_info];
        for (std::size_t i = 0; i < count; ++i) {
            Relocation r;
            r.section = shdr.sh_info;
            if (shdr.sh_type == SHT_RELA) {
                GElf_Rela rela{};
                gelf_getrela(data, int(i), &rela);
                r.offset = rela.r_offset;
                r.symbol = GELF_R_SYM(rela.r_info);
                r.addend = rela.r_addend;
                r.type = unsigned(GELF_R_TYPE(rela.r_info));
            } else {
                GElf_Rel rel{};
                gelf_getrel(data, int(i), &rel);
                r.offset = rel.r_offset;
                r.symbol = GELF_R_SYM(rel.r_info);
                r.type = unsigned(GELF_R_TYPE(rel.r_info));
                std::int32_t word = 0;
                if (target != nullptr && target->d_buf != nullptr &&
                    rel.r_offset + 4 <= target->d_size) {
                    std::memcpy(&word, static_cast<const char *>(target->d_buf) + rel.r_offset, 4);
                }
                r.addend = word;
                // ARM branches keep a 24-bit word offset in the instruction.
                if (machine_ == EM_ARM &&
                    (r.type == R_ARM_CALL || r.type == R_ARM_JUMP24 || r.type == R_ARM_PC24)) {
                    std::int32_t field = word & 0x00ffffff;
                    if ((field & 0x00800000) != 0) {
                        field -= 0x01000000;
                    }
                    r.addend = std::int64_t(field) * 4;
                }
            }
            list.push_back(r);
        }
        std::sort(list.begin(), list.end(),
                  [](const Relocation &a, const Relocation &b) { return a.offset < b.offset; });
        all_.insert(all_.end(), list.begin(), list.end());
    }
}

std::vector<const Relocation *> ElfTables::relocationsIn(std::size_t section, std::uint64_t from,
                                                         std::uint64_t to) const
{
    std::vector<const Relocation *> found;
    auto it = bySection_.find(section);
    if (it == bySection_.end()) {
        return found;
    }
    auto at = std::lower_bound(it->second.begin(), it->second.end(), from,
                               [](const Relocation &r, std::uint64_t o) { return r.offset < o; });
    for (; at != it->second.end() && at->offset < to; ++at) {
        found.push_back(&*at);
    }
    return found;
}

bool ElfTables::placeOf(const Relocation &r, std::int64_t correction, Place &place) const
{
    if (r.symbol >= symbols_.size()) {
        return false;
    }
    const Symbol &s = symbols_[r.symbol];
    if (s.section == SHN_UNDEF || s.section >= SHN_LORESERVE) {
        return false;
    }
    place.section = s.section;
    place.offset = (s.type == STT_SECTION ? 0 : std::int64_t(s.value)) + r.addend + correction;
    return true;
}

const Symbol *ElfTables::symbolAt(const Place &place, int type) const
{
    for (const Symbol &s : symbols_) {
        if (s.type == type && s.section == place.section && place.offset >= std::int64_t(s.value) &&
            place.offset < std::int64_t(s.value + std::max<std::uint64_t>(s.size, 1))) {
            return &s;
        }
    }
    return nullptr;
}

const Symbol *ElfTables::objectAt(const Place &place) const
{
    return symbolAt(place, STT_OBJECT);
}

const Symbol *ElfTables::functionAt(const Place &place) const
{
    return symbolAt(place, STT_FUNC);
}

std::string ElfTables::sectionNameOf(std::size_t section) const
{
    std::size_t names = 0;
    GElf_Shdr shdr{};
    if (elf_getshdrstrndx(elf_, &names) != 0 ||
        gelf_getshdr(elf_getscn(elf_, section), &shdr) == nullptr) {
        return "";
    }
    const char *name = elf_strptr(elf_, names, shdr.sh_name);
    return name != nullptr ? name : "";
}

bool ElfTables::armDataAt(std::size_t section, std::uint64_t offset) const
{
    auto it = marks_.find(section);
    if (it == marks_.end()) {
        return false;
    }
    auto mark = it->second.upper_bound(offset);
    return mark != it->second.begin() && std::prev(mark)->second;
}

std::uint64_t ElfTables::armRunEnd(std::size_t section, std::uint64_t offset,
                                   std::uint64_t end) const
{
    auto it = marks_.find(section);
    if (it == marks_.end()) {
        return end;
    }
    const bool data = armDataAt(section, offset);
    for (auto mark = it->second.upper_bound(offset); mark != it->second.end(); ++mark) {
        if (mark->first >= end) {
            break;
        }
        if (mark->second != data) {
            return mark->first;
        }
    }
    return end;
}

std::string demangledName(const std::string &symbol)
{
    if (!symbol.starts_with("_Z")) {
        return symbol;
    }
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> plain(
        abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status), &std::free);
    return status == 0 && plain ? std::string(plain.get()) : symbol;
}

std::string withoutParameters(const std::string &name)
{
    // The parameter list is the last top-level "(...)" that is not part of a name such as
    // "operator()" or "{lambda(int)#1}": scan for the "(" that opens the final group.
    int depth = 0;
    for (std::size_t i = name.size(); i-- > 0;) {
        const char c = name[i];
        if (c == ')') {
            ++depth;
        } else if (c == '(') {
            if (--depth == 0) {
                const bool operatorCall = i >= 9 && name.compare(i - 8, 8, "operator") == 0 &&
                                          i + 1 < name.size() && name[i + 1] == ')';
                if (!operatorCall) {
                    return name.substr(0, i);
                }
            }
        }
    }
    return name;
}

} // namespace explorer
