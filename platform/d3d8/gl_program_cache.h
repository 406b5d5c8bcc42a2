// Linked fixed-function programs, generated on first use of a state and kept
// for the life of the device, found again by their key.
#pragma once

#include "platform/d3d8/gl_api.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/d3d8/ffp_shader_key.h"

namespace zolt_d3d {

// Groups of uniforms uploaded together; each program remembers the version of
// every group it last received.
enum UniformGroup {
    kGroupTransform = 0, // uWorldViewProj, uWorldView, uNormalMatrix
    kGroupViewport,      // uPosFix, uScreen
    kGroupMaterial,      // uMaterial, uAmbient
    kGroupLights,        // uLights
    kGroupTexMatrix,     // uTexMatrix
    kGroupPixel,         // uTFactor, uAlphaRef
    kGroupCount
};

struct FfpProgram {
    GLuint program = 0;
    GLint worldViewProj = -1;
    GLint worldView = -1;
    GLint normalMatrix = -1;
    GLint posFix = -1;
    GLint screen = -1;
    GLint material = -1;
    GLint ambient = -1;
    GLint lights = -1;
    GLint texMatrix = -1;
    GLint tfactor = -1;
    GLint alphaRef = -1;
    int lightCount = 0;
    int shiftVariant = -1; // which pixel-centre shift uPosFix holds
    uint64_t versions[kGroupCount] = {};
};

class GlProgramCache {
public:
    explicit GlProgramCache(bool zeroToOneDepth) : m_zeroToOneDepth(zeroToOneDepth) {}
    ~GlProgramCache();
    GlProgramCache(const GlProgramCache&) = delete;
    GlProgramCache& operator=(const GlProgramCache&) = delete;

    // The program for a key, built on first use; null if it fails to
    // compile or link (the reason goes to standard error once).
    FfpProgram* Get(const FfpKey& key);
    size_t Size() const { return m_programs.size(); }
    // Deletes every program (the context must be current); with
    // contextGone the GL objects went with the context already.
    void Clear(bool contextGone);

private:
    FfpProgram* Build(const FfpKey& key);

    bool m_zeroToOneDepth;
    std::unordered_map<FfpKey, std::unique_ptr<FfpProgram>, FfpKeyHash> m_programs;
};

} // namespace zolt_d3d
