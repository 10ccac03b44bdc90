#include "manager/CaptureReport.h"

#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "manager/HtmlText.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr std::array<const wchar_t*, 3> OriginNames = {L"added", L"modified", L"deleted"};
constexpr std::array<const wchar_t*, CaptureStepCount> StepNames = {
    L"First snapshot", L"Setup", L"Second snapshot", L"Comparison", L"Project file", L"Package"};
// Registry data longer than this is shortened; the cell's title holds it whole.
constexpr std::size_t DataShown = 80;

// Page style, the print style and the search box's script. Without the
// script every table shows in full and the box stays hidden.
constexpr char Head[] =
    "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
    "<style>"
    "body{font:14px/1.4 'Segoe UI',Tahoma,sans-serif;margin:1.5em;color:#1b1b1b}"
    "h1{font-size:1.5em;margin:0 0 .5em}summary{font-size:1.15em;font-weight:600;cursor:pointer;margin:.8em 0 .3em}"
    "table{border-collapse:collapse;margin:.3em 0 1em;width:100%}th,td{border:1px solid #ccd;padding:2px 6px;"
    "text-align:left;vertical-align:top;word-break:break-all}thead th{background:#e8ecf4}"
    "tr.g th{background:#f4f6fa;font-weight:600}table.facts{width:auto}table.facts th{width:12em;background:#f4f6fa}"
    "td.n{text-align:right;white-space:nowrap}.none{color:#777;font-style:italic}"
    "#q{font-size:1em;padding:4px;width:24em;margin:.5em 0}"
    "@media print{#q{display:none}details>summary{list-style:none}body{margin:0}}"
    "</style>";

constexpr char Script[] =
    "<script>(function(){var q=document.getElementById('q');q.hidden=false;"
    "q.addEventListener('input',function(){var t=q.value.toLowerCase();"
    "document.querySelectorAll('table.rows>tbody').forEach(function(b){"
    "var g=b.querySelector('tr.g'),gm=!t||(g&&g.textContent.toLowerCase().indexOf(t)>=0),any=false;"
    "b.querySelectorAll('tr:not(.g)').forEach(function(r){"
    "var m=gm||r.textContent.toLowerCase().indexOf(t)>=0;r.hidden=!m;any=any||m;});"
    "if(g)g.hidden=!any&&!gm;});});"
    "window.addEventListener('beforeprint',function(){document.querySelectorAll('details').forEach("
    "function(d){d.open=true;});});})();</script>";

bool LessIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

