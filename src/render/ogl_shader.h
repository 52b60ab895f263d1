#pragma once
// GLSL programs built from the source files of the resources' shaders folder. Every stage gets
// generated lines first (platform, stage and capabilities as #defines), then the caller's prefix,
// then the file with its #include "name" directives expanded. Programs can all be rebuilt while
// the program runs ("Reload Pixel Shaders..."); a failed rebuild warns and tries again, reading
// the files anew, until they compile.
//
//   const char* uniforms[] = {"u_tex0", nullptr};
//   OGL_shader prog("blur.glsl", nullptr, "blur.glsl", "#define TAPS 5\n", uniforms, nullptr);
//   prog.bind();
//   glExt.glUniform1iARB(prog.get_uniform_loc(0), 0);
//
// A conditional shader is a family of such programs from the same files, one per combination of
// condition values (passed as #define lines), each built the first time it is bound.
//
// Main thread, with the context current. Bind only through these classes, or the record of the
// current program goes wrong.
#include <list>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/stats.h"
#include "render/gl_api.h"

class xmap_class;

class OGL_shader {
public:
    // The last value sent to one uniform, so that sending it again costs nothing; kind 0: unknown.
    struct uniform_cache_t {
        int kind = 0;
        float v[4] = {};
    };

    // geom may be null or empty (no geometry stage); prefix may be null or empty; either name
    // array may be null and ends at its null entry.
    OGL_shader(const char* vert, const char* geom, const char* frag, const char* prefix, const char* const* uniforms,
               const char* const* attribs);
    OGL_shader(const std::string& vert, const std::string& geom, const std::string& frag, const char* prefix,
               const std::vector<std::string>& uniforms, const std::vector<std::string>& attribs);
    ~OGL_shader();
    OGL_shader(const OGL_shader&) = delete;
    OGL_shader& operator=(const OGL_shader&) = delete;

    // quiet 0 (the first build): a failure quits. Nonzero: a failure warns and the build starts
    // again from the files once the warning is dismissed.
    void reload(int quiet);
    static void reload_all_shaders(int quiet);

    GLhandleARB get_gl_id() const { return gl_id; }
    // -1 when the linked program lacks it; an index past the names throws std::out_of_range.
    int get_uniform_loc(int index) const;
    int get_attribute_loc(int index) const;

    void bind();
    static void unbind_shaders();
    static void push();
    static void pop();
    // The stages' sources as OpenGL holds them, to the log.
    void dump();

    GLhandleARB gl_id = 0;
    GLhandleARB vert_obj = 0;
    GLhandleARB geom_obj = 0;
    GLhandleARB frag_obj = 0;
    std::string vert_path;
    std::string geom_path;
    std::string frag_path;
    std::string prefix;
    std::vector<std::string> uniform_names;
    std::vector<std::string> attrib_names;
    std::vector<int> uniform_locs;
    std::vector<int> attrib_locs;
    std::vector<uniform_cache_t> uniform_cache;

    static std::set<OGL_shader*> shaders;
    static std::list<OGL_shader*> stack;
    static OGL_shader* current_shader;

private:
    void setup(const char* prefix_text);
    // One stage of a build pass; false when it did not compile.
    bool build_stage(GLhandleARB& obj, GLenum type, const std::string& path, const std::string& header,
                     const std::string& defines);
};

// One condition of a conditional shader: a macro name and its number of values. A list of them
// ends with a null name.
struct OGL_conditional_t {
    const char* name;
    int count;
};

class OGL_shader_conditional {
public:
    // Any argument may be null. Builds nothing yet.
    OGL_shader_conditional(const char* vert, const char* geom, const char* frag, const char* const* uniforms,
                           const char* const* attribs, const OGL_conditional_t* conditions, const char* prefix);
    ~OGL_shader_conditional();
    OGL_shader_conditional(const OGL_shader_conditional&) = delete;
    OGL_shader_conditional& operator=(const OGL_shader_conditional&) = delete;

    // Values as a mixed-radix number, the first condition least significant; not range-checked.
    int id_from_flags(const int* values) const;
    // The inverse; returns the number of conditions.
    int flags_from_id(int id, int* values) const;
    void build(int id);
    void bind(int id);
    // For a variant that was never built: 0, -1, -1, and dump writes nothing.
    GLhandleARB get_gl_id(int id) const;
    int get_uniform_loc(int id, int index) const;
    int get_attribute_loc(int id, int index) const;
    void dump(int id) const;
    // The built variant of an id, or null.
    OGL_shader* variant(int id) const;

    std::string prefix;
    std::string vert_file, geom_file, frag_file;
    std::vector<std::string> uniform_names;
    std::vector<std::string> attrib_names;
    std::vector<std::string> cond_names;
    std::vector<int> cond_counts;
    std::unordered_map<int, OGL_shader*> variants;
};

// The remote command's action: every program rebuilt, failures warning.
void do_reload();
// The remote command "Reload Pixel Shaders...", registered before main.
extern UTL_remote_cmd cmd_do_pick_tex;
// Writes one object's information log under a title, with the generated text it was given.
void log_shader_obj(const std::string& title, const std::string& prefix_text, GLhandleARB obj);
// The source OpenGL holds for a shader object.
void get_shader_src(GLhandleARB obj, std::string& out);
// The mapped file's text with its includes expanded, at most depth levels deep.
void do_glsl_substitutions(xmap_class& file, std::string& out, int depth);

// Test seam: the folder that the relative shader paths ("Resources//shaders/...") are taken
// against; empty restores the bundle's Contents folder.
void OGL_shader_set_folder_for_test(const std::string& contents_folder);
