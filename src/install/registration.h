#pragma once
// The registration file of installed copies ("ventaro_install.txt" in the preferences
// folder), recognising an installed copy, and the disk-space report.
#include <string>
#include <vector>

extern std::vector<std::string> all_vsystems;

void register_new_ventaro();
void locate_all_ventaros();
int path_is_to_a_sim();
// 1 when the free space exceeds the needed space, or when the volume cannot be queried.
int UTIL_disk_space(const std::string& ok_message, const std::string& short_message);

// The report text of the last UTIL_disk_space call that reached the volume; the wizard draws it.
const std::string& UTIL_disk_space_text();
// Equal space is not enough; the report's message and the verdict both follow this.
bool disk_space_suffices(double free_kb, double need_kb);
// Kilobytes as the report shows them: "1.9 GB", "5 MB", "800 KB".
std::string disk_size_text(double kilobytes);
