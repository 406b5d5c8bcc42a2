#include "demo/effect.h"

#include "demo/script_reader.h"
#include "demo/script_writer.h"
#include "gfx/dx_device.h"

namespace {
// The vertical position of an effect's name in the text overlay.
constexpr float kEffectNameY = 40.0f;
} // namespace

Effect::Effect(DXDevice* device) : m_device(device) {}

Effect::~Effect() = default;

int Effect::Init(const char*)
{
    return 0;
}

void Effect::Rewind() {}

void Effect::Render()
{
    IDirect3DDevice8* device = m_device ? m_device->m_device : nullptr;
    if (!device)
        return;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000u, 1.0f, 0);
    DrawName();
}

void Effect::DrawName()
{
    if (m_device)
        m_device->DrawText(m_name.c_str(), 0.0f, kEffectNameY);
}

float Effect::GetDuration()
{
    return 5000.0f;
}

void Effect::GetCamera(D3DVECTOR* eye, D3DVECTOR* target)
{
    *eye = D3DVECTOR{0.0f, 0.0f, 0.0f};
    *target = D3DVECTOR{0.0f, 0.0f, 0.0f};
}

bool Effect::ReadCommon(ScriptReader* file)
{
    return file->ReadString(&m_name) && file->ReadFloat(&m_start) && file->ReadFloat(&m_end);
}

void Effect::WriteCommon(ScriptWriter* file) const
{
    file->WriteString(m_name);
    file->WriteFloat(m_start);
    file->WriteFloat(m_end);
}

int Effect::Write(ScriptWriter* file)
{
    WriteCommon(file);
    return 0;
}

int Effect::Read(ScriptReader* file)
{
    return ReadCommon(file) ? 0 : 1;
}

void Effect::Update(float time)
{
    m_currentTime = time;
    Render();
}
