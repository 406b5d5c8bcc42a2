// The script's optional block of named curves: each a key-framed float track
// with a whole number and a list of integers stored beside it. The manager
// keeps the block for the show's lifetime; nothing in the show reads it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CControllerFloatTCB;
class ScriptReader;

struct Curve {
    Curve();
    ~Curve();
    Curve(const Curve&) = delete;
    Curve& operator=(const Curve&) = delete;

    std::string name;
    int32_t number = 1000;
    CControllerFloatTCB* controller; // owned; holds the keys
    std::vector<int32_t> list;
};

class CurveSet {
public:
    // Reads the block after its presence byte: a count (zero or below for
    // none), then the curves. Each curve's controller is prepared once read.
    // 0 on success; 1 when the block is cut short or holds a key or list
    // count that is negative or cannot fit in the rest of the script (the
    // script loader reports the file).
    int Read(ScriptReader* file);

    int GetCount() const { return static_cast<int>(m_curves.size()); }
    const Curve& GetCurve(int index) const { return *m_curves[static_cast<size_t>(index)]; }

private:
    std::vector<std::unique_ptr<Curve>> m_curves;
};

// Bytes of one stored key: the float controller's in-memory key.
constexpr size_t kCurveKeyBytes = 80;
