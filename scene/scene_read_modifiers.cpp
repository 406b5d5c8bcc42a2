// Reading the modifier block that ends every mesh record: the skin records
// and the gizmo modifier records (bend, stretch, twist, wave and ripple).
// Counts are checked against the bytes left in the member, skin influences
// against the bone table and the skin's vertex entries against the mesh's
// positions, and skin weights must be finite; a record that breaks them is
// refused.
#include <cmath>
#include <cstdio>
#include <new>

#include "modifiers/modifier_bend.h"
#include "modifiers/modifier_skin.h"
#include "modifiers/modifier_stretch.h"
#include "modifiers/modifier_twist.h"
#include "modifiers/modifier_wave.h"
#include "pack/pack_file.h"
#include "platform/report/report.h"
#include "scene/controller.h"
#include "scene/kvf_format.h"
#include "scene/kvf_read.h"
#include "scene/mesh.h"
#include "scene/mesh_builder.h"
#include "scene/scene.h"

namespace {

// The least a bone takes: an empty name (its terminator) and 12 floats.
constexpr int kMinBoneBytes = 1 + 48;
// A vertex entry is at least its influence count; an influence is a bone
// index and a weight.
constexpr int kMinSkinEntryBytes = 4;
constexpr int kInfluenceBytes = 8;
// An entry of the modifier block is at least its type code.
constexpr int kMinModifierEntryBytes = 4;

const char* MeshName(const CMesh* mesh)
{
    return mesh->name != nullptr ? mesh->name : "";
}

int CorruptedModifiers(const CMesh* mesh, const char* reason)
{
    ShowError("LibKVF : Corrupted modifier record : %s (%s)", MeshName(mesh), reason);
    return 1;
}

int CorruptedSkin(const CMesh* mesh, const char* reason)
{
    ShowError("LibKVF : Corrupted skin record : %s (%s)", MeshName(mesh), reason);
    return 1;
}

void SkinningBox(const char* text)
{
    Report(ReportSeverity::Plain, "Error with Skinning", text);
}

// Axis code and two float parameters: the body of bend, stretch and twist
// after the gizmo head.
int ReadAxisAndTwoParameters(CPackFile* file, int32_t* axis, CControllerFloat** first, CControllerFloat** second)
{
    *axis = ReadInt32(file);
    if (ReadGizmoFloatParameter(file, first) != 0) {
        return 1;
    }
    return ReadGizmoFloatParameter(file, second);
}

} // namespace

int CScene::ReadGizmoHeader(CPackFile* file, CModifierGizmo* modifier)
{
    ReadMatrix(file, &modifier->m_modifierMatrix);
    if (ReadPositionController(file, &modifier->m_positionController) != 0) {
        return 1;
    }
    // Only the value 1 announces a controller record.
    if (ReadByte(file) == 1 && ReadPositionController(file, &modifier->m_offsetController) != 0) {
        return 1;
    }
    // The scale track is a position record: its values take the position's
    // axis conversion, signs included.
    if (ReadByte(file) == 1 && ReadPositionController(file, &modifier->m_scaleController) != 0) {
        return 1;
    }
    if (ReadByte(file) == 1 && ReadRotationController(file, 1, &modifier->m_rotationController) != 0) {
        return 1;
    }
    return 0;
}

int CScene::ReadSkin(CPackFile* file, CModifierSkin* skin, CMesh* mesh, bool matrixFirst)
{
    int32_t boneCount = 0;
    if (matrixFirst) {
        ReadMatrix(file, &skin->m_meshMatrix);
        boneCount = ReadInt32(file);
    } else {
        boneCount = ReadInt32(file);
        ReadMatrix(file, &skin->m_meshMatrix);
    }
    if (!CountFits(file, boneCount, kMinBoneBytes)) {
        return CorruptedSkin(mesh, "bad bone count");
    }
    skin->m_bones.resize(boneCount);
    skin->m_nbBone = boneCount;
    for (SkinBone& bone : skin->m_bones) {
        char name[kMaxStringLength + 1];
        ReadString(name, file);
        bone.m_name = name;
        ReadMatrix(file, &bone.m_bindMatrix);
    }

    const int32_t entryCount = ReadInt32(file);
    if (entryCount != mesh->positionCount) {
        char text[64];
        std::snprintf(text, sizeof text, "Bad Vertex number : %d - %d", entryCount, mesh->positionCount);
        SkinningBox(text);
    }
    // Entries beyond the positions would describe positions that do not
    // exist.
    if (entryCount > mesh->positionCount || !CountFits(file, entryCount, kMinSkinEntryBytes)) {
        return CorruptedSkin(mesh, "bad vertex count");
    }

    skin->m_nbVertex = mesh->vertexCount;
    skin->m_vertices.assign(mesh->vertexCount, SkinVertex{});
    // Positions are compared as read, before the node moves the vertices.
    VertexPositionIndex atPosition(mesh->baseVertices.data(), mesh->vertexCount);
    SkinVertex influences;
    for (int32_t j = 0; j < entryCount; ++j) {
        const int32_t count = ReadInt32(file);
        if (count <= 0) {
            SkinningBox("m_nbBone <= 0 for one vertex");
            continue;
        }
        if (!CountFits(file, count, kInfluenceBytes)) {
            return CorruptedSkin(mesh, "bad influence count");
        }
        influences.m_nbBone = count;
        influences.m_boneIndices.resize(count);
        influences.m_weights.resize(count);
        for (int32_t i = 0; i < count; ++i) {
            influences.m_boneIndices[i] = ReadInt32(file);
            influences.m_weights[i] = ReadFloat(file);
            if (influences.m_boneIndices[i] < 0 || influences.m_boneIndices[i] >= boneCount) {
                return CorruptedSkin(mesh, "influence of a bone that does not exist");
            }
            // Weights are used as read (negative ones and sums other than 1
            // included), but a NaN or infinite one moves its vertex nowhere.
            if (!std::isfinite(influences.m_weights[i])) {
                return CorruptedSkin(mesh, "weight that is not a finite number");
            }
        }
        // Every vertex at this position takes the influences of the first
        // entry that names it.
        int claimed = 0;
        const int32_t* vertices = atPosition.Claim(mesh->positions[j], &claimed);
        for (int i = 0; i < claimed; ++i) {
            skin->m_vertices[vertices[i]] = influences;
        }
    }
    return 0;
}

