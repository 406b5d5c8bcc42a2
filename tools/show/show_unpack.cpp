#include "tools/show/show_unpack.h"

#include <minizip/unzip.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "tools/import/pack_writer.h"
#include "tools/show/byte_text.h"
#include "tools/show/script_codec.h"
#include "tools/show/show_file_reader.h"
#include "tools/show/show_file_writer.h"

namespace show {

namespace {

bool Exists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

bool WriteBytes(const std::string& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return static_cast<bool>(out);
}

// A file name in pack/ for a member: its own name where that is a plain
// UTF-8 file name, else "member-N"; never one taken already (case aside,
// for folders on such file systems).
std::string ExtractedName(const std::string& member, size_t index, std::set<std::string>* used)
{
    bool plain = !member.empty() && member != "." && member != ".." && IsUtf8(member);
    for (unsigned char c : member)
        plain = plain && c >= 0x20 && c != '/' && c != '\\' && c != 0x7F;
    std::string name = plain ? member : "member-" + std::to_string(index + 1);
    for (int n = 2; used->count(import::UpperCase(name)) != 0; ++n)
        name = "member-" + std::to_string(index + 1) + "-" + std::to_string(n);
    used->insert(import::UpperCase(name));
    return name;
}

// The names and sizes of a pack's members, read from its directory alone.
bool ListPack(const std::string& path, std::vector<ListedMember>* members)
{
    unzFile zip = unzOpen64(path.c_str());
    if (zip == nullptr)
        return false;
    int step = unzGoToFirstFile(zip);
    for (; step == UNZ_OK; step = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        char name[1024];
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        members->push_back({std::string(name, strnlen(name, sizeof name)), info.uncompressed_size, ""});
    }
    unzClose(zip);
    return step == UNZ_END_OF_LIST_OF_FILE;
}

} // namespace

int RunUnpack(const std::string& folder, const UnpackOptions& options, std::ostream& out, std::ostream& err)
{
    const std::string scriptPath = folder + "/Marble.Spt";
    const std::string showPath = folder + "/show.toml";
    std::vector<uint8_t> bytes;
    std::ifstream in(scriptPath, std::ios::binary);
    if (in)
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ScriptModel script;
    std::string reason = ScriptFileMessage("Marble.Spt");
    if (!in || in.bad() || !DecodeScript(bytes, "Marble.Spt", &script, &reason)) {
        err << "zolt-show: " << scriptPath << ": the player refuses this script: " << TabsShown(reason) << "\n";
        return 1;
    }
    if (Exists(showPath) && !options.force) {
        err << "zolt-show: " << showPath << " exists; unpack --force replaces it\n";
        return 1;
    }

    // The pack's members are read only to be extracted.
    PackListing pack;
    std::vector<import::PackEntry> members;
    const std::string packPath = folder + "/data.pac";
    if (Exists(packPath)) {
        std::string why = packPath + " is not a readable pack";
        if (options.extract ? !import::ReadPack(packPath, &members, &why) : !ListPack(packPath, &pack.members)) {
            err << "zolt-show: " << why << "\n";
            return 1;
        }
        std::set<std::string> used;
        for (size_t i = 0; i < members.size(); ++i) {
            pack.members.push_back({members[i].name, members[i].bytes.size(),
                                    "pack/" + ExtractedName(members[i].name, i, &used)});
        }
        if (!options.extract)
            pack.archive = "data.pac";
    }

    // What is written must give the script back: checked before anything
    // is written.
    const std::string text = WriteShowFile(script, pack);
    ShowFile reread;
    Problem problem;
    if (!ReadShowFile(text, showPath, &reread, &problem) || EncodeScript(reread.script) != bytes) {
        err << "zolt-show: " << scriptPath << ": the show file would not give this script back"
            << (problem.text.empty() ? "" : " (" + problem.text + ")") << "\n";
        return 1;
    }

    if (options.extract && !members.empty()) {
        mkdir((folder + "/pack").c_str(), 0777);
        for (size_t i = 0; i < members.size(); ++i) {
            const std::string path = folder + "/" + pack.members[i].extractedTo;
            if (!WriteBytes(path, members[i].bytes.data(), members[i].bytes.size())) {
                err << "zolt-show: cannot write " << path << "\n";
                return 1;
            }
        }
    }
    const std::string temporary = showPath + ".new";
    if (!WriteBytes(temporary, text.data(), text.size()) || std::rename(temporary.c_str(), showPath.c_str()) != 0) {
        std::remove(temporary.c_str());
        err << "zolt-show: cannot write " << showPath << "\n";
        return 1;
    }
    out << "zolt-show: wrote " << showPath << " (" << script.effects.size()
        << (script.effects.size() == 1 ? " effect" : " effects");
    if (!pack.members.empty())
        out << ", " << pack.members.size()
            << (options.extract ? " pack members extracted to " + folder + "/pack" : " pack members listed");
    out << ")\n";
    return 0;
}

} // namespace show
