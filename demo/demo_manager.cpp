#include "demo/demo_manager.h"

#include <new>

#include "demo/curve_set.h"
#include "demo/demo_clock.h"
#include "demo/effect.h"
#include "demo/effect_cue.h"
#include "demo/effect_factory.h"
#include "demo/frame_counter.h"
#include "demo/script_reader.h"
#include "demo/skybox_plugin.h"
#include "demo/texture_stage_defaults.h"
#include "gfx/dx_device.h"
#include "gfx/render_texture.h"
#include "platform/report/report.h"
#include "platform/win32/window.h"
#include "sound/music_stream.h"

namespace {

constexpr UINT kRenderTargetSize = 512;
constexpr D3DCOLOR kClearColour = 0x00000000u;
constexpr D3DCOLOR kNoEffectColour = 0x00000044u; // dark blue between effects

// The smallest effect record: kind, an empty name, start and end.
constexpr size_t kMinEffectRecordBytes = 4 + 1 + 4 + 4;

} // namespace

DemoManager::DemoManager(DXDevice* device) : m_device(device) {}

DemoManager::~DemoManager()
{
    m_device = nullptr;
    delete m_frameCounter;
    m_frameCounter = nullptr;
    m_musicStartTick = 0;
    m_musicFileName.clear();
    if (m_music) {
        m_music->Close();
        delete m_music;
        m_music = nullptr;
    }
    delete m_curveSet;
    m_curveSet = nullptr;
    DestroyEffects();
    delete m_renderTarget;
    m_renderTarget = nullptr;
    m_transitions.clear();
    delete m_background;
    m_background = nullptr;
}

void DemoManager::DestroyEffects()
{
    for (Effect*& effect : m_effects) {
        delete effect;
        effect = nullptr;
    }
    m_effects.clear();
    m_active = -1;
    m_incoming = -1;
}

void DemoManager::BuildTransitions()
{
    ::BuildTransitions(m_effects.data(), GetEffectCount(), &m_transitions);
}

int DemoManager::Init()
{
    IDirect3DDevice8* device = m_device ? m_device->m_device : nullptr;

    delete m_renderTarget;
    m_renderTarget = new RenderTexture(device);
    if (m_renderTarget->Create(kRenderTargetSize, kRenderTargetSize) != 0) {
        ShowError("LibDemo\t:\tCannot initialize Demo Manager");
        return 1;
    }

    BuildTransitions();

    delete m_background;
    m_background = new SkyBoxPlugIn(m_device);
    if (m_background->LoadShowFaces() != 0) {
        ShowError("LibDemo\t:\tCannot initialize Demo Manager");
        return 1;
    }

    delete m_frameCounter;
    m_frameCounter = new FrameCounter(TickCount());
    m_musicStartTick = 0;

    SetDefaultTextureStageStates(device);
    return 0;
}

int DemoManager::LoadScript(const char* fileName)
{
    const char* name = fileName ? fileName : "";
    std::FILE* file = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!file) {
        ShowError("LibDemo\t:\tError while loading Spt File : %s", name);
        return 1;
    }
    // Streamed: whatever follows the last record is never read.
    ScriptReader script(file);
    const ScriptResult result = ReadScript(&script);
    std::fclose(file);
    if (result == ScriptResult::Loaded)
        return 0;
    // A script that ends early or holds an impossible count is reported as a
    // bad script file, whatever was being read when the bytes ran out.
    if (result == ScriptResult::Malformed)
        ShowError("LibDemo\t:\tError while loading Spt File : %s", name);
    return 1;
}

DemoManager::ScriptResult DemoManager::ReadScript(ScriptReader* script)
{
    std::string musicFileName;
    if (!script->ReadString(&musicFileName))
        return ScriptResult::Malformed;
    m_musicFileName = musicFileName;

    if (m_music) {
        m_music->Close();
        delete m_music;
        m_music = nullptr;
    }
    // A music file that fails to open is reported by the stream itself and
    // does not stop the load.
    m_music = new (std::nothrow) MusicStream(m_musicFileName.c_str());
    if (!m_music) {
        ShowError("LibDemo\t:\tError while loading %s", m_musicFileName.c_str());
        return ScriptResult::Reported;
    }

    delete m_curveSet;
    m_curveSet = nullptr;
    uint8_t curvesPresent = 0;
    if (!script->ReadByte(&curvesPresent))
        return ScriptResult::Malformed;
    if (curvesPresent != 0) {
        m_curveSet = new CurveSet();
        if (m_curveSet->Read(script) != 0)
            return ScriptResult::Malformed;
    }

    int32_t effectCount = 0;
    if (!script->ReadInt32(&effectCount) || !script->CanHold(effectCount, kMinEffectRecordBytes))
        return ScriptResult::Malformed;

    DestroyEffects();
    m_transitions.clear();
    for (int32_t i = 0; i < effectCount; ++i) {
        int32_t kind = 0;
        if (!script->ReadInt32(&kind))
            return ScriptResult::Malformed;
        Effect* effect = CreateEffect(kind, m_device);
        if (!effect) {
            ShowError("LibDemo : Unknown Effect");
            return ScriptResult::Reported;
        }
        m_effects.push_back(effect);
        if (effect->Read(script) != 0) {
            if (script->Failed())
                return ScriptResult::Malformed;
            ShowError("LibDemo\t:\tError while loading %s effect", effect->GetName().c_str());
            return ScriptResult::Reported;
        }
    }

    BuildTransitions();
    return ScriptResult::Loaded;
}

