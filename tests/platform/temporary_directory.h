// The temporary test directory now lives in the shared test support.
#pragma once

#include "support/temporary_directory.h"
