#include "core/memory_report.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/pooled_alloc.h"
#include "core/stats.h"
#include "core/app_globals.h"
#include "core/log.h"

namespace {
int first_dump = 1;
const std::vector<mem_region>* injected_regions = nullptr;
const mem_system_figures* injected_figures = nullptr;

enum { sm_cow = 1, sm_private = 2, sm_empty = 3, sm_shared = 4 };

uint64_t page_bytes() {
    const long p = ::sysconf(_SC_PAGESIZE);
    return p > 0 ? static_cast<uint64_t>(p) : 4096;
}

std::string image_of(uint64_t address) {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &info) == 0) return "";
    return info.dli_fname != nullptr ? info.dli_fname : "";
}

// Linux has no share-mode field: a shared mapping is Shared, an untouched one Empty, a private
// file mapping Copy-on-write and private anonymous memory Private.
unsigned char share_mode_of(bool shared_map, bool file_backed, uint64_t rss_kb) {
    if (shared_map) return sm_shared;
    if (rss_kb == 0) return sm_empty;
    return file_backed ? sm_cow : sm_private;
}

struct out_file {
    FILE* f;
    bool is_stdout;
    // Not format-checked: the report's layouts keep blank flags ("% 20s") that printf ignores there.
    void line(const char* fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        std::vfprintf(f, fmt, ap);
        va_end(ap);
        std::fputc('\n', f);
    }
};
}  // namespace

uint64_t mem_to_number(uint64_t v) {
    if (v > (uint64_t(14) << 30)) return v >> 30;
    if (static_cast<double>(v) > 1.4 * 1048576.0) return v >> 20;
    if (static_cast<double>(v) > 1.4 * 1024.0) return v >> 10;
    return v;
}

char mem_to_suffix(uint64_t v) {
    if (v > (uint64_t(14) << 30)) return 'G';
    if (static_cast<double>(v) > 1.4 * 1048576.0) return 'M';
    if (static_cast<double>(v) > 1.4 * 1024.0) return 'K';
    return 'B';
}

const char* sm_string(unsigned char share_mode) {
    switch (share_mode) {
    case 1: return "Copy-on-write";
    case 2: return "Private";
    case 3: return "Empty";
    case 4: return "Shared";
    case 5: return "True-Shared";
    case 6: return "Private-Aliased";
    case 7: return "Shared-Aliased";
    default: return "Unknown";
    }
}

std::vector<mem_region> mem_report_read_regions() {
    std::vector<mem_region> out;
    std::ifstream in("/proc/self/smaps");
    const uint64_t page = page_bytes();
    std::string line;
    mem_region cur;
    bool have = false, shared_map = false, file_backed = false;
    uint64_t rss = 0, priv = 0, shr = 0;
    auto finish = [&] {
        if (!have) return;
        cur.private_pages = priv * 1024 / page;
        cur.shared_pages = shr * 1024 / page;
        cur.share_mode = share_mode_of(shared_map, file_backed, rss);
        out.push_back(cur);
    };
    while (std::getline(in, line)) {
        unsigned long long lo = 0, hi = 0;
        char perms[8] = {};
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %7s %*s %*s %*s%n", &lo, &hi, perms, &consumed) >= 3 &&
            line.find('-') < line.find(' ')) {
            finish();
            cur = mem_region{};
            cur.start = lo;
            cur.size = hi >= lo ? hi - lo : 0;
            shared_map = perms[3] == 's';
            std::string path = consumed > 0 && static_cast<size_t>(consumed) < line.size() ? line.substr(consumed) : "";
            path.erase(0, path.find_first_not_of(' '));
            file_backed = !path.empty() && path[0] == '/';
            const std::string img = image_of(lo);
            Dl_info info{};
            cur.has_image = ::dladdr(reinterpret_cast<void*>(static_cast<uintptr_t>(lo)), &info) != 0;
            cur.image = img;
            rss = priv = shr = 0;
            have = true;
            continue;
        }
        unsigned long long kb = 0;
        char key[64] = {};
        if (std::sscanf(line.c_str(), "%63[^:]: %llu kB", key, &kb) != 2) continue;
        if (std::strcmp(key, "Rss") == 0) rss = kb;
        else if (std::strcmp(key, "Private_Clean") == 0 || std::strcmp(key, "Private_Dirty") == 0) priv += kb;
        else if (std::strcmp(key, "Shared_Clean") == 0 || std::strcmp(key, "Shared_Dirty") == 0) shr += kb;
    }
    finish();
    std::sort(out.begin(), out.end(), [](const mem_region& a, const mem_region& b) { return a.start < b.start; });
    return out;
}

