#pragma once
// The process's one include/exclude selection and its four maps. Reached by
// the manager, the pages and the capture's exclusions only; the readers and
// writers of project/ take a selection as a parameter.
//
// Threads: the process-wide maps have no lock. They are written only while no capture
// worker runs: on the window thread, or by the advanced sheet's loader while
// that sheet (modal, its OK and Cancel disabled) is open. A capture worker
// reads the excluded maps when it starts (CEnumerateWrapper::CaptureSnapshot).
#include "project/IncludeExclude.h"

// The process-wide selection, and its four maps.
IncludeExcludeSelection& IncludeExcludeLists();
IncludedItemMap& FileIncludedItems();
IncludedItemMap& RegistryIncludedItems();
ExcludedItemMap& FileExcludedItems();
ExcludedItemMap& RegistryExcludedItems();

// The process-wide maps that belong to a list path, or null for any other path.
IncludedItemMap* IncludedMapFor(const std::wstring& listPath);
ExcludedItemMap* ExcludedMapFor(const std::wstring& listPath);
