#pragma once
// The process's stores of excluded changes, one per side, and the review
// pages' copies of the exclusions. Reached by the review pages and the
// coordinator's clean-up only.
#include "engine/ExcludedChanges.h"

CExcludedFileChanges& ExcludedFileChanges();
CExcludedRegistryChanges& ExcludedRegistryChanges();
ReviewExclusionCopies& ReviewExclusions();
