#include "project/SharedProjectData.h"

ShortcutList& SelectedShortcuts()
{
    static ShortcutList shortcuts;
    return shortcuts;
}

IconMap& ExtractedIcons()
{
    static IconMap icons;
    return icons;
}

ProductInfo& SharedProductInfo()
{
    static ProductInfo product;
    return product;
}
