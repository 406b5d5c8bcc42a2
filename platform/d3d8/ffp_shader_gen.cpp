#include "platform/d3d8/ffp_shader_gen.h"

#include <string>

namespace zolt_d3d {

namespace {

std::string Str(int value)
{
    return std::to_string(value);
}

std::string LightVec(int light, int slot)
{
    return "uLights[" + Str(light * kLightVec4s + slot) + "]";
}

// A lit colour's source as a vec4 expression.
std::string MaterialColor(uint8_t source, int materialIndex)
{
    if (source == kSourceVertexDiffuse) {
        return "aDiffuse";
    }
    if (source == kSourceVertexSpecular) {
        return "aSpecular";
    }
    return "uMaterial[" + Str(materialIndex) + "]";
}

// A vertex coordinate set, extended to four components the way texture
// matrices expect: (u) -> (u, 1, 0, 0), (u, v) -> (u, v, 1, 0),
// (u, v, w) -> (u, v, w, 1).
std::string TexCoordInput(const FfpKey& key, int set)
{
    if (set >= key.texCount) {
        return "vec4(0.0, 0.0, 1.0, 0.0)";
    }
    const std::string a = "aTex" + Str(set);
    switch (key.texComponents[set]) {
    case 1:
        return "vec4(" + a + ".x, 1.0, 0.0, 0.0)";
    case 3:
        return "vec4(" + a + ".xyz, 1.0)";
    case 4:
        return a;
    default:
        return "vec4(" + a + ".xy, 1.0, 0.0)";
    }
}

bool NeedsEyePosition(const FfpKey& key)
{
    if (key.lighting != 0 && (key.lightCount > 0)) {
        return true;
    }
    for (int s = 0; s < key.stageCount; ++s) {
        const FfpStageKey& stage = key.stages[s];
        if (stage.sample != 0 && (stage.texSource == 2 || stage.texSource == 3)) {
            return true;
        }
    }
    return false;
}

bool NeedsNormal(const FfpKey& key)
{
    if (key.lighting != 0) {
        return true;
    }
    for (int s = 0; s < key.stageCount; ++s) {
        const FfpStageKey& stage = key.stages[s];
        if (stage.sample != 0 && (stage.texSource == 1 || stage.texSource == 3)) {
            return true;
        }
    }
    return false;
}

void AppendLight(const FfpKey& key, int i, std::string* out)
{
    std::string& s = *out;
    const bool specular = key.needSpecular != 0;
    const std::string specPow = "SpecularPower(dot(N, normalize(L + V)))";
    if (key.lightType[i] == D3DLIGHT_DIRECTIONAL) {
        s += "    {\n";
        s += "        vec3 L = " + LightVec(i, 4) + ".xyz;\n";
        s += "        amb += " + LightVec(i, 2) + ".rgb;\n";
        s += "        float NdotL = dot(N, L);\n";
        s += "        dif += " + LightVec(i, 0) + ".rgb * max(NdotL, 0.0);\n";
        if (specular) {
            s += "        if (NdotL > 0.0) spc += " + LightVec(i, 1) + ".rgb * " + specPow + ";\n";
        }
        s += "    }\n";
        return;
    }
    s += "    {\n";
    s += "        vec3 Lv = " + LightVec(i, 3) + ".xyz - P;\n";
    s += "        float d = length(Lv);\n";
    s += "        if (d <= " + LightVec(i, 3) + ".w) {\n";
    s += "            vec3 L = d > 0.0 ? Lv / d : vec3(0.0);\n";
    s += "            vec4 at = " + LightVec(i, 5) + ";\n";
    s += "            float den = at.x + at.y * d + at.z * d * d;\n";
    s += "            float f = den > 0.0 ? 1.0 / den : 1.0;\n";
    if (key.lightType[i] == D3DLIGHT_SPOT) {
        s += "            float rho = dot(" + LightVec(i, 4) + ".xyz, -L);\n";
        s += "            float cosTheta = at.w;\n";
        s += "            float cosPhi = " + LightVec(i, 1) + ".w;\n";
        s += "            f *= rho > cosTheta ? 1.0 : (rho <= cosPhi ? 0.0 : pow((rho - cosPhi) / (cosTheta - cosPhi), " +
             LightVec(i, 4) + ".w));\n";
    }
    s += "            amb += " + LightVec(i, 2) + ".rgb * f;\n";
    s += "            float NdotL = dot(N, L);\n";
    s += "            dif += " + LightVec(i, 0) + ".rgb * (max(NdotL, 0.0) * f);\n";
    if (specular) {
        s += "            if (NdotL > 0.0) spc += " + LightVec(i, 1) + ".rgb * (" + specPow + " * f);\n";
    }
    s += "        }\n";
    s += "    }\n";
}

// ---- Pixel stages ----

std::string ArgBase(uint8_t arg)
{
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        return "diffuse";
    case D3DTA_TEXTURE:
        return "tex";
    case D3DTA_TFACTOR:
        return "uTFactor";
    case D3DTA_SPECULAR:
        return "specular";
    case D3DTA_TEMP:
        return "temp";
    default:
        return "current";
    }
}

std::string ColorArg(uint8_t arg)
{
    std::string v = ArgBase(arg);
    if ((arg & D3DTA_COMPLEMENT) != 0) {
        v = "(vec4(1.0) - " + v + ")";
    }
    if ((arg & D3DTA_ALPHAREPLICATE) != 0) {
        return "vec3(" + v + ".a)";
    }
    return v + ".rgb";
}

std::string AlphaArg(uint8_t arg)
{
    const std::string v = ArgBase(arg);
    if ((arg & D3DTA_COMPLEMENT) != 0) {
        return "(1.0 - " + v + ".a)";
    }
    return v + ".a";
}

// The unclamped result of an operation on arguments of one type.
std::string OpExpression(uint8_t op, const std::string& a0, const std::string& a1, const std::string& a2,
                         const std::string& one, const std::string& passThrough)
{
    switch (op) {
    case D3DTOP_SELECTARG1:
    case D3DTOP_PREMODULATE:
        return a1;
    case D3DTOP_SELECTARG2:
        return a2;
    case D3DTOP_MODULATE:
        return a1 + " * " + a2;
    case D3DTOP_MODULATE2X:
        return a1 + " * " + a2 + " * 2.0";
    case D3DTOP_MODULATE4X:
        return a1 + " * " + a2 + " * 4.0";
    case D3DTOP_ADD:
        return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED:
        return a1 + " + " + a2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X:
        return "(" + a1 + " + " + a2 + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT:
        return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH:
        return a1 + " + " + a2 + " - " + a1 + " * " + a2;
    case D3DTOP_BLENDDIFFUSEALPHA:
        return "mix(" + a2 + ", " + a1 + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA:
        return "mix(" + a2 + ", " + a1 + ", tex.a)";
    case D3DTOP_BLENDFACTORALPHA:
        return "mix(" + a2 + ", " + a1 + ", uTFactor.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return a1 + " + " + a2 + " * (1.0 - tex.a)";
    case D3DTOP_BLENDCURRENTALPHA:
        return "mix(" + a2 + ", " + a1 + ", current.a)";
    case D3DTOP_MULTIPLYADD:
        return a0 + " + " + a1 + " * " + a2;
    case D3DTOP_LERP:
        return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";
    default:
        (void)one;
        return passThrough;
    }
}

void AppendStage(const FfpKey& key, int s, std::string* out)
{
    std::string& g = *out;
    const FfpStageKey& stage = key.stages[s];
    g += "    // stage " + Str(s) + "\n";
    if (stage.sample != 0) {
        const std::string tc = "vTex" + Str(s);
        std::string uv = tc + ".xy";
        if (stage.texProjected != 0) {
            static const char* const kComponent[] = {"x", "x", "y", "z", "w"};
            uv = "(" + tc + ".xy / " + tc + "." + kComponent[stage.texTransformCount] + ")";
        }
        g += "    tex = texture(uTex" + Str(s) + ", " + uv + ");\n";
    }

    bool dot3 = false;
    // Colour.
    if (stage.colorPass != 0) {
        g += "    rc = current.rgb;\n";
    } else {
        const uint8_t op = stage.colorOp;
        const std::string a0 = ColorArg(stage.colorArg0);
        const std::string a1 = ColorArg(stage.colorArg1);
        const std::string a2 = ColorArg(stage.colorArg2);
        std::string expr;
        switch (op) {
        case D3DTOP_MODULATEALPHA_ADDCOLOR:
            expr = a1 + " + " + AlphaArg(stage.colorArg1) + " * " + a2;
            break;
        case D3DTOP_MODULATECOLOR_ADDALPHA:
            expr = a1 + " * " + a2 + " + vec3(" + AlphaArg(stage.colorArg1) + ")";
            break;
        case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
            expr = "(1.0 - " + AlphaArg(stage.colorArg1) + ") * " + a2 + " + " + a1;
            break;
        case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
            expr = "(vec3(1.0) - " + a1 + ") * " + a2 + " + vec3(" + AlphaArg(stage.colorArg1) + ")";
            break;
        case D3DTOP_DOTPRODUCT3:
            expr = "vec3(4.0 * dot(" + a1 + " - vec3(0.5), " + a2 + " - vec3(0.5)))";
            dot3 = true;
            break;
        default:
            expr = OpExpression(op, a0, a1, a2, "vec3(1.0)", "current.rgb");
            break;
        }
        g += "    rc = clamp(" + expr + ", 0.0, 1.0);\n";
    }
    // Alpha.
    if (dot3) {
        g += "    ra = rc.r;\n";
    } else if (stage.alphaPass != 0) {
        g += "    ra = current.a;\n";
    } else {
        uint8_t op = stage.alphaOp;
        if (op >= D3DTOP_MODULATEALPHA_ADDCOLOR && op <= D3DTOP_MODULATEINVCOLOR_ADDALPHA) {
            op = D3DTOP_MODULATE; // colour-only operations modulate alpha
        }
        const std::string a0 = AlphaArg(stage.alphaArg0);
        const std::string a1 = AlphaArg(stage.alphaArg1);
        const std::string a2 = AlphaArg(stage.alphaArg2);
        std::string expr;
        if (op == D3DTOP_DOTPRODUCT3) {
            expr = "4.0 * (" + a1 + " - 0.5) * (" + a2 + " - 0.5)";
        } else {
            expr = OpExpression(op, a0, a1, a2, "1.0", "current.a");
        }
        g += "    ra = clamp(" + expr + ", 0.0, 1.0);\n";
    }
    g += std::string("    ") + (stage.resultTemp != 0 ? "temp" : "current") + " = vec4(rc, ra);\n";
}

const char* CompareOperator(uint8_t func)
{
    switch (func) {
    case D3DCMP_NEVER:
        return nullptr;
    case D3DCMP_LESS:
        return "<";
    case D3DCMP_EQUAL:
        return "==";
    case D3DCMP_LESSEQUAL:
        return "<=";
    case D3DCMP_GREATER:
        return ">";
    case D3DCMP_NOTEQUAL:
        return "!=";
    case D3DCMP_GREATEREQUAL:
        return ">=";
    default:
        return "";
    }
}

// Shader headers and the colour inputs: GLSL 3.30 natively; GLSL ES 3.00 in
// the browser, where vertex colours arrive in their BGRA byte order (WebGL
// has no BGRA vertex format) and are put in order here.
#ifdef __EMSCRIPTEN__
constexpr char kVertexHeader[] = "#version 300 es\nprecision highp float;\nprecision highp int;\n";
constexpr char kFragmentHeader[] = "#version 300 es\nprecision highp float;\nprecision highp int;\n";
constexpr char kDiffuseInput[] = "layout(location = 2) in vec4 aDiffuseBgra;\n#define aDiffuse aDiffuseBgra.bgra\n";
constexpr char kSpecularInput[] = "layout(location = 3) in vec4 aSpecularBgra;\n#define aSpecular aSpecularBgra.bgra\n";
// Pre-transformed depth outside [0, 1] is clamped, not clipped: WebGL has
// no depth clamping, so the shader clamps it.
constexpr char kClampScreenDepth[] = "    z = clamp(z, -1.0, 1.0);\n";
#else
constexpr char kClampScreenDepth[] = "";
constexpr char kVertexHeader[] = "#version 330 core\n";
constexpr char kFragmentHeader[] = "#version 330 core\n";
constexpr char kDiffuseInput[] = "layout(location = 2) in vec4 aDiffuse;\n";
constexpr char kSpecularInput[] = "layout(location = 3) in vec4 aSpecular;\n";
#endif

} // namespace

