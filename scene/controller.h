// Animation controllers: a vector (position, scale), a rotation quaternion
// or a single float as a function of the frame time. Key-framed kinds use
// tension/continuity/bias (TCB) keys; sampled kinds hold one key per frame.
// A controller is read once, prepared once (tangents, spin counts), then
// sampled at any time in any order: sampling keeps no state and allocates
// nothing.
#pragma once

#include <cstdint>
#include <new>

#include "math/engine_math.h"
#include "platform/d3d8/d3d8_types.h"

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

// The key array every key-framed or sampled kind owns: keyCount entries, null
// when 0.
template <typename Base, typename Key>
class KeyedController : public Base {
public:
    KeyedController() = default;
    ~KeyedController() override { delete[] keys; }
    KeyedController(const KeyedController&) = delete;
    KeyedController& operator=(const KeyedController&) = delete;

    // Replaces the keys with `count` zeroed keys whose times read -1 (not yet
    // read). Returns 1 when count is negative or memory is short.
    int Allocate(int32_t count)
    {
        delete[] keys;
        keys = nullptr;
        keyCount = 0;
        if (count <= 0) {
            return count < 0 ? 1 : 0;
        }
        keys = new (std::nothrow) Key[count]();
        if (keys == nullptr) {
            return 1;
        }
        keyCount = count;
        for (int32_t i = 0; i < keyCount; ++i) {
            keys[i].time = -1;
        }
        return 0;
    }

    int32_t keyCount = 0;
    Key* keys = nullptr;
};

class CControllerVectorTCB : public KeyedController<CControllerVector, VectorKeyTCB> {
public:
    D3DVECTOR* Sample(float t, D3DVECTOR* out) const override;
    void Prepare() override;
};

class CControllerVectorSampled : public KeyedController<CControllerVector, VectorKeySampled> {
public:
    D3DVECTOR* Sample(float t, D3DVECTOR* out) const override;
    void Prepare() override {}
};

class CControllerRotationTCB : public KeyedController<CControllerRotation, RotationKeyTCB> {
public:
    Quaternion* Sample(float t, Quaternion* out) const override;
    void Prepare() override;
};

class CControllerRotationSampled : public KeyedController<CControllerRotation, RotationKeySampled> {
public:
    Quaternion* Sample(float t, Quaternion* out) const override;
    void Prepare() override {}
};

class CControllerFloatTCB : public KeyedController<CControllerFloat, FloatKeyTCB> {
public:
    float Sample(float t) const override;
    void Prepare() override;
};

class CControllerFloatSampled : public KeyedController<CControllerFloat, FloatKeySampled> {
public:
    float Sample(float t) const override;
    void Prepare() override {}
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
