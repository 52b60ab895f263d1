#pragma once
// Facts about the running system, from uname, /proc and sysinfo.
#include <cstdint>
#include <string>

namespace platform {

std::string os_name();          // "Linux"
std::string os_release();       // kernel release, e.g. "6.1.0-18-amd64"
int os_version_parts(int part); // 0, 1, 2: numeric parts of the kernel release; -1 when unknown

// The system version in the four-hex-digit form older callers compare against (0x1060 = 10.6.0).
// A running Linux counts as a current system, so this always reports the highest such form.
int system_version_bcd();

std::string cpu_model();        // "model name" of /proc/cpuinfo, or ""
int cpu_mhz();                  // clock of the first processor in MHz, or -1
int64_t physical_memory_mb();   // total RAM in MB, or -1
int processor_count();          // online processors, at least 1
long page_size();               // bytes in a memory page

}  // namespace platform