std::wstring_view NameOf(std::wstring_view path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// "\"name\"" and "@" as the export writes them, shown as the name and "(Default)".
std::wstring_view ValueNameOf(const RegistryChangeEntry& entry)
{
    std::wstring_view name = entry.ValueName;
    if (name == L"@")
        return L"(Default)";
    if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"')
        name = name.substr(1, name.size() - 2);
    return name;
}

template <class Map>
std::size_t EntryCount(const Map& map)
{
    std::size_t count = 0;
    for (const auto& [key, entries] : map)
        count += entries.size();
    return count;
}

std::size_t ValueCount(const RegistryChangeMap& map)
{
    std::size_t count = 0;
    for (const auto& [key, entries] : map)
        for (const RegistryChangeEntry& entry : entries)
            count += entry.ValueName.empty() ? 0 : 1;
    return count;
}

// A section that folds, open, with its count in the heading.
void OpenSection(CHtmlText& html, std::wstring_view title, std::size_t count)
{
    html.Raw("<details open><summary>").Text(title).Raw(" (").Text(GroupedNumber(count)).Raw(")</summary>");
}

void Fact(CHtmlText& html, std::wstring_view name, std::wstring_view value)
{
    html.Raw("<tr>").Element("th", name).Element("td", value).Raw("</tr>");
}

void TableHead(CHtmlText& html, std::initializer_list<const wchar_t*> columns)
{
    html.Raw("<table class=\"rows\"><thead><tr>");
    for (const wchar_t* column : columns)
        html.Element("th", column);
    html.Raw("</tr></thead>");
}

// A group of rows below its heading row (a folder, a key, an INI file): the
// path is stored once for its rows.
void GroupHead(CHtmlText& html, std::wstring_view path, int columns)
{
    html.Raw("<tbody><tr class=\"g\"><th colspan=\"").Number(static_cast<unsigned>(columns)).Raw("\">");
    html.Text(path).Raw("</th></tr>");
}

void Nothing(CHtmlText& html, std::wstring_view text)
{
    html.Raw("<p class=\"none\">").Text(text).Raw("</p>");
}

void WriteSummary(CHtmlText& html, const CaptureReportInput& input)
{
    const ProductInfo& product = input.Project.Product;
    html.Raw("<h1>Capture report: ").Text(product.ApplicationName).Raw(" ").Text(product.Version).Raw("</h1>");
    html.Raw("<table class=\"facts\">");
    Fact(html, L"Product", product.ApplicationName);
    Fact(html, L"Version", product.Version);
    Fact(html, L"Company", product.CompanyName);
    Fact(html, L"Project file", input.ProjectFile);
    Fact(html, L"Package", input.PackageFile.empty() ? L"not built" : input.PackageFile);
    Fact(html, L"Package size",
         input.PackageSize ? GroupedNumber(*input.PackageSize) + L" bytes" : std::wstring(L"unknown"));
    Fact(html, L"Platform",
         input.Platform.empty() ? L"unknown" : input.Platform == L"x64" ? L"x64" : L"32-bit (Intel)");
    Fact(html, L"UpgradeCode", input.UpgradeCode.empty() ? product.UpgradeCode : input.UpgradeCode);
    Fact(html, L"ProductCode", input.ProductCode);
    std::wstring started = L"not recorded";
    if (input.Steps.Started) {
        const SYSTEMTIME& t = *input.Steps.Started;
        wchar_t text[40];
        std::swprintf(text, 40, L"%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                      t.wSecond);
        started = text;
    }
    Fact(html, L"Started", started);
    Fact(html, L"Setup program", input.Steps.SetupProgram.empty() ? L"not run" : input.Steps.SetupProgram);
    Fact(html, L"Setup exit code",
         input.Steps.SetupExitCode ? std::to_wstring(*input.Steps.SetupExitCode) : std::wstring(L"not run"));
    Fact(html, L"Machine",
         input.WindowsVersion + (input.Windows64 ? L", 64-bit Windows" : L", 32-bit Windows"));
    html.Raw("</table>");

    html.Raw("<table class=\"steps\"><thead><tr>");
    for (const wchar_t* name : StepNames)
        html.Element("th", name);
    html.Raw("</tr></thead><tbody><tr>");
    for (const std::optional<ULONGLONG>& duration : input.Steps.Durations)
        html.Element("td", duration ? DurationText(*duration) : L"not run");
    html.Raw("</tr></tbody></table>");

    const ChangeSet& changes = input.Project.Changes;
    std::size_t keys = 0, values = 0, ini = 0;
    for (ChangeOrigin origin : Origins) {
        keys += changes.Registry(origin).size();
        values += ValueCount(changes.Registry(origin));
        ini += EntryCount(changes.Ini(origin));
    }
    const std::pair<const wchar_t*, std::size_t> counts[] = {
        {L"Files added", EntryCount(changes.Files(ChangeOrigin::Added))},
        {L"Files changed", EntryCount(changes.Files(ChangeOrigin::Modified))},
        {L"Files deleted", EntryCount(changes.Files(ChangeOrigin::Deleted))},
        {L"Registry keys", keys},
        {L"Registry values", values},
        {L"INI entries", ini},
        {L"Shortcuts", input.Project.Shortcuts.size()},
        {L"Services", input.Project.Services.size()},
        {L"Environment variables", input.Project.Environment.size()},
    };
    html.Raw("<table class=\"counts\"><thead><tr>");
    for (const auto& [name, count] : counts)
        html.Element("th", name);
    html.Raw("</tr></thead><tbody><tr>");
    for (const auto& [name, count] : counts)
        html.Raw("<td class=\"n\">").Text(GroupedNumber(count)).Raw("</td>");
    html.Raw("</tr></tbody></table>");
}

void WriteFiles(CHtmlText& html, const CaptureReportInput& input)
{
    struct Row
    {
        const std::wstring* path;
        std::size_t origin;
    };
    struct Folder
    {
        const std::wstring* path;
        std::vector<Row> rows;
    };
    std::vector<Folder> folders;
    std::size_t total = 0;
    for (std::size_t origin = 0; origin < 3; ++origin)
        for (const auto& [folder, files] : input.Project.Changes.FileMaps[origin]) {
            if (files.empty())
                continue;
            folders.push_back({&folder, {}});
            for (const std::wstring& file : files)
                folders.back().rows.push_back({&file, origin});
            total += files.size();
        }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const Folder& a, const Folder& b) { return LessIgnoringCase(*a.path, *b.path); });
    OpenSection(html, L"Files", total);
    if (total == 0) {
        Nothing(html, L"No files.");
        html.Raw("</details>");
        return;
    }
    TableHead(html, {L"Name", L"Size (bytes)", L"Change"});
    for (std::size_t i = 0; i < folders.size(); ++i) {
        // A folder both added to and modified in lists its files under one heading.
        std::vector<Row> rows = std::move(folders[i].rows);
        while (i + 1 < folders.size() && *folders[i + 1].path == *folders[i].path) {
            ++i;
            rows.insert(rows.end(), folders[i].rows.begin(), folders[i].rows.end());
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [](const Row& a, const Row& b) { return LessIgnoringCase(NameOf(*a.path), NameOf(*b.path)); });
        GroupHead(html, *folders[i].path, 3);
        for (const Row& row : rows) {
            html.Raw("<tr>").Element("td", NameOf(*row.path)).Raw("<td class=\"n\">");
            // A deleted file has no size of its own (what lies there now is not the capture's).
            if (input.FileSize && row.origin != ChangeSet::Index(ChangeOrigin::Deleted))
                if (const auto size = input.FileSize(*row.path))
                    html.Text(GroupedNumber(*size));
            html.Raw("</td>").Element("td", OriginNames[row.origin]).Raw("</tr>");
        }
        html.Raw("</tbody>");
    }
    html.Raw("</table></details>");
}

