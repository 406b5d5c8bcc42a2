// zolt-fuzz-seeds FOLDER: writes FOLDER/<harness>/ for every harness.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "fuzz/seeds/seed_files.h"

bool WriteSeed(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    if (file != nullptr && std::fclose(file) != 0) {
        ok = false;
    }
    if (!ok) {
        std::fprintf(stderr, "zolt-fuzz-seeds: cannot write %s\n", path.c_str());
    }
    return ok;
}

namespace {

bool MakeFolder(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "zolt-fuzz-seeds: cannot make %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zolt-fuzz-seeds FOLDER\n");
        return 2;
    }
    const std::string root = argv[1];
    struct Corpus {
        const char* harness;
        bool (*write)(const std::string&);
    };
    const Corpus corpora[] = {
        {"scene_fuzzer", WriteSceneSeeds},
        {"script_fuzzer", WriteScriptSeeds},
        {"pack_fuzzer", WritePackSeeds},
        {"image_fuzzer", WriteImageSeeds},
        {"show_file_fuzzer", WriteShowFileSeeds},
        {"show_script_fuzzer", WriteShowScriptSeeds},
    };
    if (!MakeFolder(root)) {
        return 1;
    }
    for (const Corpus& corpus : corpora) {
        const std::string folder = root + "/" + corpus.harness;
        if (!MakeFolder(folder) || !corpus.write(folder)) {
            return 1;
        }
    }
    return 0;
}
