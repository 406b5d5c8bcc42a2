#include "demo/background_plugin.h"

#include "demo/script_reader.h"
#include "demo/script_writer.h"

BackgroundPlugIn::~BackgroundPlugIn() = default;

int BackgroundPlugIn::Load(const char*, const char*, const char*, const char*, const char*, const char*)
{
    return 0;
}

void BackgroundPlugIn::Draw(const D3DVECTOR&, const D3DVECTOR&) {}

bool BackgroundPlugIn::DrawBehind(const D3DVECTOR&, const D3DVECTOR&)
{
    return false;
}

int BackgroundPlugIn::Write(ScriptWriter* file)
{
    file->WriteInt32(m_parameters[0]);
    file->WriteInt32(m_parameters[1]);
    return 0;
}

int BackgroundPlugIn::Read(ScriptReader* file)
{
    return (file->ReadInt32(&m_parameters[0]) && file->ReadInt32(&m_parameters[1])) ? 0 : 1;
}