int CScene::ReadModifiers(CPackFile* file, CMesh* mesh)
{
    const int32_t count = ReadInt32(file);
    if (count == 0) {
        return 0;
    }
    if (ReadByte(file) == 0 || count < 0) {
        return 0;
    }
    if (!CountFits(file, count, kMinModifierEntryBytes)) {
        return CorruptedModifiers(mesh, "bad modifier count");
    }

    for (int32_t i = 0; i < count; ++i) {
        const int32_t type = ReadInt32(file);
        CModifier* modifier = nullptr;
        int result = 0;
        switch (type) {
        case kvf::kBend: {
            CModifierBend* bend = new (std::nothrow) CModifierBend();
            modifier = bend;
            result = bend == nullptr ||
                     ReadGizmoHeader(file, bend) != 0 ||
                     ReadAxisAndTwoParameters(file, &bend->m_axis, &bend->m_angleController,
                                              &bend->m_directionController) != 0;
            break;
        }
        case kvf::kStretch: {
            CModifierStretch* stretch = new (std::nothrow) CModifierStretch();
            modifier = stretch;
            result = stretch == nullptr ||
                     ReadGizmoHeader(file, stretch) != 0 ||
                     ReadAxisAndTwoParameters(file, &stretch->m_axis, &stretch->m_stretchController,
                                              &stretch->m_amplifyController) != 0;
            break;
        }
        case kvf::kTwist: {
            CModifierTwist* twist = new (std::nothrow) CModifierTwist();
            modifier = twist;
            result = twist == nullptr ||
                     ReadGizmoHeader(file, twist) != 0 ||
                     ReadAxisAndTwoParameters(file, &twist->m_axis, &twist->m_angleController,
                                              &twist->m_biasController) != 0;
            break;
        }
        case kvf::kWave:
        case kvf::kRipple: {
            CModifierWave* wave = new (std::nothrow) CModifierWave();
            modifier = wave;
            if (wave == nullptr) {
                result = 1;
                break;
            }
            wave->m_type = type;
            result = ReadGizmoHeader(file, wave) != 0 ||
                     ReadGizmoFloatParameter(file, &wave->m_amplitude1Controller) != 0 ||
                     ReadGizmoFloatParameter(file, &wave->m_amplitude2Controller) != 0 ||
                     ReadGizmoFloatParameter(file, &wave->m_waveLengthController) != 0 ||
                     ReadGizmoFloatParameter(file, &wave->m_phaseController) != 0 ||
                     ReadGizmoFloatParameter(file, &wave->m_decayController) != 0;
            break;
        }
        case kvf::kSkinCountFirst:
        case kvf::kSkinMatrixFirst: {
            CModifierSkin* skin = new (std::nothrow) CModifierSkin();
            modifier = skin;
            result = skin == nullptr || ReadSkin(file, skin, mesh, type == kvf::kSkinMatrixFirst) != 0;
            break;
        }
        default:
            // The empty entry and unknown codes make nothing; whatever follows an
            // unknown code is read as the next entry's code.
            continue;
        }
        if (modifier == nullptr) {
            ShowError("LibKVF : Not enough memory to read the modifiers of %s", MeshName(mesh));
            return 1;
        }
        if (result != 0) {
            delete modifier;
            return 1;
        }
        if (mesh->modifiers.Append(modifier) != 0) {
            delete modifier;
            ShowError("LibKVF : Not enough memory to read the modifiers of %s", MeshName(mesh));
            return 1;
        }
    }
    return 0;
}