mem_system_figures mem_report_read_system() {
    mem_system_figures f;
    f.page_size = page_bytes();
    {
        std::ifstream statm("/proc/self/statm");
        uint64_t size = 0, resident = 0;
        if (statm >> size >> resident) {
            f.vsize = size * f.page_size;
            f.rsize = resident * f.page_size;
        }
    }
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t kb = 0;
    std::string unit;
    uint64_t swap_free = 0;
    while (meminfo >> key >> kb) {
        std::getline(meminfo, unit);
        const uint64_t pages = kb * 1024 / f.page_size;
        if (key == "MemFree:") f.free_pages = pages;
        else if (key == "Active:") f.active_pages = pages;
        else if (key == "Inactive:") f.inactive_pages = pages;
        else if (key == "Unevictable:") f.wired_pages = pages;
        else if (key == "SwapTotal:") f.swap_total = kb * 1024;
        else if (key == "SwapFree:") swap_free = kb * 1024;
    }
    f.swap_avail = swap_free;
    f.swap_used = f.swap_total >= swap_free ? f.swap_total - swap_free : 0;
    return f;
}

void mem_report_set_regions_for_test(const std::vector<mem_region>* regions) { injected_regions = regions; }
void mem_report_set_figures_for_test(const mem_system_figures* figures) { injected_figures = figures; }
void mem_report_reset_for_test() { first_dump = 1; }

#define SZ(v) mem_to_number(v), mem_to_suffix(v)

