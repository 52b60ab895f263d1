#include "render/tman.h"

#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/frame_clock.h"
#include "core/threads.h"
#include "render/gl_api.h"
#include "render/renderer_options.h"
#include "render/tex_obj.h"
#include "render/tex_scratch.h"
#include "render/panel_record.h"

tman_class tman;
int tman_is_dead = 0;
void (*tman_progress_message)(const std::string& message) = nullptr;

namespace {

class table_guard {
public:
    explicit table_guard(int* lock) : lock_(lock) { UTL_critical_section_lock(lock_); }
    ~table_guard() { UTL_critical_section_unlock(lock_); }
    table_guard(const table_guard&) = delete;
    table_guard& operator=(const table_guard&) = delete;

private:
    int* lock_;
};

std::string printed(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void misuse(const std::string& what, const std::string& path, double value) {
    MACIBM_alert(0, what, path, "value:", printed("%1.0f", value), t_crash);
}

bool is_scratch_name(const std::string& path) { return path.size() > 12 && path.rfind("scratch_array", 0) == 0; }

// Loads that the "Loading bitmap" line never announces: the staging-buffer uploads of start-up
// and the background tiles.
bool announced(int ref) { return ref != 0 && ref != 277 && ref != 359 && ref != 934 && !(ref >= 397 && ref <= 412); }

// One compare-and-swap on one word.
void swap_word(std::atomic<int>& word, int from, int to) { word.compare_exchange_strong(from, to); }

}  // namespace

std::string TEX_collapse_dotdot(const std::string& path) {
    // A final ".." is a whole component too: it collapses as if a slash followed it.
    const bool final_dotdot = path.size() >= 3 && path.compare(path.size() - 3, 3, "/..") == 0;
    std::string p = final_dotdot ? path + "/" : path;
    std::size_t from = 1;
    for (;;) {
        // Only a whole "/../" component: "a/b/..c" names a file "..c" and stays.
        const std::size_t at = p.find("/../", from);
        if (at == std::string::npos || at == 0) break;
        const std::size_t slash = p.rfind('/', at - 1);
        if (slash == std::string::npos) break;
        p.erase(slash, at + 3 - slash);
        from = slash;
    }
    if (final_dotdot) p.pop_back();
    return p;
}

tman_class::tman_class() { UTL_critical_section_create(&table_lock); }

tman_class::~tman_class() {
    UTL_critical_section_destroy(&table_lock);
    tman_is_dead = 1;
    // The objects live on to the end of the process: deleting them now would call OpenGL after
    // the context is gone. They stay reachable, so they are not mistaken for leaks.
    static auto* survivors = new std::vector<TEX_obj*>();
    for (TEX_obj* obj : texes)
        if (obj) survivors->push_back(obj);
}

TEX_obj* tman_class::slot(int ref) {
    if (ref < 0 || static_cast<std::size_t>(ref) >= texes.size()) return nullptr;
    return texes[static_cast<std::size_t>(ref)];
}

int tman_class::free_dynamic_slot() {
    if (texes.size() < static_cast<std::size_t>(tex_first_dynamic_ref) + 1) return tex_first_dynamic_ref;
    for (std::size_t r = tex_first_dynamic_ref; r < texes.size(); ++r)
        if (!texes[r]) return static_cast<int>(r);
    return static_cast<int>(texes.size());
}

int tman_class::load_texture(tex_fail_mode fail, int ref, int flags, tex_load_time when, const std::string& path) {
    if (path.empty()) return 0;

    // Only a load that comes more than a second after the previous one is announced.
    const double now = static_cast<double>(xtim_class::microsecs()) / 1e6;
    const double previous = last_load_seconds_;
    last_load_seconds_ = static_cast<double>(xtim_class::microsecs()) / 1e6;
    if (now > previous + 1.0 && when == tex_load_now && !is_scratch_name(path) && announced(ref) &&
        tman_progress_message)
        tman_progress_message("Loading bitmap " + path + ".");

    if (when < tex_load_lazy || when > tex_load_now) misuse("Trying to create an invalid texture load_time!", path, when);
    // 1243 is the first dynamic ref: a manual load there would take a shared texture's slot.
    if (ref < 0 || ref > tex_last_manual_ref) misuse("Trying to bind too low or high a manual_ref!", path, ref);

    if (is_scratch_name(path)) return load_texture_mem_idx(ref, flags, scratch_array, scratch_dx, scratch_dy, path);
    if (ref) return load_texture_idx(fail, ref, flags, tex_load_now, path);
    TEX_obj* obj = load_texture_obj(fail, flags, tex_load_now, path);
    return obj ? obj->ref : 0;
}

int tman_class::load_texture_idx(tex_fail_mode fail, int ref, int flags, tex_load_time, const std::string& path) {
    if (path.empty() || ref < 0) return 0;
    TEX_obj* obj = nullptr;
    {
        table_guard g(&table_lock);
        if (texes.size() <= static_cast<std::size_t>(ref)) texes.resize(static_cast<std::size_t>(ref) + 1, nullptr);
        obj = texes[static_cast<std::size_t>(ref)];
        if (obj) {
            obj->change_path(path, fail);
        } else {
            obj = new TEX_obj(ref, ref == tex_ref_blank_gray ? tex_ref_blank_gray : 0, path, flags, fail);
            texes[static_cast<std::size_t>(ref)] = obj;
        }
    }
    return obj->load() ? ref : 0;
}

int tman_class::load_texture_mem_idx(int ref, int flags, unsigned char* data, int dx, int dy,
                                     const std::string& name) {
    if (name.empty() || ref < 0) return 0;
    TEX_obj* obj = nullptr;
    {
        table_guard g(&table_lock);
        if (texes.size() <= static_cast<std::size_t>(ref)) texes.resize(static_cast<std::size_t>(ref) + 1, nullptr);
        obj = texes[static_cast<std::size_t>(ref)];
    }
    // Both may raise the power-of-two alert, which must not find the table locked.
    if (!obj) {
        auto* fresh = new TEX_obj(ref, ref == tex_ref_blank_gray ? tex_ref_blank_gray : 0, flags, data, dx, dy, name);
        {
            table_guard g(&table_lock);
            obj = texes[static_cast<std::size_t>(ref)];
            if (!obj) obj = texes[static_cast<std::size_t>(ref)] = fresh;
        }
        if (obj != fresh) {
            fresh->mem_data = nullptr;   // the buffer goes to the object already there
            delete fresh;
            obj->change_mem(data, dx, dy, name);
        }
    } else {
        obj->change_mem(data, dx, dy, name);
    }
    return obj->load() ? ref : 0;
}

TEX_obj* tman_class::load_texture_mem_obj(int flags, unsigned char* data, int dx, int dy, const std::string& name) {
    auto* obj = new TEX_obj(0, 0, flags, data, dx, dy, name);
    {
        table_guard g(&table_lock);
        const int r = free_dynamic_slot();
        if (texes.size() <= static_cast<std::size_t>(r)) texes.resize(static_cast<std::size_t>(r) + 1, nullptr);
        obj->ref = r;
        texes[static_cast<std::size_t>(r)] = obj;
    }
    obj->load();
    return obj;
}

TEX_obj* tman_class::load_texture_obj(tex_fail_mode fail, int flags, tex_load_time, const std::string& path) {
    if (path.empty()) return nullptr;
    const std::string norm = TEX_collapse_dotdot(path);
    TEX_obj* obj = nullptr;
    int shared_count = 0;
    {
        table_guard g(&table_lock);
        const auto it = path_map.find(norm);
        if (it != path_map.end() && slot(it->second)) {
            // Counted under the lock: once unlocked, the last holder may release it.
            obj = slot(it->second);
            shared_count = ++obj->ref_count;
        } else {
            const int r = free_dynamic_slot();
            if (texes.size() <= static_cast<std::size_t>(r)) texes.resize(static_cast<std::size_t>(r) + 1, nullptr);
            path_map[norm] = r;
            obj = new TEX_obj(r, 0, norm, flags, fail);
            texes[static_cast<std::size_t>(r)] = obj;
        }
    }
    if (shared_count != 0) {
        if (shared_count <= 0) MACIBM_alert(0, "Ref count never went positive", "", obj->path, "", t_crash);
        return obj;
    }
    obj->load();
    return obj;
}

void tman_class::bind_ref(int ref, int unit, int env_mode) {
    TEX_obj* obj = nullptr;
    {
        table_guard g(&table_lock);
        obj = slot(ref);
    }
    if (!obj) {
        MACIBM_alert(0, "Null texture - how?", "", "ref=" + printed("%6.0f", ref), "", t_crash);
        return;
    }
    obj->bind(unit, env_mode);
}

void tman_class::TEX_init() {
    TEX_obj::init_texes();
    std::memset(scratch_array, 0x82, 12);
    scratch_dx = scratch_dy = 2;
    load_texture(tex_fail_silent, tex_ref_blank_gray, 0x201, tex_load_now, "scratch_array-blank_gray");
}

void tman_class::unload_texture(int ref) {
    if (ref > tex_last_manual_ref) {
        MACIBM_alert(0, "Error: dynamic textures should be released, not unloaded.", get_path(ref),
                     printed("%f", ref), "", t_crash);
        return;
    }
    TEX_obj* obj = nullptr;
    {
        table_guard g(&table_lock);
        obj = slot(ref);
        if (!obj) return;
        texes[static_cast<std::size_t>(ref)] = nullptr;
    }
    delete obj;
}

void tman_class::unregister_one_texture(TEX_obj* obj) {
    if (tman_is_dead || !obj) return;
    table_guard g(&table_lock);
    const auto it = path_map.find(obj->path);
    if (it != path_map.end() && it->second == obj->ref) path_map.erase(it);
    if (slot(obj->ref) == obj) texes[static_cast<std::size_t>(obj->ref)] = nullptr;
}

void tman_class::purge_unused_texes() {
    TEX_obj::delete_some_texes();
    std::vector<TEX_obj*> doomed;
    {
        table_guard g(&table_lock);
        for (std::size_t r = tex_first_dynamic_ref; r < texes.size(); ++r) {
            TEX_obj* obj = texes[r];
            if (!obj || obj->has_refs()) continue;
            const auto it = path_map.find(obj->path);
            if (it != path_map.end() && it->second == static_cast<int>(r)) path_map.erase(it);
            texes[r] = nullptr;
            doomed.push_back(obj);
        }
    }
    for (TEX_obj* obj : doomed) delete obj;
}

TEX_obj* tman_class::fetch_ref(int ref) {
    table_guard g(&table_lock);
    return slot(ref);
}

TEX_obj* tman_class::get_known_obj(int ref) { return fetch_ref(ref); }

std::string tman_class::get_path(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj ? obj->path : std::string();
}

float tman_class::tex_dx_vis(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj ? static_cast<float>(obj->dx_vis.load()) : 0.0f;
}

float tman_class::tex_dy_vis(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj ? static_cast<float>(obj->dy_vis.load()) : 0.0f;
}

float tman_class::tex_dx_tot(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj ? static_cast<float>(obj->dx_tot.load()) : 0.0f;
}

float tman_class::tex_dy_tot(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj ? static_cast<float>(obj->dy_tot.load()) : 0.0f;
}

int tman_class::tex_vram(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj ? obj->vram.load() : 0;
}

int tman_class::tex_mode(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj ? static_cast<int>(obj->mode.load()) : 0;
}

int tman_class::has_alpha(int ref) {
    const int m = tex_mode(ref);
    return m == GL_RGBA || m == GL_ALPHA || m == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
                   m == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT || m == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT
               ? 1
               : 0;
}

int tman_class::tex_err(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj && obj->loaded.load() == 1 && obj->vram.load() == 0 ? 1 : 0;
}

int tman_class::tex_loaded(int ref) {
    table_guard g(&table_lock);
    const TEX_obj* obj = slot(ref);
    return obj && obj->loaded.load() == 1 ? 1 : 0;
}

int tman_class::tex_exists(int ref) { return fetch_ref(ref) ? 1 : 0; }

int tman_class::tot_vram() {
    int total = 0;
    {
        table_guard g(&table_lock);
        for (const TEX_obj* obj : texes)
            if (obj) total += obj->vram.load();
    }
    return total + wins.win_px_w * wins.win_px_h * wins.screen_bpp / 8;
}

float tman_class::scale_rat() {
    switch (reno.tex_res) {
    case 0: return 1.0f / 32.0f;
    case 1: return 1.0f / 16.0f;
    case 2: return 1.0f / 8.0f;
    case 3: return 1.0f / 4.0f;
    case 4: return 1.0f / 2.0f;
    default: return 1.0f;
    }
}

void tman_class::got_scene_load_fail() { swap_word(scene_fail, 0, 1); }
int tman_class::has_scene_load_fail() { return scene_fail_muted.load() == 0 && scene_fail.load() == 1 ? 1 : 0; }
void tman_class::mute_scene_load_fail() { swap_word(scene_fail_muted, 0, 1); }
void tman_class::reset_scene_load_fail() { swap_word(scene_fail, 1, 0); }

void tman_class::got_plane_load_fail() { swap_word(plane_fail, 0, 1); }
int tman_class::has_plane_load_fail() { return plane_fail_muted.load() == 0 && plane_fail.load() == 1 ? 1 : 0; }
void tman_class::mute_plane_load_fail() { swap_word(plane_fail_muted, 0, 1); }
void tman_class::reset_plane_load_fail() { swap_word(plane_fail, 1, 0); }

void tman_class::got_instl_load_fail() { swap_word(instl_fail, 0, 1); }
int tman_class::has_instl_load_fail() { return instl_fail_muted.load() == 0 && instl_fail.load() == 1 ? 1 : 0; }
void tman_class::mute_instl_load_fail() { swap_word(instl_fail_muted, 0, 1); }
void tman_class::reset_instl_load_fail() { swap_word(instl_fail, 1, 0); }
