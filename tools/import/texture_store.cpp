#include "tools/import/texture_store.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <sys/stat.h>
#include <fstream>
#include <iterator>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

namespace import {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Extension(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    return Lower(name.substr(dot + 1));
}

std::string Stem(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EngineReads(const std::string& extension)
{
    return extension == "jpg" || extension == "jpeg" || extension == "tga" || extension == "bmp";
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void AppendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// RGBA pixels as a TGA when any pixel is see-through, else as a JPEG;
// returns the extension used.
std::string EncodePixels(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out)
{
    bool transparent = false;
    for (size_t i = 3; i < static_cast<size_t>(width) * height * 4 && !transparent; i += 4) {
        transparent = rgba[i] != 255;
    }
    out->clear();
    if (transparent) {
        stbi_write_tga_to_func(AppendBytes, out, width, height, 4, rgba);
        return "TGA";
    }
    stbi_write_jpg_to_func(AppendBytes, out, width, height, 4, rgba, 90);
    return "JPG";
}

// Decodes an image the engine cannot read and re-encodes it; false when
// the decoder does not know it.
bool Convert(const std::vector<uint8_t>& source, std::vector<uint8_t>* out, std::string* extension,
             std::string* reason)
{
    int width = 0, height = 0, channels = 0;
    if (source.empty() || source.size() > 0x7fffffff) {
        *reason = "empty or too large";
        return false;
    }
    stbi_uc* pixels = stbi_load_from_memory(source.data(), static_cast<int>(source.size()), &width, &height,
                                            &channels, 4);
    if (pixels == nullptr) {
        *reason = stbi_failure_reason() != nullptr ? stbi_failure_reason() : "cannot be decoded";
        return false;
    }
    *extension = EncodePixels(pixels, width, height, out);
    stbi_image_free(pixels);
    return true;
}

} // namespace

std::string UpperCase(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

TextureStore::TextureStore(const aiScene* scene, const std::string& modelPath, const std::string& prefix)
    : m_scene(scene), m_prefix(prefix)
{
    const size_t slash = modelPath.find_last_of('/');
    m_directory = slash == std::string::npos ? "." : modelPath.substr(0, slash);
}

std::string TextureStore::ClaimMemberName(const std::string& wanted)
{
    // Room for a suffix within the file's 255 characters.
    const std::string stem = Stem(wanted).substr(0, 200), extension = wanted.substr(Stem(wanted).size());
    std::string name = stem + extension;
    for (int n = 2;; ++n) {
        bool taken = false;
        for (const PackEntry& entry : m_entries) {
            taken = taken || UpperCase(entry.name) == UpperCase(name);
        }
        if (!taken) {
            return name;
        }
        name = stem + "_" + std::to_string(n) + extension;
    }
}

namespace {

// `relative` below `directory`, each step matched without regard to letter
// case when the exact name is not there; "" when a step finds nothing.
std::string ResolvePath(const std::string& directory, const std::string& relative)
{
    std::string path = directory;
    size_t at = 0;
    while (at <= relative.size()) {
        const size_t slash = std::min(relative.find('/', at), relative.size());
        const std::string step = relative.substr(at, slash - at);
        at = slash + 1;
        if (step.empty() || step == ".") {
            continue;
        }
        const std::string exact = path + "/" + step;
        struct stat st;
        if (step == ".." || stat(exact.c_str(), &st) == 0) {
            path = exact;
            continue;
        }
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr) {
            return "";
        }
        std::string found;
        while (dirent* entry = readdir(dir)) {
            if (Lower(entry->d_name) == Lower(step)) {
                found = path + "/" + entry->d_name;
                break;
            }
        }
        closedir(dir);
        if (found.empty()) {
            return "";
        }
        path = found;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? path : "";
}

} // namespace

// The image file a material names: the path as given (absolute, or relative
// to the model; Blender's "//" means the model's folder), then its base name
// beside the model or in a "textures" folder beside or above it, letter case
// ignored.
std::string TextureStore::FindFile(const std::string& reference) const
{
    std::string path = reference;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.rfind("//", 0) == 0) {
        path = path.substr(2);
    }
    if (!path.empty() && path[0] == '/') {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            return path;
        }
    }
    const std::string base = BaseName(path);
    const std::pair<std::string, std::string> candidates[] = {
        {m_directory, path},
        {m_directory, base},
        {m_directory + "/textures", base},
        {m_directory + "/../textures", base},
    };
    for (const auto& candidate : candidates) {
        const std::string found = ResolvePath(candidate.first, candidate.second);
        if (!found.empty()) {
            return found;
        }
    }
    return "";
}

const std::vector<uint8_t>* TextureStore::SourceOf(const std::string& member) const
{
    auto source = m_sources.find(member);
    if (source != m_sources.end()) {
        return &source->second;
    }
    for (const PackEntry& entry : m_entries) {
        if (entry.name == member) {
            return &entry.bytes;
        }
    }
    return nullptr;
}

std::string TextureStore::MergeOpacity(const std::string& colourMember, const std::string& opacityMember,
                                       ConversionReport* report)
{
    const std::string key = colourMember + "|" + opacityMember;
    auto known = m_merged.find(key);
    if (known != m_merged.end()) {
        return known->second;
    }
    const std::vector<uint8_t>* colour = SourceOf(colourMember);
    const std::vector<uint8_t>* opacity = SourceOf(opacityMember);
    std::string member;
    int cw = 0, ch = 0, ow = 0, oh = 0, channels = 0;
    stbi_uc* rgba = nullptr;
    stbi_uc* grey = nullptr;
    if (colour != nullptr && opacity != nullptr && colour->size() < 0x7fffffff && opacity->size() < 0x7fffffff) {
        rgba = stbi_load_from_memory(colour->data(), static_cast<int>(colour->size()), &cw, &ch, &channels, 4);
        grey = stbi_load_from_memory(opacity->data(), static_cast<int>(opacity->size()), &ow, &oh, &channels, 1);
    }
    if (rgba != nullptr && grey != nullptr && cw == ow && ch == oh) {
        // White is opaque, black transparent.
        for (size_t i = 0; i < static_cast<size_t>(cw) * ch; ++i) {
            rgba[i * 4 + 3] = grey[i];
        }
        PackEntry merged;
        stbi_write_tga_to_func(AppendBytes, &merged.bytes, cw, ch, 4, rgba);
        member = ClaimMemberName(Stem(colourMember) + "_A.TGA");
        merged.name = member;
        m_entries.push_back(std::move(merged));
    } else {
        report->Warn("opacity map " + opacityMember + " cannot be folded into texture " + colourMember +
                     " (they differ in size or cannot be decoded); the texture's own alpha is used");
    }
    stbi_image_free(rgba);
    stbi_image_free(grey);
    m_merged[key] = member;
    return member;
}

std::string TextureStore::Add(const std::string& reference, ConversionReport* report)
{
    auto known = m_byReference.find(reference);
    if (known != m_byReference.end()) {
        return known->second;
    }
    std::string member;
    std::vector<uint8_t> bytes;
    std::string reason;
    const aiTexture* embedded = m_scene->GetEmbeddedTexture(reference.c_str());
    if (embedded != nullptr) {
        const std::string index = reference.size() > 1 && reference[0] == '*' ? reference.substr(1)
                                                                               : Stem(reference);
        std::string extension;
        std::vector<uint8_t> source;
        if (embedded->mHeight == 0) {
            const std::vector<uint8_t> data(reinterpret_cast<const uint8_t*>(embedded->pcData),
                                            reinterpret_cast<const uint8_t*>(embedded->pcData) + embedded->mWidth);
            const std::string hint = Lower(embedded->achFormatHint);
            if (EngineReads(hint)) {
                bytes = data;
                extension = UpperCase(hint);
            } else if (!Convert(data, &bytes, &extension, &reason)) {
                report->Warn("embedded texture " + reference + " is not converted: " + reason);
            } else {
                source = data;
            }
        } else {
            // Raw texels, BGRA.
            std::vector<uint8_t> rgba(static_cast<size_t>(embedded->mWidth) * embedded->mHeight * 4);
            for (size_t i = 0; i < rgba.size() / 4; ++i) {
                const aiTexel& t = embedded->pcData[i];
                rgba[i * 4 + 0] = t.r;
                rgba[i * 4 + 1] = t.g;
                rgba[i * 4 + 2] = t.b;
                rgba[i * 4 + 3] = t.a;
            }
            extension = EncodePixels(rgba.data(), static_cast<int>(embedded->mWidth),
                                     static_cast<int>(embedded->mHeight), &bytes);
        }
        if (!bytes.empty()) {
            member = ClaimMemberName(m_prefix + "_" + index + "." + extension);
            if (!source.empty()) {
                m_sources[member] = std::move(source);
            }
        }
    } else {
        const std::string file = FindFile(reference);
        const std::string extension = Extension(reference);
        if (file.empty())
            m_anyMissing = true;
        else
            m_files.push_back(file);
        if (file.empty()) {
            report->Warn("texture " + reference + " is not found");
        } else if (!ReadWholeFile(file, &bytes)) {
            report->Warn("texture " + file + " cannot be read");
            bytes.clear();
        } else if (EngineReads(extension)) {
            member = ClaimMemberName(BaseName(file));
        } else {
            std::vector<uint8_t> converted;
            std::string newExtension;
            if (Convert(bytes, &converted, &newExtension, &reason)) {
                bytes.swap(converted);
                member = ClaimMemberName(Stem(file) + "." + newExtension);
                m_sources[member] = std::move(converted);
            } else {
                report->Warn("texture " + file + " is not converted: " + reason);
                bytes.clear();
            }
        }
    }
    if (!member.empty()) {
        m_entries.push_back({member, std::move(bytes)});
    }
    m_byReference[reference] = member;
    return member;
}

} // namespace import
