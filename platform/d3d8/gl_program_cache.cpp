#include "platform/d3d8/gl_program_cache.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/d3d8/ffp_shader_gen.h"

namespace zolt_d3d {

namespace {

GLuint Compile(GLenum type, const std::string& source)
{
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1) + 1, '\0');
        glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size() - 1), nullptr, log.data());
        std::fprintf(stderr, "Direct3D stand-in: shader compilation failed:\n%s\n%s\n", log.data(), text);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

GlProgramCache::~GlProgramCache() = default;

FfpProgram* GlProgramCache::Get(const FfpKey& key)
{
    auto found = m_programs.find(key);
    if (found != m_programs.end()) {
        return found->second.get();
    }
    return Build(key);
}

FfpProgram* GlProgramCache::Build(const FfpKey& key)
{
    const GLuint vs = Compile(GL_VERTEX_SHADER, GenerateFfpVertexShader(key, m_zeroToOneDepth));
    const GLuint fs = Compile(GL_FRAGMENT_SHADER, GenerateFfpFragmentShader(key));
    if (vs == 0 || fs == 0) {
        if (vs != 0) {
            glDeleteShader(vs);
        }
        if (fs != 0) {
            glDeleteShader(fs);
        }
        return nullptr;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindFragDataLocation(program, 0, "oColor");
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[2048] = {};
        glGetProgramInfoLog(program, sizeof(log) - 1, nullptr, log);
        std::fprintf(stderr, "Direct3D stand-in: program link failed:\n%s\n", log);
        glDeleteProgram(program);
        return nullptr;
    }

    auto entry = std::make_unique<FfpProgram>();
    entry->program = program;
    entry->worldViewProj = glGetUniformLocation(program, "uWorldViewProj");
    entry->worldView = glGetUniformLocation(program, "uWorldView");
    entry->normalMatrix = glGetUniformLocation(program, "uNormalMatrix");
    entry->posFix = glGetUniformLocation(program, "uPosFix");
    entry->screen = glGetUniformLocation(program, "uScreen");
    entry->material = glGetUniformLocation(program, "uMaterial");
    entry->ambient = glGetUniformLocation(program, "uAmbient");
    entry->lights = glGetUniformLocation(program, "uLights");
    entry->texMatrix = glGetUniformLocation(program, "uTexMatrix");
    entry->tfactor = glGetUniformLocation(program, "uTFactor");
    entry->alphaRef = glGetUniformLocation(program, "uAlphaRef");
    entry->lightCount = key.lightCount;
    // Stage s samples texture unit s; the sampler uniforms never change.
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program);
    for (int s = 0; s < kMaxStages; ++s) {
        const std::string name = "uTex" + std::to_string(s);
        const GLint location = glGetUniformLocation(program, name.c_str());
        if (location >= 0) {
            glUniform1i(location, s);
        }
    }
    glUseProgram(static_cast<GLuint>(previous));
    // Versions start at zero, which no uploaded group ever has.
    FfpProgram* result = entry.get();
    m_programs.emplace(key, std::move(entry));
    return result;
}

void GlProgramCache::Clear(bool contextGone)
{
    if (!contextGone) {
        for (auto& entry : m_programs) {
            glDeleteProgram(entry.second->program);
        }
    }
    m_programs.clear();
}

} // namespace zolt_d3d
