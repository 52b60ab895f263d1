// Generated from the OpenGL headers' prototypes: return type, name, parameters, arguments and one
// letter per argument for the call recorder (E enum, X bitfield, B boolean, I signed, U unsigned,
// F floating point, P pointer). Add a line here to reach one more core entry point.
#pragma once

#define VENTARO_GL_CORE_FUNCS(X) \
    X(void, glEnable, (GLenum cap), (cap), "E") \
    X(void, glDisable, (GLenum cap), (cap), "E") \
    X(GLboolean, glIsEnabled, (GLenum cap), (cap), "E") \
    X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor), "EE") \
    X(void, glBlendEquation, (GLenum mode), (mode), "E") \
    X(void, glBlendColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha), (red, green, blue, alpha), "FFFF") \
    X(void, glAlphaFunc, (GLenum func, GLclampf ref), (func, ref), "EF") \
    X(void, glDepthFunc, (GLenum func), (func), "E") \
    X(void, glDepthMask, (GLboolean flag), (flag), "B") \
    X(void, glDepthRange, (GLclampd near_val, GLclampd far_val), (near_val, far_val), "FF") \
    X(void, glClearDepth, (GLclampd depth), (depth), "F") \
    X(void, glColorMask, (GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha), (red, green, blue, alpha), "BBBB") \
    X(void, glStencilFunc, (GLenum func, GLint ref, GLuint mask), (func, ref, mask), "EIU") \
    X(void, glStencilOp, (GLenum fail, GLenum zfail, GLenum zpass), (fail, zfail, zpass), "EEE") \
    X(void, glStencilMask, (GLuint mask), (mask), "U") \
    X(void, glClearStencil, (GLint s), (s), "I") \
    X(void, glCullFace, (GLenum mode), (mode), "E") \
    X(void, glFrontFace, (GLenum mode), (mode), "E") \
    X(void, glPolygonMode, (GLenum face, GLenum mode), (face, mode), "EE") \
    X(void, glPolygonOffset, (GLfloat factor, GLfloat units), (factor, units), "FF") \
    X(void, glShadeModel, (GLenum mode), (mode), "E") \
    X(void, glLineWidth, (GLfloat width), (width), "F") \
    X(void, glLineStipple, (GLint factor, GLushort pattern), (factor, pattern), "IU") \
    X(void, glPointSize, (GLfloat size), (size), "F") \
    X(void, glHint, (GLenum target, GLenum mode), (target, mode), "EE") \
    X(void, glFogf, (GLenum pname, GLfloat param), (pname, param), "EF") \
    X(void, glFogfv, (GLenum pname, const GLfloat *params), (pname, params), "EP") \
    X(void, glFogi, (GLenum pname, GLint param), (pname, param), "EI") \
    X(void, glLightModelfv, (GLenum pname, const GLfloat *params), (pname, params), "EP") \
    X(void, glLightModeli, (GLenum pname, GLint param), (pname, param), "EI") \
    X(void, glLightf, (GLenum light, GLenum pname, GLfloat param), (light, pname, param), "EEF") \
    X(void, glLightfv, (GLenum light, GLenum pname, const GLfloat *params), (light, pname, params), "EEP") \
    X(void, glMaterialf, (GLenum face, GLenum pname, GLfloat param), (face, pname, param), "EEF") \
    X(void, glMaterialfv, (GLenum face, GLenum pname, const GLfloat *params), (face, pname, params), "EEP") \
    X(void, glColorMaterial, (GLenum face, GLenum mode), (face, mode), "EE") \
    X(void, glClipPlane, (GLenum plane, const GLdouble *equation), (plane, equation), "EP") \
    X(void, glMatrixMode, (GLenum mode), (mode), "E") \
    X(void, glLoadIdentity, (), (), "") \
    X(void, glLoadMatrixf, (const GLfloat *m), (m), "P") \
    X(void, glLoadMatrixd, (const GLdouble *m), (m), "P") \
    X(void, glMultMatrixf, (const GLfloat *m), (m), "P") \
    X(void, glMultMatrixd, (const GLdouble *m), (m), "P") \
    X(void, glPushMatrix, (), (), "") \
    X(void, glPopMatrix, (), (), "") \
    X(void, glOrtho, (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val, GLdouble far_val), (left, right, bottom, top, near_val, far_val), "FFFFFF") \
    X(void, glFrustum, (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val, GLdouble far_val), (left, right, bottom, top, near_val, far_val), "FFFFFF") \
    X(void, glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), "FFF") \
    X(void, glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), (angle, x, y, z), "FFFF") \
    X(void, glScalef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), "FFF") \
    X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height), "IIII") \
    X(void, glScissor, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height), "IIII") \
    X(void, glClear, (GLbitfield mask), (mask), "X") \
    X(void, glClearColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha), (red, green, blue, alpha), "FFFF") \
    X(void, glBegin, (GLenum mode), (mode), "E") \
    X(void, glEnd, (), (), "") \
    X(void, glVertex2f, (GLfloat x, GLfloat y), (x, y), "FF") \
    X(void, glVertex2i, (GLint x, GLint y), (x, y), "II") \
    X(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), "FFF") \
    X(void, glVertex2fv, (const GLfloat *v), (v), "P") \
    X(void, glVertex3fv, (const GLfloat *v), (v), "P") \
    X(void, glColor3f, (GLfloat red, GLfloat green, GLfloat blue), (red, green, blue), "FFF") \
    X(void, glColor3ub, (GLubyte red, GLubyte green, GLubyte blue), (red, green, blue), "UUU") \
    X(void, glColor4f, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha), (red, green, blue, alpha), "FFFF") \
    X(void, glColor4fv, (const GLfloat *v), (v), "P") \
    X(void, glColor4ub, (GLubyte red, GLubyte green, GLubyte blue, GLubyte alpha), (red, green, blue, alpha), "UUUU") \
    X(void, glColor4ubv, (const GLubyte *v), (v), "P") \
    X(void, glTexCoord2f, (GLfloat s, GLfloat t), (s, t), "FF") \
    X(void, glTexCoord2fv, (const GLfloat *v), (v), "P") \
    X(void, glNormal3f, (GLfloat nx, GLfloat ny, GLfloat nz), (nx, ny, nz), "FFF") \
    X(void, glNormal3fv, (const GLfloat *v), (v), "P") \
    X(void, glMultiTexCoord2f, (GLenum target, GLfloat s, GLfloat t), (target, s, t), "EFF") \
    X(void, glMultiTexCoord2fv, (GLenum target, const GLfloat *v), (target, v), "EP") \
    X(void, glActiveTexture, (GLenum texture), (texture), "E") \
    X(void, glClientActiveTexture, (GLenum texture), (texture), "E") \
    X(void, glEnableClientState, (GLenum cap), (cap), "E") \
    X(void, glDisableClientState, (GLenum cap), (cap), "E") \
    X(void, glVertexPointer, (GLint size, GLenum type, GLsizei stride, const GLvoid *ptr), (size, type, stride, ptr), "IEIP") \
    X(void, glColorPointer, (GLint size, GLenum type, GLsizei stride, const GLvoid *ptr), (size, type, stride, ptr), "IEIP") \
    X(void, glTexCoordPointer, (GLint size, GLenum type, GLsizei stride, const GLvoid *ptr), (size, type, stride, ptr), "IEIP") \
    X(void, glNormalPointer, (GLenum type, GLsizei stride, const GLvoid *ptr), (type, stride, ptr), "EIP") \
    X(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count), "EII") \
    X(void, glDrawElements, (GLenum mode, GLsizei count, GLenum type, const GLvoid *indices), (mode, count, type, indices), "EIEP") \
    X(void, glDrawRangeElements, (GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const GLvoid *indices), (mode, start, end, count, type, indices), "EUUIEP") \
    X(void, glGenTextures, (GLsizei n, GLuint *textures), (n, textures), "IP") \
    X(void, glDeleteTextures, (GLsizei n, const GLuint *textures), (n, textures), "IP") \
    X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture), "EU") \
    X(GLboolean, glIsTexture, (GLuint texture), (texture), "U") \
    X(void, glTexImage1D, (GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border, GLenum format, GLenum type, const GLvoid *pixels), (target, level, internalFormat, width, border, format, type, pixels), "EIIIIEEP") \
    X(void, glTexImage2D, (GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border, GLenum format, GLenum type, const GLvoid *pixels), (target, level, internalFormat, width, height, border, format, type, pixels), "EIIIIIEEP") \
    X(void, glTexImage3D, (GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLsizei depth, GLint border, GLenum format, GLenum type, const GLvoid *pixels), (target, level, internalFormat, width, height, depth, border, format, type, pixels), "EIIIIIIEEP") \
    X(void, glTexSubImage2D, (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height, GLenum format, GLenum type, const GLvoid *pixels), (target, level, xoffset, yoffset, width, height, format, type, pixels), "EIIIIIEEP") \
    X(void, glCopyTexImage2D, (GLenum target, GLint level, GLenum internalformat, GLint x, GLint y, GLsizei width, GLsizei height, GLint border), (target, level, internalformat, x, y, width, height, border), "EIEIIIII") \
    X(void, glCopyTexSubImage2D, (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLint x, GLint y, GLsizei width, GLsizei height), (target, level, xoffset, yoffset, x, y, width, height), "EIIIIIII") \
    X(void, glGetTexImage, (GLenum target, GLint level, GLenum format, GLenum type, GLvoid *pixels), (target, level, format, type, pixels), "EIEEP") \
    X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param), "EEI") \
    X(void, glTexParameterf, (GLenum target, GLenum pname, GLfloat param), (target, pname, param), "EEF") \
    X(void, glTexParameterfv, (GLenum target, GLenum pname, const GLfloat *params), (target, pname, params), "EEP") \
    X(void, glGetTexParameteriv, (GLenum target, GLenum pname, GLint *params), (target, pname, params), "EEP") \
    X(void, glGetTexLevelParameteriv, (GLenum target, GLint level, GLenum pname, GLint *params), (target, level, pname, params), "EIEP") \
    X(void, glTexEnvi, (GLenum target, GLenum pname, GLint param), (target, pname, param), "EEI") \
    X(void, glTexEnvf, (GLenum target, GLenum pname, GLfloat param), (target, pname, param), "EEF") \
    X(void, glTexEnvfv, (GLenum target, GLenum pname, const GLfloat *params), (target, pname, params), "EEP") \
    X(void, glTexGeni, (GLenum coord, GLenum pname, GLint param), (coord, pname, param), "EEI") \
    X(void, glTexGenfv, (GLenum coord, GLenum pname, const GLfloat *params), (coord, pname, params), "EEP") \
    X(void, glCompressedTexImage2D, (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLint border, GLsizei imageSize, const GLvoid *data), (target, level, internalformat, width, height, border, imageSize, data), "EIEIIIIP") \
    X(void, glCompressedTexSubImage2D, (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height, GLenum format, GLsizei imageSize, const GLvoid *data), (target, level, xoffset, yoffset, width, height, format, imageSize, data), "EIIIIIEIP") \
    X(void, glGetCompressedTexImage, (GLenum target, GLint lod, GLvoid *img), (target, lod, img), "EIP") \
    X(void, glPixelStorei, (GLenum pname, GLint param), (pname, param), "EI") \
    X(void, glPixelTransferf, (GLenum pname, GLfloat param), (pname, param), "EF") \
    X(void, glReadPixels, (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid *pixels), (x, y, width, height, format, type, pixels), "IIIIEEP") \
    X(void, glDrawPixels, (GLsizei width, GLsizei height, GLenum format, GLenum type, const GLvoid *pixels), (width, height, format, type, pixels), "IIEEP") \
    X(void, glRasterPos2f, (GLfloat x, GLfloat y), (x, y), "FF") \
    X(void, glBitmap, (GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove, const GLubyte *bitmap), (width, height, xorig, yorig, xmove, ymove, bitmap), "IIFFFFP") \
    X(void, glReadBuffer, (GLenum mode), (mode), "E") \
    X(void, glDrawBuffer, (GLenum mode), (mode), "E") \
    X(void, glGetIntegerv, (GLenum pname, GLint *params), (pname, params), "EP") \
    X(void, glGetFloatv, (GLenum pname, GLfloat *params), (pname, params), "EP") \
    X(void, glGetDoublev, (GLenum pname, GLdouble *params), (pname, params), "EP") \
    X(void, glGetBooleanv, (GLenum pname, GLboolean *params), (pname, params), "EP") \
    X(const GLubyte *, glGetString, (GLenum name), (name), "E") \
    X(GLenum, glGetError, (), (), "") \
    X(void, glFinish, (), (), "") \
    X(void, glFlush, (), (), "") \
    X(void, glPushAttrib, (GLbitfield mask), (mask), "X") \
    X(void, glPopAttrib, (), (), "") \
    X(void, glPushClientAttrib, (GLbitfield mask), (mask), "X") \
    X(void, glPopClientAttrib, (), (), "") \
    X(void, glNewList, (GLuint list, GLenum mode), (list, mode), "UE") \
    X(void, glEndList, (), (), "") \
    X(void, glCallList, (GLuint list), (list), "U") \
    X(GLuint, glGenLists, (GLsizei range), (range), "I") \
    X(void, glDeleteLists, (GLuint list, GLsizei range), (list, range), "UI") \
    X(void, glGenBuffers, (GLsizei n, GLuint *buffers), (n, buffers), "IP") \
    X(void, glDeleteBuffers, (GLsizei n, const GLuint *buffers), (n, buffers), "IP")
