#include "demo/player3d_effect.h"

#include "demo/script_reader.h"
#include "demo/script_writer.h"

Player3DEffect::Player3DEffect(DXDevice* device) : SceneEffect(device)
{
    m_kind = kEffectKindPlayer3D;
}

int Player3DEffect::Init(const char* sceneFileName)
{
    m_sceneFileName = sceneFileName ? sceneFileName : "";
    if (LoadPreparedScene(&m_scene, m_sceneFileName.c_str(), "Player3D") != 0)
        return 1;
    Rewind();
    return 0;
}

void Player3DEffect::Render()
{
    if (!m_scene)
        return;
    LoopAndDrawScene();
    DrawName();
}

int Player3DEffect::Write(ScriptWriter* file)
{
    WriteCommon(file);
    file->WriteString(m_sceneFileName);
    return 0;
}

int Player3DEffect::Read(ScriptReader* file)
{
    std::string sceneFileName;
    if (!ReadCommon(file) || !file->ReadString(&sceneFileName))
        return 1;
    return Init(sceneFileName.c_str());
}