// One key or INI file of a change list with its entries and the list's origin.
template <class Entry>
struct ChangeGroup
{
    const std::wstring* path;
    std::size_t origin;
    const std::vector<Entry>* entries;
};

// The groups of the three lists of one area, sorted by path (ignoring case),
// the added list's first where a path is in several.
template <class Entry>
std::vector<ChangeGroup<Entry>> SortedGroups(const std::array<std::map<std::wstring, std::vector<Entry>>, 3>& maps)
{
    std::vector<ChangeGroup<Entry>> groups;
    for (std::size_t origin = 0; origin < maps.size(); ++origin)
        for (const auto& [path, entries] : maps[origin])
            groups.push_back({&path, origin, &entries});
    std::stable_sort(groups.begin(), groups.end(), [](const ChangeGroup<Entry>& a, const ChangeGroup<Entry>& b) {
        return LessIgnoringCase(*a.path, *b.path);
    });
    return groups;
}

void WriteRegistry(CHtmlText& html, const CaptureReportInput& input)
{
    const auto keys = SortedGroups(input.Project.Changes.RegistryMaps);
    std::size_t total = 0;
    for (const auto& key : keys)
        for (const RegistryChangeEntry& value : *key.entries)
            total += value.ValueName.empty() ? 0 : 1;
    OpenSection(html, L"Registry values", total);
    if (keys.empty()) {
        Nothing(html, L"No registry changes.");
        html.Raw("</details>");
        return;
    }
    TableHead(html, {L"Value name", L"Type", L"Data", L"Change"});
    for (const auto& key : keys) {
        GroupHead(html, *key.path, 4);
        for (const RegistryChangeEntry& value : *key.entries) {
            if (value.ValueName.empty())
                continue; // the key alone: its heading says it
            html.Raw("<tr>").Element("td", ValueNameOf(value)).Element("td", value.TypeName);
            if (value.Data.size() > DataShown)
                html.Raw("<td title=\"").Text(value.Data).Raw("\">").Shortened(value.Data, DataShown).Raw("</td>");
            else
                html.Element("td", value.Data);
            html.Element("td", OriginNames[key.origin]).Raw("</tr>");
        }
        html.Raw("</tbody>");
    }
    html.Raw("</table></details>");
}

