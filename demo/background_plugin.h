// What the demo manager draws behind every effect. The base class draws
// nothing; it carries two parameters that are stored with a plug-in but not
// used in drawing. The virtual slots keep this order in every kind.
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8_types.h"

class ScriptReader;
class ScriptWriter;

class BackgroundPlugIn {
public:
    BackgroundPlugIn() = default;
    virtual ~BackgroundPlugIn();
    // Loads the six images of a box background, in face order.
    virtual int Load(const char* front, const char* back, const char* down, const char* up, const char* left,
                     const char* right);
    // Draws the background for a camera at eye looking at target.
    virtual void Draw(const D3DVECTOR& eye, const D3DVECTOR& target);
    virtual int Write(ScriptWriter* file);
    // 0 on success, 1 when the record is cut short.
    virtual int Read(ScriptReader* file);
    // Draws the background behind what is drawn after it, into only the
    // pixels that drawing leaves showing, where the device can paint behind;
    // false when it cannot (the base class never does), and Draw is wanted.
    virtual bool DrawBehind(const D3DVECTOR& eye, const D3DVECTOR& target);

    BackgroundPlugIn(const BackgroundPlugIn&) = delete;
    BackgroundPlugIn& operator=(const BackgroundPlugIn&) = delete;

protected:
    int32_t m_parameters[2] = {0, 0};
};
