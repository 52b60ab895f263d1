#pragma once
// Debugging aids: the stack crawl a crash appends to "stack_crawl.txt", symbol lookup, a test
// whether memory is mapped with given rights, a hex dump, and ignoring SIGPIPE.
#include <cstdio>

// The record every frame leaves on the stack when frame pointers are kept.
struct stack_frame {
    stack_frame* previous;
    void* return_address;
};

struct symbol_info {
    char image_path[1024];   // image holding the address; "" when unknown
    void* image_base;        // where that image is loaded; null when unknown
    char symbol_name[1024];  // nearest symbol at or below the address, as stored (not demangled)
    void* symbol_address;
    char source_file[1024];  // "" when there are no debugging records
    int source_line;         // -1 when unknown
};

// Makes writes to a pipe or socket whose reader is gone fail with EPIPE instead of killing us.
void UTL_debug_init();

// Writes at most 100 lines " nn) <symbol>" to file. With pc, pc's line comes first as line 0.
// With no start frame the crawl begins at the caller of this function.
void UTL_dump_stack(FILE* file, stack_frame* start, void* pc);

// One line for a code address: symbol + offset, source place when known, image + offset.
void print_symbol(FILE* file, void* addr);

void UTL_get_debug_symbol(void* addr, symbol_info* info);

// 1 when all of [start, start + length) is mapped with the rights asked for.
int UTL_valid_memory(const void* start, unsigned length, int need_read, int need_write);

// Rows of 16 bytes: hex cells, then the printable characters.
void dump_hex(FILE* file, const void* data, int count);
