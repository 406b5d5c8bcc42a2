// One segment of the show: it knows its time window in milliseconds of music
// position, owns what it draws, and draws itself for a music time. This class
// is also the plain effect (kind 0), which only clears its target. Every kind
// shares the same eight virtual slots, in this order.
#pragma once

#include <string>

#include "platform/d3d8/d3d8_types.h"

class DXDevice;
class ScriptReader;
class ScriptWriter;

class Effect {
public:
    explicit Effect(DXDevice* device);

    // Loads what the effect draws; the plain effect needs nothing.
    virtual int Init(const char* sceneFileName);
    // Puts the effect's own clock back to its start.
    virtual void Rewind();
    // Draws the effect for the current time.
    virtual void Render();
    virtual ~Effect();
    // Length of the effect's material in ms.
    virtual float GetDuration();
    // The world positions of the effect's camera and its target; both the
    // origin when it has no camera.
    virtual void GetCamera(D3DVECTOR* eye, D3DVECTOR* target);
    // The record after its kind code: name, start and end.
    virtual int Write(ScriptWriter* file);
    // Reads the record after its kind code and initialises the effect.
    // 0 on success; 1 when the record is cut short (nothing is shown: the
    // script loader reports the file) or when Init fails (after its message).
    virtual int Read(ScriptReader* file);

    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // Stores the music time and draws.
    void Update(float time);

    // True when the window [start, end) holds t.
    bool Contains(float t) const { return m_start <= t && t < m_end; }

    const std::string& GetName() const { return m_name; }
    float GetStart() const { return m_start; }
    float GetEnd() const { return m_end; }
    float GetCurrentTime() const { return m_currentTime; }
    int GetKind() const { return m_kind; }

protected:
    // Reads the fields every kind shares: name, start and end.
    bool ReadCommon(ScriptReader* file);
    void WriteCommon(ScriptWriter* file) const;
    // The effect's name in the text overlay, below the frame-rate line.
    void DrawName();

    std::string m_name;
    DXDevice* m_device;
    float m_currentTime = 0.0f;
    float m_start = 0.0f;
    float m_end = 0.0f;
    int m_kind = 0;
};

// The effect kinds of the script.
constexpr int kEffectKindPlain = 0;
constexpr int kEffectKindPlayer3D = 1;
constexpr int kEffectKindMarble1 = 2;
