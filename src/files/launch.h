#pragma once
// Folder listings, launching an application bundle, loading shared code, patching executables.
#include <string>
#include <vector>

// Lists the folder (its path ends in "/") for one kind: 0 every entry, 1 folders, 2 images,
// 3.. one file extension each, 12 panel images, 22 nothing, 23 the command registry's paths.
// Folders are always kept; names beginning with "." never. Sorted by name, letter case ignored.
int opensave_getitems(const std::string& folder, int kind, std::vector<std::string>& names, std::vector<int>& kinds);

// The listing's order: by name with ASCII letters folded, bytes as signed; names equal but for
// letter case in the order the listing's exchange sort has always given them.
void opensave_sort(std::vector<std::string>& names, std::vector<int>& kinds);

// 1 when the folder (its path ends in "/") can be opened and read.
int opensave_folder_readable(const std::string& folder);

// Whether one entry is listed for the filter; entry_kind comes in as 1 (folder) or 0 (file) and
// goes out as the kind after the extension test.
int opensave_takeit(const std::string& folder, const std::string& name, int filter, int& entry_kind);

// Starts the bundle's executable (with "-path" argument when the argument is not empty) and ends
// the installer with exit code 1, after MACIBM_finishup(1) when finish is set. Returns errno only
// when the program could not be started.
int launch_app(const std::string& bundle, const std::string& argument, int finish);

// Shared code loaded by the dynamic loader; "X.framework" is looked up as libX.so.
using bundle_handle = void*;
int load_bundle_by_filename(const char* name, int alerts, bundle_handle* out);

// Sets the large-address-aware flag of a Windows executable. 0, 20013 (no "MZ"), 20014 (no "PE"),
// 5 (short read or write) or errno.
int make_file_large_address_aware(const std::string& path);
