#include "ui/dialogs/AdvanceSheetRules.h"

#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "ui/controls/SelectionTree.h"

#include <algorithm>

namespace AdvanceSheet {

std::wstring Trim(const std::wstring& description)
{
    const wchar_t* blanks = L" \t\r\n\v\f";
    const size_t first = description.find_first_not_of(blanks);
    if (first == std::wstring::npos)
        return {};
    const size_t last = description.find_last_not_of(blanks);
    return description.substr(first, last - first + 1);
}

AddResult AddToExclude(AddedExclusions& added, const FolderTokenValues& tokens, const std::wstring& record,
                       const std::wstring& description,
                       const std::function<bool(const std::wstring&)>& tickFolder,
                       const std::function<bool(const std::wstring&)>& tickKey)
{
    // The kind word ends at the first "\": the path after it has its own.
    const size_t split = record.find(L'\\');
    const std::wstring kind = split == std::wstring::npos ? record : record.substr(0, split);
    const std::wstring path = split == std::wstring::npos ? std::wstring() : record.substr(split + 1);
    const std::wstring text = Trim(description);
    if (text.empty())
        return AddResult::NoDescription;

    if (kind == L"FileNotChecked") {
        std::wstring real = path;
        ToRealPath(real, tokens);
        if (tickFolder)
            tickFolder(real);
        std::wstring token = real;
        ToTokenPath(token, tokens);
        added.Files[ToUpperAscii(token)] = {token, text};
    } else if (kind == L"RegistryNotChecked") {
        if (tickKey)
            tickKey(path);
        added.Registry[ToUpperAscii(path)] = {path, text};
    } else if (kind == L"File") {
        added.Files[ToUpperAscii(path)] = {path, text};
    } else if (kind == L"Registry") {
        added.Registry[ToUpperAscii(path)] = {path, text};
    } else {
        return AddResult::UnknownKind;
    }
    return AddResult::Added;
}

ExclusionSave ExclusionsToSave(const std::vector<std::wstring>& tickedTokenPaths, const ExcludedItemMap& loaded,
                               const ExcludedItemMap& addToExclude, const ExcludedItemMap& hidden)
{
    ExclusionSave result;
    for (const std::wstring& token : tickedTokenPaths) {
        const std::wstring key = ToUpperAscii(token);
        // A description edited with "Add To Exclude" in this run is the one
        // the page shows: it wins over the one the item was loaded with.
        if (const auto recorded = addToExclude.find(key); recorded != addToExclude.end()) {
            result.saved[key] = recorded->second;
            continue;
        }
        if (const auto found = loaded.find(key); found != loaded.end()) {
            result.saved[key] = found->second;
            continue;
        }
        // No description of its own: what was excluded below it stays, loaded
        // or recorded (ticking the only subfolder ticks its parent too).
        const std::wstring prefix = key + L"\\";
        bool carried = false;
        for (const ExcludedItemMap* map : {&addToExclude, &loaded}) {
            for (const auto& [belowKey, item] : *map) {
                if (belowKey.compare(0, prefix.size(), prefix) == 0) {
                    result.saved.emplace(belowKey, item);
                    carried = true;
                }
            }
        }
        if (!carried)
            result.withoutDescription.push_back(token);
    }
    for (const auto& [key, item] : hidden)
        result.saved.emplace(key, item);
    return result;
}

ScanDetails SaveIncluded(const std::vector<std::wstring>& folders, const std::vector<std::wstring>& keys,
                         const FolderTokenValues& tokens, const std::wstring& setupFilePath,
                         const ProductInfo& product, IncludeExcludeSelection& selection)
{
    ScanDetails details;
    std::vector<std::wstring>& files = details[L"File"];
    IncludedItemMap& includedFiles = selection.FilesIncluded;
    includedFiles.clear();
    for (const std::wstring& folder : folders) {
        std::wstring token = folder;
        ToTokenPath(token, tokens);
        includedFiles[ToUpperAscii(token)] = token;
        files.push_back(folder);
    }
    std::vector<std::wstring>& registry = details[L"Registry"];
    IncludedItemMap& includedKeys = selection.RegistryIncluded;
    includedKeys.clear();
    for (const std::wstring& key : keys) {
        includedKeys[ToUpperAscii(key)] = key;
        registry.push_back(key);
    }
    details[L"SetupFilePath"] = {setupFilePath};
    details[L"SetupFileInfo"] = {product.ApplicationName, product.Version, product.CompanyName};
    return details;
}

std::vector<std::wstring> WithHidden(std::vector<std::wstring> ticked, const std::vector<std::wstring>& hidden)
{
    for (const std::wstring& path : hidden) {
        const std::wstring key = ToUpperAscii(SelectionTree::WithoutFinalSeparator(path));
        if (std::none_of(ticked.begin(), ticked.end(), [&](const std::wstring& t) {
                return ToUpperAscii(SelectionTree::WithoutFinalSeparator(t)) == key;
            }))
            ticked.push_back(path);
    }
    return ticked;
}

std::wstring NotSavedMessage(const std::vector<std::wstring>& withoutDescription)
{
    if (withoutDescription.empty())
        return {};
    std::wstring text = L"These items were not saved as excluded items because they have no description:\n";
    for (const std::wstring& item : withoutDescription)
        text += L"\n" + item;
    text += L"\n\nSelect an item, type its description and click \"Add To Exclude\".";
    return text;
}

} // namespace AdvanceSheet
