#include "math/processor_features.h"

bool ProcessorHasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f");
    return has;
}
