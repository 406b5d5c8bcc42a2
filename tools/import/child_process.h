// Runs a piece of work in a child process and takes back the bytes it
// produces. The model library has bugs a hostile file reaches (crashes,
// assertions, unbounded recursion, endless loops); in a child they end the
// child, and the importer reports them and goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace import {

// Forks, runs `work` in the child with its standard output and error
// silenced, and hands back what it returned in *result. False when the child
// crashed, was still running after `seconds` (it is then killed), ended
// without handing back its bytes, or could not be started; *reason then
// says which in a few words ("crashed (Segmentation fault)", "took longer
// than 300 seconds").
bool RunInChild(const std::function<std::vector<uint8_t>()>& work, double seconds, std::vector<uint8_t>* result,
                std::string* reason);

} // namespace import
