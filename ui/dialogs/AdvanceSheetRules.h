#pragma once
// The rules of the advanced include/exclude sheet that need no window: what
// "Add To Exclude" records, which ticked items the excluded lists keep (and
// with which description), and the scan details an inclusion save hands to
// the manager.
#include "common/ChangeTypes.h"
#include "manager/Session.h"
#include "project/IncludeExclude.h"

#include <functional>
#include <string>
#include <vector>

namespace AdvanceSheet {

enum class AddResult { Added, NoDescription, UnknownKind };

// "Add To Exclude" with the selection record ("<kind>\<token path>") and the
// description as typed. An unticked item is ticked first through `tickFolder`
// or `tickKey` (given the real path); the exclusion goes into the matching
// map of `added`. Token paths stand for the folders of `tokens`.
AddResult AddToExclude(AddedExclusions& added, const FolderTokenValues& tokens, const std::wstring& record,
                       const std::wstring& description,
                       const std::function<bool(const std::wstring&)>& tickFolder,
                       const std::function<bool(const std::wstring&)>& tickKey);

// `description` without leading and trailing white space.
std::wstring Trim(const std::wstring& description);

struct ExclusionSave
{
    ExcludedItemMap saved;
    // Ticked items left out for want of a description (token paths).
    std::vector<std::wstring> withoutDescription;
};

// The excluded list to save from the ticked items (token paths without the
// final "\"): an item gets the description "Add To Exclude" recorded in this
// run (the one the page shows), else the one it was loaded with; an item with
// neither is left out, but the
// exclusions below it (recorded or loaded) are kept with their descriptions. The hidden
// exclusions (those the tree cannot show) are kept as they are.
ExclusionSave ExclusionsToSave(const std::vector<std::wstring>& tickedTokenPaths, const ExcludedItemMap& loaded,
                               const ExcludedItemMap& addToExclude, const ExcludedItemMap& hidden);

// An inclusion save: the ticked folders (real paths without the final "\")
// and keys become the included maps of `selection` (folders in token form) and the "File"
// and "Registry" lists of the returned scan details, completed with the setup
// program and the product information. Token paths stand for the folders of
// `tokens`.
ScanDetails SaveIncluded(const std::vector<std::wstring>& folders, const std::vector<std::wstring>& keys,
                         const FolderTokenValues& tokens, const std::wstring& setupFilePath,
                         const ProductInfo& product, IncludeExcludeSelection& selection);

// The ticked paths followed by the hidden ones (loaded, but not in the tree)
// that are not among them, compared without regard to case.
std::vector<std::wstring> WithHidden(std::vector<std::wstring> ticked, const std::vector<std::wstring>& hidden);

// The message listing the ticked items that were not saved, empty when none.
std::wstring NotSavedMessage(const std::vector<std::wstring>& withoutDescription);

} // namespace AdvanceSheet
