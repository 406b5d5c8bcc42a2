#include "modifiers/modifier_skin.h"

#include "math/engine_math.h"
#include "platform/win32/message_box.h"

namespace {

// The skin's warnings carry fixed words in the box and the particular
// message in its title bar.
void SkinWarning(const char* title)
{
    MessageBoxA(nullptr, "CModifierSkin warning:", title, MB_OK | MB_ICONWARNING);
}

} // namespace

SkinBone::SkinBone() : m_world(nullptr)
{
    SetIdentity(&m_bindMatrix);
    SetIdentity(&m_offsetMatrix);
    SetIdentity(&m_skinningMatrix);
}

CModifierSkin::CModifierSkin() : CModifier(kSkin), m_nbVertex(0), m_nbBone(0)
{
    SetIdentity(&m_meshMatrix);
    SetIdentity(&m_inverseMeshMatrix);
}

CModifierSkin::~CModifierSkin()
{
    m_nbVertex = 0;
    m_nbBone = 0;
}

// ---- Deformation: a later step ---------------------------------------------
// prepare (inverse matrices), update (skinning matrices), apply and
// deformPoint (weighted blend) are filled in with the skinning itself.

void CModifierSkin::prepare() {}

void CModifierSkin::update() {}

void CModifierSkin::setTime(const float*) {}

void CModifierSkin::apply(const MeshVertex*, MeshVertex*, int) {}

void CModifierSkin::deformPoint(const D3DVECTOR*, D3DVECTOR*, int) {}

// ---- Bone binding ----------------------------------------------------------

void CModifierSkin::setBoneMatrix(const D3DMATRIX* world, unsigned int index)
{
    if (m_bones.empty() || m_nbBone == 0) {
        SkinWarning("setBoneMatrix: no bone");
        return;
    }
    if (index >= static_cast<unsigned int>(m_nbBone)) {
        SkinWarning("setBoneMatrix: not so much bone");
        return;
    }
    m_bones[index].m_world = world;
}

const char* CModifierSkin::getBoneName(unsigned int index) const
{
    if (m_bones.empty() || m_nbBone == 0) {
        SkinWarning("getBoneName: no bone");
        return nullptr;
    }
    if (index >= static_cast<unsigned int>(m_nbBone)) {
        SkinWarning("getBoneMatrix: not so much bone");
        return nullptr;
    }
    return m_bones[index].m_name.c_str();
}
