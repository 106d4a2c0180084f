// The files an analysis run writes: one change (see FileChange), committed
// at the run's end, so that a run that stops leaves every file as the
// previous run left it.
#pragma once

#include "platform/file_change.h"

namespace velm {

using RunOutputs = FileChange;

}  // namespace velm
