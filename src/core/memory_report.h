#pragma once
// "MemoryLog.txt": the process's and the machine's memory figures, a map of every region of the
// address space, totals over it, and the pooled allocator's statistics.
#include <cstdint>
#include <string>
#include <vector>

void dump_mem_stats(const char* reason);
void DumpMemCmd();   // the "Dump Memory Info" remote command

uint64_t mem_to_number(uint64_t v);   // wide enough for gaps of a 64-bit address space
char mem_to_suffix(uint64_t v);
const char* sm_string(unsigned char share_mode);

// One region of the address space as the report sees it.
struct mem_region {
    uint64_t start = 0;
    uint64_t size = 0;
    int ref_count = 0;             // no source on Linux: 0
    uint64_t private_pages = 0;    // resident, private
    uint64_t shared_pages = 0;     // resident, shared
    unsigned char share_mode = 0;  // as sm_string
    bool has_image = false;        // the region starts inside a loaded image
    std::string image;             // that image's file ("" when it has none)
};

// Figures of the head block; each is 0 when Linux has no source for it.
struct mem_system_figures {
    uint64_t page_size = 0;
    uint64_t vsize = 0, rsize = 0;
    uint64_t free_pages = 0, active_pages = 0, inactive_pages = 0, wired_pages = 0;
    uint64_t swap_total = 0, swap_avail = 0, swap_used = 0;
};

std::vector<mem_region> mem_report_read_regions();   // /proc/self/smaps, in address order
mem_system_figures mem_report_read_system();         // /proc/self/statm and /proc/meminfo

// Test seams: a region list and figures to report instead of the live ones (null: live again).
void mem_report_set_regions_for_test(const std::vector<mem_region>* regions);
void mem_report_set_figures_for_test(const mem_system_figures* figures);
void mem_report_reset_for_test();   // the next report rewrites the file, as the run's first does
