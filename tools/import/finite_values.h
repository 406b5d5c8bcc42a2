// The last guard before a scene is written: a model whose numbers overflow
// (a translation of 1e39 is infinite as a float) or are not numbers at all
// would hand the engine NaN positions, matrices and keys. Every float of the
// scene that is not finite is replaced by a neutral value: 0 for positions,
// colours and weights, 1 for scale keys, the identity for a matrix and no
// turn for a rotation key.
#pragma once

#include "tools/kvf_writer/kvf_writer.h"

namespace import {

// The number of values replaced.
int ReplaceNonFiniteValues(kvf::Scene* scene);

} // namespace import
