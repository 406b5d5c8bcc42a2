// Animation controllers: a vector (position, scale), a rotation quaternion
// or a single float as a function of the frame time. Key-framed kinds use
// tension/continuity/bias (TCB) keys; sampled kinds hold one key per frame.
// A controller is read once, prepared once (tangents, spin counts), then
// sampled at any time in any order: sampling keeps no state and allocates
// nothing.
#pragma once

#include <cstdint>

#include "math/engine_math.h"
#include "platform/d3d8_types.h"

class CPackFile;

// ---- Keys ------------------------------------------------------------------

struct VectorKeyTCB {
    int32_t time; // frames; -1 until read
    float easeTo;
    float easeFrom;
    float bias;
    float continuity;
    float tension;
    D3DVECTOR inTangent;
    D3DVECTOR outTangent;
    D3DVECTOR value;
};

// Also a file record: the script file stores these keys in this exact
// 80-byte form.
struct FloatKeyTCB {
    int32_t time; // frames; -1 until read
    float easeTo;
    float easeFrom;
    float bias;
    float continuity;
    float tension;
    uint8_t unused0[4];
    float inTangent;
    uint8_t unused1[12];
    float outTangent;
    uint8_t unused2[28];
    float value;
};
static_assert(sizeof(FloatKeyTCB) == 80, "FloatKeyTCB is an 80-byte file record");

struct RotationKeyTCB {
    int32_t time; // frames; -1 until read
    float easeTo;
    float easeFrom;
    float bias;
    float continuity;
    float tension;
    float spin;             // whole turns to the next key, set by Prepare
    Quaternion inTangent;   // set by Prepare
    Quaternion outTangent;  // set by Prepare
    D3DVECTOR axis;         // as read (engine axes)
    float angle;            // as read, radians
    Quaternion absolute;    // the key's rotation
};

struct VectorKeySampled {
    float time; // frames; -1.0 until read
    D3DVECTOR value;
};

struct RotationKeySampled {
    float time;
    Quaternion value;
};

struct FloatKeySampled {
    float time;
    float value;
};

// ---- Families --------------------------------------------------------------

class CControllerVector {
public:
    virtual ~CControllerVector() = default;
    // Writes the value at frame time t into `out` and returns `out`.
    virtual D3DVECTOR* Sample(float t, D3DVECTOR* out) const = 0;
    virtual void Prepare() = 0;
};

class CControllerRotation {
public:
    virtual ~CControllerRotation() = default;
    virtual Quaternion* Sample(float t, Quaternion* out) const = 0;
    virtual void Prepare() = 0;
};

class CControllerFloat {
public:
    virtual ~CControllerFloat() = default;
    virtual float Sample(float t) const = 0;
    virtual void Prepare() = 0;
};

// ---- Kinds -----------------------------------------------------------------
// Every kind owns its key array (keyCount entries, null when 0). The arrays
// are allocated by Allocate, which returns 1 when memory is short.

class CControllerVectorTCB : public CControllerVector {
public:
    CControllerVectorTCB() = default;
    ~CControllerVectorTCB() override;
    int Allocate(int32_t count);
    D3DVECTOR* Sample(float t, D3DVECTOR* out) const override;
    void Prepare() override;

    int32_t keyCount = 0;
    VectorKeyTCB* keys = nullptr;
};

class CControllerVectorSampled : public CControllerVector {
public:
    CControllerVectorSampled() = default;
    ~CControllerVectorSampled() override;
    int Allocate(int32_t count);
    D3DVECTOR* Sample(float t, D3DVECTOR* out) const override;
    void Prepare() override {}

    int32_t keyCount = 0;
    VectorKeySampled* keys = nullptr;
};

class CControllerRotationTCB : public CControllerRotation {
public:
    CControllerRotationTCB() = default;
    ~CControllerRotationTCB() override;
    int Allocate(int32_t count);
    Quaternion* Sample(float t, Quaternion* out) const override;
    void Prepare() override;

    int32_t keyCount = 0;
    RotationKeyTCB* keys = nullptr;
};

class CControllerRotationSampled : public CControllerRotation {
public:
    CControllerRotationSampled() = default;
    ~CControllerRotationSampled() override;
    int Allocate(int32_t count);
    Quaternion* Sample(float t, Quaternion* out) const override;
    void Prepare() override {}

    int32_t keyCount = 0;
    RotationKeySampled* keys = nullptr;
};

class CControllerFloatTCB : public CControllerFloat {
public:
    CControllerFloatTCB() = default;
    ~CControllerFloatTCB() override;
    int Allocate(int32_t count);
    float Sample(float t) const override;
    void Prepare() override;

    int32_t keyCount = 0;
    FloatKeyTCB* keys = nullptr;
};

class CControllerFloatSampled : public CControllerFloat {
public:
    CControllerFloatSampled() = default;
    ~CControllerFloatSampled() override;
    int Allocate(int32_t count);
    float Sample(float t) const override;
    void Prepare() override {}

    int32_t keyCount = 0;
    FloatKeySampled* keys = nullptr;
};

// A single float track driving a rotation: yields (0, 1, 0, value). The
// quaternion-to-matrix rule normalises it, and a camera reads its w as roll.
class CControllerRotationAngle : public CControllerRotation {
public:
    CControllerRotationAngle() = default;
    ~CControllerRotationAngle() override;
    Quaternion* Sample(float t, Quaternion* out) const override;
    void Prepare() override;

    CControllerFloatTCB* value = nullptr; // owned
};

// The ease curve of the TCB keys: u in [0, 1] reshaped by the ease-from of the
// segment's first key and the ease-to of its second.
float Ease(float u, float easeFrom, float easeTo);

// Samples that tolerate a missing controller: a missing vector or float is
// zero, a missing rotation the identity.
D3DVECTOR* SampleOrZero(const CControllerVector* controller, float t, D3DVECTOR* out);
Quaternion* SampleOrIdentity(const CControllerRotation* controller, float t, Quaternion* out);
float SampleOrZero(const CControllerFloat* controller, float t);

// ---- Readers ---------------------------------------------------------------
// Each reads one controller record at the stream's position and hands the new
// controller (owned by the caller) to *controller. They return 0, or 1 after
// showing a message when the record is corrupted (a key count that is
// negative or cannot fit in the rest of the member) or memory is short;
// *controller is then null and nothing is leaked. A record whose type creates
// no controller returns 0 with *controller null.

int ReadPositionController(CPackFile* file, CControllerVector** controller);
// selector 1: the axis-angle family; any other value: the angle family.
int ReadRotationController(CPackFile* file, uint8_t selector, CControllerRotation** controller);
int ReadScaleController(CPackFile* file, CControllerVector** controller);
int ReadFloatController(CPackFile* file, CControllerFloat** controller);
// One float, no type and no count: a TCB float controller with one key
// (time -1, parameters 0).
int ReadConstantFloatController(CPackFile* file, CControllerFloat** controller);
