#include "render/gl_api.h"

gl_api_t gl;

namespace {
gl_proc_loader_t g_loader = nullptr;
}

int gl_api_load(gl_proc_loader_t loader, std::vector<std::string>* missing) {
    g_loader = loader;
    int lacking = 0;
#define VENTARO_GL_LOAD(ret, name, params, args, kinds)                                   \
    gl.name = loader ? reinterpret_cast<decltype(gl.name)>(loader(#name)) : nullptr;      \
    if (!gl.name) {                                                                       \
        ++lacking;                                                                        \
        if (missing) missing->push_back(#name);                                           \
    }
    VENTARO_GL_CORE_FUNCS(VENTARO_GL_LOAD)
#undef VENTARO_GL_LOAD
    return lacking;
}

gl_proc_t gl_api_proc(const char* name) { return g_loader && name ? g_loader(name) : nullptr; }

gl_proc_loader_t gl_api_loader() { return g_loader; }

const std::vector<const char*>& gl_api_names() {
    static const std::vector<const char*> names = {
#define VENTARO_GL_NAME(ret, name, params, args, kinds) #name,
        VENTARO_GL_CORE_FUNCS(VENTARO_GL_NAME)
#undef VENTARO_GL_NAME
    };
    return names;
}
