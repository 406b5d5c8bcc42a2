// The show: the music stream and its clock, the effects with their time
// windows, the crossfades between overlapping effects through a render
// target, the skybox behind every effect and the frame-rate counter. The
// entry creates it, initialises it, loads the script, starts it, asks it
// every idle moment whether the show is over and otherwise has it draw one
// frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demo/effect_timeline.h"
#include "demo/transition.h"

class CurveSet;
class DemoClock;
class DXDevice;
class Effect;
class FrameCounter;
class MusicStream;
class RenderTexture;
class ScriptReader;
class SkyBoxPlugIn;

class DemoManager {
public:
    // Status bits.
    static constexpr int32_t kStatusCreated = 1;
    static constexpr int32_t kStatusPlaying = 2;
    static constexpr int32_t kStatusOver = 4;

    explicit DemoManager(DXDevice* device);
    ~DemoManager();
    DemoManager(const DemoManager&) = delete;
    DemoManager& operator=(const DemoManager&) = delete;

    // Creates the render target, the skybox and the frame counter and sets
    // the default texture-stage states. 0 on success, 1 after messages.
    int Init();
    // Reads the script: music file, optional curve block, effects. Replaces
    // the music and the curve set of an earlier load. 0 on success, 1 after
    // messages.
    int LoadScript(const char* fileName);
    // Starts the music and notes the start tick.
    void Start();
    // The status bits; bit 4 once the music's length has passed by the tick
    // count. -1 (every bit) when no script is loaded.
    int32_t GetStatus();
    // Draws and presents one frame at the music's position.
    void RenderFrame();
    // Puts the show where a start at music time t puts it, for programs that
    // jump in the music: every effect cued at t (demo/effect_cue.h) and the
    // frame counter started afresh. The music itself is not moved.
    void CueAt(float t);
    // Takes the frame time and the tick count from `clock` (not owned)
    // instead of the music and the system; null goes back to those. Set it
    // before Init so that the frame counter starts on the same clock.
    void SetClock(DemoClock* clock) { m_clock = clock; }

    // What the frame at music time t shows, and the opacity of the incoming
    // effect during a crossfade.
    EffectSelection SelectEffects(float t) const;
    float GetTransitionAmount(int active, float t) const;

    int GetEffectCount() const { return static_cast<int>(m_effects.size()); }
    Effect* GetEffect(int index) const { return m_effects[static_cast<size_t>(index)]; }
    const std::vector<Transition>& GetTransitions() const { return m_transitions; }
    const CurveSet* GetCurveSet() const { return m_curveSet; }
    const std::string& GetMusicFileName() const { return m_musicFileName; }
    MusicStream* GetMusic() const { return m_music; }
    const FrameCounter* GetFrameCounter() const { return m_frameCounter; }
    int GetActiveIndex() const { return m_active; }
    int GetIncomingIndex() const { return m_incoming; }
    float GetTime() const { return m_time; }

private:
    enum class ScriptResult { Loaded, Malformed, Reported };
    // Malformed: cut short or holding an impossible count, not yet reported.
    ScriptResult ReadScript(ScriptReader* script);
    void DestroyEffects();
    void BuildTransitions();
    // Draws one effect with the background behind it, seen by its camera.
    void DrawEffect(Effect* effect, float t);
    // The music position in ms and the tick count, from the clock if one is set.
    float MusicTime() const;
    uint32_t TickCount() const;

    int32_t m_status = kStatusCreated;
    DXDevice* m_device;
    float m_time = 0.0f;
    FrameCounter* m_frameCounter = nullptr;
    uint32_t m_musicStartTick = 0;
    std::string m_musicFileName;
    MusicStream* m_music = nullptr;
    CurveSet* m_curveSet = nullptr;
    std::vector<Effect*> m_effects;
    int m_active = -1;
    int m_incoming = -1;
    RenderTexture* m_renderTarget = nullptr;
    std::vector<Transition> m_transitions;
    SkyBoxPlugIn* m_background = nullptr;
    DemoClock* m_clock = nullptr;
};
