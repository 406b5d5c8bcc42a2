#include "tools/show/show_file_reader.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "tools/show/byte_text.h"
#include "tools/show/show_time.h"

namespace show {

const char* const kSkyFaceKeys[6] = {"front", "back", "down", "up", "left", "right"};
const char* const kSkyFaceMembers[6] = {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG",
                                        "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"};
const char* const kCaptionMembers[10] = {"Marble01.TGA", "Marble02.TGA", "Marble03.TGA", "Marble04.TGA",
                                         "Marble05.TGA", "Marble06.TGA", "Marble07.TGA", "Marble08.TGA",
                                         "Marble09.TGA", "Marble10.TGA"};
const char* const kLogoMember = "Kestrel.TGA";

namespace {

// The first problem ends the reading.
struct Stop {
    Problem problem;
};

Place PlaceOf(const toml::source_region& source)
{
    return {static_cast<int>(source.begin.line), static_cast<int>(source.begin.column)};
}

Place PlaceOf(const toml::node& node)
{
    return PlaceOf(node.source());
}

[[noreturn]] void Fail(Place where, const std::string& text)
{
    throw Stop{{where, text}};
}

const char* TypeName(const toml::node& node)
{
    switch (node.type()) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number";
    case toml::node_type::boolean: return "a boolean";
    default: return "a date or time";
    }
}

[[noreturn]] void WrongType(const toml::node& node, const std::string& key, const std::string& wanted)
{
    Fail(PlaceOf(node), key + " must be " + wanted + ", not " + TypeName(node));
}

// Refuses keys the table may not hold, naming the nearest known one.
void CheckKeys(const toml::table& table, const std::vector<std::string>& known, const std::string& where)
{
    for (auto&& [key, value] : table) {
        const std::string name(key.str());
        bool found = false;
        for (const std::string& k : known)
            found = found || k == name;
        if (!found)
            Fail(PlaceOf(key.source()), "unknown key \"" + name + "\"" + where + " (did you mean \"" +
                                            NearestKey(name, known) + "\"?)");
    }
}

const toml::table& AsTable(const toml::node& node, const std::string& key)
{
    if (!node.is_table())
        WrongType(node, key, "a table");
    return *node.as_table();
}

// A string as exact bytes: a TOML string, or { bytes = "hex" } for bytes
// that are not UTF-8.
std::string Bytes(const toml::node& node, const std::string& key)
{
    if (node.is_string())
        return node.as_string()->get();
    if (node.is_table()) {
        const toml::table& table = *node.as_table();
        CheckKeys(table, {"bytes"}, " in " + key);
        const toml::node* hex = table.get("bytes");
        if (hex == nullptr || !hex->is_string())
            Fail(PlaceOf(node), key + " as a table holds its bytes in hex: { bytes = \"4d75\" }");
        std::vector<uint8_t> bytes;
        if (!HexToBytes(hex->as_string()->get(), &bytes))
            Fail(PlaceOf(*hex), key + ": bytes must be pairs of hex digits");
        return std::string(bytes.begin(), bytes.end());
    }
    WrongType(node, key, "a string");
}

// A name the script or the pack stores: no zero byte, at most 255 bytes.
std::string Name(const toml::node& node, const std::string& key)
{
    std::string name = Bytes(node, key);
    if (name.find('\0') != std::string::npos)
        Fail(PlaceOf(node), key + " holds a zero byte, which would end it early");
    if (name.size() > 255)
        Fail(PlaceOf(node), key + " is " + std::to_string(name.size()) + " bytes long; the player reads at most 255");
    return name;
}

int64_t Integer(const toml::node& node, const std::string& key, int64_t low, int64_t high)
{
    if (!node.is_integer())
        WrongType(node, key, "an integer");
    const int64_t value = node.as_integer()->get();
    if (value < low || value > high)
        Fail(PlaceOf(node), key + " must lie between " + std::to_string(low) + " and " + std::to_string(high));
    return value;
}

int32_t Int32(const toml::node& node, const std::string& key)
{
    return static_cast<int32_t>(
        Integer(node, key, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

float FromBits(const toml::node& node, const std::string& key)
{
    const toml::table& table = *node.as_table();
    CheckKeys(table, {"bits"}, " in " + key);
    const toml::node* bits = table.get("bits");
    if (bits == nullptr)
        Fail(PlaceOf(node), key + " as a table holds the float's bits: { bits = 0x3F800000 }");
    const uint32_t raw = static_cast<uint32_t>(Integer(*bits, key + ".bits", 0, 0xFFFFFFFFll));
    float value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

// A float32: a number, or { bits = 0x... } for its exact bit pattern.
float Float(const toml::node& node, const std::string& key)
{
    if (node.is_table())
        return FromBits(node, key);
    if (!node.is_number())
        WrongType(node, key, "a number");
    const double value = node.is_integer() ? static_cast<double>(node.as_integer()->get())
                                           : node.as_floating_point()->get();
    // Numbers up to half a step above the largest float round to it (the
    // shortest decimal of that float is such a number); from there on they
    // would become infinite.
    constexpr double kRoundsToInfinity = 0x1.ffffffp127;
    if (std::isfinite(value) && std::fabs(value) >= kRoundsToInfinity)
        Fail(PlaceOf(node), key + " is beyond the float range");
    return static_cast<float>(value);
}

// A window time: seconds, "m:ss.mmm", or { bits = 0x... } of the stored
// milliseconds. *checked is false for bits, which are taken as they are.
float Time(const toml::node& node, const std::string& key, bool* checked)
{
    float ms = 0.0f;
    std::string why;
    if (node.is_table()) {
        *checked = false;
        return FromBits(node, key);
    }
    if (node.is_string()) {
        if (!ParseClockTime(node.as_string()->get(), &ms, &why))
            Fail(PlaceOf(node), key + ": " + why);
        return ms;
    }
    if (!node.is_number())
        WrongType(node, key, "seconds or \"m:ss.mmm\"");
    const double seconds = node.is_integer() ? static_cast<double>(node.as_integer()->get())
                                             : node.as_floating_point()->get();
    if (!SecondsToMilliseconds(seconds, &ms, &why))
        Fail(PlaceOf(node), key + ": " + why);
    return ms;
}

const toml::array& Array(const toml::node& node, const std::string& key)
{
    if (!node.is_array())
        WrongType(node, key, "an array");
    return *node.as_array();
}

const toml::node& Required(const toml::table& table, const char* key, const std::string& what)
{
    const toml::node* node = table.get(key);
    if (node == nullptr)
        Fail(PlaceOf(table), what + " needs " + key);
    return *node;
}

void ReadEffect(const toml::table& table, ShowFile* show)
{
    CheckKeys(table, {"kind", "name", "start", "end", "scene"}, " in [[effect]]");
    ScriptEffect effect;
    EffectPlaces places;
    places.record = PlaceOf(table);
    const toml::node& kind = Required(table, "kind", "an effect");
    if (!kind.is_string())
        WrongType(kind, "kind", "\"plain\", \"player3d\" or \"marble1\"");
    const std::string kindName = kind.as_string()->get();
    if (kindName == "plain")
        effect.kind = kPlainEffect;
    else if (kindName == "player3d")
        effect.kind = kPlayer3DEffect;
    else if (kindName == "marble1")
        effect.kind = kMarble1Effect;
    else
        Fail(PlaceOf(kind), "kind \"" + kindName + "\" is none of \"plain\", \"player3d\", \"marble1\" (did you mean \"" +
                                NearestKey(kindName, {"plain", "player3d", "marble1"}) + "\"?)");
    effect.name = Name(Required(table, "name", "an effect"), "name");
    const toml::node& start = Required(table, "start", "an effect");
    const toml::node& end = Required(table, "end", "an effect");
    bool startChecked = true;
    bool endChecked = true;
    effect.start = Time(start, "start", &startChecked);
    effect.end = Time(end, "end", &endChecked);
    places.start = PlaceOf(start);
    places.end = PlaceOf(end);
    places.windowChecked = startChecked && endChecked;
    const toml::node* scene = table.get("scene");
    if (effect.kind == kPlayer3DEffect) {
        effect.scene = Name(Required(table, "scene", "a player3d effect"), "scene");
        places.scene = PlaceOf(*scene);
    } else if (scene != nullptr) {
        Fail(PlaceOf(*scene), "scene belongs to player3d effects only; this one is " + kindName);
    }
    show->script.effects.push_back(effect);
    show->effects.push_back(places);
}

void ReadKey(const toml::table& table, CurveKey* key)
{
    CheckKeys(table, {"time", "value", "ease_to", "ease_from", "bias", "continuity", "tension", "working"},
              " in a curve key");
    key->time = Int32(Required(table, "time", "a curve key"), "time");
    key->value = Float(Required(table, "value", "a curve key"), "value");
    const std::pair<const char*, float*> parameters[] = {{"ease_to", &key->easeTo},
                                                         {"ease_from", &key->easeFrom},
                                                         {"bias", &key->bias},
                                                         {"continuity", &key->continuity},
                                                         {"tension", &key->tension}};
    for (const auto& [name, field] : parameters) {
        if (const toml::node* node = table.get(name))
            *field = Float(*node, name);
    }
    if (const toml::node* working = table.get("working")) {
        const std::string bytes = Bytes(*working, "working");
        std::vector<uint8_t> raw;
        if (!working->is_string() || !HexToBytes(bytes, &raw) || raw.size() != key->working.size())
            Fail(PlaceOf(*working), "working holds the key's 52 stored bytes in hex (104 digits)");
        std::copy(raw.begin(), raw.end(), key->working.begin());
    }
}

void ReadCurves(const toml::table& table, ShowFile* show)
{
    CheckKeys(table, {"present", "count", "curve"}, " in [curves]");
    CurveBlock block;
    if (const toml::node* present = table.get("present"))
        block.presentByte = static_cast<uint8_t>(Integer(*present, "present", 1, 255));
    if (const toml::node* curves = table.get("curve")) {
        for (const toml::node& item : Array(*curves, "curve")) {
            const toml::table& c = AsTable(item, "curve");
            CheckKeys(c, {"name", "number", "key", "list"}, " in [[curves.curve]]");
            ScriptCurve curve;
            curve.name = Name(Required(c, "name", "a curve"), "name");
            if (const toml::node* number = c.get("number"))
                curve.number = Int32(*number, "number");
            if (const toml::node* keys = c.get("key")) {
                for (const toml::node& k : Array(*keys, "key")) {
                    CurveKey key;
                    ReadKey(AsTable(k, "key"), &key);
                    curve.keys.push_back(key);
                }
            }
            if (const toml::node* list = c.get("list")) {
                for (const toml::node& entry : Array(*list, "list"))
                    curve.list.push_back(Int32(entry, "a list entry"));
            }
            block.curves.push_back(std::move(curve));
        }
    }
    if (const toml::node* count = table.get("count")) {
        block.emptyCount = static_cast<int32_t>(Integer(*count, "count", std::numeric_limits<int32_t>::min(), 0));
        if (!block.curves.empty())
            Fail(PlaceOf(*count), "count is only for a block without curves (zero or below)");
    }
    show->script.curves = std::move(block);
}

void ReadScriptExtras(const toml::table& table, ShowFile* show)
{
    CheckKeys(table, {"final_zero_byte", "trailing"}, " in [script]");
    if (const toml::node* zero = table.get("final_zero_byte")) {
        if (!zero->is_boolean())
            WrongType(*zero, "final_zero_byte", "true or false");
        show->script.lastStringTerminated = zero->as_boolean()->get();
        const auto& effects = show->script.effects;
        if (!show->script.lastStringTerminated &&
            (effects.empty() || effects.back().kind != kPlayer3DEffect || effects.back().scene.empty()))
            Fail(PlaceOf(*zero), "only a script whose last effect is a player3d effect with a scene can end "
                                 "without its final zero byte");
    }
    if (const toml::node* trailing = table.get("trailing")) {
        if (!trailing->is_string() || !HexToBytes(trailing->as_string()->get(), &show->script.trailing))
            Fail(PlaceOf(*trailing), "trailing holds bytes in hex");
        if (!show->script.lastStringTerminated && !show->script.trailing.empty())
            Fail(PlaceOf(*trailing), "trailing bytes follow the final zero byte, which is left off");
    }
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ModelSceneName(const std::string& path)
{
    std::string base = BaseName(path);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        base.resize(dot);
    return base + ".KVF";
}

std::string FilePath(const toml::node& node, const std::string& key)
{
    if (!node.is_string())
        WrongType(node, key, "a path");
    const std::string path = node.as_string()->get();
    if (path.empty() || path.find('\0') != std::string::npos)
        Fail(PlaceOf(node), key + " must be a path");
    return path;
}

// One element of pack.models, pack.textures or pack.files: a path, or a
// table with the path and options.
void ReadInputs(const toml::node& node, InputKind kind, const std::string& key, ShowFile* show)
{
    for (const toml::node& item : Array(node, key)) {
        PackInput input;
        input.kind = kind;
        input.where = PlaceOf(item);
        if (item.is_string()) {
            input.path = FilePath(item, "a file");
        } else if (item.is_table()) {
            const toml::table& table = *item.as_table();
            if (kind == InputKind::Model)
                CheckKeys(table, {"file", "name", "fps", "scale", "bare"}, " in pack." + key);
            else
                CheckKeys(table, {"file", "name"}, " in pack." + key);
            input.path = FilePath(Required(table, "file", "an entry of pack." + key), "file");
            if (const toml::node* name = table.get("name"))
                input.member = Name(*name, "name");
            if (const toml::node* fps = table.get("fps"))
                input.fps = static_cast<int>(Integer(*fps, "fps", 1, 1000));
            if (const toml::node* scale = table.get("scale")) {
                input.scale = Float(*scale, "scale");
                if (!(input.scale > 0.0f) || !std::isfinite(input.scale))
                    Fail(PlaceOf(*scale), "scale must be a positive number");
            }
            if (const toml::node* bare = table.get("bare")) {
                if (!bare->is_boolean())
                    WrongType(*bare, "bare", "true or false");
                input.bare = bare->as_boolean()->get();
            }
        } else {
            WrongType(item, "an entry of pack." + key, "a path or a table");
        }
        if (input.member.empty())
            input.member = kind == InputKind::Model ? ModelSceneName(input.path) : BaseName(input.path);
        show->inputs.push_back(input);
    }
}

void ReadPack(const toml::table& pack, ShowFile* show)
{
    CheckKeys(pack, {"archive", "models", "textures", "files", "sky", "marble1"}, " in [pack]");
    show->packPlace = PlaceOf(pack);
    if (const toml::node* archive = pack.get("archive")) {
        show->archive = FilePath(*archive, "archive");
        show->archivePlace = PlaceOf(*archive);
    }
    if (const toml::node* models = pack.get("models"))
        ReadInputs(*models, InputKind::Model, "models", show);
    if (const toml::node* textures = pack.get("textures"))
        ReadInputs(*textures, InputKind::Texture, "textures", show);
    if (const toml::node* files = pack.get("files"))
        ReadInputs(*files, InputKind::File, "files", show);
    if (const toml::node* skyNode = pack.get("sky")) {
        const toml::table& sky = AsTable(*skyNode, "sky");
        CheckKeys(sky, std::vector<std::string>(kSkyFaceKeys, kSkyFaceKeys + 6), " in [pack.sky]");
        for (int i = 0; i < 6; ++i) {
            if (const toml::node* face = sky.get(kSkyFaceKeys[i]))
                show->inputs.push_back({InputKind::Texture, FilePath(*face, kSkyFaceKeys[i]), kSkyFaceMembers[i],
                                        PlaceOf(*face)});
        }
    }
    if (const toml::node* marbleNode = pack.get("marble1")) {
        const toml::table& marble = AsTable(*marbleNode, "marble1");
        CheckKeys(marble, {"logo", "captions"}, " in [pack.marble1]");
        show->marble1Images = true;
        show->marble1Place = PlaceOf(marble);
        if (const toml::node* logo = marble.get("logo"))
            show->inputs.push_back({InputKind::Texture, FilePath(*logo, "logo"), kLogoMember, PlaceOf(*logo)});
        if (const toml::node* captions = marble.get("captions")) {
            const toml::array& list = Array(*captions, "captions");
            if (list.size() > 10)
                Fail(PlaceOf(*captions), "captions holds at most 10 images, Marble01.TGA to Marble10.TGA");
            for (size_t i = 0; i < list.size(); ++i)
                show->inputs.push_back({InputKind::Texture, FilePath(list[i], "a caption"), kCaptionMembers[i],
                                        PlaceOf(list[i])});
        }
    }
}

void ReadDocument(const toml::table& root, ShowFile* show)
{
    CheckKeys(root, {"music", "effect", "curves", "script", "pack"}, "");
    const toml::node* music = root.get("music");
    if (music == nullptr)
        Fail({1, 1}, "the show needs its music: music = \"FILE\"");
    show->script.music = Name(*music, "music");
    show->music = PlaceOf(*music);
    if (const toml::node* effects = root.get("effect")) {
        for (const toml::node& item : Array(*effects, "effect"))
            ReadEffect(AsTable(item, "effect"), show);
    }
    if (const toml::node* curves = root.get("curves"))
        ReadCurves(AsTable(*curves, "curves"), show);
    if (const toml::node* script = root.get("script"))
        ReadScriptExtras(AsTable(*script, "script"), show);
    if (const toml::node* pack = root.get("pack"))
        ReadPack(AsTable(*pack, "pack"), show);
}

} // namespace

std::string NearestKey(const std::string& key, const std::vector<std::string>& known)
{
    std::string best;
    size_t bestDistance = std::numeric_limits<size_t>::max();
    for (const std::string& candidate : known) {
        // Edit distance, letter case aside.
        std::vector<size_t> row(candidate.size() + 1);
        for (size_t j = 0; j <= candidate.size(); ++j)
            row[j] = j;
        for (size_t i = 1; i <= key.size(); ++i) {
            size_t diagonal = row[0];
            row[0] = i;
            for (size_t j = 1; j <= candidate.size(); ++j) {
                const size_t above = row[j];
                const bool same = std::tolower(static_cast<unsigned char>(key[i - 1])) ==
                                  std::tolower(static_cast<unsigned char>(candidate[j - 1]));
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
                diagonal = above;
            }
        }
        if (row[candidate.size()] < bestDistance) {
            bestDistance = row[candidate.size()];
            best = candidate;
        }
    }
    return best;
}

bool ReadShowFile(const std::string& text, const std::string& fileName, ShowFile* show, Problem* problem)
{
    ShowFile read;
    try {
        const toml::table root = toml::parse(std::string_view(text), std::string_view(fileName));
        ReadDocument(root, &read);
    } catch (const toml::parse_error& error) {
        *problem = {PlaceOf(error.source()), std::string(error.description())};
        return false;
    } catch (const Stop& stop) {
        *problem = stop.problem;
        return false;
    }
    *show = std::move(read);
    return true;
}

} // namespace show
