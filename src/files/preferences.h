#pragma once
// Preference files: small text files of "key value" lines after the common file header,
// read into or written from the variables that the layers bind to their keys.
//   10 "Screen Res.prf"         screen modes (below the current folder)
//   11 "Ventaro Installer.prf"  the installer's settings (in the OS's preferences folder)
//   12 "Calibration.prf"        no keys
#include <map>
#include <string>

// One open preference file. Reading loads every key first; writing goes through ouf.
class scan_class {
public:
    scan_class(const std::string& path, int direction);   // direction: 0 read, 1 write
    ~scan_class();
    scan_class(const scan_class&) = delete;
    scan_class& operator=(const scan_class&) = delete;

    // Writing: one "key value" line, returns 0. Reading: 1 when a value was taken for the key
    // (a --pref:<key> option first, then the file), else 0 and the variable is left alone.
    // An int whose text is not a whole number is logged and not taken.
    int int_io(int* value, const std::string& key);
    // Strings are written only when not empty and read as they stand.
    int str_io(std::string* value, const std::string& key);

    int io_mode = 0;
    std::map<std::string, std::string> entries;

private:
    bool take(const std::string& key, std::string& value) const;
};

class pref_class {
public:
    void IO_set(int file, int write);
    int IO_sta(int file, int write, std::string name);
};

extern pref_class pref;

// The keys of a preference file are every layer's: each registers a function that reads or
// writes its own keys (s.io_mode says which) as its code is linked in. A file's functions run in
// the order of their place numbers, so the file's lines keep one order whoever registers first.
using pref_keys_fn = void (*)(scan_class& s, int write);
void pref_register_keys(int file, int place, pref_keys_fn keys);
