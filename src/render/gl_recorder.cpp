#include "render/gl_recorder.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <unordered_map>

#include "render/gl_ext_list.h"

namespace {

gl_recorder* g_rec = nullptr;
gl_api_t g_saved_table;
gl_proc_loader_t g_saved_loader = nullptr;

template <typename T>
std::string format_arg(char kind, T v) {
    char buf[64];
    if constexpr (std::is_pointer_v<T>) {
        return v ? "ptr" : "NULL";
    } else if constexpr (std::is_floating_point_v<T>) {
        std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
        return buf;
    } else {
        switch (kind) {
        case 'E': {
            const auto e = static_cast<GLenum>(v);
            if (e == 0 || e == 1) return std::to_string(e);
            return gl_enum_name(e);
        }
        case 'X':
            std::snprintf(buf, sizeof buf, "0x%" PRIX64, static_cast<uint64_t>(v));
            return buf;
        case 'B': return v ? "GL_TRUE" : "GL_FALSE";
        case 'U': return std::to_string(static_cast<unsigned long long>(v));
        default: return std::to_string(static_cast<long long>(v));
        }
    }
}

template <typename Tuple, std::size_t... I>
std::string format_args(const char* kinds, const Tuple& t, std::index_sequence<I...>) {
    std::string out;
    ((out += (I ? ", " : "") + format_arg(kinds[I], std::get<I>(t))), ...);
    return out;
}

template <typename... A>
void record(const char* name, const char* kinds, const std::tuple<A...>& args) {
    if (!g_rec) return;
    g_rec->calls.push_back(std::string(name) + "(" + format_args(kinds, args, std::index_sequence_for<A...>{}) +
                           ")");
}

template <typename R>
R no_result() {
    if constexpr (std::is_void_v<R>) return;
    else return R{};
}

// One recording stub per core and extension entry point.
#define VENTARO_REC_CORE(ret, name, params, args, kinds) \
    ret APIENTRY rec_##name params {                     \
        record(#name, kinds, std::make_tuple args);      \
        return no_result<ret>();                         \
    }
VENTARO_GL_CORE_FUNCS(VENTARO_REC_CORE)
#undef VENTARO_REC_CORE

#define VENTARO_REC_EXT(flag, ret, name, params, args, kinds) \
    ret APIENTRY rec_##name params {                          \
        record(#name, kinds, std::make_tuple args);           \
        return no_result<ret>();                              \
    }
VENTARO_GL_EXT_FUNCS(VENTARO_REC_EXT)
#undef VENTARO_REC_EXT

// Queries answer from the recorder's tables.
const GLubyte* APIENTRY ans_glGetString(GLenum name) {
    record("glGetString", "E", std::make_tuple(name));
    const auto it = g_rec->strings.find(name);
    return it == g_rec->strings.end() ? nullptr : reinterpret_cast<const GLubyte*>(it->second.c_str());
}

void APIENTRY ans_glGetIntegerv(GLenum pname, GLint* out) {
    record("glGetIntegerv", "EP", std::make_tuple(pname, out));
    const auto it = g_rec->integers.find(pname);
    if (it == g_rec->integers.end()) { *out = 0; return; }
    for (std::size_t i = 0; i < it->second.size(); ++i) out[i] = it->second[i];
}

void APIENTRY ans_glGetBooleanv(GLenum pname, GLboolean* out) {
    record("glGetBooleanv", "EP", std::make_tuple(pname, out));
    const auto it = g_rec->integers.find(pname);
    if (it == g_rec->integers.end()) { *out = 0; return; }
    for (std::size_t i = 0; i < it->second.size(); ++i) out[i] = it->second[i] ? GL_TRUE : GL_FALSE;
}

void APIENTRY ans_glGetFloatv(GLenum pname, GLfloat* out) {
    record("glGetFloatv", "EP", std::make_tuple(pname, out));
    const auto it = g_rec->floats.find(pname);
    if (it == g_rec->floats.end()) { out[0] = 0; return; }
    for (std::size_t i = 0; i < it->second.size(); ++i) out[i] = it->second[i];
}

void APIENTRY ans_glGetDoublev(GLenum pname, GLdouble* out) {
    record("glGetDoublev", "EP", std::make_tuple(pname, out));
    const auto it = g_rec->floats.find(pname);
    if (it == g_rec->floats.end()) { out[0] = 0; return; }
    for (std::size_t i = 0; i < it->second.size(); ++i) out[i] = it->second[i];
}

GLenum APIENTRY ans_glGetError() {
    record("glGetError", "", std::make_tuple());
    if (g_rec->errors.empty()) return GL_NO_ERROR;
    const GLenum e = g_rec->errors.front();
    g_rec->errors.erase(g_rec->errors.begin());
    return e;
}

template <const char* Name>
void APIENTRY ans_gen(GLsizei n, GLuint* out) {
    record(Name, "IP", std::make_tuple(n, out));
    for (GLsizei i = 0; i < n; ++i) out[i] = g_rec->next_name++;
}
constexpr char kGenTextures[] = "glGenTextures";
constexpr char kGenBuffers[] = "glGenBuffers";
constexpr char kGenBuffersARB[] = "glGenBuffersARB";
constexpr char kGenFramebuffersEXT[] = "glGenFramebuffersEXT";
constexpr char kGenRenderbuffersEXT[] = "glGenRenderbuffersEXT";

GLuint APIENTRY ans_glGenLists(GLsizei range) {
    record("glGenLists", "I", std::make_tuple(range));
    const GLuint first = g_rec->next_name;
    g_rec->next_name += static_cast<GLuint>(range);
    return first;
}

void APIENTRY ans_glGetProgramivARB(GLenum target, GLenum pname, GLint* out) {
    record("glGetProgramivARB", "EEP", std::make_tuple(target, pname, out));
    const auto it = g_rec->program_limits.find(pname);
    *out = it == g_rec->program_limits.end() ? 0 : it->second;
}

void* APIENTRY ans_glMapBufferARB(GLenum target, GLenum access) {
    record("glMapBufferARB", "EE", std::make_tuple(target, access));
    return g_rec->map_pointer;
}

GLhandleARB APIENTRY ans_glCreateProgramObjectARB() {
    record("glCreateProgramObjectARB", "", std::make_tuple());
    return g_rec->next_name++;
}

GLhandleARB APIENTRY ans_glCreateShaderObjectARB(GLenum type) {
    record("glCreateShaderObjectARB", "E", std::make_tuple(type));
    return g_rec->next_name++;
}

void APIENTRY ans_glShaderSourceARB(GLhandleARB obj, GLsizei count, const GLcharARB** strings, const GLint* lengths) {
    record("glShaderSourceARB", "UIPP", std::make_tuple(obj, count, strings, lengths));
    std::string joined;
    for (GLsizei i = 0; i < count; ++i)
        joined += lengths ? std::string(strings[i], static_cast<std::size_t>(lengths[i])) : std::string(strings[i]);
    g_rec->shader_sources.push_back(joined);
}

void APIENTRY ans_glGetObjectParameterivARB(GLhandleARB obj, GLenum pname, GLint* out) {
    record("glGetObjectParameterivARB", "UEP", std::make_tuple(obj, pname, out));
    const auto it = g_rec->object_params.find(pname);
    *out = it == g_rec->object_params.end() ? 1 : it->second;
}

template <const char* Name>
GLint APIENTRY ans_location(GLhandleARB program, const GLcharARB* name) {
    record(Name, "UP", std::make_tuple(program, name));
    const auto it = g_rec->locations.find(name);
    return it == g_rec->locations.end() ? -1 : it->second;
}
constexpr char kUniformLocation[] = "glGetUniformLocationARB";
constexpr char kAttribLocation[] = "glGetAttribLocationARB";

GLenum APIENTRY ans_glCheckFramebufferStatusEXT(GLenum target) {
    record("glCheckFramebufferStatusEXT", "E", std::make_tuple(target));
    return g_rec->framebuffer_status;
}

const std::unordered_map<std::string, gl_proc_t>& stubs() {
    static const std::unordered_map<std::string, gl_proc_t> m = [] {
        std::unordered_map<std::string, gl_proc_t> s;
#define VENTARO_REC_ENTRY_CORE(ret, name, params, args, kinds) s[#name] = reinterpret_cast<gl_proc_t>(&rec_##name);
        VENTARO_GL_CORE_FUNCS(VENTARO_REC_ENTRY_CORE)
#undef VENTARO_REC_ENTRY_CORE
#define VENTARO_REC_ENTRY_EXT(flag, ret, name, params, args, kinds) s[#name] = reinterpret_cast<gl_proc_t>(&rec_##name);
        VENTARO_GL_EXT_FUNCS(VENTARO_REC_ENTRY_EXT)
#undef VENTARO_REC_ENTRY_EXT
        s["glGetString"] = reinterpret_cast<gl_proc_t>(&ans_glGetString);
        s["glGetIntegerv"] = reinterpret_cast<gl_proc_t>(&ans_glGetIntegerv);
        s["glGetBooleanv"] = reinterpret_cast<gl_proc_t>(&ans_glGetBooleanv);
        s["glGetFloatv"] = reinterpret_cast<gl_proc_t>(&ans_glGetFloatv);
        s["glGetDoublev"] = reinterpret_cast<gl_proc_t>(&ans_glGetDoublev);
        s["glGetError"] = reinterpret_cast<gl_proc_t>(&ans_glGetError);
        s["glGenLists"] = reinterpret_cast<gl_proc_t>(&ans_glGenLists);
        s["glGenTextures"] = reinterpret_cast<gl_proc_t>(&ans_gen<kGenTextures>);
        s["glGenBuffers"] = reinterpret_cast<gl_proc_t>(&ans_gen<kGenBuffers>);
        s["glGenBuffersARB"] = reinterpret_cast<gl_proc_t>(&ans_gen<kGenBuffersARB>);
        s["glGenFramebuffersEXT"] = reinterpret_cast<gl_proc_t>(&ans_gen<kGenFramebuffersEXT>);
        s["glGenRenderbuffersEXT"] = reinterpret_cast<gl_proc_t>(&ans_gen<kGenRenderbuffersEXT>);
        s["glGetProgramivARB"] = reinterpret_cast<gl_proc_t>(&ans_glGetProgramivARB);
        s["glMapBufferARB"] = reinterpret_cast<gl_proc_t>(&ans_glMapBufferARB);
        s["glCreateProgramObjectARB"] = reinterpret_cast<gl_proc_t>(&ans_glCreateProgramObjectARB);
        s["glCreateShaderObjectARB"] = reinterpret_cast<gl_proc_t>(&ans_glCreateShaderObjectARB);
        s["glShaderSourceARB"] = reinterpret_cast<gl_proc_t>(&ans_glShaderSourceARB);
        s["glGetObjectParameterivARB"] = reinterpret_cast<gl_proc_t>(&ans_glGetObjectParameterivARB);
        s["glGetUniformLocationARB"] = reinterpret_cast<gl_proc_t>(&ans_location<kUniformLocation>);
        s["glGetAttribLocationARB"] = reinterpret_cast<gl_proc_t>(&ans_location<kAttribLocation>);
        s["glCheckFramebufferStatusEXT"] = reinterpret_cast<gl_proc_t>(&ans_glCheckFramebufferStatusEXT);
        return s;
    }();
    return m;
}

gl_proc_t recorder_loader(const char* name) {
    if (!g_rec || g_rec->missing.count(name)) return nullptr;
    const auto it = stubs().find(name);
    return it == stubs().end() ? nullptr : it->second;
}

struct enum_name {
    GLenum value;
    const char* name;
};
#define N(e) {e, #e}
// The names that the program's calls use; the first name listed for a value wins.
const enum_name kEnumNames[] = {
    N(GL_TEXTURE_1D), N(GL_TEXTURE_2D), N(GL_TEXTURE_3D), N(GL_TEXTURE_CUBE_MAP), N(GL_TEXTURE_RECTANGLE_ARB),
    N(GL_BLEND), N(GL_ALPHA_TEST), N(GL_DEPTH_TEST), N(GL_CULL_FACE), N(GL_FOG), N(GL_LIGHTING), N(GL_LIGHT0),
    N(GL_SCISSOR_TEST), N(GL_STENCIL_TEST), N(GL_DITHER), N(GL_NORMALIZE), N(GL_COLOR_MATERIAL),
    N(GL_MULTISAMPLE_ARB), N(GL_INDEX_LOGIC_OP), N(GL_POLYGON_OFFSET_FILL), N(GL_LINE_SMOOTH),
    N(GL_POINT_SMOOTH), N(GL_TEXTURE_GEN_S), N(GL_TEXTURE_GEN_T),
    N(GL_VERTEX_ARRAY), N(GL_COLOR_ARRAY), N(GL_NORMAL_ARRAY), N(GL_TEXTURE_COORD_ARRAY),
    N(GL_SRC_ALPHA), N(GL_ONE_MINUS_SRC_ALPHA), N(GL_SRC_COLOR), N(GL_ONE_MINUS_SRC_COLOR), N(GL_DST_COLOR),
    N(GL_ONE_MINUS_DST_COLOR), N(GL_DST_ALPHA), N(GL_ONE_MINUS_DST_ALPHA),
    N(GL_NEVER), N(GL_LESS), N(GL_EQUAL), N(GL_LEQUAL), N(GL_GREATER), N(GL_NOTEQUAL), N(GL_GEQUAL),
    N(GL_ALWAYS),
    N(GL_FRONT), N(GL_BACK), N(GL_FRONT_AND_BACK), N(GL_CW), N(GL_CCW), N(GL_FILL), N(GL_LINE), N(GL_POINT),
    N(GL_FLAT), N(GL_SMOOTH), N(GL_LINEAR), N(GL_NEAREST), N(GL_LINEAR_MIPMAP_LINEAR), N(GL_LINEAR_MIPMAP_NEAREST),
    N(GL_NEAREST_MIPMAP_NEAREST), N(GL_NEAREST_MIPMAP_LINEAR), N(GL_EXP), N(GL_EXP2), N(GL_FASTEST), N(GL_NICEST),
    N(GL_DONT_CARE), N(GL_FOG_HINT), N(GL_FOG_MODE), N(GL_FOG_START), N(GL_FOG_END), N(GL_FOG_DENSITY),
    N(GL_FOG_COLOR), N(GL_PERSPECTIVE_CORRECTION_HINT),
    N(GL_AMBIENT), N(GL_DIFFUSE), N(GL_SPECULAR), N(GL_POSITION), N(GL_EMISSION), N(GL_AMBIENT_AND_DIFFUSE),
    N(GL_LIGHT_MODEL_AMBIENT), N(GL_LIGHT_MODEL_COLOR_CONTROL), N(GL_SEPARATE_SPECULAR_COLOR),
    N(GL_MODELVIEW), N(GL_PROJECTION), N(GL_TEXTURE),
    N(GL_POINTS), N(GL_LINES), N(GL_LINE_LOOP), N(GL_LINE_STRIP), N(GL_TRIANGLES), N(GL_TRIANGLE_STRIP),
    N(GL_TRIANGLE_FAN), N(GL_QUADS), N(GL_QUAD_STRIP), N(GL_POLYGON),
    N(GL_BYTE), N(GL_UNSIGNED_BYTE), N(GL_SHORT), N(GL_UNSIGNED_SHORT), N(GL_INT), N(GL_UNSIGNED_INT),
    N(GL_FLOAT), N(GL_DOUBLE), N(GL_UNSIGNED_INT_8_8_8_8_REV),
    N(GL_ALPHA), N(GL_RGB), N(GL_RGBA), N(GL_LUMINANCE), N(GL_LUMINANCE_ALPHA), N(GL_INTENSITY), N(GL_BGR),
    N(GL_BGRA), N(GL_RGB8), N(GL_RGBA8), N(GL_ALPHA8), N(GL_LUMINANCE8), N(GL_RGB5), N(GL_RGBA4),
    N(GL_DEPTH_COMPONENT), N(GL_COMPRESSED_RGB_S3TC_DXT1_EXT), N(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT),
    N(GL_COMPRESSED_RGBA_S3TC_DXT3_EXT), N(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT),
    N(GL_TEXTURE_MIN_FILTER), N(GL_TEXTURE_MAG_FILTER), N(GL_TEXTURE_WRAP_S), N(GL_TEXTURE_WRAP_T),
    N(GL_TEXTURE_WRAP_R), N(GL_CLAMP), N(GL_CLAMP_TO_EDGE), N(GL_REPEAT), N(GL_GENERATE_MIPMAP),
    N(GL_TEXTURE_MAX_ANISOTROPY_EXT), N(GL_TEXTURE_ENV), N(GL_TEXTURE_ENV_MODE), N(GL_TEXTURE_ENV_COLOR),
    N(GL_MODULATE), N(GL_DECAL), N(GL_REPLACE), N(GL_ADD), N(GL_COMBINE), N(GL_COMBINE_RGB), N(GL_COMBINE_ALPHA),
    N(GL_SOURCE0_RGB), N(GL_SOURCE1_RGB), N(GL_SOURCE2_RGB), N(GL_SOURCE0_ALPHA), N(GL_SOURCE1_ALPHA),
    N(GL_SOURCE2_ALPHA), N(GL_OPERAND0_RGB), N(GL_OPERAND1_RGB), N(GL_OPERAND2_RGB), N(GL_OPERAND0_ALPHA),
    N(GL_OPERAND1_ALPHA), N(GL_OPERAND2_ALPHA), N(GL_INTERPOLATE), N(GL_PREVIOUS), N(GL_PRIMARY_COLOR),
    N(GL_CONSTANT), N(GL_ADD_SIGNED), N(GL_SUBTRACT), N(GL_DOT3_RGB), N(GL_RGB_SCALE), N(GL_ALPHA_SCALE),
    N(GL_TEXTURE_COMPRESSED), N(GL_TEXTURE_COMPRESSED_IMAGE_SIZE), N(GL_TEXTURE_COMPARE_MODE),
    N(GL_TEXTURE_COMPARE_FUNC), N(GL_COMPARE_R_TO_TEXTURE), N(GL_DEPTH_COMPONENT24), N(GL_RG), N(GL_RGBA16F_ARB),
    N(GL_RGB16F_ARB), N(GL_ALPHA16F_ARB), N(GL_R16F), N(GL_RG16F),
    N(GL_TEXTURE0), N(GL_TEXTURE1), N(GL_TEXTURE2), N(GL_TEXTURE3), N(GL_TEXTURE4), N(GL_TEXTURE5),
    N(GL_TEXTURE6), N(GL_TEXTURE7),
    N(GL_UNPACK_ALIGNMENT), N(GL_PACK_ALIGNMENT), N(GL_UNPACK_ROW_LENGTH), N(GL_PACK_ROW_LENGTH),
    N(GL_UNPACK_SKIP_ROWS), N(GL_UNPACK_SKIP_PIXELS),
    N(GL_VENDOR), N(GL_RENDERER), N(GL_VERSION), N(GL_EXTENSIONS), N(GL_SHADING_LANGUAGE_VERSION),
    N(GL_MAX_TEXTURE_SIZE), N(GL_MAX_TEXTURE_UNITS), N(GL_MAX_TEXTURE_IMAGE_UNITS_ARB),
    N(GL_MAX_TEXTURE_COORDS_ARB), N(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT), N(GL_POINT_SIZE_RANGE),
    N(GL_MAX_VERTEX_ATTRIBS_ARB), N(GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB), N(GL_MAX_VARYING_FLOATS_ARB),
    N(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB), N(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB),
    N(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB), N(GL_VIEWPORT), N(GL_SCISSOR_BOX),
    N(GL_FRAGMENT_PROGRAM_ARB), N(GL_VERTEX_PROGRAM_ARB), N(GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB),
    N(GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB), N(GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB),
    N(GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB),
    N(GL_ARRAY_BUFFER_ARB), N(GL_ELEMENT_ARRAY_BUFFER_ARB), N(GL_PIXEL_PACK_BUFFER_ARB),
    N(GL_PIXEL_UNPACK_BUFFER_ARB), N(GL_STATIC_DRAW_ARB), N(GL_DYNAMIC_DRAW_ARB), N(GL_STREAM_DRAW_ARB),
    N(GL_WRITE_ONLY_ARB), N(GL_READ_ONLY_ARB), N(GL_READ_WRITE_ARB), N(GL_ARRAY_BUFFER_BINDING_ARB),
    N(GL_DYNAMIC_READ_ARB), N(GL_PIXEL_PACK_BUFFER_BINDING_ARB),
    N(GL_VERTEX_SHADER_ARB), N(GL_FRAGMENT_SHADER_ARB), N(GL_GEOMETRY_SHADER_EXT),
    N(GL_OBJECT_COMPILE_STATUS_ARB), N(GL_OBJECT_LINK_STATUS_ARB), N(GL_OBJECT_INFO_LOG_LENGTH_ARB),
    N(GL_OBJECT_SHADER_SOURCE_LENGTH_ARB), N(GL_GEOMETRY_VERTICES_OUT_EXT), N(GL_GEOMETRY_INPUT_TYPE_EXT),
    N(GL_GEOMETRY_OUTPUT_TYPE_EXT), N(GL_VIEWPORT_BIT), N(GL_CLIENT_ACTIVE_TEXTURE),
    N(GL_READ_FRAMEBUFFER_EXT), N(GL_DRAW_FRAMEBUFFER_EXT), N(GL_FRAMEBUFFER_BINDING_EXT),
    N(GL_DEPTH24_STENCIL8_EXT), N(GL_STENCIL_ATTACHMENT_EXT), N(GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT),
    N(GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT), N(GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT),
    N(GL_FRAMEBUFFER_EXT), N(GL_RENDERBUFFER_EXT), N(GL_COLOR_ATTACHMENT0_EXT), N(GL_COLOR_ATTACHMENT1_EXT),
    N(GL_COLOR_ATTACHMENT2_EXT), N(GL_COLOR_ATTACHMENT3_EXT), N(GL_DEPTH_ATTACHMENT_EXT),
    N(GL_FRAMEBUFFER_COMPLETE_EXT),
    N(GL_COLOR_BUFFER_BIT), N(GL_DEPTH_BUFFER_BIT), N(GL_STENCIL_BUFFER_BIT),
    N(GL_FRONT_LEFT), N(GL_BACK_LEFT), N(GL_COMPILE), N(GL_COMPILE_AND_EXECUTE),
    N(GL_FUNC_ADD), N(GL_MIN), N(GL_MAX), N(GL_KEEP), N(GL_INCR), N(GL_DECR), N(GL_INVERT),
};
#undef N

}  // namespace

std::vector<std::string> gl_recorder::take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
}

std::vector<std::string> gl_recorder::matching(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
        for (const std::string& p : prefixes)
            if (c.rfind(p, 0) == 0) {
                out.push_back(c);
                break;
            }
    return out;
}

void gl_recorder_install(gl_recorder* r) {
    if (r) {
        if (!g_rec) {
            g_saved_table = gl;
            g_saved_loader = gl_api_loader();
        }
        g_rec = r;
        gl_api_load(&recorder_loader);
    } else if (g_rec) {
        g_rec = nullptr;
        gl_api_load(g_saved_loader);
        gl = g_saved_table;
    }
}

std::string gl_enum_name(GLenum value) {
    for (const enum_name& e : kEnumNames)
        if (e.value == value) return e.name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", value);
    return buf;
}
