// The skybox's geometry: a box from -10 to +10 on every axis, four corners per
// face with their texture coordinates, faces in the order front, back, down,
// up, left, right. Each face's image has its top-left corner at corner 0.
#pragma once

struct SkyBoxVertex {
    float x, y, z;
    float u, v;
};

static_assert(sizeof(SkyBoxVertex) == 20, "skybox vertices are 20 bytes");

constexpr int kSkyBoxFaceCount = 6;
constexpr int kSkyBoxVertexCount = 24;
constexpr int kSkyBoxIndexCount = 36;

extern const SkyBoxVertex kSkyBoxVertices[kSkyBoxVertexCount];