std::string GenerateFfpVertexShader(const FfpKey& key, bool zeroToOneDepth)
{
    std::string s;
    s.reserve(4096);
    s += kVertexHeader;
    const char* interp = key.flatShade != 0 ? "flat " : "";
    s += "layout(location = 0) in vec4 aPosition;\n";
    if (key.hasNormal != 0) {
        s += "layout(location = 1) in vec3 aNormal;\n";
    }
    if (key.hasDiffuse != 0) {
        s += kDiffuseInput;
    }
    if (key.hasSpecular != 0) {
        s += kSpecularInput;
    }
    for (int i = 0; i < key.texCount; ++i) {
        s += "layout(location = " + Str(kAttribTexCoord0 + i) + ") in vec4 aTex" + Str(i) + ";\n";
    }
    s += "uniform mat4 uWorldViewProj;\n";
    s += "uniform mat4 uWorldView;\n";
    s += "uniform mat4 uNormalMatrix;\n";
    s += "uniform vec4 uPosFix;\n";
    s += "uniform vec4 uScreen;\n";
    s += "uniform vec4 uMaterial[5];\n";
    s += "uniform vec4 uAmbient;\n";
    s += "uniform vec4 uLights[" + Str(kMaxActiveLights * kLightVec4s) + "];\n";
    s += "uniform mat4 uTexMatrix[8];\n";
    s += std::string(interp) + "out vec4 vDiffuse;\n";
    if (key.needSpecular != 0) {
        s += std::string(interp) + "out vec4 vSpecular;\n";
    }
    for (int st = 0; st < key.stageCount; ++st) {
        if (key.stages[st].sample != 0) {
            s += "out vec4 vTex" + Str(st) + ";\n";
        }
    }
    if (key.lighting != 0 && key.needSpecular != 0) {
        s += "float SpecularPower(float x)\n{\n";
        s += "    return uMaterial[4].x > 0.0 ? pow(max(x, 0.0), uMaterial[4].x) : 1.0;\n}\n";
    }
    s += "void main()\n{\n";

    if (key.pretransformed != 0) {
        s += "    float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;\n";
        s += "    vec2 ndc = aPosition.xy * uScreen.xy + uScreen.zw;\n";
        s += zeroToOneDepth ? "    float z = aPosition.z;\n" : "    float z = 2.0 * aPosition.z - 1.0;\n";
        s += kClampScreenDepth;
        s += "    gl_Position = vec4(ndc * w, z * w, w);\n";
        s += key.hasDiffuse != 0 ? "    vDiffuse = aDiffuse;\n" : "    vDiffuse = vec4(1.0);\n";
        if (key.needSpecular != 0) {
            s += key.hasSpecular != 0 ? "    vSpecular = aSpecular;\n" : "    vSpecular = vec4(0.0);\n";
        }
        for (int st = 0; st < key.stageCount; ++st) {
            if (key.stages[st].sample != 0) {
                s += "    vTex" + Str(st) + " = " + TexCoordInput(key, key.stages[st].texIndex) + ";\n";
            }
        }
        s += "}\n";
        return s;
    }

    s += "    vec4 pos = vec4(aPosition.xyz, 1.0);\n";
    s += "    vec4 clip = uWorldViewProj * pos;\n";
    if (NeedsEyePosition(key)) {
        s += "    vec3 P = (uWorldView * pos).xyz;\n";
    }
    if (NeedsNormal(key)) {
        if (key.hasNormal != 0) {
            s += "    vec3 N = (uNormalMatrix * vec4(aNormal, 0.0)).xyz;\n";
            if (key.normalizeNormals != 0) {
                s += "    if (dot(N, N) > 0.0) N = normalize(N);\n";
            }
        } else {
            s += "    vec3 N = vec3(0.0);\n";
        }
    }

    if (key.lighting != 0) {
        s += "    vec4 Cd = " + MaterialColor(key.diffuseSource, 0) + ";\n";
        s += "    vec4 Ca = " + MaterialColor(key.ambientSource, 1) + ";\n";
        s += "    vec4 Ce = " + MaterialColor(key.emissiveSource, 3) + ";\n";
        s += "    vec3 amb = uAmbient.rgb;\n";
        s += "    vec3 dif = vec3(0.0);\n";
        if (key.needSpecular != 0) {
            s += "    vec4 Cs = " + MaterialColor(key.specularSource, 2) + ";\n";
            s += "    vec3 spc = vec3(0.0);\n";
            // The view direction serves the lights' highlights only.
            if (key.lightCount > 0) {
                s += key.localViewer != 0 ? "    vec3 V = -normalize(P);\n" : "    vec3 V = vec3(0.0, 0.0, -1.0);\n";
            }
        }
        for (int i = 0; i < key.lightCount; ++i) {
            AppendLight(key, i, &s);
        }
        s += "    vDiffuse = clamp(vec4(Ce.rgb + Ca.rgb * amb + Cd.rgb * dif, Cd.a), 0.0, 1.0);\n";
        if (key.needSpecular != 0) {
            s += "    vSpecular = vec4(clamp(Cs.rgb * spc, 0.0, 1.0), 0.0);\n";
        }
    } else {
        s += key.hasDiffuse != 0 ? "    vDiffuse = aDiffuse;\n" : "    vDiffuse = vec4(1.0);\n";
        if (key.needSpecular != 0) {
            s += key.hasSpecular != 0 ? "    vSpecular = aSpecular;\n" : "    vSpecular = vec4(0.0);\n";
        }
    }

    for (int st = 0; st < key.stageCount; ++st) {
        const FfpStageKey& stage = key.stages[st];
        if (stage.sample == 0) {
            continue;
        }
        const std::string out = "vTex" + Str(st);
        switch (stage.texSource) {
        case 1:
            s += "    " + out + " = vec4(N, 1.0);\n";
            break;
        case 2:
            s += "    " + out + " = vec4(P, 1.0);\n";
            break;
        case 3:
            s += std::string("    ") + out + " = vec4(reflect(" +
                 (key.localViewer != 0 ? "normalize(P)" : "vec3(0.0, 0.0, 1.0)") + ", N), 1.0);\n";
            break;
        default:
            s += "    " + out + " = " + TexCoordInput(key, stage.texIndex) + ";\n";
            break;
        }
        if (stage.texTransformCount != 0) {
            s += "    " + out + " = uTexMatrix[" + Str(st) + "] * " + out + ";\n";
            if (stage.texTransformCount == 1) {
                s += "    " + out + ".y = 0.0;\n";
            }
        }
    }

    // Direct3D's pixel centres, then rows stored top-down.
    s += "    clip.xy += uPosFix.xy * clip.w;\n";
    s += "    clip.y = -clip.y;\n";
    if (!zeroToOneDepth) {
        s += "    clip.z = 2.0 * clip.z - clip.w;\n";
    }
    s += "    gl_Position = clip;\n";
    s += "}\n";
    return s;
}

