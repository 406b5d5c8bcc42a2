#include "tools/show/show_build.h"

#include <SDL.h>
#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <set>

#include "platform/d3dx/image_decoder.h"
#include "sound/fsound.h"
#include "tools/common/whole_file.h"
#include "tools/import/model_conversion.h"
#include "tools/import/pack_writer.h"
#include "tools/show/byte_text.h"
#include "tools/show/model_cache.h"
#include "tools/show/script_codec.h"
#include "tools/show/show_file_reader.h"

namespace show {

namespace {

const char* const kMarble1Scenes[2] = {"Plan1_part1.KVF", "Plan1_partotter.KVF"};

bool IsRegularFile(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The engine's sound code opens the music as the player will, on the
// silent device unless the library is open already (in a program that plays
// while it builds): a file it cannot decode is refused here.
bool MusicDecodes(const std::string& path)
{
    FSoundOutputInfo info;
    const bool wasOpen = FSOUND_Zolt_GetOutputInfo(&info) != 0;
    if (!wasOpen) {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        const bool opened = FSOUND_Init(44100, 32, 0) != 0;
        if (!opened) {
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);
            return false;
        }
    }
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF | FSOUND_2D, 0);
    const bool ok = stream != nullptr;
    if (stream)
        FSOUND_Stream_Close(stream);
    if (!wasOpen) {
        FSOUND_Close();
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    return ok;
}

class Build {
public:
    Build(const std::string& folder, std::ostream& out, std::ostream& err, bool scriptOnly)
        : m_folder(folder), m_file(folder + "/show.toml"), m_out(out), m_err(err), m_cache(folder),
          m_scriptOnly(scriptOnly)
    {
    }

    int Run();

private:
    bool Error(Place where, const std::string& text)
    {
        m_err << m_file << ":" << where.line << ":" << where.column << ": error: " << text << "\n";
        return false;
    }
    void Warning(Place where, const std::string& text)
    {
        m_err << m_file << ":" << where.line << ":" << where.column << ": warning: " << text << "\n";
    }
    std::string InFolder(const std::string& path) const { return path[0] == '/' ? path : m_folder + "/" + path; }

    bool CheckWindows();
    bool CheckMusic();
    bool GatherFiles();
    bool ImportModels();
    bool AddMember(import::PackEntry entry, Place where);
    bool CheckScenes();
    bool Write();

