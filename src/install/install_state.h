#pragma once
// The install state record shared by the install engine, the wizard and the preferences.
// For now only the three ints the installer's preference file keeps.

struct install_state {
    int log_actions = 0;    // nonzero: one log line per file extracted, made executable or deleted
    int stream_count = 0;   // kept in the preferences; nothing else reads it
    int get_beta = 0;       // nonzero: the install name comes from the server list's BETA line
};

inline install_state stg{};
