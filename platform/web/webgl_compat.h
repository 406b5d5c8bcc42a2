// OpenGL ES 3.0 (WebGL 2) under the names of the OpenGL 3.3 core calls the
// Direct3D stand-in makes. WebGL 2 lacks a few of them (polygon modes, BGRA
// pixel and vertex formats, texture swizzles, base vertices, reading a
// texture back, border colours, LOD bias, depth clamping); those calls go to
// replacements here that give the same pictures:
//   - every colour texture is stored as RGBA8; uploads are converted from
//     the Direct3D layout (BGRA, 5-6-5, 1-5-5-5, 4-4-4-4, 8-bit channels)
//     with the texture's swizzle applied, and read-backs converted back;
//   - BGRA vertex colours are read as RGBA and swizzled in the shader;
//   - wireframe triangles and base vertices are drawn through a line or
//     shifted copy of the indices;
//   - a buffer written through GL_COPY_WRITE_BUFFER before it was ever bound
//     for drawing is kept aside until its first binding as vertices or
//     indices (WebGL types a buffer by its first binding and keeps index
//     buffers apart from all others);
//   - glFinish waits for the drawing to be done (WebGL's finish only flushes):
//     it reads a pixel back;
//   - border colours clamp to the edge, LOD bias and depth clamping are
//     left out (the show uses neither).
#pragma once

#include <GLES3/gl3.h>

// Names OpenGL ES does not have.
#define GL_BGR 0x80E0
#define GL_BGRA 0x80E1
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#define GL_UNSIGNED_SHORT_1_5_5_5_REV 0x8366
#define GL_UNSIGNED_SHORT_4_4_4_4_REV 0x8365
#define GL_CLAMP_TO_BORDER 0x812D
#define GL_TEXTURE_BORDER_COLOR 0x1004
#define GL_TEXTURE_LOD_BIAS 0x8501
#define GL_TEXTURE_SWIZZLE_RGBA 0x8E46
#define GL_DEPTH_CLAMP 0x864F
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#define GL_LOWER_LEFT 0x8CA1
#define GL_ZERO_TO_ONE 0x935F

void ZoltWebFinish();
void ZoltWebClearDepth(double depth);
void ZoltWebDepthRange(double n, double f);
void ZoltWebPolygonMode(GLenum face, GLenum mode);
void ZoltWebPointSize(GLfloat size);
void ZoltWebProvokingVertex(GLenum mode);
void ZoltWebClipControl(GLenum origin, GLenum depth);
void ZoltWebBindFragDataLocation(GLuint program, GLuint color, const GLchar* name);
void ZoltWebEnable(GLenum cap);
void ZoltWebDisable(GLenum cap);
void ZoltWebTexParameteriv(GLenum target, GLenum name, const GLint* values);
void ZoltWebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                       GLint border, GLenum format, GLenum type, const void* pixels);
void ZoltWebTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                          GLenum format, GLenum type, const void* pixels);
void ZoltWebGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels);
void ZoltWebReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
void ZoltWebPixelStorei(GLenum name, GLint value);
void ZoltWebVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                const void* pointer);
void ZoltWebSamplerParameteri(GLuint sampler, GLenum name, GLint value);
void ZoltWebSamplerParameterf(GLuint sampler, GLenum name, GLfloat value);
void ZoltWebSamplerParameterfv(GLuint sampler, GLenum name, const GLfloat* values);
void* ZoltWebMapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access);
GLboolean ZoltWebUnmapBuffer(GLenum target);
void ZoltWebBindBuffer(GLenum target, GLuint buffer);
void ZoltWebBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
void ZoltWebBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, const void* data);
void ZoltWebDeleteBuffers(GLsizei count, const GLuint* buffers);
void ZoltWebDrawArrays(GLenum mode, GLint first, GLsizei count);
void ZoltWebDrawElements(GLenum mode, GLsizei count, GLenum type, const void* offset);
void ZoltWebDrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* offset, GLint baseVertex);

// The replacements' own source calls the real functions.
#ifndef ZOLT_WEBGL_COMPAT_SOURCE
#define glFinish ZoltWebFinish
#define glClearDepth ZoltWebClearDepth
#define glDepthRange ZoltWebDepthRange
#define glPolygonMode ZoltWebPolygonMode
#define glPointSize ZoltWebPointSize
#define glProvokingVertex ZoltWebProvokingVertex
#define glClipControl ZoltWebClipControl
#define glBindFragDataLocation ZoltWebBindFragDataLocation
#define glEnable ZoltWebEnable
#define glDisable ZoltWebDisable
#define glTexParameteriv ZoltWebTexParameteriv
#define glTexImage2D ZoltWebTexImage2D
#define glTexSubImage2D ZoltWebTexSubImage2D
#define glGetTexImage ZoltWebGetTexImage
#define glReadPixels ZoltWebReadPixels
#define glPixelStorei ZoltWebPixelStorei
#define glVertexAttribPointer ZoltWebVertexAttribPointer
#define glSamplerParameteri ZoltWebSamplerParameteri
#define glSamplerParameterf ZoltWebSamplerParameterf
#define glSamplerParameterfv ZoltWebSamplerParameterfv
#define glMapBufferRange ZoltWebMapBufferRange
#define glUnmapBuffer ZoltWebUnmapBuffer
#define glBindBuffer ZoltWebBindBuffer
#define glBufferData ZoltWebBufferData
#define glBufferSubData ZoltWebBufferSubData
#define glDeleteBuffers ZoltWebDeleteBuffers
#define glDrawArrays ZoltWebDrawArrays
#define glDrawElements ZoltWebDrawElements
#define glDrawElementsBaseVertex ZoltWebDrawElementsBaseVertex
#endif
