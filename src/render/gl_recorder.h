#pragma once
// A stand-in GL library for tests: every call through `gl` or the `glExt` slots is written down
// as text, in order, and the queries answer what the test set up.
//
//   gl_recorder rec;
//   rec.strings[GL_VERSION] = "2.1 Fake";
//   gl_recorder_install(&rec);
//   ... code under test ...
//   EXPECT_EQ(rec.take(), (std::vector<std::string>{"glBindTexture(GL_TEXTURE_2D, 7)"}));
//   gl_recorder_install(nullptr);
//
// Arguments print by kind: enums by name (0 and 1 as numbers, since they stand for many names),
// bitfields in hex, numbers in decimal (%g for floating point), pointers as "ptr" or "NULL".
#include <map>
#include <set>
#include <string>
#include <vector>

#include "render/gl_api.h"

class gl_recorder {
public:
    std::vector<std::string> calls;
    std::map<GLenum, std::string> strings;                 // glGetString answers; absent: NULL
    std::map<GLenum, std::vector<GLint>> integers;         // glGetIntegerv / glGetBooleanv answers; absent: 0
    std::map<GLenum, std::vector<GLfloat>> floats;         // glGetFloatv / glGetDoublev answers; absent: 0
    std::map<GLenum, GLint> program_limits;                // glGetProgramivARB answers by pname; absent: 0
    std::set<std::string> missing;                         // entry points the fake library lacks
    std::vector<GLenum> errors;                            // glGetError answers these, then GL_NO_ERROR
    GLuint next_name = 1;                                  // names handed out by glGen* and glCreate*
    void* map_pointer = nullptr;                           // what glMapBufferARB answers
    std::map<std::string, GLint> locations;                // glGet{Uniform,Attrib}LocationARB by name; absent: -1
    std::map<GLenum, GLint> object_params;                 // glGetObjectParameterivARB by pname; absent: 1
    GLenum framebuffer_status = GL_FRAMEBUFFER_COMPLETE_EXT;   // glCheckFramebufferStatusEXT
    std::vector<std::string> shader_sources;               // each glShaderSourceARB's strings, joined

    // The calls so far, leaving the list empty.
    std::vector<std::string> take();
    // The calls so far whose text starts with one of the prefixes.
    std::vector<std::string> matching(const std::vector<std::string>& prefixes) const;
};

// Points `gl` and the extension loader at the recorder (which must outlive the install); null
// puts back the table and loader that were in force before.
void gl_recorder_install(gl_recorder* r);

// "GL_TEXTURE_2D" for the enums the program uses; "0x%04X" for any other value.
std::string gl_enum_name(GLenum value);
