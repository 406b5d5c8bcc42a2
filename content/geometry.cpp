#include "content/geometry.h"

#include <cmath>

namespace content {

MeshBuilder::MeshBuilder(const std::string& name)
{
    m_mesh.name = name;
}

uint16_t MeshBuilder::AddVertex(Vec3 position, float u, float v)
{
    m_mesh.positions.push_back(position + m_offset);
    m_mesh.uvs.push_back(kvf::Uv{u, v});
    return static_cast<uint16_t>(m_mesh.positions.size() - 1);
}

void MeshBuilder::AddTriangle(uint16_t a, uint16_t b, uint16_t c)
{
    m_mesh.faces.push_back(kvf::Face{a, b, c, m_smoothing, m_material});
    m_mesh.uvFaces.push_back(kvf::IndexTriple{a, b, c});
}

void MeshBuilder::AddQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    AddTriangle(a, b, c);
    AddTriangle(a, c, d);
}

void MeshBuilder::AddPanel(Vec3 centre, Vec3 halfU, Vec3 halfV, int cellsU, int cellsV, float uvRepeat)
{
    const uint16_t first = VertexCount();
    for (int j = 0; j <= cellsV; ++j) {
        for (int i = 0; i <= cellsU; ++i) {
            const float s = static_cast<float>(i) / cellsU, t = static_cast<float>(j) / cellsV;
            AddVertex(centre + halfU * (2.0f * s - 1.0f) + halfV * (2.0f * t - 1.0f), s * uvRepeat, t * uvRepeat);
        }
    }
    const int row = cellsU + 1;
    for (int j = 0; j < cellsV; ++j) {
        for (int i = 0; i < cellsU; ++i) {
            const uint16_t a = static_cast<uint16_t>(first + j * row + i);
            AddQuad(a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + row + 1), static_cast<uint16_t>(a + row));
        }
    }
}

void MeshBuilder::AddBox(Vec3 centre, Vec3 size)
{
    const float x = size.x * 0.5f, y = size.y * 0.5f, z = size.z * 0.5f;
    AddPanel(centre + Vec3{0, 0, z}, {x, 0, 0}, {0, y, 0}, 1, 1);
    AddPanel(centre + Vec3{0, 0, -z}, {-x, 0, 0}, {0, y, 0}, 1, 1);
    AddPanel(centre + Vec3{x, 0, 0}, {0, y, 0}, {0, 0, z}, 1, 1);
    AddPanel(centre + Vec3{-x, 0, 0}, {0, -y, 0}, {0, 0, z}, 1, 1);
    AddPanel(centre + Vec3{0, y, 0}, {-x, 0, 0}, {0, 0, z}, 1, 1);
    AddPanel(centre + Vec3{0, -y, 0}, {x, 0, 0}, {0, 0, z}, 1, 1);
}

void MeshBuilder::AddCylinder(Vec3 base, float radius, float height, int segments, int rings, bool caps)
{
    const uint16_t first = VertexCount();
    for (int j = 0; j <= rings; ++j) {
        for (int i = 0; i <= segments; ++i) {
            const float a = 2.0f * kPi * i / segments;
            AddVertex(base + Vec3{radius * std::cos(a), radius * std::sin(a), height * j / rings},
                      static_cast<float>(i) / segments, static_cast<float>(j) / rings);
        }
    }
    const int row = segments + 1;
    for (int j = 0; j < rings; ++j) {
        for (int i = 0; i < segments; ++i) {
            const uint16_t a = static_cast<uint16_t>(first + j * row + i);
            AddQuad(a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + row + 1), static_cast<uint16_t>(a + row));
        }
    }
    if (!caps) {
        return;
    }
    const int32_t smoothing = m_smoothing;
    m_smoothing = 0;
    for (int end = 0; end < 2; ++end) {
        const float z = end == 0 ? 0.0f : height;
        const uint16_t centre = AddVertex(base + Vec3{0, 0, z}, 0.5f, 0.5f);
        const uint16_t ring = VertexCount();
        for (int i = 0; i < segments; ++i) {
            const float a = 2.0f * kPi * i / segments;
            AddVertex(base + Vec3{radius * std::cos(a), radius * std::sin(a), z}, 0.5f + 0.5f * std::cos(a),
                      0.5f + 0.5f * std::sin(a));
        }
        for (int i = 0; i < segments; ++i) {
            const uint16_t p = static_cast<uint16_t>(ring + i), q = static_cast<uint16_t>(ring + (i + 1) % segments);
            if (end == 0) {
                AddTriangle(centre, q, p);
            } else {
                AddTriangle(centre, p, q);
            }
        }
    }
    m_smoothing = smoothing;
}

void MeshBuilder::AddSphere(Vec3 centre, Vec3 radii, int segments, int rings)
{
    const uint16_t first = VertexCount();
    for (int j = 0; j <= rings; ++j) {
        const float theta = kPi * j / rings;
        for (int i = 0; i <= segments; ++i) {
            const float phi = 2.0f * kPi * i / segments;
            AddVertex(centre + Vec3{radii.x * std::sin(theta) * std::cos(phi), radii.y * std::sin(theta) * std::sin(phi),
                                    radii.z * std::cos(theta)},
                      static_cast<float>(i) / segments, 1.0f - static_cast<float>(j) / rings);
        }
    }
    const int row = segments + 1;
    for (int j = 0; j < rings; ++j) {
        for (int i = 0; i < segments; ++i) {
            const uint16_t a = static_cast<uint16_t>(first + j * row + i);
            const uint16_t b = static_cast<uint16_t>(a + row), c = static_cast<uint16_t>(a + row + 1),
                           d = static_cast<uint16_t>(a + 1);
            if (j != 0) {
                AddTriangle(a, b, d);
            }
            if (j != rings - 1) {
                AddTriangle(d, b, c);
            }
        }
    }
}

void MeshBuilder::AddTorus(Vec3 centre, float majorRadius, float minorRadius, int segments, int sides)
{
    const uint16_t first = VertexCount();
    for (int j = 0; j <= sides; ++j) {
        const float v = 2.0f * kPi * j / sides;
        for (int i = 0; i <= segments; ++i) {
            const float u = 2.0f * kPi * i / segments;
            const float r = majorRadius + minorRadius * std::cos(v);
            AddVertex(centre + Vec3{r * std::cos(u), r * std::sin(u), minorRadius * std::sin(v)},
                      4.0f * i / segments, static_cast<float>(j) / sides);
        }
    }
    const int row = segments + 1;
    for (int j = 0; j < sides; ++j) {
        for (int i = 0; i < segments; ++i) {
            const uint16_t a = static_cast<uint16_t>(first + j * row + i);
            AddQuad(a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + row + 1), static_cast<uint16_t>(a + row));
        }
    }
}

kvf::Mesh MeshBuilder::Build() const
{
    kvf::Mesh mesh = m_mesh;
    if (m_hasColour) {
        mesh.colours = {m_colour};
        mesh.colourFaces.assign(mesh.faces.size(), kvf::IndexTriple{0, 0, 0});
    }
    return mesh;
}

} // namespace content
