// Runs the modifier chains of several meshes at once, on the calling thread
// and one helper thread, for frames with many deformed meshes in view.
#pragma once

#include <vector>

class CMesh;

// EvaluateModifiers on every mesh of `meshes`: the buffers are locked and
// unlocked here, on the device's thread, and in between the chains run on
// this thread and a helper that take meshes in turn. A chain touches only its
// own mesh (modifiers, vertices, box and locked buffer), so every mesh ends
// with the same bits as when evaluated one after another. Without a second
// processor, with fewer than two chains to run, or in a forked child, they run
// here. `meshes` is reordered and shortened to those whose chain ran; it must
// hold one mesh at most once. Allocates nothing once the helper has started.
void EvaluateChainsTogether(std::vector<CMesh*>* meshes);

// Whether EvaluateChainsTogether may share the work with its helper (on by
// default). Off, every chain runs on the calling thread: the straightforward
// order that tests compare the shared one with.
void SetChainsRunTogether(bool enabled);
