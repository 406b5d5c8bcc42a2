// The resource pack: the input is written as the archive, then members are
// looked up (exact, other letter case, missing) and read with every kind of
// Read, Seek, Tell and ReadString the engine uses.
#include <cstdint>
#include <string>

#include "fuzz/harness_file.h"
#include "fuzz/quiet_boxes.h"
#include "pack/pack_file.h"

namespace {

std::string g_archive;

// Walks the member the way the scene and texture readers do.
void ReadMember(CPackFile* member)
{
    char name[kMaxStringLength + 1];
    ReadString(name, member);
    int32_t word = 0;
    member->Read(&word, 4, 1, member);
    member->Seek(member, -3, 1);
    member->Seek(member, 7, 0);
    member->Read(&word, 1, 4, member);
    member->Seek(member, -5, 2);
    unsigned char chunk[97];
    while (member->Read(chunk, 1, sizeof chunk, member) > 0) {
    }
    member->Seek(member, 0x7FFFFFFF, 1);
    member->Seek(member, -0x7FFFFFFF - 1, 0);
    member->Seek(member, 3, 0x105); // an unknown origin leaves the position
    (void)member->Tell(member);
    (void)member->Remaining();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceMessageBoxes();
    g_archive = MakeHarnessFile(".pac");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!WriteHarnessFile(data, size)) {
        return 0;
    }
    // The seeds name their members a.kvf, B.TGA and s.spt.
    static const char* const kNames[] = {"a.kvf", "A.KVF", "b.tga", "s.spt", "missing.jpg", ""};
    for (const char* name : kNames) {
        CPackFile member;
        if (member.Open(name, g_archive.c_str()) == 0) {
            ReadMember(&member);
            member.Close();
        }
    }
    return 0;
}
