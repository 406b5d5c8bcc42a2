#include "platform/d3d8/ffp_shader_key.h"

namespace zolt_d3d {

namespace {

uint8_t MaterialSource(DWORD source, bool colorVertex, const VertexLayout& layout)
{
    if (!colorVertex) {
        return kSourceMaterial;
    }
    if (source == D3DMCS_COLOR1 && layout.diffuseOffset != kNoAttribute) {
        return kSourceVertexDiffuse;
    }
    if (source == D3DMCS_COLOR2 && layout.specularOffset != kNoAttribute) {
        return kSourceVertexSpecular;
    }
    return kSourceMaterial;
}

bool ArgIsTexture(DWORD arg)
{
    return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
}

bool ArgIsSpecular(DWORD arg)
{
    return (arg & D3DTA_SELECTMASK) == D3DTA_SPECULAR;
}

bool OpReadsTexture(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2)
{
    if (StageOpReadsTextureImplicitly(op)) {
        return true;
    }
    return (StageOpReadsArg(op, 0) && ArgIsTexture(arg0)) || (StageOpReadsArg(op, 1) && ArgIsTexture(arg1)) ||
           (StageOpReadsArg(op, 2) && ArgIsTexture(arg2));
}

bool OpReadsSpecular(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2)
{
    return (StageOpReadsArg(op, 0) && ArgIsSpecular(arg0)) || (StageOpReadsArg(op, 1) && ArgIsSpecular(arg1)) ||
           (StageOpReadsArg(op, 2) && ArgIsSpecular(arg2));
}

} // namespace

size_t FfpKeyHash::operator()(const FfpKey& key) const
{
    // FNV-1a over the key's bytes.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof(FfpKey); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

bool StageOpReadsArg(DWORD op, int argument)
{
    switch (op) {
    case D3DTOP_SELECTARG1:
    case D3DTOP_PREMODULATE:
        return argument == 1;
    case D3DTOP_SELECTARG2:
        return argument == 2;
    case D3DTOP_MODULATE:
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
    case D3DTOP_ADD:
    case D3DTOP_ADDSIGNED:
    case D3DTOP_ADDSIGNED2X:
    case D3DTOP_SUBTRACT:
    case D3DTOP_ADDSMOOTH:
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM:
    case D3DTOP_BLENDCURRENTALPHA:
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
    case D3DTOP_MODULATECOLOR_ADDALPHA:
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
    case D3DTOP_DOTPRODUCT3:
        return argument == 1 || argument == 2;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP:
        return argument >= 0 && argument <= 2;
    default:
        return false;
    }
}

bool StageOpReadsTextureImplicitly(DWORD op)
{
    return op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM;
}

void BuildFfpKey(const FfpInputs& inputs, FfpKey* key)
{
    std::memset(key, 0, sizeof(FfpKey));
    const DWORD* rs = inputs.renderStates;
    const VertexLayout& layout = *inputs.layout;

    key->pretransformed = layout.pretransformed ? 1 : 0;
    key->hasNormal = layout.normalOffset != kNoAttribute ? 1 : 0;
    key->hasDiffuse = layout.diffuseOffset != kNoAttribute ? 1 : 0;
    key->hasSpecular = layout.specularOffset != kNoAttribute ? 1 : 0;
    key->texCount = static_cast<uint8_t>(layout.texCount);
    for (UINT i = 0; i < layout.texCount; ++i) {
        key->texComponents[i] = layout.texComponents[i];
    }
    key->flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? 1 : 0;
    key->specularAdd = rs[D3DRS_SPECULARENABLE] != 0 ? 1 : 0;
    if (rs[D3DRS_ALPHATESTENABLE] != 0) {
        const DWORD func = rs[D3DRS_ALPHAFUNC];
        if (func >= D3DCMP_NEVER && func < D3DCMP_ALWAYS) {
            key->alphaFunc = static_cast<uint8_t>(func);
        }
    }

    // The stage cascade, up to the first disabled colour operation.
    bool stageReadsSpecular = false;
    int count = 0;
    for (int s = 0; s < kMaxStages; ++s) {
        const DWORD* ts = inputs.stageStates[s];
        const DWORD colorOp = ts[D3DTSS_COLOROP];
        if (colorOp == D3DTOP_DISABLE || colorOp == 0) {
            break;
        }
        FfpStageKey& stage = key->stages[s];
        const bool bound = inputs.textureBound[s];
        const DWORD cArg0 = ts[D3DTSS_COLORARG0], cArg1 = ts[D3DTSS_COLORARG1], cArg2 = ts[D3DTSS_COLORARG2];
        const DWORD alphaOp = ts[D3DTSS_ALPHAOP];
        const DWORD aArg0 = ts[D3DTSS_ALPHAARG0], aArg1 = ts[D3DTSS_ALPHAARG1], aArg2 = ts[D3DTSS_ALPHAARG2];

        const bool colorReadsTexture = OpReadsTexture(colorOp, cArg0, cArg1, cArg2);
        const bool alphaReadsTexture =
            alphaOp != D3DTOP_DISABLE && OpReadsTexture(alphaOp, aArg0, aArg1, aArg2);
        if (colorReadsTexture && !bound) {
            stage.colorPass = 1;
        } else {
            stage.colorOp = static_cast<uint8_t>(colorOp);
            stage.colorArg0 = StageOpReadsArg(colorOp, 0) ? static_cast<uint8_t>(cArg0) : 0;
            stage.colorArg1 = StageOpReadsArg(colorOp, 1) ? static_cast<uint8_t>(cArg1) : 0;
            stage.colorArg2 = StageOpReadsArg(colorOp, 2) ? static_cast<uint8_t>(cArg2) : 0;
            stageReadsSpecular = stageReadsSpecular || OpReadsSpecular(colorOp, cArg0, cArg1, cArg2);
        }
        if (alphaOp == D3DTOP_DISABLE || (alphaReadsTexture && !bound)) {
            stage.alphaPass = 1;
        } else {
            stage.alphaOp = static_cast<uint8_t>(alphaOp);
            stage.alphaArg0 = StageOpReadsArg(alphaOp, 0) ? static_cast<uint8_t>(aArg0) : 0;
            stage.alphaArg1 = StageOpReadsArg(alphaOp, 1) ? static_cast<uint8_t>(aArg1) : 0;
            stage.alphaArg2 = StageOpReadsArg(alphaOp, 2) ? static_cast<uint8_t>(aArg2) : 0;
            stageReadsSpecular = stageReadsSpecular || OpReadsSpecular(alphaOp, aArg0, aArg1, aArg2);
        }
        stage.resultTemp = ts[D3DTSS_RESULTARG] == D3DTA_TEMP ? 1 : 0;
        stage.sample = bound && (colorReadsTexture || alphaReadsTexture) ? 1 : 0;
        if (stage.sample != 0) {
            const DWORD index = ts[D3DTSS_TEXCOORDINDEX];
            stage.texSource = layout.pretransformed ? 0 : static_cast<uint8_t>((index >> 16) & 0x3);
            stage.texIndex = stage.texSource == 0 ? static_cast<uint8_t>(index & 0x7) : 0;
            if (stage.texSource == 0 && (index & 0xFFFF) >= layout.texCount) {
                stage.texIndex = kMaxTexCoordSets; // no such set: coordinates read 0
            }
            const DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
            if (!layout.pretransformed) {
                const DWORD countFlag = flags & 0xFF;
                stage.texTransformCount = countFlag <= 4 ? static_cast<uint8_t>(countFlag) : 0;
                stage.texProjected = (flags & D3DTTFF_PROJECTED) != 0 && stage.texTransformCount != 0 ? 1 : 0;
            }
        }
        count = s + 1;
    }
    key->stageCount = static_cast<uint8_t>(count);

    key->needSpecular = key->specularAdd || stageReadsSpecular ? 1 : 0;

    // Per-vertex lighting.
    if (!layout.pretransformed && rs[D3DRS_LIGHTING] != 0) {
        key->lighting = 1;
        key->lightCount = static_cast<uint8_t>(inputs.lightCount);
        for (int i = 0; i < inputs.lightCount; ++i) {
            key->lightType[i] = static_cast<uint8_t>(inputs.lightTypes[i]);
        }
        key->localViewer = key->needSpecular && rs[D3DRS_LOCALVIEWER] != 0 ? 1 : 0;
        key->normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0 ? 1 : 0;
        const bool colorVertex = rs[D3DRS_COLORVERTEX] != 0;
        key->diffuseSource = MaterialSource(rs[D3DRS_DIFFUSEMATERIALSOURCE], colorVertex, layout);
        key->ambientSource = MaterialSource(rs[D3DRS_AMBIENTMATERIALSOURCE], colorVertex, layout);
        key->emissiveSource = MaterialSource(rs[D3DRS_EMISSIVEMATERIALSOURCE], colorVertex, layout);
        key->specularSource =
            key->needSpecular ? MaterialSource(rs[D3DRS_SPECULARMATERIALSOURCE], colorVertex, layout) : 0;
    }
    // Normals matter only where they are used: lighting or generated coordinates.
    bool usesNormal = key->lighting != 0;
    for (int s = 0; s < count; ++s) {
        const uint8_t source = key->stages[s].texSource;
        if (key->stages[s].sample != 0 && (source == 1 || source == 3)) {
            usesNormal = true;
        }
        if (key->stages[s].sample != 0 && source == 3 && rs[D3DRS_LOCALVIEWER] != 0) {
            key->localViewer = 1;
        }
    }
    if (!usesNormal) {
        key->normalizeNormals = 0;
    } else if (key->lighting == 0) {
        key->normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0 ? 1 : 0;
    }
}

} // namespace zolt_d3d
