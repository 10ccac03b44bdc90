#pragma once
// Process-wide data that the pages hand to the project file writer: the
// shortcuts the user chose, the icons extracted for them, and the product
// information mirrored from the shared manager.
#include "common/ChangeTypes.h"

ShortcutList& SelectedShortcuts();
IconMap& ExtractedIcons();
ProductInfo& SharedProductInfo();
