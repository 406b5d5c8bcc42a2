// Lowering the scheduling priority of the calling thread, for the work of a
// capture that can wait: converting and encoding the pictures.
#pragma once

// Raises the calling thread's nice value by 10 (to at most 19). Threads it
// starts afterwards inherit the new value. Does nothing where the system
// refuses.
void LowerThisThreadsPriority();
