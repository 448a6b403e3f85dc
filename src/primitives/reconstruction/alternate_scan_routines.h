// The reconstruction routine the decode loop uses for inter blocks of
// interlaced pictures whose coefficients come in the alternate vertical
// scan: as the reconstruct-and-add routine (reconstruction_routines.h),
// with that scan in place of the zigzag scan.  The slot holds the fastest
// form this build has; the portable form (ReconstructInter's alternate-scan
// body into a residual, then AddResidual8x8) is the reference the
// equivalence checks compare with.
#pragma once

#include "primitives/dispatch/atomic_slot.h"
#include "primitives/reconstruction/reconstruction_routines.h"

namespace tavrin {

struct AlternateScanRoutineSet {
  AtomicSlot<ReconstructInterAddFn> reconstructInterAdd;
};

extern AlternateScanRoutineSet alternateScanRoutines;

}  // namespace tavrin
