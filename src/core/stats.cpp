#include "core/stats.h"

// Zero-initialised before any static object is built, so statistics of files initialised before
// this one can queue themselves safely.
UTL_stat* waiting = nullptr;
int stat_initialized = 0;

std::map<UTL_stat_type, std::set<UTL_stat*>>& all_stats() {
    static std::map<UTL_stat_type, std::set<UTL_stat*>> registry;
    return registry;
}

UTL_stat::UTL_stat(float* v, const char* n, UTL_stat_type k) : kind(k), value(v), name(n) { enter(); }

UTL_stat::UTL_stat(const char* n, UTL_stat_type k, float initial_value)
    : own_value(initial_value), kind(k), value(&own_value), name(n) {
    enter();
}

void UTL_stat::enter() {
    if (stat_initialized) {
        publish();
    } else {
        link = waiting;
        waiting = this;
    }
}

void UTL_stat::publish() { all_stats()[kind].insert(this); }

void UTL_stat::init_stats() {
    for (UTL_stat* s = waiting; s; s = s->link) s->publish();
    stat_initialized = 1;
}

void UTL_stat::reset_stats(UTL_stat_type kind) {
    for (UTL_stat* s : all_stats()[kind]) s->own_value = 0.0f;
}

UTL_remote_cmd* UTL_remote_cmd::cmd_list = nullptr;
int UTL_remote_cmd::free_id = 1;
int UTL_remote_cmd::inited = 0;

UTL_remote_cmd::UTL_remote_cmd(const char* n, void (*cb)()) : link(cmd_list), callback(cb), name(n), id(free_id++) {
    cmd_list = this;
}

void UTL_remote_cmd::invoke(void* param, int id) {
    (void)param;
    for (UTL_remote_cmd* c = cmd_list; c; c = c->link) {
        if (c->id != id) continue;
        if (c->callback) c->callback();
        return;
    }
}

void UTL_remote_cmd::init_remote_cmds() {
    inited = 1;
    for (UTL_remote_cmd* c = cmd_list; c; c = c->link) c->publish();
}

void UTL_profiler_init() {}
void UTL_profiler_start(const char* section) { (void)section; }
void UTL_profiler_stop() {}
