// Builds the show's meshes in the scene file's own axes (Z up), with one
// texture vertex per position so that texture faces equal the faces. Faces
// wind counter-clockwise seen from outside, the way the file expects them.
#pragma once

#include <cstdint>
#include <string>

#include "tools/kvf_writer/kvf_writer.h"

namespace content {

using kvf::Vec3;

constexpr float kPi = 3.14159265f;

inline Vec3 operator+(Vec3 a, Vec3 b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return Vec3{a.x * s, a.y * s, a.z * s}; }

class MeshBuilder {
public:
    explicit MeshBuilder(const std::string& name);

    // Faces added from now on use this material id and smoothing group.
    void SetMaterial(int32_t materialId) { m_material = materialId; }
    void SetSmoothing(int32_t group) { m_smoothing = group; }
    // Every position added from now on is moved by this offset.
    void SetOffset(Vec3 offset) { m_offset = offset; }

    uint16_t AddVertex(Vec3 position, float u, float v);
    void AddTriangle(uint16_t a, uint16_t b, uint16_t c);
    // Corners counter-clockwise seen from the front.
    void AddQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d);

    // A flat face of a box or a plane: centre, the two half-extent vectors
    // (their cross product points out of the front), cells per side.
    void AddPanel(Vec3 centre, Vec3 halfU, Vec3 halfV, int cellsU, int cellsV, float uvRepeat = 1.0f);
    // An axis-aligned box centred on `centre`.
    void AddBox(Vec3 centre, Vec3 size);
    // Along +Z from `base`: a tube of `rings` rows, closed by caps when asked.
    void AddCylinder(Vec3 base, float radius, float height, int segments, int rings, bool caps);
    // The radii give an ellipsoid; the texture wraps once around Z.
    void AddSphere(Vec3 centre, Vec3 radii, int segments, int rings);
    // Around Z.
    void AddTorus(Vec3 centre, float majorRadius, float minorRadius, int segments, int sides);

    // All faces' vertices get this colour (a single colour vertex).
    void SetUniformColour(Vec3 rgb) { m_hasColour = true; m_colour = rgb; }
    void SetLighting(bool lit) { m_mesh.lighting = lit ? 1 : 0; }

    uint16_t VertexCount() const { return static_cast<uint16_t>(m_mesh.positions.size()); }
    size_t FaceCount() const { return m_mesh.faces.size(); }
    const kvf::Mesh& Peek() const { return m_mesh; }
    kvf::Mesh Build() const;

private:
    kvf::Mesh m_mesh;
    int32_t m_material = 0;
    int32_t m_smoothing = 0;
    Vec3 m_offset;
    bool m_hasColour = false;
    Vec3 m_colour;
};

} // namespace content