void WriteIni(CHtmlText& html, const CaptureReportInput& input)
{
    const auto files = SortedGroups(input.Project.Changes.IniMaps);
    std::size_t total = 0;
    for (const auto& file : files)
        total += file.entries->size();
    OpenSection(html, L"INI entries", total);
    if (total == 0) {
        Nothing(html, L"No INI entries.");
        html.Raw("</details>");
        return;
    }
    TableHead(html, {L"Section", L"Key", L"Value", L"Change"});
    for (const auto& file : files) {
        GroupHead(html, *file.path, 4);
        for (const IniChangeEntry& entry : *file.entries)
            html.Raw("<tr>").Element("td", entry.Section).Element("td", entry.Key).Element("td", entry.Value)
                .Element("td", OriginNames[file.origin]).Raw("</tr>");
        html.Raw("</tbody>");
    }
    html.Raw("</table></details>");
}

template <class Item>
std::vector<const Item*> SortedBy(const std::vector<Item>& items, std::wstring Item::*field)
{
    std::vector<const Item*> sorted;
    for (const Item& item : items)
        sorted.push_back(&item);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [field](const Item* a, const Item* b) { return LessIgnoringCase(a->*field, b->*field); });
    return sorted;
}

void WriteShortcuts(CHtmlText& html, const CaptureReportInput& input)
{
    OpenSection(html, L"Shortcuts", input.Project.Shortcuts.size());
    if (input.Project.Shortcuts.empty()) {
        Nothing(html, L"No shortcuts.");
        html.Raw("</details>");
        return;
    }
    TableHead(html, {L"Name", L"Place", L"Target", L"Arguments"});
    html.Raw("<tbody>");
    for (const ShortcutRecord* shortcut : SortedBy(input.Project.Shortcuts, &ShortcutRecord::ExeName)) {
        const std::wstring place =
            shortcut->Subfolder.empty() ? shortcut->Directory : shortcut->Directory + L"\\" + shortcut->Subfolder;
        html.Raw("<tr>").Element("td", shortcut->Name).Element("td", place).Element("td", shortcut->ExeName)
            .Element("td", shortcut->Arguments).Raw("</tr>");
    }
    html.Raw("</tbody></table></details>");
}

void WriteSystemSettings(CHtmlText& html, const CaptureReportInput& input)
{
    constexpr const wchar_t* StartTypes[] = {L"boot", L"system", L"automatic", L"manual", L"disabled"};
    OpenSection(html, L"Services", input.Project.Services.size());
    if (input.Project.Services.empty()) {
        Nothing(html, L"No services.");
    } else {
        TableHead(html, {L"Name", L"Display name", L"Program", L"Arguments", L"Start", L"Account"});
        html.Raw("<tbody>");
        for (const ServiceRecord* service : SortedBy(input.Project.Services, &ServiceRecord::Key))
            html.Raw("<tr>").Element("td", service->Name).Element("td", service->DisplayName)
                .Element("td", service->Program).Element("td", service->Arguments)
                .Element("td", service->Start < 5 ? StartTypes[service->Start] : L"unknown")
                .Element("td", service->Account.empty() ? L"LocalSystem" : service->Account).Raw("</tr>");
        html.Raw("</tbody></table>");
    }
    html.Raw("</details>");

    OpenSection(html, L"Environment variables", input.Project.Environment.size());
    if (input.Project.Environment.empty()) {
        Nothing(html, L"No environment variables.");
        html.Raw("</details>");
        return;
    }
    TableHead(html, {L"Name", L"Scope", L"Change", L"Value"});
    html.Raw("<tbody>");
    for (const EnvironmentRecord* variable : SortedBy(input.Project.Environment, &EnvironmentRecord::Key)) {
        std::wstring value = variable->Value;
        for (const std::wstring& entry : variable->Prepend)
            value += (value.empty() ? L"" : L"; ") + (L"in front: " + entry);
        for (const std::wstring& entry : variable->Append)
            value += (value.empty() ? L"" : L"; ") + (L"at the end: " + entry);
        html.Raw("<tr>").Element("td", variable->Name).Element("td", variable->System ? L"system" : L"user")
            .Element("td", variable->Action == EnvironmentAction::Create   ? L"created"
                           : variable->Action == EnvironmentAction::Extend ? L"extended"
                                                                           : L"set")
            .Element("td", value).Raw("</tr>");
    }
    html.Raw("</tbody></table></details>");
}