std::string GenerateFfpFragmentShader(const FfpKey& key)
{
    std::string g;
    g.reserve(4096);
    g += kFragmentHeader;
    const char* interp = key.flatShade != 0 ? "flat " : "";
    g += std::string(interp) + "in vec4 vDiffuse;\n";
    if (key.needSpecular != 0) {
        g += std::string(interp) + "in vec4 vSpecular;\n";
    }
    for (int s = 0; s < key.stageCount; ++s) {
        if (key.stages[s].sample != 0) {
            g += "in vec4 vTex" + Str(s) + ";\n";
            g += "uniform sampler2D uTex" + Str(s) + ";\n";
        }
    }
    g += "uniform vec4 uTFactor;\n";
    g += "uniform float uAlphaRef;\n";
    g += "out vec4 oColor;\n";
    g += "void main()\n{\n";
    g += "    vec4 diffuse = vDiffuse;\n";
    g += key.needSpecular != 0 ? "    vec4 specular = vSpecular;\n" : "    vec4 specular = vec4(0.0);\n";
    g += "    vec4 current = diffuse;\n";
    g += "    vec4 temp = vec4(0.0);\n";
    g += "    vec4 tex = vec4(0.0);\n";
    g += "    vec3 rc;\n";
    g += "    float ra;\n";
    for (int s = 0; s < key.stageCount; ++s) {
        AppendStage(key, s, &g);
    }
    if (key.specularAdd != 0) {
        g += "    current.rgb = min(current.rgb + specular.rgb, vec3(1.0));\n";
    }
    if (key.alphaFunc != 0) {
        const char* op = CompareOperator(key.alphaFunc);
        if (op == nullptr) {
            g += "    discard;\n";
        } else if (*op != '\0') {
            g += "    if (!(floor(current.a * 255.0 + 0.5) " + std::string(op) + " uAlphaRef)) discard;\n";
        }
    }
    g += "    oColor = current;\n";
    g += "}\n";
    return g;
}

} // namespace zolt_d3d
