// What one conversion tells its user: the counts of the summary line, the
// notes that line carries, and one warning per thing left unconverted.
#pragma once

#include <string>
#include <vector>

namespace import {

struct ConversionReport {
    int meshes = 0;
    int faces = 0;
    int vertices = 0;
    int bones = 0;
    int cameras = 0;
    int lights = 0;
    int frames = 0;
    int splitMeshes = 0;      // meshes cut into parts for 16-bit indices
    int cutVertices = 0;      // vertices that lost influences
    int unitNormals = 0;      // normals made unit length or replaced
    int scaledNormalMeshes = 0; // meshes whose normals undo their node's scale
    std::vector<std::string> pbrMaterials; // materials with PBR parameters
    std::vector<std::string> notes;    // changes the summary line mentions
    std::vector<std::string> warnings; // what was not converted, one line each

    void Warn(const std::string& text) { warnings.push_back(text); }
    void Note(const std::string& text) { notes.push_back(text); }
};

} // namespace import
