#include "tools/view/view_show.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>
#include <vector>

#include <stb/stb_image_write.h>

#include "demo/script_writer.h"
#include "sound/fsound.h"
#include "tools/import/import_command.h"
#include "tools/import/pack_writer.h"
#include "tools/view/silent_wav.h"

namespace {

constexpr int32_t kPlayer3D = 1;
// Script strings hold at most this many characters.
constexpr size_t kLongestName = 255;
constexpr const char* kSkyFaces[] = {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG",
                                     "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"};

void AppendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// A small JPEG of one dark grey: the sky the player draws behind every
// scene, plain so that the model stands out.
std::vector<uint8_t> PlainSkyFace()
{
    constexpr int kSide = 8;
    std::vector<uint8_t> rgb(kSide * kSide * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = 40;
        rgb[i + 1] = 44;
        rgb[i + 2] = 52;
    }
    std::vector<uint8_t> jpeg;
    stbi_write_jpg_to_func(AppendBytes, &jpeg, kSide, kSide, 3, rgb.data(), 90);
    return jpeg;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The music's length in milliseconds as the player's sound library reads
// it; 0 when it cannot play the file.
unsigned MusicLengthMs(const std::string& path)
{
    if (FSOUND_Init(44100, 32, 0) == 0) {
        return 0;
    }
    unsigned length = 0;
    if (FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF | FSOUND_2D, 0)) {
        const int ms = FSOUND_Stream_GetLengthMs(stream);
        length = ms > 0 ? static_cast<unsigned>(ms) : 0;
        FSOUND_Stream_Close(stream);
    }
    FSOUND_Close();
    return length;
}

// Puts the music in the folder (a link to the file given, or silence) and
// gives its name there and its length; false after a message.
bool PlaceMusic(const std::string& folder, const std::string& music, std::string* name, unsigned* lengthMs,
                std::ostream& err)
{
    if (music.empty()) {
        *name = "silence.wav";
        *lengthMs = kSilenceSeconds * 1000u;
        if (!WriteSilentWav(folder + "/" + *name, kSilenceSeconds)) {
            err << "zolt-view: cannot write the silence into " << folder << "\n";
            return false;
        }
        return true;
    }
    char absolute[PATH_MAX];
    if (realpath(music.c_str(), absolute) == nullptr) {
        err << "zolt-view: " << music << ": the music cannot be found\n";
        return false;
    }
    // The decoder may go by the extension.
    const std::string base = BaseName(absolute);
    const size_t dot = base.find_last_of('.');
    *name = "music" + (dot == std::string::npos ? std::string() : base.substr(dot, 16));
    if (symlink(absolute, (folder + "/" + *name).c_str()) != 0) {
        err << "zolt-view: cannot link the music into " << folder << "\n";
        return false;
    }
    *lengthMs = MusicLengthMs(folder + "/" + *name);
    if (*lengthMs == 0) {
        err << "zolt-view: " << music << ": the music cannot be played\n";
        return false;
    }
    return true;
}

} // namespace

bool WriteViewShow(const std::string& folder, const ViewOptions& options, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> scenes;
    for (const std::string& model : options.models) {
        scenes.push_back(import::DefaultSceneName(model));
        if (scenes.back().size() > kLongestName) {
            err << "zolt-view: " << model << ": the name is too long for a show's script\n";
            return false;
        }
    }

    const std::string pack = folder + "/data.pac";
    std::vector<import::PackEntry> faces;
    const std::vector<uint8_t> face = PlainSkyFace();
    for (const char* name : kSkyFaces) {
        faces.push_back({name, face});
    }
    std::string error;
    if (!import::WritePack(pack, faces, false, &error)) {
        err << "zolt-view: " << error << "\n";
        return false;
    }
    // A model's own texture of a sky face's name replaces the plain one.
    std::vector<std::string> arguments = {"--pack", pack, "--append", "--fps", std::to_string(options.fps)};
    arguments.insert(arguments.end(), options.models.begin(), options.models.end());
    if (import::RunImport(arguments, out, err) != 0) {
        return false;
    }

    std::string musicName;
    unsigned lengthMs = 0;
    if (!PlaceMusic(folder, options.music, &musicName, &lengthMs, err)) {
        return false;
    }
    ScriptWriter script;
    script.WriteString(musicName);
    script.WriteByte(0); // no curve block
    script.WriteInt32(static_cast<int32_t>(scenes.size()));
    const double share = static_cast<double>(lengthMs) / static_cast<double>(scenes.size());
    for (size_t i = 0; i < scenes.size(); ++i) {
        const std::string stem = scenes[i].substr(0, scenes[i].size() - 4);
        script.WriteInt32(kPlayer3D);
        script.WriteString(stem);
        script.WriteFloat(static_cast<float>(share * static_cast<double>(i)));
        // The last effect outlasts the music, so no frame falls between.
        script.WriteFloat(static_cast<float>(i + 1 == scenes.size() ? lengthMs + 1000.0 : share * (i + 1)));
        script.WriteString(scenes[i]);
    }
    if (script.SaveToFile((folder + "/Marble.Spt").c_str()) != 0) {
        err << "zolt-view: cannot write the show's script into " << folder << "\n";
        return false;
    }
    return true;
}