void DemoManager::Start()
{
    if (!m_music)
        return;
    m_music->Play();
    m_status |= kStatusPlaying;
    m_musicStartTick = TickCount();
}

int32_t DemoManager::GetStatus()
{
    if (!m_music)
        return -1;
    const uint32_t elapsed = TickCount() - m_musicStartTick;
    if (elapsed > m_music->GetLength())
        m_status |= kStatusOver;
    return m_status;
}

void DemoManager::CueAt(float t)
{
    for (Effect* effect : m_effects) {
        if (effect)
            CueEffect(effect, t);
    }
    if (m_frameCounter) {
        delete m_frameCounter;
        m_frameCounter = new FrameCounter(TickCount());
    }
}

EffectSelection DemoManager::SelectEffects(float t) const
{
    return ::SelectEffects(m_effects.data(), GetEffectCount(), t);
}

float DemoManager::GetTransitionAmount(int active, float t) const
{
    return TransitionAmount(m_transitions, active, t);
}

float DemoManager::MusicTime() const
{
    if (m_clock)
        return static_cast<float>(m_clock->GetMusicTimeMs());
    return m_music ? static_cast<float>(m_music->GetTime()) : 0.0f;
}

uint32_t DemoManager::TickCount() const
{
    return m_clock ? m_clock->GetTickCount() : ::GetTickCount();
}

void DemoManager::DrawEffect(Effect* effect, float t)
{
    D3DVECTOR eye = {0.0f, 0.0f, 0.0f};
    D3DVECTOR target = {0.0f, 0.0f, 0.0f};
    effect->GetCamera(&eye, &target);
    // Painted behind, the background is drawn only where the effect leaves
    // it showing, by the time the effect is drawn.
    if (m_background && !m_background->DrawBehind(eye, target))
        m_background->Draw(eye, target);
    effect->Update(t);
    if (m_device)
        ZoltPaintBehindNow(m_device->m_device);
}

void DemoManager::RenderFrame()
{
    IDirect3DDevice8* device = m_device ? m_device->m_device : nullptr;
    if (!device)
        return;

    const float t = MusicTime();
    m_time = t;
    const EffectSelection selection = SelectEffects(t);
    m_active = selection.active;
    m_incoming = selection.incoming;

    // Without an effect the screen is dark blue: one clear to that colour
    // leaves what clearing to black first would.
    const D3DCOLOR clearColour = m_active < 0 ? kNoEffectColour : kClearColour;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clearColour, 1.0f, 0);

    // No scene is begun on a frame without an effect.
    bool sceneBegun = false;
    if (m_active >= 0 && m_incoming < 0) {
        sceneBegun = device->BeginScene() == D3D_OK;
        DrawEffect(m_effects[static_cast<size_t>(m_active)], t);
    } else if (m_active >= 0) {
        // The incoming effect is drawn into the render target, the active one
        // into the back buffer, and the target is then laid over it.
        if (m_renderTarget) {
            m_renderTarget->BeginScene();
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
            DrawEffect(m_effects[static_cast<size_t>(m_incoming)], t);
            m_renderTarget->EndScene();
        }

        sceneBegun = device->BeginScene() == D3D_OK;
        DrawEffect(m_effects[static_cast<size_t>(m_active)], t);
        const float amount = GetTransitionAmount(m_active, t);
        if (m_renderTarget && amount > 0.0f && amount <= 1.0f)
            RenderTexture::DrawFade(device, m_renderTarget->GetTexture(), amount);
    }

    if (m_frameCounter)
        m_frameCounter->CountFrame(TickCount());
    // The frame-rate line ("%.0ffps - Time %d ") goes to a text overlay this
    // player does not draw, so it is neither formatted nor handed over.

    // No scene is begun on a frame without an effect; ending one there would
    // only be refused by the device.
    if (sceneBegun)
        device->EndScene();
    m_device->ShowFrame();
}
