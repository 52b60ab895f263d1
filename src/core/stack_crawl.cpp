#include "core/stack_crawl.h"

#include <dlfcn.h>
#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cinttypes>
#include <csignal>
#include <cstdint>
#include <cstring>

namespace {

constexpr int max_lines = 100;

const char* last_component(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

long long offset_of(const void* addr, const void* base) {
    return static_cast<long long>(reinterpret_cast<uintptr_t>(addr) - reinterpret_cast<uintptr_t>(base));
}

void write_index(FILE* file, int index) { std::fprintf(file, " % 2d) ", index); }

void copy_text(char (&dst)[1024], const char* src) {
    std::strncpy(dst, src, sizeof dst - 1);
    dst[sizeof dst - 1] = '\0';
}

// The loader only knows exported names, so the image's own symbol table on disk refines its
// answer: the nearest function at or below the address, else the nearest named symbol.
class elf_image {
public:
    explicit elf_image(const char* path) {
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_size > 0) {
            void* m = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (m != MAP_FAILED) {
                data_ = static_cast<const unsigned char*>(m);
                size_ = static_cast<std::size_t>(st.st_size);
            }
        }
        ::close(fd);
    }
    ~elf_image() {
        if (data_) ::munmap(const_cast<unsigned char*>(data_), size_);
    }
    elf_image(const elf_image&) = delete;
    elf_image& operator=(const elf_image&) = delete;

    bool lookup(uintptr_t load_base, uintptr_t addr, char (&name)[1024], void*& symbol_address) const {
        const Elf64_Ehdr* eh = header();
        if (!eh) return false;
        const uintptr_t bias = eh->e_type == ET_DYN ? load_base : 0;
        const Elf64_Shdr* symtab = find_section(SHT_SYMTAB);
        if (!symtab) symtab = find_section(SHT_DYNSYM);
        if (!symtab || symtab->sh_entsize != sizeof(Elf64_Sym) || symtab->sh_link >= eh->e_shnum) return false;
        const Elf64_Shdr* strtab = section(symtab->sh_link);
        if (!strtab || !in_file(symtab->sh_offset, symtab->sh_size) || !in_file(strtab->sh_offset, strtab->sh_size))
            return false;
        const auto* syms = reinterpret_cast<const Elf64_Sym*>(data_ + symtab->sh_offset);
        const std::size_t count = symtab->sh_size / sizeof(Elf64_Sym);
        const char* strings = reinterpret_cast<const char*>(data_ + strtab->sh_offset);

        const Elf64_Sym* found = nearest(syms, count, strings, strtab->sh_size, bias, addr, true);
        if (!found) found = nearest(syms, count, strings, strtab->sh_size, bias, addr, false);
        if (!found) return false;
        copy_text(name, strings + found->st_name);
        symbol_address = reinterpret_cast<void*>(found->st_value + bias);
        return true;
    }

private:
    bool in_file(uint64_t off, uint64_t len) const { return off <= size_ && len <= size_ - off; }

    const Elf64_Ehdr* header() const {
        if (!data_ || size_ < sizeof(Elf64_Ehdr) || std::memcmp(data_, ELFMAG, SELFMAG) != 0 ||
            data_[EI_CLASS] != ELFCLASS64)
            return nullptr;
        const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(data_);
        if (eh->e_shentsize != sizeof(Elf64_Shdr) ||
            !in_file(eh->e_shoff, static_cast<uint64_t>(eh->e_shnum) * sizeof(Elf64_Shdr)))
            return nullptr;
        return eh;
    }
    const Elf64_Shdr* section(unsigned i) const {
        return reinterpret_cast<const Elf64_Shdr*>(data_ + header()->e_shoff) + i;
    }
    const Elf64_Shdr* find_section(uint32_t type) const {
        for (unsigned i = 0; i < header()->e_shnum; ++i)
            if (section(i)->sh_type == type) return section(i);
        return nullptr;
    }

    // A later symbol at the same distance replaces an earlier one; distance 0 ends the search.
    static const Elf64_Sym* nearest(const Elf64_Sym* syms, std::size_t count, const char* strings,
                                    uint64_t strings_size, uintptr_t bias, uintptr_t addr, bool functions_only) {
        const Elf64_Sym* best = nullptr;
        uintptr_t best_distance = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const Elf64_Sym& s = syms[i];
            if (s.st_name == 0 || s.st_name >= strings_size || strings[s.st_name] == '\0') continue;
            if (s.st_shndx == SHN_UNDEF || s.st_value == 0) continue;
            if (memchr(strings + s.st_name, '\0', strings_size - s.st_name) == nullptr) continue;
            const int type = ELF64_ST_TYPE(s.st_info);
            if (functions_only ? type != STT_FUNC : (type == STT_SECTION || type == STT_FILE)) continue;
            const uintptr_t value = s.st_value + bias;
            if (value > addr) continue;
            const uintptr_t distance = addr - value;
            if (!best || distance <= best_distance) {
                best = &s;
                best_distance = distance;
                if (distance == 0) break;
            }
        }
        return best;
    }

    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace

void UTL_debug_init() { std::signal(SIGPIPE, SIG_IGN); }

__attribute__((noinline)) void UTL_dump_stack(FILE* file, stack_frame* start, void* pc) {
    int index = 0;
    if (pc) {
        write_index(file, index);
        print_symbol(file, pc);
        index = 1;
    }

    if (!start) {
        // Frame pointers may be omitted in optimised code, so the unwinder finds our callers.
        void* addrs[max_lines + 1];
        const int n = backtrace(addrs, max_lines + 1);
        for (int k = 1; k < n && index < max_lines; ++k, ++index) {  // entry 0 is this function
            write_index(file, index);
            print_symbol(file, addrs[k]);
        }
        return;
    }

    for (stack_frame* frame = start; frame; frame = frame->previous, ++index) {
        if (!UTL_valid_memory(frame, sizeof(stack_frame), 1, 1)) break;
        if (index >= max_lines) break;
        // The chain must climb toward older frames; the outermost one (previous null) is not written.
        if (reinterpret_cast<uintptr_t>(frame) >= reinterpret_cast<uintptr_t>(frame->previous)) break;
        write_index(file, index);
        print_symbol(file, frame->return_address);
    }
}

void print_symbol(FILE* file, void* addr) {
    symbol_info info;
    UTL_get_debug_symbol(addr, &info);
    const uintptr_t a = reinterpret_cast<uintptr_t>(addr);

    if (info.symbol_name[0]) {
        if (info.symbol_address)
            std::fprintf(file, "%s + %lld", info.symbol_name, offset_of(addr, info.symbol_address));
        else
            std::fprintf(file, "0x%016" PRIxPTR, a);
    } else if (info.symbol_address) {
        std::fprintf(file, "0x%016" PRIxPTR " + %lld", reinterpret_cast<uintptr_t>(info.symbol_address),
                     offset_of(addr, info.symbol_address));
    } else {
        std::fprintf(file, "0x%016" PRIxPTR, a);
    }

    if (info.source_file[0]) std::fprintf(file, " (%s:%d)", last_component(info.source_file), info.source_line);

    if (!info.image_base) {
        std::fputs(" (\?\?\?)\n", file);
    } else if (info.image_path[0]) {
        std::fprintf(file, " (%s + %lld)\n", last_component(info.image_path), offset_of(addr, info.image_base));
    } else {
        std::fprintf(file, " (0x%016" PRIxPTR " + %lld)\n", reinterpret_cast<uintptr_t>(info.image_base),
                     offset_of(addr, info.image_base));
    }
}

void UTL_get_debug_symbol(void* addr, symbol_info* info) {
    info->image_path[0] = '\0';
    info->image_base = nullptr;
    info->symbol_name[0] = '\0';
    info->symbol_address = nullptr;
    info->source_file[0] = '\0';
    info->source_line = -1;

    Dl_info dl{};
    if (!addr || dladdr(addr, &dl) == 0) return;
    if (dl.dli_fname) copy_text(info->image_path, dl.dli_fname);
    info->image_base = dl.dli_fbase;
    if (dl.dli_sname) copy_text(info->symbol_name, dl.dli_sname);
    info->symbol_address = dl.dli_saddr;

    if (!info->image_path[0]) return;
    const elf_image image(info->image_path);
    image.lookup(reinterpret_cast<uintptr_t>(dl.dli_fbase), reinterpret_cast<uintptr_t>(addr), info->symbol_name,
                 info->symbol_address);
}

int UTL_valid_memory(const void* start, unsigned length, int need_read, int need_write) {
    uintptr_t p = reinterpret_cast<uintptr_t>(start);
    const uintptr_t end = p + length;
    if (p >= end) return 1;

    // The kernel lists the mappings in ascending order, so one pass answers.
    FILE* maps = std::fopen("/proc/self/maps", "re");
    if (!maps) return 0;
    char line[512];
    int ok = 0;
    while (std::fgets(line, sizeof line, maps)) {
        if (!std::strchr(line, '\n')) {  // a long path: drop the rest of the line
            int c;
            while ((c = std::fgetc(maps)) != EOF && c != '\n') {
            }
        }
        uintptr_t lo = 0, hi = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %4s", &lo, &hi, perms) != 3) continue;
        if (hi <= p) continue;
        if (lo > p) break;  // p is not mapped
        if ((need_read && perms[0] != 'r') || (need_write && perms[1] != 'w')) break;
        p = hi;
        if (p >= end) {
            ok = 1;
            break;
        }
    }
    std::fclose(maps);
    return ok;
}

void dump_hex(FILE* file, const void* data, int count) {
    const unsigned char* d = static_cast<const unsigned char*>(data);
    for (; count > 0; count -= 16, d += 16) {
        std::fputc(' ', file);
        for (int c = 0; c < 16; ++c) {
            if (c && c % 4 == 0) std::fputc(' ', file);
            if (c < count)
                std::fprintf(file, "%02X", d[c]);
            else
                std::fputs("  ", file);
        }
        std::fputs("     ", file);
        for (int c = 0; c < 16; ++c) {
            if (c && c % 4 == 0) std::fputc(' ', file);
            std::fputc(c < count ? (std::isprint(d[c]) ? d[c] : '.') : ' ', file);
        }
        std::fputc('\n', file);
    }
}
