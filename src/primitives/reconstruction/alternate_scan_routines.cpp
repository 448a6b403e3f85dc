#include "primitives/reconstruction/alternate_scan_routines.h"

#include "primitives/reconstruction/reconstruction.h"

namespace tavrin {

#if defined(__SSE2__)
AlternateScanRoutineSet alternateScanRoutines{
    AtomicSlot<ReconstructInterAddFn>{sse2::ReconstructInterAddAlternate}};
#else
AlternateScanRoutineSet alternateScanRoutines{
    AtomicSlot<ReconstructInterAddFn>{reference::ReconstructInterAddAlternate}};
#endif

}  // namespace tavrin
