#include "engine/ExcludedChangeStores.h"

CExcludedFileChanges& ExcludedFileChanges()
{
    static CExcludedFileChanges store;
    return store;
}

CExcludedRegistryChanges& ExcludedRegistryChanges()
{
    static CExcludedRegistryChanges store;
    return store;
}

ReviewExclusionCopies& ReviewExclusions()
{
    static ReviewExclusionCopies copies;
    return copies;
}
