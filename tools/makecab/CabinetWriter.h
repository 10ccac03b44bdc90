#pragma once
// Writes the one cabinet a DDF describes, through cabinet.dll's FCI. File
// names and paths are wide throughout: every file is opened here with the
// wide API, and names that are not ASCII go into the cabinet as UTF-8 with
// the _A_NAME_IS_UTF attribute.
#include "tools/makecab/Ddf.h"

// A cabinet holds files below 2 GiB; this is the largest size accepted.
constexpr unsigned long long kMaxCabinetFileSize = 0x7FFFFFFFull;

// Writes script.CabinetPath() (its folder is created when missing). On failure
// returns false with the DDF line of the file at fault (0 when none) and
// leaves no cabinet behind.
[[nodiscard]] bool WriteCabinet(const DdfScript& script, DdfError& error);
