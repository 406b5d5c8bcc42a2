// A file of the harness's own (in $TMPDIR, else /dev/shm or /tmp, named by
// the process) that takes each input whole, for readers that open files by
// name. Removed when the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Names the file; call once, from LLVMFuzzerInitialize.
const std::string& MakeHarnessFile(const char* extension);
// Replaces the file's contents; false when it cannot be written.
bool WriteHarnessFile(const uint8_t* data, size_t size);
