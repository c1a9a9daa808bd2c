// The record libraries name no library they need and take malloc and friends from the
// program that loads them. Their calls go through their own relocation slots, so the
// test rewrites exactly those slots to reach the counting functions below.
#include "heap_hook.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace harness
{
namespace
{

HeapLog log;

bool refuseThisOne()
{
    if (log.failAt > 0 && --log.failAt == 0) {
        ++log.failures;
        return true;
    }
    return false;
}

void *noted(void *block)
{
    if (block != nullptr) {
        ++log.allocations;
        log.allocated.push_back(block);
    }
    return block;
}

void *countingMalloc(size_t size)
{
    return refuseThisOne() ? nullptr : noted(std::malloc(size));
}

void *countingCalloc(size_t count, size_t size)
{
    return refuseThisOne() ? nullptr : noted(std::calloc(count, size));
}

void *countingRealloc(void *block, size_t size)
{
    return refuseThisOne() ? nullptr : noted(std::realloc(block, size));
}

void countingFree(void *block)
{
    log.released.push_back(block);
    std::free(block);
}

void *replacementFor(const char *name)
{
    if (std::strcmp(name, "malloc") == 0)
        return reinterpret_cast<void *>(&countingMalloc);
    if (std::strcmp(name, "calloc") == 0)
        return reinterpret_cast<void *>(&countingCalloc);
    if (std::strcmp(name, "realloc") == 0)
        return reinterpret_cast<void *>(&countingRealloc);
    if (std::strcmp(name, "free") == 0)
        return reinterpret_cast<void *>(&countingFree);
    return nullptr;
}

// Dynamic-section addresses are relocated in place by the loader on this platform;
// an address still below the load base is an unrelocated offset.
template <typename T> T *at(const link_map *map, ElfW(Addr) address)
{
    return reinterpret_cast<T *>(address < map->l_addr ? map->l_addr + address : address);
}

void patchRelocations(const link_map *map, const ElfW(Rela) * relocations, size_t bytes,
                      const ElfW(Sym) * symbols, const char *names)
{
    const long page = sysconf(_SC_PAGESIZE);
    for (size_t i = 0; i < bytes / sizeof(ElfW(Rela)); ++i) {
        const ElfW(Rela) &relocation = relocations[i];
        const auto type = ELF64_R_TYPE(relocation.r_info);
        if (type != R_X86_64_JUMP_SLOT && type != R_X86_64_GLOB_DAT) {
            continue;
        }
        void *replacement = replacementFor(names + symbols[ELF64_R_SYM(relocation.r_info)].st_name);
        if (replacement == nullptr) {
            continue;
        }
        auto *slot = reinterpret_cast<void **>(map->l_addr + relocation.r_offset);
        auto *pageStart = reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(slot) & ~(page - 1));
        if (mprotect(pageStart, page, PROT_READ | PROT_WRITE) != 0) {
            throw std::runtime_error("cannot make a relocation slot writable");
        }
        *slot = replacement;
    }
}

} // namespace

HeapLog &heapLog()
{
    return log;
}

void redirectHeapCalls(void *libraryHandle)
{
    link_map *map = nullptr;
    if (dlinfo(libraryHandle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        throw std::runtime_error("dlinfo failed");
    }
    const ElfW(Sym) *symbols = nullptr;
    const char *names = nullptr;
    const ElfW(Rela) *pltRelocations = nullptr, *relocations = nullptr;
    size_t pltBytes = 0, bytes = 0;
    for (const ElfW(Dyn) *entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
        switch (entry->d_tag) {
        case DT_SYMTAB:
            symbols = at<const ElfW(Sym)>(map, entry->d_un.d_ptr);
            break;
        case DT_STRTAB:
            names = at<const char>(map, entry->d_un.d_ptr);
            break;
        case DT_JMPREL:
            pltRelocations = at<const ElfW(Rela)>(map, entry->d_un.d_ptr);
            break;
        case DT_PLTRELSZ:
            pltBytes = entry->d_un.d_val;
            break;
        case DT_RELA:
            relocations = at<const ElfW(Rela)>(map, entry->d_un.d_ptr);
            break;
        case DT_RELASZ:
            bytes = entry->d_un.d_val;
            break;
        }
    }
    if (symbols == nullptr || names == nullptr) {
        throw std::runtime_error("library has no dynamic symbols");
    }
    if (pltRelocations != nullptr) {
        patchRelocations(map, pltRelocations, pltBytes, symbols, names);
    }
    if (relocations != nullptr) {
        patchRelocations(map, relocations, bytes, symbols, names);
    }
}

} // namespace harness
