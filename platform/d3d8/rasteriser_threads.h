// The software rasteriser's worker threads, kept one to a processor.
#pragma once

namespace zolt_d3d {

// Mesa's llvmpipe rasterises each batch of drawing on its worker threads
// ("llvmpipe-0", "llvmpipe-1", ...) while the drawing thread waits for all of
// them, so a batch is done when its slowest worker is. A scheduler that packs
// busy threads onto few processors (as some virtual machines' kernels do)
// now and then puts two workers on one processor, and that frame's
// rasterising takes twice as long. Binding worker N to the N-th processor
// the process may use (round the set again when there are more workers)
// keeps them apart. Threads of other drivers, and processes allowed only one
// processor, are left alone. Returns the number of workers bound.
int SpreadRasteriserThreads();

}  // namespace zolt_d3d
