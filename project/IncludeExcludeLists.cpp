#include "project/IncludeExcludeLists.h"

IncludeExcludeSelection& IncludeExcludeLists()
{
    static IncludeExcludeSelection selection;
    return selection;
}

IncludedItemMap& FileIncludedItems()
{
    return IncludeExcludeLists().FilesIncluded;
}

IncludedItemMap& RegistryIncludedItems()
{
    return IncludeExcludeLists().RegistryIncluded;
}

ExcludedItemMap& FileExcludedItems()
{
    return IncludeExcludeLists().FilesExcluded;
}

ExcludedItemMap& RegistryExcludedItems()
{
    return IncludeExcludeLists().RegistryExcluded;
}

IncludedItemMap* IncludedMapFor(const std::wstring& listPath)
{
    return IncludeExcludeLists().IncludedFor(listPath);
}

ExcludedItemMap* ExcludedMapFor(const std::wstring& listPath)
{
    return IncludeExcludeLists().ExcludedFor(listPath);
}