void WriteNotIncluded(CHtmlText& html, const CaptureReportInput& input)
{
    OpenSection(html, L"Excluded from the capture", input.Excluded.size());
    if (input.Excluded.empty()) {
        Nothing(html, L"Nothing was excluded.");
    } else {
        TableHead(html, {L"Kind", L"Item", L"Description"});
        html.Raw("<tbody>");
        for (const ReportExclusion* item : SortedBy(input.Excluded, &ReportExclusion::Item))
            html.Raw("<tr>").Element("td", item->Kind).Element("td", item->Item).Element("td", item->Description)
                .Raw("</tr>");
        html.Raw("</tbody></table>");
    }
    html.Raw("</details>");

    OpenSection(html, L"Left out by the build", input.LeftOut.size());
    if (input.LeftOut.empty()) {
        Nothing(html, input.PackageFile.empty() ? L"No package was built." : L"Everything went into the package.");
    } else {
        TableHead(html, {L"Kind", L"Item", L"Reason"});
        html.Raw("<tbody>");
        for (const LeftOutItem* item : SortedBy(input.LeftOut, &LeftOutItem::Item))
            html.Raw("<tr>").Element("td", item->Kind).Element("td", item->Item).Element("td", item->Reason)
                .Raw("</tr>");
        html.Raw("</tbody></table>");
    }
    html.Raw("</details>");

    OpenSection(html, L"Warnings and notes", input.Warnings.size());
    if (input.Warnings.empty()) {
        Nothing(html, L"None.");
    } else {
        html.Raw("<ul>");
        for (const std::wstring& warning : input.Warnings)
            html.Element("li", warning);
        html.Raw("</ul>");
    }
    html.Raw("</details>");
}

} // namespace

std::string CaptureReportHtml(const CaptureReportInput& input)
{
    CHtmlText html;
    html.Reserve(4096 + 80 * input.Project.AllFiles.size() + 120 * input.Project.AllRegistryKeys.size());
    html.Raw(Head).Raw("<title>Capture report: ").Text(input.Project.Product.ApplicationName).Raw(" ")
        .Text(input.Project.Product.Version).Raw("</title></head><body>");
    WriteSummary(html, input);
    html.Raw("<input type=\"search\" id=\"q\" placeholder=\"Filter every table\" aria-label=\"Filter\" hidden>");
    WriteFiles(html, input);
    WriteRegistry(html, input);
    WriteIni(html, input);
    WriteShortcuts(html, input);
    WriteSystemSettings(html, input);
    WriteNotIncluded(html, input);
    html.Raw(Script).Raw("</body></html>\n");
    return html.Take();
}

Result WriteCaptureReport(const CaptureReportInput& input, const std::wstring& path)
{
    const std::string text = CaptureReportHtml(input);
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        const Result failure = Result::LastError(L"WriteCaptureReport: Unable to write " + path);
        LogError(failure.Text());
        return failure;
    }
    return Result::Ok();
}

std::wstring CaptureReportPath(const std::wstring& packagePath)
{
    std::wstring base = packagePath;
    if (base.size() >= 4 && CompareStringOrdinal(base.c_str() + base.size() - 4, 4, L".msi", 4, TRUE) == CSTR_EQUAL)
        base.resize(base.size() - 4);
    return base + L"_report.html";
}
