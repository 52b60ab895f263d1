#pragma once
// Whole files mapped read-only into memory, walked with a cursor by small text scanners.
//
// Blanks are space and tab; a line ends at CR, LF or NUL, so CR, LF and CR LF files read
// alike. No scanner reads at or past mem_end.
#include <string>

class xmap_class {
public:
    explicit xmap_class(const std::string& path = std::string(), int offset = 0, int length = 0);
    ~xmap_class();
    xmap_class(const xmap_class&) = delete;
    xmap_class& operator=(const xmap_class&) = delete;

    // Maps the file (length 0: to its end). "RESOURCE:" names a file in the bundle; other
    // relative paths go through set_path_to_full. Returns mem_start, null when it cannot be opened.
    const char* retry(const std::string& path, int offset, int length);
    void close();

    // Copies count bytes at the cursor; with swap_words set, each whole 32-bit word is reversed.
    void read_n_rev(void* dest, long count);

    static void set_granularity(int g) { granularity = g; }

    void TXT_xer_line();                                            // line number and text to the log
    int TXT_str_scan_match(const char* keyword, int eol_ok, char delim);
    void TXT_str_scan_eoln(std::string* out);                       // rest of line, then to the next word
    void TXT_str_scan_space(std::string* out);                      // next blank-delimited word
    int TXT_int_scan();

    // The common file header (file_header.cpp).
    int check_file(int kind, const int* versions, const char* type_word, std::string* free_text);
    int io_file_open(int mode, const std::string& path, const int* versions, int kind);
    void io_file_close();

    int swap_words = 0;
    std::string file_path;      // as given, before resolution
    int io_mode = 0;            // 0 read, 1 write through ouf
    const char* mem_start = nullptr;
    const char* mem_cur = nullptr;
    const char* mem_end = nullptr;
    int file_desc = -1;
    int not_owned = 0;

    static int granularity;

private:
    void skip_blanks();
    std::size_t mapped_len_ = 0;
};
