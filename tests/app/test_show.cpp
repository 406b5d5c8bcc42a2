#include "tests/app/test_show.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "demo/script_writer.h"
#include "tests/support/pack_builder.h"
#include "tests/support/test_audio.h"

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
        // Two plain effects that overlap in the middle of the music.
        const float lengthMs = static_cast<float>(show.musicSeconds * 1000.0);
        script.WriteInt32(2);
        script.WriteInt32(0);
        script.WriteString("first");
        script.WriteFloat(0.0f);
        script.WriteFloat(lengthMs * 0.6f);
        script.WriteInt32(0);
        script.WriteString("second");
        script.WriteFloat(lengthMs * 0.4f);
        script.WriteFloat(lengthMs);
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
        if (!WritePack(directory + "/data.pac", members)) {
            return false;
        }
    }
    return true;
}
