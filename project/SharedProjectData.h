#pragma once
// Process-wide data that the pages hand to the project file writer: the
// shortcuts the user chose, the icons extracted for them, and the product
// information mirrored from the shared manager.
//
// Threads: no lock. Written on the window thread before the page starts the
// project writer's worker, and not while it runs; the worker only reads. The
// comparison's worker adds the shortcuts the setup made (CleanCapture) while
// the pages wait for it.
#include "common/ChangeTypes.h"

ShortcutList& SelectedShortcuts();
IconMap& ExtractedIcons();
ProductInfo& SharedProductInfo();
