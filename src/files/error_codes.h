#pragma once
// Error codes and the sentences users see for them.
//
// A code is 0 for success, a system error number, a Mac OS file-service code, a code passed
// through from an archive library, or one of our own codes from 20001 up.
#include <string>

enum {
    err_zip_open = 20001,           // the archive cannot be opened
    err_zip_short_read = 20002,     // an entry reads back shorter than its recorded size
    err_zip_create = 20003,         // the archive cannot be created
    err_zip_write = 20004,          // an extracted file is written short
    err_zip_fork_too_big = 20005,   // a resource fork over 2 GB
    err_open_for_read = 20006,      // the source file cannot be opened for reading
    err_net_reconnect = 20007,
    err_net_bad_state = 20008,
    err_net_no_socket = 20009,      // no socket can be made for a connection
    err_net_write_file = 20010,
    err_net_no_server = 20011,      // the server's name lookup failed
    err_zip_bad_fork = 20012,       // the AppleDouble header of a resource fork is bad
    err_exe_no_mz = 20013,          // no text of its own: shown as "Error code 20013"
    err_exe_no_pe = 20014
};

struct err_msg_t {
    int code;
    const char* msg;
};

// The table, ended by a row whose message is null.
extern const err_msg_t kErrMsgs[];

// "" for 0, the row's sentence for a known code, else "Error code <n>".
std::string error_str(int code);

// What the install engine puts in front of a user: error_str's sentence where the table has one,
// else a sentence for the zip library's codes and for any system error number, and a plain
// sentence for anything else. Never a bare number; like the table's, no sentence ends in a full stop.
std::string error_sentence(int code);
