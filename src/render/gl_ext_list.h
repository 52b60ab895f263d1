// The extension entry points of glExt in slot order, each with the capability flag that gates its
// group: flag, return type, name, parameters, arguments and the recorder's argument letters (as in
// gl_core_list.h). Generated from the OpenGL headers' prototypes.
#pragma once

#define VENTARO_GL_EXT_FUNCS(X) \
    X(vbo_avail, void, glBindBufferARB, (GLenum target, GLuint buffer), (target, buffer), "EU") \
    X(vbo_avail, void, glDeleteBuffersARB, (GLsizei n, const GLuint *buffers), (n, buffers), "IP") \
    X(vbo_avail, void, glGenBuffersARB, (GLsizei n, GLuint *buffers), (n, buffers), "IP") \
    X(vbo_avail, GLboolean, glIsBufferARB, (GLuint buffer), (buffer), "U") \
    X(vbo_avail, void, glBufferDataARB, (GLenum target, GLsizeiptrARB size, const void *data, GLenum usage), (target, size, data, usage), "EIPE") \
    X(vbo_avail, void, glBufferSubDataARB, (GLenum target, GLintptrARB offset, GLsizeiptrARB size, const void *data), (target, offset, size, data), "EIIP") \
    X(vbo_avail, void, glGetBufferSubDataARB, (GLenum target, GLintptrARB offset, GLsizeiptrARB size, void *data), (target, offset, size, data), "EIIP") \
    X(vbo_avail, void *, glMapBufferARB, (GLenum target, GLenum access), (target, access), "EE") \
    X(vbo_avail, GLboolean, glUnmapBufferARB, (GLenum target), (target), "E") \
    X(vbo_avail, void, glGetBufferParameterivARB, (GLenum target, GLenum pname, GLint *params), (target, pname, params), "EEP") \
    X(vbo_avail, void, glGetBufferPointervARB, (GLenum target, GLenum pname, void **params), (target, pname, params), "EEP") \
    X(vprog_avail, void, glVertexAttrib1dARB, (GLuint index, GLdouble x), (index, x), "UF") \
    X(vprog_avail, void, glVertexAttrib1dvARB, (GLuint index, const GLdouble *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib1fARB, (GLuint index, GLfloat x), (index, x), "UF") \
    X(vprog_avail, void, glVertexAttrib1fvARB, (GLuint index, const GLfloat *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib1sARB, (GLuint index, GLshort x), (index, x), "UI") \
    X(vprog_avail, void, glVertexAttrib1svARB, (GLuint index, const GLshort *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib2dARB, (GLuint index, GLdouble x, GLdouble y), (index, x, y), "UFF") \
    X(vprog_avail, void, glVertexAttrib2dvARB, (GLuint index, const GLdouble *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib2fARB, (GLuint index, GLfloat x, GLfloat y), (index, x, y), "UFF") \
    X(vprog_avail, void, glVertexAttrib2fvARB, (GLuint index, const GLfloat *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib2sARB, (GLuint index, GLshort x, GLshort y), (index, x, y), "UII") \
    X(vprog_avail, void, glVertexAttrib2svARB, (GLuint index, const GLshort *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib3dARB, (GLuint index, GLdouble x, GLdouble y, GLdouble z), (index, x, y, z), "UFFF") \
    X(vprog_avail, void, glVertexAttrib3dvARB, (GLuint index, const GLdouble *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib3fARB, (GLuint index, GLfloat x, GLfloat y, GLfloat z), (index, x, y, z), "UFFF") \
    X(vprog_avail, void, glVertexAttrib3fvARB, (GLuint index, const GLfloat *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib3sARB, (GLuint index, GLshort x, GLshort y, GLshort z), (index, x, y, z), "UIII") \
    X(vprog_avail, void, glVertexAttrib3svARB, (GLuint index, const GLshort *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4NbvARB, (GLuint index, const GLbyte *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4NivARB, (GLuint index, const GLint *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4NsvARB, (GLuint index, const GLshort *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4NubARB, (GLuint index, GLubyte x, GLubyte y, GLubyte z, GLubyte w), (index, x, y, z, w), "UUUUU") \
    X(vprog_avail, void, glVertexAttrib4NubvARB, (GLuint index, const GLubyte *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4NuivARB, (GLuint index, const GLuint *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4NusvARB, (GLuint index, const GLushort *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4bvARB, (GLuint index, const GLbyte *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4dARB, (GLuint index, GLdouble x, GLdouble y, GLdouble z, GLdouble w), (index, x, y, z, w), "UFFFF") \
    X(vprog_avail, void, glVertexAttrib4dvARB, (GLuint index, const GLdouble *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4fARB, (GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w), (index, x, y, z, w), "UFFFF") \
    X(vprog_avail, void, glVertexAttrib4fvARB, (GLuint index, const GLfloat *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4ivARB, (GLuint index, const GLint *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4sARB, (GLuint index, GLshort x, GLshort y, GLshort z, GLshort w), (index, x, y, z, w), "UIIII") \
    X(vprog_avail, void, glVertexAttrib4svARB, (GLuint index, const GLshort *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4ubvARB, (GLuint index, const GLubyte *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4uivARB, (GLuint index, const GLuint *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttrib4usvARB, (GLuint index, const GLushort *v), (index, v), "UP") \
    X(vprog_avail, void, glVertexAttribPointerARB, (GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride, const void *pointer), (index, size, type, normalized, stride, pointer), "UIEBIP") \
    X(vprog_avail, void, glEnableVertexAttribArrayARB, (GLuint index), (index), "U") \
    X(vprog_avail, void, glDisableVertexAttribArrayARB, (GLuint index), (index), "U") \
    X(vprog_avail, void, glProgramStringARB, (GLenum target, GLenum format, GLsizei len, const void *string), (target, format, len, string), "EEIP") \
    X(vprog_avail, void, glBindProgramARB, (GLenum target, GLuint program), (target, program), "EU") \
    X(vprog_avail, void, glDeleteProgramsARB, (GLsizei n, const GLuint *programs), (n, programs), "IP") \
    X(vprog_avail, void, glGenProgramsARB, (GLsizei n, GLuint *programs), (n, programs), "IP") \
    X(vprog_avail, void, glProgramEnvParameter4dARB, (GLenum target, GLuint index, GLdouble x, GLdouble y, GLdouble z, GLdouble w), (target, index, x, y, z, w), "EUFFFF") \
    X(vprog_avail, void, glProgramEnvParameter4dvARB, (GLenum target, GLuint index, const GLdouble *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glProgramEnvParameter4fARB, (GLenum target, GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w), (target, index, x, y, z, w), "EUFFFF") \
    X(vprog_avail, void, glProgramEnvParameter4fvARB, (GLenum target, GLuint index, const GLfloat *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glProgramLocalParameter4dARB, (GLenum target, GLuint index, GLdouble x, GLdouble y, GLdouble z, GLdouble w), (target, index, x, y, z, w), "EUFFFF") \
    X(vprog_avail, void, glProgramLocalParameter4dvARB, (GLenum target, GLuint index, const GLdouble *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glProgramLocalParameter4fARB, (GLenum target, GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w), (target, index, x, y, z, w), "EUFFFF") \
    X(vprog_avail, void, glProgramLocalParameter4fvARB, (GLenum target, GLuint index, const GLfloat *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glGetProgramEnvParameterdvARB, (GLenum target, GLuint index, GLdouble *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glGetProgramEnvParameterfvARB, (GLenum target, GLuint index, GLfloat *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glGetProgramLocalParameterdvARB, (GLenum target, GLuint index, GLdouble *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glGetProgramLocalParameterfvARB, (GLenum target, GLuint index, GLfloat *params), (target, index, params), "EUP") \
    X(vprog_avail, void, glGetProgramivARB, (GLenum target, GLenum pname, GLint *params), (target, pname, params), "EEP") \
    X(vprog_avail, void, glGetProgramStringARB, (GLenum target, GLenum pname, void *string), (target, pname, string), "EEP") \
    X(vprog_avail, void, glGetVertexAttribdvARB, (GLuint index, GLenum pname, GLdouble *params), (index, pname, params), "UEP") \
    X(vprog_avail, void, glGetVertexAttribfvARB, (GLuint index, GLenum pname, GLfloat *params), (index, pname, params), "UEP") \
    X(vprog_avail, void, glGetVertexAttribivARB, (GLuint index, GLenum pname, GLint *params), (index, pname, params), "UEP") \
    X(vprog_avail, void, glGetVertexAttribPointervARB, (GLuint index, GLenum pname, void **pointer), (index, pname, pointer), "UEP") \
    X(vprog_avail, GLboolean, glIsProgramARB, (GLuint program), (program), "U") \
    X(occlude_avail, void, glGenQueriesARB, (GLsizei n, GLuint *ids), (n, ids), "IP") \
    X(occlude_avail, void, glDeleteQueriesARB, (GLsizei n, const GLuint *ids), (n, ids), "IP") \
    X(occlude_avail, GLboolean, glIsQueryARB, (GLuint id), (id), "U") \
    X(occlude_avail, void, glBeginQueryARB, (GLenum target, GLuint id), (target, id), "EU") \
    X(occlude_avail, void, glEndQueryARB, (GLenum target), (target), "E") \
    X(occlude_avail, void, glGetQueryivARB, (GLenum target, GLenum pname, GLint *params), (target, pname, params), "EEP") \
    X(occlude_avail, void, glGetQueryObjectivARB, (GLuint id, GLenum pname, GLint *params), (id, pname, params), "UEP") \
    X(occlude_avail, void, glGetQueryObjectuivARB, (GLuint id, GLenum pname, GLuint *params), (id, pname, params), "UEP") \
    X(shad_objs_avail, void, glDeleteObjectARB, (GLhandleARB obj), (obj), "U") \
    X(shad_objs_avail, GLhandleARB, glGetHandleARB, (GLenum pname), (pname), "E") \
    X(shad_objs_avail, void, glDetachObjectARB, (GLhandleARB containerObj, GLhandleARB attachedObj), (containerObj, attachedObj), "UU") \
    X(shad_objs_avail, GLhandleARB, glCreateShaderObjectARB, (GLenum shaderType), (shaderType), "E") \
    X(shad_objs_avail, void, glShaderSourceARB, (GLhandleARB shaderObj, GLsizei count, const GLcharARB **string, const GLint *length), (shaderObj, count, string, length), "UIPP") \
    X(shad_objs_avail, void, glCompileShaderARB, (GLhandleARB shaderObj), (shaderObj), "U") \
    X(shad_objs_avail, GLhandleARB, glCreateProgramObjectARB, (), (), "") \
    X(shad_objs_avail, void, glAttachObjectARB, (GLhandleARB containerObj, GLhandleARB obj), (containerObj, obj), "UU") \
    X(shad_objs_avail, void, glLinkProgramARB, (GLhandleARB programObj), (programObj), "U") \
    X(shad_objs_avail, void, glUseProgramObjectARB, (GLhandleARB programObj), (programObj), "U") \
    X(shad_objs_avail, void, glValidateProgramARB, (GLhandleARB programObj), (programObj), "U") \
    X(shad_objs_avail, void, glUniform1fARB, (GLint location, GLfloat v0), (location, v0), "IF") \
    X(shad_objs_avail, void, glUniform2fARB, (GLint location, GLfloat v0, GLfloat v1), (location, v0, v1), "IFF") \
    X(shad_objs_avail, void, glUniform3fARB, (GLint location, GLfloat v0, GLfloat v1, GLfloat v2), (location, v0, v1, v2), "IFFF") \
    X(shad_objs_avail, void, glUniform4fARB, (GLint location, GLfloat v0, GLfloat v1, GLfloat v2, GLfloat v3), (location, v0, v1, v2, v3), "IFFFF") \
    X(shad_objs_avail, void, glUniform1iARB, (GLint location, GLint v0), (location, v0), "II") \
    X(shad_objs_avail, void, glUniform2iARB, (GLint location, GLint v0, GLint v1), (location, v0, v1), "III") \
    X(shad_objs_avail, void, glUniform3iARB, (GLint location, GLint v0, GLint v1, GLint v2), (location, v0, v1, v2), "IIII") \
    X(shad_objs_avail, void, glUniform4iARB, (GLint location, GLint v0, GLint v1, GLint v2, GLint v3), (location, v0, v1, v2, v3), "IIIII") \
    X(shad_objs_avail, void, glUniform1fvARB, (GLint location, GLsizei count, const GLfloat *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniform2fvARB, (GLint location, GLsizei count, const GLfloat *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniform3fvARB, (GLint location, GLsizei count, const GLfloat *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniform4fvARB, (GLint location, GLsizei count, const GLfloat *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniform1ivARB, (GLint location, GLsizei count, const GLint *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniform2ivARB, (GLint location, GLsizei count, const GLint *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniform3ivARB, (GLint location, GLsizei count, const GLint *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniform4ivARB, (GLint location, GLsizei count, const GLint *value), (location, count, value), "IIP") \
    X(shad_objs_avail, void, glUniformMatrix2fvARB, (GLint location, GLsizei count, GLboolean transpose, const GLfloat *value), (location, count, transpose, value), "IIBP") \
    X(shad_objs_avail, void, glUniformMatrix3fvARB, (GLint location, GLsizei count, GLboolean transpose, const GLfloat *value), (location, count, transpose, value), "IIBP") \
    X(shad_objs_avail, void, glUniformMatrix4fvARB, (GLint location, GLsizei count, GLboolean transpose, const GLfloat *value), (location, count, transpose, value), "IIBP") \
    X(shad_objs_avail, void, glGetObjectParameterfvARB, (GLhandleARB obj, GLenum pname, GLfloat *params), (obj, pname, params), "UEP") \
    X(shad_objs_avail, void, glGetObjectParameterivARB, (GLhandleARB obj, GLenum pname, GLint *params), (obj, pname, params), "UEP") \
    X(shad_objs_avail, void, glGetInfoLogARB, (GLhandleARB obj, GLsizei maxLength, GLsizei *length, GLcharARB *infoLog), (obj, maxLength, length, infoLog), "UIPP") \
    X(shad_objs_avail, void, glGetAttachedObjectsARB, (GLhandleARB containerObj, GLsizei maxCount, GLsizei *count, GLhandleARB *obj), (containerObj, maxCount, count, obj), "UIPP") \
    X(shad_objs_avail, GLint, glGetUniformLocationARB, (GLhandleARB programObj, const GLcharARB *name), (programObj, name), "UP") \
    X(shad_objs_avail, void, glGetActiveUniformARB, (GLhandleARB programObj, GLuint index, GLsizei maxLength, GLsizei *length, GLint *size, GLenum *type, GLcharARB *name), (programObj, index, maxLength, length, size, type, name), "UUIPPPP") \
    X(shad_objs_avail, void, glGetUniformfvARB, (GLhandleARB programObj, GLint location, GLfloat *params), (programObj, location, params), "UIP") \
    X(shad_objs_avail, void, glGetUniformivARB, (GLhandleARB programObj, GLint location, GLint *params), (programObj, location, params), "UIP") \
    X(shad_objs_avail, void, glGetShaderSourceARB, (GLhandleARB obj, GLsizei maxLength, GLsizei *length, GLcharARB *source), (obj, maxLength, length, source), "UIPP") \
    X(vshader_avail, void, glBindAttribLocationARB, (GLhandleARB programObj, GLuint index, const GLcharARB *name), (programObj, index, name), "UUP") \
    X(vshader_avail, void, glGetActiveAttribARB, (GLhandleARB programObj, GLuint index, GLsizei maxLength, GLsizei *length, GLint *size, GLenum *type, GLcharARB *name), (programObj, index, maxLength, length, size, type, name), "UUIPPPP") \
    X(vshader_avail, GLint, glGetAttribLocationARB, (GLhandleARB programObj, const GLcharARB *name), (programObj, name), "UP") \
    X(gshader_avail, void, glProgramParameteriEXT, (GLuint program, GLenum pname, GLint value), (program, pname, value), "UEI") \
    X(buniform_avail, void, glUniformBufferEXT, (GLuint program, GLint location, GLuint buffer), (program, location, buffer), "UIU") \
    X(buniform_avail, GLint, glGetUniformBufferSizeEXT, (GLuint program, GLint location), (program, location), "UI") \
    X(buniform_avail, GLintptr, glGetUniformOffsetEXT, (GLuint program, GLint location), (program, location), "UI") \
    X(framebuf_avail, GLboolean, glIsRenderbufferEXT, (GLuint renderbuffer), (renderbuffer), "U") \
    X(framebuf_avail, void, glBindRenderbufferEXT, (GLenum target, GLuint renderbuffer), (target, renderbuffer), "EU") \
    X(framebuf_avail, void, glDeleteRenderbuffersEXT, (GLsizei n, const GLuint *renderbuffers), (n, renderbuffers), "IP") \
    X(framebuf_avail, void, glGenRenderbuffersEXT, (GLsizei n, GLuint *renderbuffers), (n, renderbuffers), "IP") \
    X(framebuf_avail, void, glRenderbufferStorageEXT, (GLenum target, GLenum internalformat, GLsizei width, GLsizei height), (target, internalformat, width, height), "EEII") \
    X(framebuf_avail, void, glGetRenderbufferParameterivEXT, (GLenum target, GLenum pname, GLint *params), (target, pname, params), "EEP") \
    X(framebuf_avail, GLboolean, glIsFramebufferEXT, (GLuint framebuffer), (framebuffer), "U") \
    X(framebuf_avail, void, glBindFramebufferEXT, (GLenum target, GLuint framebuffer), (target, framebuffer), "EU") \
    X(framebuf_avail, void, glDeleteFramebuffersEXT, (GLsizei n, const GLuint *framebuffers), (n, framebuffers), "IP") \
    X(framebuf_avail, void, glGenFramebuffersEXT, (GLsizei n, GLuint *framebuffers), (n, framebuffers), "IP") \
    X(framebuf_avail, GLenum, glCheckFramebufferStatusEXT, (GLenum target), (target), "E") \
    X(framebuf_avail, void, glFramebufferTexture1DEXT, (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level), (target, attachment, textarget, texture, level), "EEEUI") \
    X(framebuf_avail, void, glFramebufferTexture2DEXT, (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level), (target, attachment, textarget, texture, level), "EEEUI") \
    X(framebuf_avail, void, glFramebufferTexture3DEXT, (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level, GLint zoffset), (target, attachment, textarget, texture, level, zoffset), "EEEUII") \
    X(framebuf_avail, void, glFramebufferRenderbufferEXT, (GLenum target, GLenum attachment, GLenum renderbuffertarget, GLuint renderbuffer), (target, attachment, renderbuffertarget, renderbuffer), "EEEU") \
    X(framebuf_avail, void, glGetFramebufferAttachmentParameterivEXT, (GLenum target, GLenum attachment, GLenum pname, GLint *params), (target, attachment, pname, params), "EEEP") \
    X(framebuf_avail, void, glGenerateMipmapEXT, (GLenum target), (target), "E") \
    X(frameblit_avail, void, glBlitFramebufferEXT, (GLint srcX0, GLint srcY0, GLint srcX1, GLint srcY1, GLint dstX0, GLint dstY0, GLint dstX1, GLint dstY1, GLbitfield mask, GLenum filter), (srcX0, srcY0, srcX1, srcY1, dstX0, dstY0, dstX1, dstY1, mask, filter), "IIIIIIIIXE") \
    X(tex_comp_avail, void, glCompressedTexImage3DARB, (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLsizei depth, GLint border, GLsizei imageSize, const void *data), (target, level, internalformat, width, height, depth, border, imageSize, data), "EIEIIIIIP") \
    X(tex_comp_avail, void, glCompressedTexImage2DARB, (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLint border, GLsizei imageSize, const void *data), (target, level, internalformat, width, height, border, imageSize, data), "EIEIIIIP") \
    X(tex_comp_avail, void, glCompressedTexImage1DARB, (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLint border, GLsizei imageSize, const void *data), (target, level, internalformat, width, border, imageSize, data), "EIEIIIP") \
    X(tex_comp_avail, void, glCompressedTexSubImage3DARB, (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLint zoffset, GLsizei width, GLsizei height, GLsizei depth, GLenum format, GLsizei imageSize, const void *data), (target, level, xoffset, yoffset, zoffset, width, height, depth, format, imageSize, data), "EIIIIIIIEIP") \
    X(tex_comp_avail, void, glCompressedTexSubImage2DARB, (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height, GLenum format, GLsizei imageSize, const void *data), (target, level, xoffset, yoffset, width, height, format, imageSize, data), "EIIIIIEIP") \
    X(tex_comp_avail, void, glCompressedTexSubImage1DARB, (GLenum target, GLint level, GLint xoffset, GLsizei width, GLenum format, GLsizei imageSize, const void *data), (target, level, xoffset, width, format, imageSize, data), "EIIIEIP") \
    X(tex_comp_avail, void, glGetCompressedTexImageARB, (GLenum target, GLint level, void *img), (target, level, img), "EIP") \
    X(sblend_avail, void, glBlendFuncSeparateEXT, (GLenum sfactorRGB, GLenum dfactorRGB, GLenum sfactorAlpha, GLenum dfactorAlpha), (sfactorRGB, dfactorRGB, sfactorAlpha, dfactorAlpha), "EEEE") \
    X(sblende_avail, void, glBlendEquationSeparateEXT, (GLenum modeRGB, GLenum modeAlpha), (modeRGB, modeAlpha), "EE") \
    X(drawbuf_avail, void, glDrawBuffersARB, (GLsizei n, const GLenum *bufs), (n, bufs), "IP") \
    X(drawbuf2_avail, void, glColorMaskIndexedEXT, (GLuint index, GLboolean r, GLboolean g, GLboolean b, GLboolean a), (index, r, g, b, a), "UBBBB") \
    X(drawbuf2_avail, void, glGetBooleanIndexedvEXT, (GLenum target, GLuint index, GLboolean *data), (target, index, data), "EUP") \
    X(drawbuf2_avail, void, glGetIntegerIndexedvEXT, (GLenum target, GLuint index, GLint *data), (target, index, data), "EUP") \
    X(drawbuf2_avail, void, glEnableIndexedEXT, (GLenum target, GLuint index), (target, index), "EU") \
    X(drawbuf2_avail, void, glDisableIndexedEXT, (GLenum target, GLuint index), (target, index), "EU") \
    X(drawbuf2_avail, GLboolean, glIsEnabledIndexedEXT, (GLenum target, GLuint index), (target, index), "EU") \
    X(instance_avail, void, glVertexAttribDivisorARB, (GLuint index, GLuint divisor), (index, divisor), "UU") \
    X(instance_avail, void, glDrawArraysInstancedARB, (GLenum mode, GLint first, GLsizei count, GLsizei primcount), (mode, first, count, primcount), "EIII") \
    X(instance_avail, void, glDrawElementsInstancedARB, (GLenum mode, GLsizei count, GLenum type, const void *indices, GLsizei primcount), (mode, count, type, indices, primcount), "EIEPI") \
    X(stencil_2side_avail, void, glActiveStencilFaceEXT, (GLenum face), (face), "E") \
    X(stencil_sep_avail, void, glStencilFuncSeparate, (GLenum face, GLenum func, GLint ref, GLuint mask), (face, func, ref, mask), "EEIU") \
    X(stencil_sep_avail, void, glStencilOpSeparate, (GLenum face, GLenum sfail, GLenum dpfail, GLenum dppass), (face, sfail, dpfail, dppass), "EEEE") \
    X(stencil_sep_avail, void, glStencilMaskSeparate, (GLenum face, GLuint mask), (face, mask), "EU")