    std::string m_folder;
    std::string m_file;
    std::ostream& m_out;
    std::ostream& m_err;
    ShowFile m_show;
    ModelCache m_cache;
    std::vector<import::PackEntry> m_archive;    // kept members of the archive
    std::vector<import::PackEntry> m_members;    // what the show adds
    std::map<std::string, Place> m_memberPlaces; // upper-case name -> where it came from
    std::vector<std::string> m_summaries;
    bool m_scriptOnly;
    bool m_packKept = false; // the archive is the folder's own pack, left as it is
};

int Build::Run()
{
    std::vector<uint8_t> text;
    if (!tools::ReadWhole(m_file, &text)) {
        m_err << "zolt-show: " << m_file << " cannot be read\n";
        return 1;
    }
    Problem problem;
    if (!ReadShowFile(std::string(text.begin(), text.end()), m_file, &m_show, &problem))
        return Error(problem.where, problem.text), 1;
    if (m_scriptOnly) {
        if (!CheckWindows() || !Write())
            return 1;
        m_out << "zolt-show: wrote " << m_folder << "/Marble.Spt (" << m_show.script.effects.size()
              << (m_show.script.effects.size() == 1 ? " effect)\n" : " effects)\n");
        return 0;
    }
    if (!CheckWindows() || !CheckMusic() || !GatherFiles() || !ImportModels() || !CheckScenes() || !Write())
        return 1;
    for (const std::string& line : m_summaries)
        m_out << line << "\n";
    m_out << "zolt-show: wrote " << m_folder << "/Marble.Spt (" << m_show.script.effects.size()
          << (m_show.script.effects.size() == 1 ? " effect)" : " effects)")
          << (m_packKept ? "; its pack " : " and ") << m_folder << "/data.pac"
          << (m_packKept ? " is kept as it is (" : " (") << m_archive.size() + m_members.size() << " members)\n";
    return 0;
}

bool Build::CheckWindows()
{
    for (size_t i = 0; i < m_show.script.effects.size(); ++i) {
        const ScriptEffect& effect = m_show.script.effects[i];
        if (m_show.effects[i].windowChecked && effect.start > effect.end)
            return Error(m_show.effects[i].end, "the effect \"" + effect.name + "\" ends before it starts");
    }
    return true;
}

bool Build::CheckMusic()
{
    const std::string path = InFolder(m_show.script.music);
    if (!IsRegularFile(path))
        return Error(m_show.music, "the music file " + path + " does not exist");
    if (!MusicDecodes(path))
        return Error(m_show.music, "the music file " + path + " cannot be decoded");
    return true;
}

bool Build::AddMember(import::PackEntry entry, Place where)
{
    const std::string upper = import::UpperCase(entry.name);
    const auto [earlier, added] = m_memberPlaces.emplace(upper, where);
    if (!added)
        return Error(where, "the pack member " + entry.name + " has the name of the one from line " +
                                std::to_string(earlier->second.line) + " (names are compared without regard to case)");
    m_members.push_back(std::move(entry));
    return true;
}

bool Build::GatherFiles()
{
    if (!m_show.archive.empty()) {
        std::string why;
        if (!import::ReadPack(InFolder(m_show.archive), &m_archive, &why))
            return Error(m_show.archivePlace, why);
    }
    for (const PackInput& input : m_show.inputs) {
        if (input.kind == InputKind::Model)
            continue;
        const std::string path = InFolder(input.path);
        import::PackEntry entry{input.member, {}};
        if (!IsRegularFile(path) || !tools::ReadWhole(path, &entry.bytes))
            return Error(input.where, "the file " + path + " cannot be read");
        // A texture is decoded as the player will decode it.
        DecodedImage image;
        if (input.kind == InputKind::Texture &&
            DecodeImage(entry.bytes.data(), entry.bytes.size(), &image) != DecodeResult::Ok)
            return Error(input.where, "the texture " + path + " is not an image the player reads (JPEG, TGA, BMP)");
        if (!AddMember(std::move(entry), input.where))
            return false;
    }
    return true;
}

bool Build::ImportModels()
{
    // Textures are named after the files already in the pack, then model by
    // model, the way zolt-import names them: a name taken by other bytes
    // gets a number, the same bytes go in once.
    std::map<std::string, const import::PackEntry*> taken;
    for (const import::PackEntry& member : m_members)
        taken.emplace(import::UpperCase(member.name), &member);
    std::deque<import::PackEntry> textures;
    std::vector<std::pair<import::PackEntry, Place>> scenes;
    for (const PackInput& input : m_show.inputs) {
        if (input.kind != InputKind::Model)
            continue;
        char resolved[PATH_MAX];
        const std::string given = InFolder(input.path);
        if (!IsRegularFile(given) || realpath(given.c_str(), resolved) == nullptr)
            return Error(input.where, "the model " + given + " cannot be read");
        const std::string path = resolved;
        const std::string key = ModelCache::Key(path, input.member, input.fps, input.scale, input.bare);
        CachedModel model;
        bool reused = m_cache.Find(key, &model);
        for (const import::PackEntry& texture : model.textures) {
            const auto found = taken.find(import::UpperCase(texture.name));
            reused = reused && (found == taken.end() || found->second->bytes == texture.bytes);
        }
        if (reused) {
            model.summary += " (unchanged)";
        } else {
            import::ConvertOptions options;
            options.framesPerSecond = input.fps;
            options.scale = input.scale;
            options.bare = input.bare;
            import::TextureNames names;
            for (const auto& [upper, entry] : taken)
                names.Record(*entry);
            import::ModelResult converted;
            std::string why;
            if (!import::ConvertInChild(path, input.member, options, names, &converted, &why))
                return Error(input.where, "the model " + given + " does not import: " + why);
            model = CachedModel{};
            model.scene = std::move(converted.scene);
            model.textures = std::move(converted.textures);
            model.summary = std::move(converted.summary);
            model.warnings = std::move(converted.warnings);
            model.sourceFiles = std::move(converted.sourceFiles);
            // A texture that was not found may turn up later: such a model
            // is imported again every time.
            if (!converted.texturesMissing)
                m_cache.Add(key, model);
        }
        for (const std::string& warning : model.warnings)
            Warning(input.where, given + ": " + warning);
        m_summaries.push_back(model.summary);
        scenes.push_back({{input.member, std::move(model.scene)}, input.where});
        for (import::PackEntry& texture : model.textures) {
            const std::string upper = import::UpperCase(texture.name);
            if (taken.count(upper) == 0) {
                textures.push_back(std::move(texture));
                taken.emplace(upper, &textures.back());
            }
        }
    }
    for (auto& [scene, where] : scenes) {
        if (!AddMember(std::move(scene), where))
            return false;
    }
    for (import::PackEntry& texture : textures) {
        const std::string upper = import::UpperCase(texture.name);
        if (m_memberPlaces.emplace(upper, Place{}).second)
            m_members.push_back(std::move(texture));
    }
    return true;
}

bool Build::CheckScenes()
{
    std::set<std::string> present;
    for (const import::PackEntry& member : m_archive)
        present.insert(import::UpperCase(member.name));
    for (const import::PackEntry& member : m_members)
        present.insert(import::UpperCase(member.name));
    // Archive members a listed file replaces are left out of the new pack.
    std::vector<import::PackEntry> kept;
    for (import::PackEntry& member : m_archive) {
        if (m_memberPlaces.count(import::UpperCase(member.name)) == 0)
            kept.push_back(std::move(member));
    }
    m_archive.swap(kept);

    const auto missing = [&](const char* member, Place where) {
        if (present.count(import::UpperCase(member)) == 0)
            Warning(where, std::string("the pack holds no ") + member + "; the player will show \"" +
                               TabsShown(std::string("LibDX\t:\tCannot open Texture : ") + member) + "\"");
    };
    for (const char* face : kSkyFaceMembers)
        missing(face, m_show.packPlace);

    bool marble1 = false;
    Place marble1Place;
    for (size_t i = 0; i < m_show.script.effects.size(); ++i) {
        const ScriptEffect& effect = m_show.script.effects[i];
        if (effect.kind == kPlayer3DEffect && present.count(import::UpperCase(effect.scene)) == 0)
            return Error(m_show.effects[i].scene, "the scene " + effect.scene + " of the effect \"" + effect.name +
                                                      "\" is not in the pack");
        if (effect.kind == kMarble1Effect && !marble1) {
            marble1 = true;
            marble1Place = m_show.effects[i].record;
        }
    }
    if (!marble1)
        return true;
    for (const char* scene : kMarble1Scenes) {
        if (present.count(import::UpperCase(scene)) == 0)
            return Error(marble1Place, std::string("a marble1 effect plays the scene ") + scene +
                                           ", which is not in the pack");
    }
    const Place imagesPlace = m_show.marble1Images ? m_show.marble1Place : marble1Place;
    missing(kLogoMember, imagesPlace);
    for (const char* caption : kCaptionMembers)
        missing(caption, imagesPlace);
    return true;
}

bool Build::Write()
{
    const std::vector<uint8_t> script = EncodeScript(m_show.script);
    const std::string scriptPath = m_folder + "/Marble.Spt";
    const std::string packPath = m_folder + "/data.pac";
    const std::string suffix = ".new" + std::to_string(getpid());
    // The pack is left alone when it is the archive kept whole.
    char archiveReal[PATH_MAX];
    char packReal[PATH_MAX];
    m_packKept = m_members.empty() && !m_show.archive.empty() &&
                 realpath(InFolder(m_show.archive).c_str(), archiveReal) != nullptr &&
                 realpath(packPath.c_str(), packReal) != nullptr && std::string(archiveReal) == packReal;
    std::string why;
    if (!m_packKept && !m_scriptOnly) {
        std::vector<import::PackEntry> all = std::move(m_archive);
        for (import::PackEntry& member : m_members)
            all.push_back(std::move(member));
        m_archive.clear();
        m_members = std::move(all);
        if (!import::WritePack(packPath + suffix, m_members, false, &why)) {
            m_err << "zolt-show: " << why << "\n";
            return false;
        }
    }
    std::ofstream out(scriptPath + suffix, std::ios::binary);
    out.write(reinterpret_cast<const char*>(script.data()), static_cast<std::streamsize>(script.size()));
    out.close();
    if (!out || (!m_packKept && !m_scriptOnly && std::rename((packPath + suffix).c_str(), packPath.c_str()) != 0) ||
        std::rename((scriptPath + suffix).c_str(), scriptPath.c_str()) != 0) {
        std::remove((packPath + suffix).c_str());
        std::remove((scriptPath + suffix).c_str());
        m_err << "zolt-show: cannot write " << scriptPath << " and " << packPath << "\n";
        return false;
    }
    if (!m_cache.Save())
        m_err << "zolt-show: warning: the model cache in " << m_folder << "/.zolt-cache cannot be written\n";
    return true;
}

} // namespace

int RunBuild(const std::string& folder, std::ostream& out, std::ostream& err, bool scriptOnly)
{
    Build build(folder, out, err, scriptOnly);
    return build.Run();
}

} // namespace show
