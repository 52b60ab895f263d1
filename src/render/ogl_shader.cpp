#include "render/ogl_shader.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "core/alert.h"
#include "core/localisation.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "core/stats.h"
#include "files/xmap.h"
#include "platform/bundle.h"
#include "render/ogl_extensions.h"

// The command is built before any other file's objects, whatever order the linker put the files
// in, so it always takes the first remote-command id.
__attribute__((init_priority(200))) UTL_remote_cmd cmd_do_pick_tex("Reload Pixel Shaders...", &do_reload);

std::list<OGL_shader*> OGL_shader::stack;
std::set<OGL_shader*> OGL_shader::shaders;
OGL_shader* OGL_shader::current_shader = nullptr;

namespace {

std::string g_folder_for_test;

std::string shader_path(const std::string& name) { return rsrc_path + "/shaders/" + name; }

// Shader paths are relative to the bundle's Contents folder, which holds Resources/.
std::string on_disk(const std::string& path) {
    const std::string root =
        g_folder_for_test.empty() ? platform::bundle_path() + "/Contents" : g_folder_for_test;
    return root + "/" + path;
}

std::vector<std::string> names_of(const char* const* list) {
    std::vector<std::string> out;
    for (; list && *list; ++list) out.emplace_back(*list);
    return out;
}

std::string text_of(const xmap_class& file) {
    return file.mem_start ? std::string(file.mem_start, file.mem_end) : std::string();
}

[[noreturn]] void missing_source(const std::string& path) {
    MACIBM_alert(0, UTL_translate_string("We were unable to load the shader file:", 0), path, "",
                 UTL_translate_string("Re-run the Ventaro installer/updater to correct this problem.", 0), t_quit);
    std::abort();   // a quit alert does not come back
}

GLint object_param(GLhandleARB obj, GLenum pname) {
    GLint v = 0;
    glExt.glGetObjectParameterivARB(obj, pname, &v);
    return v;
}

void drop_stage(GLhandleARB program, GLhandleARB& obj) {
    if (!obj) return;
    glExt.glDetachObjectARB(program, obj);
    glExt.glDeleteObjectARB(obj);
    obj = 0;
}

}  // namespace

void OGL_shader_set_folder_for_test(const std::string& contents_folder) { g_folder_for_test = contents_folder; }

void do_glsl_substitutions(xmap_class& file, std::string& out, int depth) {
    static const std::string kDirective = "#include \"";
    out = text_of(file);
    std::size_t at = out.find(kDirective);
    while (at != std::string::npos) {
        const std::size_t name_at = at + kDirective.size();
        const std::size_t close = out.find('"', name_at);
        if (close == std::string::npos) {
            xer << "Aborted #include directive because there was no closign quote.\n";
            return;
        }
        const std::string name = out.substr(name_at, close - name_at);
        if (depth <= 0) {
            xer << "Aborted #include directive because " << name
                << " is part of an include-infinite loop, or at least too many includes.\n";
            return;
        }
        xmap_class included(on_disk(shader_path(name)));
        if (!included.mem_start) {
            at = out.find(kDirective, close + 1);
            continue;
        }
        std::string body;
        do_glsl_substitutions(included, body, depth - 1);
        out.replace(at, close + 1 - at, body);
        at = out.find(kDirective, at + body.size());
    }
}