void dump_mem_stats(const char* reason) {
    xer << "I am dumping information about memory to MemoryLog.txt.  This memory dump was generated by: " << reason
        << ".\n";

    const std::string path = app_path + "MemoryLog.txt";
    out_file o{std::fopen(path.c_str(), first_dump ? "w" : "a"), false};
    first_dump = 0;
    if (o.f == nullptr) o = out_file{stdout, true};

    const mem_system_figures fig = injected_figures != nullptr ? *injected_figures : mem_report_read_system();
    const uint64_t ps = fig.page_size;

    o.line("Memory information dump, generated by: %s.", reason);
    o.line("OS X Info:");
    o.line("    Page size:        %5" PRIu64 "%c      This is the size of one virtual memory page.", SZ(ps));
    o.line("    Vsize (reported): %5" PRIu64 "%c      This is the total virtual address space used by Ventaro (including empty regions).", SZ(fig.vsize));
    o.line("    Rsize:            %5" PRIu64 "%c      This is the total amount of real RAM used by Ventaro (virtual pages resident in RAM).", SZ(fig.rsize));
    o.line("    Free pages:       %5" PRIu64 "%c      This is the total free RAM on the machine.", SZ(fig.free_pages * ps));
    o.line("    Active Pages:     %5" PRIu64 "%c      This is the total actively used RAM among all apps - it probably can't be paged out without causing huge performance problems.", SZ(fig.active_pages * ps));
    o.line("    Inactive Pages:   %5" PRIu64 "%c      This is the total inactive RAM from all apps - pages that is elligible to be paged out since it hasn't been used recently.", SZ(fig.inactive_pages * ps));
    o.line("    Wired Pages:      %5" PRIu64 "%c      This is the total wired RAM - pages that are 'wired down' and cannot ever be paged out.", SZ(fig.wired_pages * ps));
    o.line("    Total Swap Pages: %5" PRIu64 "%c", SZ(fig.swap_total));
    o.line("    Avail Swap Pages: %5" PRIu64 "%c", SZ(fig.swap_avail));
    o.line("    Used  Swap Pages: %5" PRIu64 "%c", SZ(fig.swap_used));
    o.line("    I will now print the entire map of virtual memory.");
    o.line("        Address           Size    r-private r-shared sharing-mode (ref count)");

    std::vector<mem_region> live;
    if (injected_regions == nullptr) live = mem_report_read_regions();
    const std::vector<mem_region>& regions = injected_regions != nullptr ? *injected_regions : live;

    uint64_t address = 0, prev_end = 0;
    uint64_t total_vsize = 0, total_rsize = 0, shared_rsize = 0, private_rsize = 0;
    uint64_t largest_free = 0, total_free = 0, largest_gap = 0, total_gap = 0;
    // Every step takes a later entry of the ordered list, so the walk always ends.
    for (size_t next = 0; next < regions.size(); ++next) {
        const mem_region& r = regions[next];
        // A region reaching the top of the address space ends there, not at 0.
        const uint64_t end = r.start + r.size < r.start ? ~uint64_t(0) : r.start + r.size;
        if (end <= address && next != 0) continue;   // answered already by an earlier region
        if (r.start > prev_end) {
            const uint64_t gap = r.start - prev_end;
            o.line("        0x%016" PRIX64 "      %5" PRIu64 "%c               --------", prev_end, SZ(gap));
            largest_gap = std::max(largest_gap, gap);
            total_gap += gap;
        }
        std::string name;
        if (r.has_image) {
            name = r.image.empty() ? "null" : r.image;
            const size_t slash = name.rfind('/');
            if (slash != std::string::npos) name.erase(0, slash + 1);
        }
        const uint64_t rp = r.private_pages * ps, rs = r.shared_pages * ps;
        o.line("        0x%016" PRIX64 "      %5" PRIu64 "%c       %5" PRIu64 "%c %5" PRIu64 "%c   % 20s (% 3d)       %s", r.start, SZ(r.size), SZ(rp),
               SZ(rs), sm_string(r.share_mode), r.ref_count, name.c_str());
        if (r.share_mode != sm_empty) total_vsize += r.size;
        private_rsize += rp;
        shared_rsize += rs;
        total_rsize += rp + rs;
        if (r.share_mode == sm_empty) {
            largest_free = std::max(largest_free, r.size);
            total_free += r.size;
        }
        if (end == ~uint64_t(0)) break;   // nothing lies above it
        address = prev_end = end;
    }

    o.line("    Total vsize:     %5" PRIu64 "%c      This is the total non-empty virtual address space used by Ventaro.", SZ(total_vsize));
    o.line("    Total rsize:     %5" PRIu64 "%c      This is the total amount of real memory used by Ventaro (shared and exclusive).", SZ(total_rsize));
    o.line("    Shared rsize:    %5" PRIu64 "%c      This is the total amonut of real memory used by Ventaro that is shared with other processes.", SZ(shared_rsize));
    o.line("    Private rsize:   %5" PRIu64 "%c      This is the total amount of real memory used by Ventaro exclusively (private).", SZ(private_rsize));
    o.line("    Largest free:    %5" PRIu64 "%c      This is the largest empty region in Ventaro's address space.", SZ(largest_free));
    o.line("    Total free:      %5" PRIu64 "%c      This is the size of all empty regions in Ventaro's address space.", SZ(total_free));
    o.line("    Largest gap:     %5" PRIu64 "%c      This is the size of the largest unused gap in Ventaro's address space.", SZ(largest_gap));
    o.line("    Total gap:       %5" PRIu64 "%c      This is the size of all of the gaps in Ventaro's address space - that is, total unused address space.", SZ(total_gap));

    const mallinfo mi = nedmallinfo();
    o.line("NED-MALLOC INFO:");
    o.line("    This version of Ventaro is using the NED allocator.");
    o.line("    Arena:             %5" PRIu64 "%c     This is the space NED is using that was not created using mmap.", SZ(mi.arena));
    o.line("    Free Chunks:       % 5u       ", static_cast<unsigned>(mi.ordblks));
    o.line("    Mapped Space:      %5" PRIu64 "%c     This is the space NED has allocated for use via mmap.", SZ(mi.hblkhd));
    o.line("    Max Alloc Space:   %5" PRIu64 "%c     This is the most space NED ever had reserved from any source.", SZ(mi.usmblks));
    o.line("    Total Alloc Space: %5" PRIu64 "%c     This is the current space NED has reserved now from any source.", SZ(mi.uordblks));
    o.line("    Total Free Space:  %5" PRIu64 "%c     This is how much free space NED has in its reserves.", SZ(mi.fordblks));
    o.line("    Total Used Space:  %5" PRIu64 "%c     This is how much space Ventaro has allocated fmor NED.", SZ(static_cast<uint32_t>(mi.uordblks - mi.fordblks)));
    o.line("    Releasable Space:  %5" PRIu64 "%c     This is how much space NED could give back to the OS if desired.", SZ(mi.keepcost));

    if (o.is_stdout)
        std::fflush(stdout);
    else
        std::fclose(o.f);
}

void DumpMemCmd() { dump_mem_stats("Remote command (from plugin)"); }

UTL_remote_cmd dump_mem_now("Dump Memory Info", DumpMemCmd);
