#pragma once
// The texture manager: every texture object in a table indexed by reference number ("ref"),
// loads from files or from the staging buffer, binding by ref, and the load-failure flags the
// frame pump reports once each.
//
//   Manual refs 0 to 1242: the caller picks the number; loading again replaces what it holds.
//   Dynamic refs 1243 up: a load by path alone takes the first free one; shared per path and
//   reference-counted.
//
//   tman.load_texture(tex_fail_quit, 363, 0x48242, tex_load_now, "RESOURCE:map.png");
//   tman.bind_ref(363, 0, 0);            // unit 0, modulate
//   float w = tman.tex_dx_vis(363);      // the picture's size in pixels
//
// The lock guards only the table and the path map; it is never held across a load, an alert or
// a deletion, so loads may run on worker threads.
#include <atomic>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/tex_flags.h"

class TEX_obj;

class tman_class {
public:
    tman_class();
    ~tman_class();
    tman_class(const tman_class&) = delete;
    tman_class& operator=(const tman_class&) = delete;

    // The entry point for every load: the ref that holds the texture, or 0 when nothing loaded
    // (a load by path still answers its dynamic ref when the file is missing). A path beginning
    // "scratch_array" uploads the staging buffer (scratch_dx x scratch_dy).
    int load_texture(tex_fail_mode fail, int ref, int flags, tex_load_time when, const std::string& path);
    int load_texture_idx(tex_fail_mode fail, int ref, int flags, tex_load_time when, const std::string& path);
    int load_texture_mem_idx(int ref, int flags, unsigned char* data, int dx, int dy, const std::string& name);
    TEX_obj* load_texture_mem_obj(int flags, unsigned char* data, int dx, int dy, const std::string& name);
    // The shared load by path: a path loaded before gives its object with one more reference.
    TEX_obj* load_texture_obj(tex_fail_mode fail, int flags, tex_load_time when, const std::string& path);

    // Binds the ref's texture (the grey placeholder while it is missing); an empty ref is a crash.
    void bind_ref(int ref, int unit, int env_mode);
    // Once, after the context and capability detection: the kill queue and the placeholder (934).
    void TEX_init();
    // Manual refs only: deletes the object at once.
    void unload_texture(int ref);
    void unregister_one_texture(TEX_obj* obj);
    void purge_unused_texes();

    TEX_obj* fetch_ref(int ref);
    TEX_obj* get_known_obj(int ref);
    std::string get_path(int ref);
    float tex_dx_vis(int ref);   // visible size in pixels
    float tex_dy_vis(int ref);
    float tex_dx_tot(int ref);   // allocated size of the texture
    float tex_dy_tot(int ref);
    int tex_vram(int ref);
    int tex_mode(int ref);
    int has_alpha(int ref);
    int tex_err(int ref);        // loaded, and failed
    int tex_loaded(int ref);     // loaded, successfully or not
    int tex_exists(int ref);
    int tot_vram();
    static float scale_rat();    // the configured texture resolution as a factor

    void got_scene_load_fail();
    int has_scene_load_fail();
    void mute_scene_load_fail();
    void reset_scene_load_fail();
    void got_plane_load_fail();
    int has_plane_load_fail();
    void mute_plane_load_fail();
    void reset_plane_load_fail();
    void got_instl_load_fail();
    int has_instl_load_fail();
    void mute_instl_load_fail();
    void reset_instl_load_fail();

    std::vector<TEX_obj*> texes;
    std::unordered_map<std::string, int> path_map;
    std::atomic<int> scene_fail{0}, scene_fail_muted{0};
    std::atomic<int> plane_fail{0}, plane_fail_muted{0};
    std::atomic<int> instl_fail{0}, instl_fail_muted{0};
    int table_lock = 0;

private:
    TEX_obj* slot(int ref);            // under the lock
    int free_dynamic_slot();           // under the lock
    double last_load_seconds_ = 0.0;
};

extern tman_class tman;
extern int tman_is_dead;

// Shows a start-up status line ("Loading bitmap ..."); the shell sets it.
extern void (*tman_progress_message)(const std::string& message);

// "a/b/../c" becomes "a/c" and "a/b/.." becomes "a": each whole ".." component takes the one
// before it away.
std::string TEX_collapse_dotdot(const std::string& path);
