#include "platform/d3d8/d3d8_vertex_format.h"

namespace zolt_d3d {

bool DecodeFvf(DWORD fvf, VertexLayout* layout)
{
    VertexLayout out;
    out.fvf = fvf;
    UINT offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        out.positionComponents = 3;
        offset = 12;
        break;
    case D3DFVF_XYZRHW:
        out.positionComponents = 4;
        out.pretransformed = true;
        offset = 16;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        // Blend weights follow the position; vertex blending itself is not
        // done, the weights are skipped.
        out.positionComponents = 3;
        offset = 12 + 4 * (((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZB1) / 2 + 1);
        break;
    default:
        return false;
    }
    if ((fvf & D3DFVF_NORMAL) != 0) {
        out.normalOffset = offset;
        offset += 12;
    }
    if ((fvf & D3DFVF_PSIZE) != 0) {
        out.psizeOffset = offset;
        offset += 4;
    }
    if ((fvf & D3DFVF_DIFFUSE) != 0) {
        out.diffuseOffset = offset;
        offset += 4;
    }
    if ((fvf & D3DFVF_SPECULAR) != 0) {
        out.specularOffset = offset;
        offset += 4;
    }
    out.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (out.texCount > kMaxTexCoordSets) {
        return false;
    }
    for (UINT i = 0; i < out.texCount; ++i) {
        const DWORD format = (fvf >> (16 + 2 * i)) & 3;
        uint8_t components = 2;
        if (format == D3DFVF_TEXTUREFORMAT1) {
            components = 1;
        } else if (format == D3DFVF_TEXTUREFORMAT3) {
            components = 3;
        } else if (format == D3DFVF_TEXTUREFORMAT4) {
            components = 4;
        }
        out.texOffset[i] = offset;
        out.texComponents[i] = components;
        offset += 4u * components;
    }
    out.size = offset;
    *layout = out;
    return true;
}

UINT VertexCountForPrimitives(D3DPRIMITIVETYPE type, UINT primitiveCount)
{
    if (primitiveCount == 0) {
        return 0;
    }
    // Counts large enough to overflow are no real draw; callers reject them.
    if (primitiveCount > 0x10000000u) {
        return 0;
    }
    switch (type) {
    case D3DPT_POINTLIST:
        return primitiveCount;
    case D3DPT_LINELIST:
        return primitiveCount * 2;
    case D3DPT_LINESTRIP:
        return primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
        return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitiveCount + 2;
    default:
        return 0;
    }
}

} // namespace zolt_d3d
