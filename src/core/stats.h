#pragma once
// Named statistics, remote commands, profiler hooks and data references: hooks through which
// outside tools could look at the program's numbers. Nothing in this program publishes them.
#include <map>
#include <set>

enum UTL_stat_type {
    stat_level = 0,      // levels and totals: memory in use, live objects
    stat_per_frame = 2,  // counts of events per frame
    stat_setting = 4,    // tunable settings their owners read
};

// Declared as a static object by the module that owns the number. Statistics built before
// init_stats wait in a list, since the registry itself may not be built yet.
class UTL_stat {
public:
    UTL_stat(float* value, const char* name, UTL_stat_type kind);              // over an outside float
    UTL_stat(const char* name, UTL_stat_type kind, float initial_value);       // with its own value
    ~UTL_stat() {}  // stays registered

    static void init_stats();
    static void reset_stats(UTL_stat_type kind);  // zeroes the own values of that kind
    void publish();

    float own_value = 0.0f;
    UTL_stat_type kind;
    UTL_stat* link = nullptr;  // next statistic waiting for registration
    float* value;              // own_value or the owner's float
    const char* name;          // not copied

private:
    void enter();
};

// Every registered statistic, by kind.
std::map<UTL_stat_type, std::set<UTL_stat*>>& all_stats();
extern UTL_stat* waiting;
extern int stat_initialized;

class UTL_remote_cmd {
public:
    UTL_remote_cmd(const char* name, void (*callback)());
    ~UTL_remote_cmd() {}

    static void invoke(void* param, int id);  // runs the command with that id; param is not passed on
    static void init_remote_cmds();
    void publish() {}

    UTL_remote_cmd* link;
    void (*callback)();
    const char* name;
    int id;

    static UTL_remote_cmd* cmd_list;  // most recently built first
    static int free_id;               // ids start at 1
    static int inited;
};

void UTL_profiler_init();
void UTL_profiler_start(const char* section);
void UTL_profiler_stop();

class data_ref {
public:
    data_ref() {}
    explicit data_ref(const char* name) { (void)name; }
    data_ref(const data_ref&) {}
};
