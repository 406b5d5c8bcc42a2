// The show's script through the whole of LoadScript, with no device and no
// sound (fuzz/silent_music_stream.cpp): the music name, the curve block
// (whose curves are prepared and sampled) and the effect records. The input
// is written as the script file.
#include <cstdint>
#include <string>

#include "demo/curve_set.h"
#include "demo/demo_manager.h"
#include "fuzz/harness_file.h"
#include "fuzz/quiet_boxes.h"
#include "scene/controller.h"

namespace {
std::string g_script;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceMessageBoxes();
    g_script = MakeHarnessFile(".spt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!WriteHarnessFile(data, size)) {
        return 0;
    }
    DemoManager manager(nullptr);
    if (manager.LoadScript(g_script.c_str()) == 0) {
        // What the frame loop asks of a loaded script, device or not.
        const float times[] = {0.0f, 1000.0f, 1.0e9f};
        for (float t : times) {
            const EffectSelection selection = manager.SelectEffects(t);
            if (selection.active >= 0) {
                (void)manager.GetTransitionAmount(selection.active, t);
            }
        }
        // The curves are kept for the show; sample each through its keys.
        if (const CurveSet* curves = manager.GetCurveSet()) {
            for (int i = 0; i < curves->GetCount(); ++i) {
                for (float t : {-1.0f, 0.5f, 40.0f}) {
                    (void)curves->GetCurve(i).controller->Sample(t);
                }
            }
        }
    }
    return 0;
}
