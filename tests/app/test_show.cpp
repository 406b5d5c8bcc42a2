#include "tests/app/test_show.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "demo/script_writer.h"
#include "tests/support/pack_builder.h"
#include "tests/support/test_audio.h"
#include "tests/support/test_images.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

constexpr const char* kFaces[] = {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG",
                                  "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"};

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !bytes->empty();
}

// A small JPEG picture, made with ffmpeg.
bool MakeFace(const std::string& path)
{
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=64x64:rate=1 "
                                "-frames:v 1 '" + path + "' </dev/null";
    return std::system(command.c_str()) == 0;
}

void WriteEffect(ScriptWriter* script, int32_t kind, const char* name, float start, float end)
{
    script->WriteInt32(kind);
    script->WriteString(name);
    script->WriteFloat(start);
    script->WriteFloat(end);
}

// A camera looking at a lit, turning triangle.
kvf::Scene TurningTriangle(int32_t endFrame, int32_t frameRate)
{
    kvf::Scene scene;
    scene.ambient = {0.2f, 0.2f, 0.2f};
    scene.endFrame = endFrame;
    scene.frameRate = frameRate;
    kvf::Camera camera;
    camera.name = "camera";
    camera.position = kvf::ToFileAxes(0, 0, -10);
    kvf::Light light;
    light.name = "light";
    light.position = kvf::ToFileAxes(0, 5, -5);
    kvf::Mesh triangle;
    triangle.name = "triangle";
    triangle.positions = {{-1, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    triangle.faces = {kvf::Face{0, 1, 2, 0, -1}};
    scene.objects = {camera, light, triangle};
    kvf::Node node;
    node.kind = 0; // a mesh node
    node.name = "triangle";
    kvf::Key start;
    start.value[2] = 1.0f;
    kvf::Key end = start;
    end.time = static_cast<float>(endFrame);
    end.value[3] = 3.0f;
    node.rotation.keys = {start, end};
    scene.nodes = {node};
    return scene;
}

// The scenes and images the Player3D and Marble1 effects load.
void AddSceneEffectMembers(std::vector<PackMember>* members)
{
    members->push_back({"triangle.KVF", kvf::WriteScene(TurningTriangle(10, 30))});
    // Fast enough that the second scene joins (frame 1490) before the show ends.
    members->push_back({"Plan1_part1.KVF", kvf::WriteScene(TurningTriangle(4000, 5000))});
    members->push_back({"Plan1_partotter.KVF", kvf::WriteScene(TurningTriangle(1000, 5000))});
    const std::vector<uint8_t> image = EncodeTga(PatternImage(8, 8), 32, false, TgaRows::TopDown);
    for (const char* name : {"Kestrel.TGA", "Marble01.TGA", "Marble02.TGA", "Marble03.TGA", "Marble04.TGA",
                             "Marble05.TGA", "Marble06.TGA", "Marble07.TGA", "Marble08.TGA", "Marble09.TGA",
                             "Marble10.TGA"}) {
        members->push_back({name, image});
    }
}

}  // namespace

bool WriteTestShow(const std::string& directory, const TestShow& show)
{
    if (show.writeMusic && !WriteTestMusic(directory + "/" + show.musicName, show.musicSeconds)) {
        return false;
    }
    if (show.writeScript) {
        ScriptWriter script;
        script.WriteString(show.musicName);
        script.WriteByte(0);  // no curve block
        const float lengthMs = static_cast<float>(show.musicSeconds * 1000.0);
        if (show.everyEffectKind) {
            script.WriteInt32(3);
            WriteEffect(&script, 0, "plain", 0.0f, lengthMs * 0.35f);
            WriteEffect(&script, 1, "player", lengthMs * 0.25f, lengthMs * 0.7f);
            script.WriteString("triangle.KVF");
            WriteEffect(&script, 2, "marble", lengthMs * 0.6f, lengthMs);
        } else {
            // Two plain effects that overlap in the middle of the music.
            script.WriteInt32(2);
            WriteEffect(&script, 0, "first", 0.0f, lengthMs * 0.6f);
            WriteEffect(&script, 0, "second", lengthMs * 0.4f, lengthMs);
        }
        if (script.SaveToFile((directory + "/Marble.Spt").c_str()) != 0) {
            return false;
        }
    }
    if (show.writePack) {
        const std::string face = directory + "/face.jpg";
        std::vector<uint8_t> bytes;
        if (!MakeFace(face) || !ReadFile(face, &bytes)) {
            return false;
        }
        std::remove(face.c_str());
        std::vector<PackMember> members;
        for (const char* name : kFaces) {
            members.push_back({name, bytes});
        }
        if (show.everyEffectKind) {
            AddSceneEffectMembers(&members);
        }
        if (!WritePack(directory + "/data.pac", members)) {
            return false;
        }
    }
    return true;
}
