#include "tools/web/web_export.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "tools/web/music_transcoder.h"

namespace fs = std::filesystem;

namespace {

constexpr char kScript[] = "Marble.Spt";
constexpr char kPack[] = "data.pac";
constexpr char kFileListMark[] = "/*ZOLT_SHOW*/";
// The longest name a script string holds.
constexpr size_t kMaxScriptString = 255;

void Report(const std::string& text)
{
    std::fprintf(stderr, "zolt-web: %s\n", text.c_str());
}

// The music file name the script starts with; false when the script cannot
// be read or does not start with a terminated name.
bool ReadMusicName(const fs::path& script, std::string* name)
{
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        return false;
    }
    name->clear();
    char c = 0;
    while (in.get(c)) {
        if (c == '\0') {
            return !name->empty();
        }
        if (name->size() == kMaxScriptString) {
            return false;
        }
        name->push_back(c);
    }
    return false;
}

// The page's name for the transcoded music: the music's own stem when it is
// plain (letters, digits, '.', '-', '_'), "music" otherwise.
std::string OggNameFor(const std::string& musicName)
{
    std::string stem = fs::path(musicName).stem().string();
    bool plain = !stem.empty() && stem[0] != '.';
    for (char c : stem) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '-' || c == '_';
        plain = plain && ok;
    }
    return (plain ? stem : std::string("music")) + ".ogg";
}

// Files written so far, removed again when the export fails.
class Written {
public:
    void Add(const fs::path& path) { m_paths.push_back(path); }
    void Keep() { m_paths.clear(); }
    ~Written()
    {
        for (const fs::path& path : m_paths) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }

private:
    std::vector<fs::path> m_paths;
};

bool CopyInto(const fs::path& from, const fs::path& to, Written* written)
{
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error) {
        Report("cannot copy " + from.string() + " to " + to.string() + ": " + error.message());
        return false;
    }
    written->Add(to);
    return true;
}

} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string MakePage(const std::string& musicFile, const std::string& musicName)
{
    std::string page = kPageTemplate;
    const size_t mark = page.find(kFileListMark);
    if (mark == std::string::npos) {
        return std::string();
    }
    const size_t end = page.find('}', mark);
    if (end == std::string::npos) {
        return std::string();
    }
    const std::string files = std::string("{\"script\": ") + JsonString(kScript) + ", \"pack\": " + JsonString(kPack) +
                              ", \"music\": " + JsonString(musicFile) + ", \"musicName\": " + JsonString(musicName) +
                              "}";
    page.replace(mark, end + 1 - mark, files);
    return page;
}

int ExportWebShow(const WebExportOptions& options)
{
    const fs::path show = options.showDir;
    const fs::path out = options.outDir;
    const fs::path engine = options.engineDir;

    std::string musicName;
    if (!ReadMusicName(show / kScript, &musicName)) {
        Report("cannot read the music's name from " + (show / kScript).string());
        return 1;
    }
    if (!fs::is_regular_file(show / kPack)) {
        Report("no pack " + (show / kPack).string());
        return 1;
    }
    for (const char* part : {"zolt.js", "zolt.wasm"}) {
        if (!fs::is_regular_file(engine / part)) {
            Report("no " + std::string(part) + " in " + engine.string() +
                   ": build the browser build first (scripts/web) or name it with --engine");
            return 1;
        }
    }
    const std::string oggName = OggNameFor(musicName);
    const std::string page = MakePage(oggName, musicName);
    if (page.empty()) {
        Report("the compiled-in page template holds no file list");
        return 1;
    }

    std::error_code error;
    fs::create_directories(out, error);
    if (error || !fs::is_directory(out)) {
        Report("cannot make the folder " + out.string() + (error ? ": " + error.message() : std::string()));
        return 1;
    }

    Written written;
    std::string reason;
    if (!TranscodeMusic((show / musicName).string(), (out / oggName).string(), &reason)) {
        Report("cannot turn the music " + (show / musicName).string() + " into Ogg Vorbis: " + reason);
        return 1;
    }
    written.Add(out / oggName);
    if (!CopyInto(show / kScript, out / kScript, &written) || !CopyInto(show / kPack, out / kPack, &written) ||
        !CopyInto(engine / "zolt.js", out / "zolt.js", &written) ||
        !CopyInto(engine / "zolt.wasm", out / "zolt.wasm", &written)) {
        return 1;
    }
    {
        std::ofstream html(out / "index.html", std::ios::binary | std::ios::trunc);
        written.Add(out / "index.html");
        html << page;
        html.close();
        if (!html) {
            Report("cannot write " + (out / "index.html").string());
            return 1;
        }
    }
    written.Keep();
    return 0;
}
