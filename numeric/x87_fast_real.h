// The FastReal of the build's arithmetic (see x87_instructions.h): the one
// place that chooses between the unit's registers and the software
// instructions. numeric/fast_real.h includes it and tells the contract both
// implementations meet.
#ifndef VELTRANE_NUMERIC_X87_FAST_REAL_H
#define VELTRANE_NUMERIC_X87_FAST_REAL_H

#include "numeric/x87_instructions.h"

#if VELTRANE_COMPUTES_ON_UNIT
#include "numeric/x87_unit_fast_real.h"
#else
#include "numeric/x87_software_fast_real.h"
#endif

#endif
