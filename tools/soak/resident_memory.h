// The process's resident memory as the kernel counts it.
#pragma once

// VmRSS of /proc/self/status in KB; -1 when it cannot be read.
long ResidentKilobytes();
