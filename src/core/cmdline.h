#pragma once
// The program's arguments as a table of options, queried by exact key.
//
// An argument's key is its text up to the first '=', its value the text after it; an argument
// without '=' is a key with an empty value. The options that only print something end the
// program as soon as the table is read.
#include <map>
#include <string>

class UTL_cmdline {
public:
    // Stores every argument after the program's own name, then runs init_common.
    void init_unix(int argc, char const** argv);
    // The same for one command string split at white space (no quoting).
    int init_win(char const* command);
    // --cmnds, --version, -h and --help print and exit with code 0; otherwise returns 0.
    int init_common();

    int has_option(char const* key) const;
    std::string get_option(char const* key) const;  // "" when absent or given without '='

    // A data reference for each --dref:<name> option.
    void set_datarefs();

private:
    void store(const std::string& key, const std::string& value);

    std::map<std::string, std::string> options_;
};

extern UTL_cmdline cmdline;