void log_shader_obj(const std::string& title, const std::string& prefix_text, GLhandleARB obj) {
    const GLint length = object_param(obj, GL_OBJECT_INFO_LOG_LENGTH_ARB);
    std::string info(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    if (length > 1) glExt.glGetInfoLogARB(obj, length - 1, nullptr, info.data());
    info.resize(std::char_traits<char>::length(info.c_str()));
    xer << "=====" << title << "=====\n"
        << "   (prefix:\n"
        << prefix_text << "end prefix)\n"
        << info << "\n";
    std::printf("%s: %s\n", title.c_str(), info.c_str());
    xer.flush();
}

void get_shader_src(GLhandleARB obj, std::string& out) {
    const GLint length = object_param(obj, GL_OBJECT_SHADER_SOURCE_LENGTH_ARB);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    if (length > 0) glExt.glGetShaderSourceARB(obj, length, nullptr, text.data());
    text.resize(std::char_traits<char>::length(text.c_str()));
    out = text;
}

OGL_shader::OGL_shader(const char* vert, const char* geom, const char* frag, const char* prefix_text,
                       const char* const* uniforms, const char* const* attribs)
    : vert_path(shader_path(vert ? vert : "")),
      geom_path(geom && *geom ? shader_path(geom) : std::string()),
      frag_path(shader_path(frag ? frag : "")),
      uniform_names(names_of(uniforms)),
      attrib_names(names_of(attribs)) {
    setup(prefix_text);
}

OGL_shader::OGL_shader(const std::string& vert, const std::string& geom, const std::string& frag,
                       const char* prefix_text, const std::vector<std::string>& uniforms,
                       const std::vector<std::string>& attribs)
    : vert_path(shader_path(vert)),
      geom_path(geom.empty() ? std::string() : shader_path(geom)),
      frag_path(shader_path(frag)),
      uniform_names(uniforms),
      attrib_names(attribs) {
    setup(prefix_text);
}

void OGL_shader::setup(const char* prefix_text) {
    shaders.insert(this);
    prefix = prefix_text && *prefix_text ? prefix_text : "// no prefix\n";
    gl_id = glExt.glCreateProgramObjectARB();
    uniform_locs.assign(uniform_names.size(), 0);
    uniform_cache.assign(uniform_names.size(), uniform_cache_t{});
    attrib_locs.assign(attrib_names.size(), 0);
    reload(0);
}

OGL_shader::~OGL_shader() {
    shaders.erase(this);
    for (GLhandleARB obj : {frag_obj, geom_obj, vert_obj})
        if (obj) glExt.glDeleteObjectARB(obj);
    glExt.glDeleteObjectARB(gl_id);
}

bool OGL_shader::build_stage(GLhandleARB& obj, GLenum type, const std::string& path, const std::string& header,
                             const std::string& defines) {
    obj = glExt.glCreateShaderObjectARB(type);
    std::string body;
    {
        xmap_class file(on_disk(path));
        if (!file.mem_start) missing_source(path);
        do_glsl_substitutions(file, body, 10);
    }
    const GLcharARB* strings[4] = {header.c_str(), defines.c_str(), prefix.c_str(), body.c_str()};
    const GLint lengths[4] = {static_cast<GLint>(header.size()), static_cast<GLint>(defines.size()),
                              static_cast<GLint>(prefix.size()), static_cast<GLint>(body.size())};
    glExt.glShaderSourceARB(obj, 4, strings, lengths);
    glExt.glCompileShaderARB(obj);
    const bool ok = object_param(obj, GL_OBJECT_COMPILE_STATUS_ARB) != 0;
    if (!ok) log_shader_obj(path, defines + prefix, obj);
    glExt.glAttachObjectARB(gl_id, obj);
    return ok;
}

void OGL_shader::reload(int quiet) {
    for (uniform_cache_t& c : uniform_cache) c.kind = 0;
    std::string defines = "#define APL 1\n#define IBM 0\n#define LIN 0\n";
    defines += glExt.first_gen_shaders ? "#define LIMITED 1\n" : "#define LIMITED 0\n";
    defines += geom_path.empty() ? "#define HAS_GSHADER 0\n" : "#define HAS_GSHADER 1\n";
    const std::string version = glExt.glsl_version == 120 ? "#version 120\n" : "";

    for (;;) {
        bool ok = true;
        drop_stage(gl_id, vert_obj);
        ok &= build_stage(vert_obj, GL_VERTEX_SHADER_ARB, vert_path,
                          version + "#define VSHADER 1\n#define GSHADER 0\n#define FSHADER 0\n", defines);
        drop_stage(gl_id, geom_obj);
        if (!geom_path.empty())
            ok &= build_stage(geom_obj, GL_GEOMETRY_SHADER_EXT, geom_path,
                              "#version 120\n#extension GL_EXT_geometry_shader4 : enable\n"
                              "#extension GL_EXT_bindable_uniform : enable\n"
                              "#define VSHADER 0\n#define GSHADER 1\n#define FSHADER 0\n",
                              defines);
        drop_stage(gl_id, frag_obj);
        ok &= build_stage(frag_obj, GL_FRAGMENT_SHADER_ARB, frag_path,
                          version +
                              (glExt.shad_lod_avail ? "#extension GL_ARB_shader_texture_lod : enable\n"
                                                    : "#define texture2DGradARB(a,b,c,d) texture2D(a,b)\n") +
                              "#define VSHADER 0\n#define GSHADER 0\n#define FSHADER 1\n",
                          defines);
        if (geom_obj) {
            glExt.glProgramParameteriEXT(gl_id, GL_GEOMETRY_VERTICES_OUT_EXT, 3);
            glExt.glProgramParameteriEXT(gl_id, GL_GEOMETRY_INPUT_TYPE_EXT, GL_TRIANGLES);
            glExt.glProgramParameteriEXT(gl_id, GL_GEOMETRY_OUTPUT_TYPE_EXT, GL_TRIANGLE_STRIP);
        }
        for (std::size_t i = 0; i < attrib_names.size(); ++i)
            glExt.glBindAttribLocationARB(gl_id, static_cast<GLuint>(i + 5), attrib_names[i].c_str());
        glExt.glLinkProgramARB(gl_id);
        if (object_param(gl_id, GL_OBJECT_LINK_STATUS_ARB) == 0) {
            log_shader_obj(vert_path + "+" + frag_path, defines + prefix, gl_id);
            ok = false;
        }
        for (std::size_t i = 0; i < attrib_names.size(); ++i)
            attrib_locs[i] = glExt.glGetAttribLocationARB(gl_id, attrib_names[i].c_str());
        for (std::size_t i = 0; i < uniform_names.size(); ++i)
            uniform_locs[i] = glExt.glGetUniformLocationARB(gl_id, uniform_names[i].c_str());
        if (ok) return;
        MACIBM_alert(0, "There was a problem processing a GLSL pixel shader.",
                     "You may need to rerun the installer or update your graphics drivers.", vert_path, frag_path,
                     quiet ? t_warn : t_quit);
    }
}

void OGL_shader::reload_all_shaders(int quiet) {
    for (OGL_shader* s : shaders) s->reload(quiet);
}

void do_reload() { OGL_shader::reload_all_shaders(1); }

int OGL_shader::get_uniform_loc(int index) const { return uniform_locs.at(static_cast<std::size_t>(index)); }
int OGL_shader::get_attribute_loc(int index) const { return attrib_locs.at(static_cast<std::size_t>(index)); }

void OGL_shader::bind() {
    if (current_shader == this) return;
    glExt.glUseProgramObjectARB(gl_id);
    current_shader = this;
}

void OGL_shader::unbind_shaders() {
    if (!current_shader) return;
    glExt.glUseProgramObjectARB(0);
    current_shader = nullptr;
}

void OGL_shader::push() { stack.push_back(current_shader); }

void OGL_shader::pop() {
    OGL_shader* saved = stack.back();
    stack.pop_back();
    if (saved) saved->bind();
    else unbind_shaders();
}

void OGL_shader::dump() {
    const struct {
        GLhandleARB obj;
        const char* heading;
        const std::string& path;
    } stages[] = {{vert_obj, "SHADER SOURCE FOR VERTEX SHADER: ", vert_path},
                  {geom_obj, "SHADER SOURCE FOR GEOMETRY SHADER: ", geom_path},
                  {frag_obj, "SHADER SOURCE FOR FRAGMENT SHADER: ", frag_path}};
    for (const auto& s : stages) {
        if (!s.obj) continue;
        std::string src;
        get_shader_src(s.obj, src);
        xer << s.heading << s.path << "\n" << src << "\n";
    }
    if (!geom_obj) return;
    GLint out_count = 0, in_type = 0, out_type = 0;
    glExt.glGetProgramivARB(gl_id, GL_GEOMETRY_VERTICES_OUT_EXT, &out_count);
    glExt.glGetProgramivARB(gl_id, GL_GEOMETRY_INPUT_TYPE_EXT, &in_type);
    glExt.glGetProgramivARB(gl_id, GL_GEOMETRY_OUTPUT_TYPE_EXT, &out_type);
    char handle[32];
    std::snprintf(handle, sizeof handle, "%p", reinterpret_cast<void*>(static_cast<uintptr_t>(gl_id)));
    xer << "Prog: " << handle << "\n"
        << "GL_GEOMETRY_VERTICES_OUT_EXT: " << out_count << "\n"
        << "GL_GEOMETRY_INPUT_TYPE_EXT: " << OGL_get_token_name(static_cast<unsigned>(in_type)) << "\n"
        << "GL_GEOMETRY_OUTPUT_TYPE_EXT: " << OGL_get_token_name(static_cast<unsigned>(out_type)) << "\n";
}

OGL_shader_conditional::OGL_shader_conditional(const char* vert, const char* geom, const char* frag,
                                               const char* const* uniforms, const char* const* attribs,
                                               const OGL_conditional_t* conditions, const char* prefix_text)
    : prefix(prefix_text ? prefix_text : ""),
      vert_file(vert ? vert : ""),
      geom_file(geom ? geom : ""),
      frag_file(frag ? frag : ""),
      uniform_names(names_of(uniforms)),
      attrib_names(names_of(attribs)) {
    for (const OGL_conditional_t* c = conditions; c && c->name; ++c) {
        cond_names.emplace_back(c->name);
        cond_counts.push_back(c->count);
    }
}

OGL_shader_conditional::~OGL_shader_conditional() {
    for (auto& v : variants) delete v.second;
}

int OGL_shader_conditional::id_from_flags(const int* values) const {
    int id = 0;
    for (std::size_t i = cond_counts.size(); i-- > 0;) id = values[i] + cond_counts[i] * id;
    return id;
}

int OGL_shader_conditional::flags_from_id(int id, int* values) const {
    for (std::size_t i = 0; i < cond_counts.size(); ++i) {
        values[i] = id % cond_counts[i];
        id /= cond_counts[i];
    }
    return static_cast<int>(cond_counts.size());
}

void OGL_shader_conditional::build(int id) {
    std::vector<int> values(cond_counts.size());
    flags_from_id(id, values.data());
    // Composed without a length limit, so no prefix or name is too long for it.
    std::string text = prefix;
    for (std::size_t i = 0; i < cond_names.size(); ++i)
        text += "#define " + cond_names[i] + " " + std::to_string(values[i]) + "\n";
    OGL_shader*& slot = variants[id];
    delete slot;
    slot = new OGL_shader(vert_file, geom_file, frag_file, text.c_str(), uniform_names, attrib_names);
}

void OGL_shader_conditional::bind(int id) {
    if (!variants.count(id)) build(id);
    variants[id]->bind();
}

OGL_shader* OGL_shader_conditional::variant(int id) const {
    const auto it = variants.find(id);
    return it == variants.end() ? nullptr : it->second;
}

GLhandleARB OGL_shader_conditional::get_gl_id(int id) const {
    const OGL_shader* s = variant(id);
    return s ? s->get_gl_id() : 0;
}

int OGL_shader_conditional::get_uniform_loc(int id, int index) const {
    const OGL_shader* s = variant(id);
    return s ? s->get_uniform_loc(index) : -1;
}

int OGL_shader_conditional::get_attribute_loc(int id, int index) const {
    const OGL_shader* s = variant(id);
    return s ? s->get_attribute_loc(index) : -1;
}

void OGL_shader_conditional::dump(int id) const {
    if (OGL_shader* s = variant(id)) s->dump();
}
