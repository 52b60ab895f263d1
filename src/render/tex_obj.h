#pragma once
// One OpenGL texture and where it comes from: a file (its path) or an image in memory (a name
// such as "scratch_array-fonts"). It decodes the source, scales it to the configured texture
// resolution, uploads it with the filtering, wrapping and mip chain its flags ask for, and draws
// as the grey placeholder (name 934) while it is missing or still loading.
//
// Objects are made, loaded, looked up and deleted by the texture manager (tman.h). They are
// reference-counted and are pool tasks, so a load may run on a worker thread that has a context
// sharing names with the main one; names a worker gives up wait in a kill queue until the main
// thread deletes them (delete_some_texes, once a frame).
#include <atomic>
#include <string>

#include "core/thread_pool.h"
#include "render/gl_api.h"
#include "render/tex_flags.h"

class TEX_obj;

// A hook consulted before a file load: it may rewrite the path and lower the scale (1 on entry).
class TEX_evaluator {
public:
    virtual ~TEX_evaluator() = default;
    virtual void evaluate(std::string& path, float& scale) = 0;

    TEX_obj* owner = nullptr;
};

class TEX_obj : public UTL_pool_task {
public:
    // File-backed.
    TEX_obj(int ref, int gl_id, const std::string& path, int flags, tex_fail_mode fail);
    // Memory-backed: dx x dy pixels of the flags' layout, rows bottom-up without padding. A buffer
    // other than scratch_array becomes the object's (xmalloc'd; freed after its upload).
    TEX_obj(int ref, int gl_id, int flags, unsigned char* data, int dx, int dy, const std::string& name);
    ~TEX_obj() override;
    TEX_obj(const TEX_obj&) = delete;
    TEX_obj& operator=(const TEX_obj&) = delete;

    int do_it(int worker) override;
    const char* get_debug_name() override { return path.c_str(); }

    // Decodes and uploads: 1 after an upload, 0 when the file is missing or cannot be decoded.
    int load();
    // Queues a load on the pool (once while queued), holding a reference for the pool.
    void queue_load(UTL_threadpool* pool);
    // A new source for the next load; flags and everything else stay.
    void change_path(const std::string& new_path, tex_fail_mode fail);
    void change_mem(unsigned char* data, int dx, int dy, const std::string& name);
    // The factor from the decoded size to the visible size; sets dx_vis and dy_vis.
    float get_scale(float scale, int dx, int dy);

    // Binds through the binding cache: the texture once loaded, else the grey placeholder.
    void bind(int unit, int env_mode);

    void retain();
    int release_suspend();   // the count left; the object stays until the manager purges it
    int release_kill();      // the count left; at 0 the object leaves the manager and is deleted
    int has_refs();
    void replace_evaluator(TEX_evaluator* e);

    static void init_texes();         // makes the kill queue
    static void delete_some_texes();  // deletes the names waiting in it (main thread)
    static void kill_texes();         // the same, then the queue goes
    static int total_texes();
    static int loaded_texes();
    static void nuke_all_refs() {}

    std::string path;
    int from_file = 1;
    unsigned char* mem_data = nullptr;
    int ref = 0;
    std::atomic<unsigned> gl_id{0};
    std::atomic<int> dx_vis{0}, dy_vis{0};
    std::atomic<int> dx_tot{0}, dy_tot{0};
    std::atomic<int> vram{0};
    std::atomic<GLenum> mode{GL_RGBA};   // the pixel format as decoded
    int flags = 0;
    tex_fail_mode fail_mode = tex_fail_silent;
    GLenum target = GL_TEXTURE_2D;
    std::atomic<int> loaded{0};
    std::atomic<int> queued{0};
    std::atomic<int> ref_count{1};
    std::atomic<TEX_evaluator*> evaluator{nullptr};

private:
    struct image;
    bool decode_file(unsigned long format, int alpha_mode, image& im);
    bool take_memory(unsigned long format, image& im);
    void mark_missing(const std::string& tried);
    int upload(image& im);
    void check_pow2_buffer(int dx, int dy);
};
