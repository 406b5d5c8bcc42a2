// The harnesses provoke thousands of error boxes on purpose: they are
// swallowed, neither shown nor written to standard error.
#pragma once

void SilenceMessageBoxes();
