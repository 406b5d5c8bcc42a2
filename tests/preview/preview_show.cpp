#include "tests/preview/preview_show.h"

#include <stb/stb_image.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "demo/script_writer.h"
#include "tests/support/pack_builder.h"
#include "tests/support/test_audio.h"
#include "tests/support/test_images.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

void WriteEffect(ScriptWriter* script, int32_t kind, const std::string& name, float start, float end)
{
    script->WriteInt32(kind);
    script->WriteString(name);
    script->WriteFloat(start);
    script->WriteFloat(end);
}

// A bar four units tall, seen from both sides, bent from 0 to 120 degrees over
// the loop and turned half a turn about the view axis, in front of a camera
// and a light.
kvf::Scene BentBar(int32_t endFrame, int32_t frameRate)
{
    kvf::Scene scene;
    scene.ambient = {0.3f, 0.3f, 0.3f};
    scene.endFrame = endFrame;
    scene.frameRate = frameRate;
    kvf::Camera camera;
    camera.name = "camera";
    camera.position = kvf::ToFileAxes(0, 2, -12);
    camera.target = kvf::ToFileAxes(0, 2, 0);
    kvf::Light light;
    light.name = "light";
    light.position = kvf::ToFileAxes(2, 4, -6);
    kvf::Material orange;
    orange.name = "orange";
    orange.ambient = {1.0f, 0.6f, 0.1f};
    orange.diffuse = {1.0f, 0.6f, 0.1f};
    orange.twoSided = 1;
    scene.materials = {orange};
    kvf::Mesh bar;
    bar.name = "bar";
    constexpr int kSegments = 8;
    for (int i = 0; i <= kSegments; ++i) {
        const float z = 4.0f * static_cast<float>(i) / kSegments;
        bar.positions.push_back({-0.5f, 0.0f, z});
        bar.positions.push_back({0.5f, 0.0f, z});
    }
    for (int i = 0; i < kSegments; ++i) {
        const auto a = static_cast<uint16_t>(2 * i);
        bar.faces.push_back(kvf::Face{a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + 3), 0, 0});
        bar.faces.push_back(kvf::Face{a, static_cast<uint16_t>(a + 3), static_cast<uint16_t>(a + 2), 0, 0});
    }
    kvf::Modifier bend;
    bend.type = kvf::kBend;
    bend.axis = 2;
    kvf::Controller angle;
    kvf::Key from;
    kvf::Key to;
    to.time = static_cast<float>(endFrame);
    to.value[0] = 120.0f;
    angle.keys = {from, to};
    bend.parameters = {kvf::AnimatedParameter(angle), kvf::ConstantParameter(0.0f)};
    bar.modifiers.entries = {bend};
    scene.objects = {camera, light, bar};
    kvf::Node node;
    node.kind = 0;
    node.name = "bar";
    kvf::Key still;
    still.value[1] = 1.0f;
    kvf::Key turned = still;
    turned.time = static_cast<float>(endFrame);
    turned.value[3] = 3.0f;
    node.rotation.keys = {still, turned};
    // Cameras and lights are placed by their nodes.
    const auto placed = [](int32_t kind, const std::string& name, kvf::Vec3 at) {
        kvf::Node placement;
        placement.kind = kind;
        placement.name = name;
        placement.position = kvf::ConstantVector(at.x, at.y, at.z);
        return placement;
    };
    kvf::Node eye = placed(1, "camera", camera.position);
    eye.rotationSelector = 0;
    kvf::Node target = placed(5, "camera target", camera.target);
    target.ownerName = "camera";
    scene.nodes = {node, eye, target, placed(2, "light", light.position)};
    return scene;
}

std::string ReadText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Quoted(const std::string& text)
{
    return "'" + text + "'";
}

ProgramRun RunInFolder(const std::string& folder, const std::string& command)
{
    const std::string out = folder + "/.stdout";
    const std::string err = folder + "/.stderr";
    const std::string line = "cd " + Quoted(folder) + " && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen "
                             "SDL_AUDIODRIVER=dummy " + command + " >" + Quoted(out) + " 2>" + Quoted(err);
    ProgramRun run;
    const int status = std::system(line.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream answers(ReadText(out));
    for (std::string answer; std::getline(answers, answer);) {
        run.answers.push_back(answer);
    }
    run.errors = ReadText(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}

}  // namespace

bool WritePreviewScript(const std::string& path, const std::string& turningName)
{
    ScriptWriter script;
    script.WriteString("music.wav");
    script.WriteByte(0);
    script.WriteInt32(3);
    WriteEffect(&script, 0, "opening", 0.0f, 3000.0f);
    WriteEffect(&script, 1, turningName, 2500.0f, 9500.0f);
    script.WriteString("bar.KVF");
    WriteEffect(&script, 2, "hall", 9000.0f, 14000.0f);
    return script.SaveToFile(path.c_str()) == 0;
}

bool WritePreviewShow(const std::string& folder, const std::string& turningName)
{
    if (!WriteTestMusic(folder + "/music.wav", kShowSeconds) ||
        !WritePreviewScript(folder + "/Marble.Spt", turningName)) {
        return false;
    }
    std::vector<PackMember> members;
    const std::vector<uint8_t> face = EncodeJpeg(PatternImage(32, 32));
    for (const char* name : {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG", "Otter_UP.JPG", "Otter_LF.JPG",
                             "Otter_RT.JPG"}) {
        members.push_back({name, face});
    }
    members.push_back({"bar.KVF", kvf::WriteScene(BentBar(30, 30))});
    members.push_back({"Plan1_part1.KVF", kvf::WriteScene(BentBar(4000, 500))});
    members.push_back({"Plan1_partotter.KVF", kvf::WriteScene(BentBar(1000, 500))});
    const std::vector<uint8_t> image = EncodeTga(PatternImage(64, 8), 32, false, TgaRows::TopDown);
    for (const char* name : {"Kestrel.TGA", "Marble01.TGA", "Marble02.TGA", "Marble03.TGA", "Marble04.TGA",
                             "Marble05.TGA", "Marble06.TGA", "Marble07.TGA", "Marble08.TGA", "Marble09.TGA",
                             "Marble10.TGA"}) {
        members.push_back({name, image});
    }
    return WritePack(folder + "/data.pac", members);
}

ProgramRun RunPreview(const std::string& folder, const std::string& arguments, const std::string& feed)
{
    return RunInFolder(folder, "sh -c " + Quoted("(" + feed + ") | " + std::string(ZOLT_BINARY_DIR) +
                                                 "/zolt-preview " + arguments));
}

ProgramRun RunPlayer(const std::string& folder)
{
    return RunInFolder(folder, std::string(ZOLT_BINARY_DIR) + "/zolt </dev/null");
}

ProgramRun RunCapture(const std::string& folder, double seconds, const std::string& output)
{
    char from[32];
    std::snprintf(from, sizeof from, "%.3f", seconds);
    return RunInFolder(folder, std::string(ZOLT_BINARY_DIR) + "/zolt-capture --quiet --from " + from + " " +
                                   Quoted(output));
}

Picture ReadPicture(const std::string& path)
{
    Picture picture;
    int components = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &components, 3);
    if (pixels == nullptr) {
        picture.width = 0;
        return picture;
    }
    picture.rgb.assign(pixels, pixels + static_cast<size_t>(picture.width) * picture.height * 3);
    stbi_image_free(pixels);
    return picture;
}

long DifferingPixels(const Picture& a, const Picture& b)
{
    if (a.width == 0 || a.width != b.width || a.height != b.height) {
        return -1;
    }
    long count = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        count += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2] ? 1 : 0;
    }
    return count;
}
