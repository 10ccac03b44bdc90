#include "ui/pages/CreateProjectFileAndMsiRules.h"

#include "common/FolderTokens.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "project/Base64.h"
#include "ui/wizard/Resource.h"

#include <ocidl.h>
#include <olectl.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <memory>
#include <set>
#include <type_traits>
#include <vector>

using Microsoft::WRL::ComPtr;

std::wstring TrimText(const std::wstring& text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), [](wchar_t c) { return std::iswspace(c); });
    const auto last = std::find_if_not(text.rbegin(), text.rend(), [](wchar_t c) { return std::iswspace(c); });
    if (first == text.end())
        return {};
    return std::wstring(first, last.base());
}

std::wstring LastPathComponent(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring DefaultShortcutName(const std::wstring& executable)
{
    return executable.substr(0, executable.find(L'.'));
}

// ---- The three fields ---------------------------------------------------------------

ProjectInputCheck CheckProjectInputs(const ProjectInputs& inputs)
{
    ProjectInputCheck check;
    check.values = {TrimText(inputs.targetPath), TrimText(inputs.projectFileName), TrimText(inputs.msiName)};
    auto refuse = [&check](const wchar_t* message, int field) {
        check.message = message;
        check.field = field;
        return check;
    };

    std::wstring& target = check.values.targetPath;
    WIN32_FIND_DATAW found{};
    UniqueFind search(target.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(target.c_str(), &found));
    if (!search.valid())
        return refuse(L"Given Path does not exist", IDC_TARGET_PATH);
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return refuse(L"Given Path is not an direectory", IDC_TARGET_PATH);
    // The search gives the last component as the file system spells it.
    const std::size_t slash = target.find_last_of(L"\\/");
    target = (slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1)) + found.cFileName;

    const std::wstring& project = check.values.projectFileName;
    if (project.empty())
        return refuse(L"Project File Name can not be empty", IDC_PROJECT_FILE_NAME);
    if (project.find(L".xml") == std::wstring::npos)
        return refuse(L"Repackager only supports XML file format", IDC_PROJECT_FILE_NAME);
    if (project.starts_with(L".xml"))
        return refuse(L"Specify name of the XML file", IDC_PROJECT_FILE_NAME);

    const std::wstring& msi = check.values.msiName;
    if (msi.empty())
        return refuse(L"MSI File Name can not be empty", IDC_MSI_NAME);
    if (msi.find(L".msi") == std::wstring::npos)
        return refuse(L"Repackager file should have .msi extension", IDC_MSI_NAME);
    if (msi.starts_with(L".msi"))
        return refuse(L"Specify name of the MSI file", IDC_MSI_NAME);

    check.accepted = true;
    return check;
}

// ---- Icons -----------------------------------------------------------------------------

IconSourceKind ClassifyIconSource(const std::wstring& path)
{
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || path.find(L'\\', dot) != std::wstring::npos)
        return IconSourceKind::None;
    const std::wstring extension = path.substr(dot);
    if (_wcsicmp(extension.c_str(), L".exe") == 0 || _wcsicmp(extension.c_str(), L".dll") == 0)
        return IconSourceKind::Program;
    if (_wcsicmp(extension.c_str(), L".ico") == 0)
        return IconSourceKind::IconFile;
    return IconSourceKind::None;
}

int CountIcons(const std::wstring& path)
{
    if (ClassifyIconSource(path) == IconSourceKind::None)
        return 0;
    const UINT count = ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0);
    // A file that is no image at all answers with UINT_MAX on some systems.
    return count == UINT_MAX ? 0 : static_cast<int>(count);
}

HICON ExtractIconAt(const std::wstring& path, int index, bool large)
{
    if (index < 0 || path.empty())
        return nullptr;
    HICON icon = nullptr;
    const UINT extracted =
        large ? ExtractIconExW(path.c_str(), index, &icon, nullptr, 1) : ExtractIconExW(path.c_str(), index, nullptr, &icon, 1);
    return extracted == UINT_MAX || extracted == 0 ? nullptr : icon;
}

namespace {

struct GdiObjectDeleter
{
    void operator()(HBITMAP bitmap) const noexcept
    {
        if (bitmap)
            DeleteObject(bitmap);
    }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

// An icon file image starts with the directory: reserved 0, type 1, a count.
bool LooksLikeIconFile(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() < 6 + 16 + sizeof(BITMAPINFOHEADER))
        return false;
    const auto word = [&bytes](std::size_t at) { return static_cast<unsigned>(bytes[at] | (bytes[at + 1] << 8)); };
    return word(0) == 0 && word(2) == 1 && word(4) >= 1;
}

// The icon saved by an OLE picture into a memory stream.
bool IconBytesFromPicture(HICON icon, std::vector<std::uint8_t>& bytes)
{
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_ICON;
    description.icon.hicon = icon;
    ComPtr<IPicture> picture;
    if (FAILED(OleCreatePictureIndirect(&description, IID_IPicture, TRUE,
                                        reinterpret_cast<void**>(picture.GetAddressOf())))) {
        DestroyIcon(icon); // not handed over
        return false;
    }
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf())))
        return false;
    LONG size = 0;
    if (FAILED(picture->SaveAsFile(stream.Get(), TRUE, &size)) || size <= 0)
        return false;
    if (FAILED(stream->Seek({}, STREAM_SEEK_SET, nullptr)))
        return false;
    bytes.clear();
    std::uint8_t chunk[2048];
    for (;;) {
        ULONG read = 0;
        if (FAILED(stream->Read(chunk, sizeof(chunk), &read)) || read == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    return LooksLikeIconFile(bytes);
}

// The icon file of one 32-bit image: directory, bitmap header (twice the
// height: the colour rows, then the mask rows), colour pixels, AND mask.
void WriteIconFile(const BITMAPINFOHEADER& colourHeader, const std::vector<std::uint8_t>& pixels,
                   const std::vector<std::uint8_t>& maskBits, std::vector<std::uint8_t>& bytes)
{
    const int width = colourHeader.biWidth;
    const int height = colourHeader.biHeight;
    BITMAPINFOHEADER header = colourHeader;
    header.biHeight = height * 2; // the colour rows and the mask rows
    header.biSizeImage = static_cast<DWORD>(pixels.size() + maskBits.size());
    const std::uint32_t imageSize = static_cast<std::uint32_t>(sizeof(header) + pixels.size() + maskBits.size());

    bytes.clear();
    auto put16 = [&bytes](unsigned v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put16(0); // reserved
    put16(1); // icon
    put16(1); // one image
    bytes.push_back(static_cast<std::uint8_t>(width == 256 ? 0 : width));
    bytes.push_back(static_cast<std::uint8_t>(height == 256 ? 0 : height));
    bytes.push_back(0); // no palette
    bytes.push_back(0);
    put16(1);  // planes
    put16(32); // bits per pixel
    put32(imageSize);
    put32(6 + 16); // the image follows the directory
    const auto* headerBytes = reinterpret_cast<const std::uint8_t*>(&header);
    bytes.insert(bytes.end(), headerBytes, headerBytes + sizeof(header));
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    bytes.insert(bytes.end(), maskBits.begin(), maskBits.end());
}

// The icon file format written from the icon's colour and mask bitmaps: one
// 32-bit image with its AND mask.
bool IconBytesFromBitmaps(HICON icon, std::vector<std::uint8_t>& bytes)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return false;
    UniqueBitmap colour(info.hbmColor);
    UniqueBitmap mask(info.hbmMask);
    BITMAP shape{};
    if (!colour || !mask || !GetObjectW(colour.get(), sizeof(shape), &shape) || shape.bmWidth <= 0 ||
        shape.bmHeight <= 0 || shape.bmWidth > 256 || shape.bmHeight > 256)
        return false;
    const int width = shape.bmWidth;
    const int height = shape.bmHeight;

    HDC screen = GetDC(nullptr);
    BITMAPINFO colourInfo{};
    colourInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    colourInfo.bmiHeader.biWidth = width;
    colourInfo.bmiHeader.biHeight = height; // bottom-up, as icon files store rows
    colourInfo.bmiHeader.biPlanes = 1;
    colourInfo.bmiHeader.biBitCount = 32;
    colourInfo.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    const int colourRows = GetDIBits(screen, colour.get(), 0, height, pixels.data(), &colourInfo, DIB_RGB_COLORS);

    struct
    {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } maskInfo{};
    maskInfo.header = colourInfo.bmiHeader;
    maskInfo.header.biBitCount = 1;
    maskInfo.header.biSizeImage = 0;
    const std::size_t maskStride = ((width + 31) / 32) * 4;
    std::vector<std::uint8_t> maskBits(maskStride * height);
    const int maskRows = GetDIBits(screen, mask.get(), 0, height, maskBits.data(),
                                   reinterpret_cast<BITMAPINFO*>(&maskInfo), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (colourRows != height || maskRows != height)
        return false;

    // Without any alpha the mask says what is seen.
    bool anyAlpha = false;
    for (std::size_t p = 3; p < pixels.size(); p += 4)
        anyAlpha = anyAlpha || pixels[p] != 0;
    if (!anyAlpha) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const bool transparent = maskBits[y * maskStride + x / 8] & (0x80 >> (x % 8));
                pixels[(static_cast<std::size_t>(y) * width + x) * 4 + 3] = transparent ? 0 : 255;
            }
    }

    WriteIconFile(colourInfo.bmiHeader, pixels, maskBits, bytes);
    return true;
}

} // namespace

bool SaveIconFile(HICON icon, const std::wstring& path)
{
    if (!icon)
        return false;
    std::vector<std::uint8_t> bytes;
    // The picture takes the icon; the fallback needs its own copy.
    HICON copy = CopyIcon(icon);
    bool made = IconBytesFromPicture(icon, bytes);
    if (!made && copy)
        made = IconBytesFromBitmaps(copy, bytes);
    if (copy)
        DestroyIcon(copy);
    if (!made) {
        LogError(L"CCreateProjectFileMsiDlg::SaveIconFile: Unable to save the icon for " + path);
        return false;
    }

    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!file.valid()) {
        LogError(L"CCreateProjectFileMsiDlg::SaveIconFile: Unable to create " + path);
        return false;
    }
    for (std::size_t offset = 0; offset < bytes.size(); offset += 2048) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(2048, bytes.size() - offset));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + offset, chunk, &written, nullptr) || written != chunk) {
            file.reset();
            DeleteFileW(path.c_str());
            LogError(L"CCreateProjectFileMsiDlg::SaveIconFile: Unable to write " + path);
            return false;
        }
    }
    return true;
}

std::wstring ExtractedIconPath(const std::wstring& iconFolder, const std::wstring& iconSource, int index)
{
    return iconFolder + L"\\" + LastPathComponent(iconSource) + L"_" + std::to_wstring(index) + L".ico";
}

namespace {

// Adds an icon file to the list once, with its contents, naming the executable that uses it.
void AddIconFile(IconMap& icons, const std::wstring& path, const std::wstring& executable)
{
    auto it = icons.find(path);
    if (it == icons.end()) {
        // A file that is not there (an icon that could not be extracted) has
        // no contents to store.
        IconRecord record;
        if (const Result read = ReadIconFile(path, record); !read) {
            const std::wstring line = L"CCreateProjectFileMsiDlg::PrepareShortcuts: Unable to read the icon file " + path;
            LogError(Result::Because(line, read).Text());
            return;
        }
        it = icons.emplace(path, std::move(record)).first;
    }
    auto& users = it->second.Executables;
    if (std::find(users.begin(), users.end(), executable) == users.end())
        users.push_back(executable);
}

} // namespace

bool PrepareShortcuts(ShortcutEntryMap& entries, const std::wstring& iconFolder, ShortcutList& records,
                      IconMap& icons)
{
    if (!EnsureFolder(iconFolder)) {
        LogError(L"CCreateProjectFileMsiDlg::PrepareShortcuts: Unable to create " + iconFolder);
        return false;
    }
    for (auto& [key, entry] : entries) {
        entry.name = TrimText(entry.name);
        if (entry.name.empty())
            entry.name = entry.executable;
        entry.iconSource = TrimText(entry.iconSource);
        const std::wstring& source = entry.iconSource;
        if (source.find(L".ico", 1) != std::wstring::npos) {
            AddIconFile(icons, source, entry.executable);
        } else if (source.find(L".exe", 1) != std::wstring::npos) {
            const std::wstring iconPath = ExtractedIconPath(iconFolder, source, entry.iconIndex);
            if (HICON icon = ExtractIconAt(source, entry.iconIndex))
                SaveIconFile(icon, iconPath); // the picture object owns and frees the icon
            entry.iconSource = iconPath;
            AddIconFile(icons, iconPath, entry.executable);
        }

        const std::pair<bool, const wchar_t*> places[] = {{entry.desktop, L"DesktopFolder"},
                                                          {entry.programMenu, L"ProgramMenuFolder"},
                                                          {entry.quickLaunch, L"QuickLaunchFolder"}};
        const ShortcutRecord plain{entry.name, entry.executable, L"", entry.iconSource,
                                   std::to_wstring(entry.iconIndex)};
        const auto withEntry = [&](ShortcutRecord record) {
            record.Name = plain.Name;
            record.Icon = plain.Icon;
            record.IconIndex = plain.IconIndex;
            return record;
        };
        for (const auto& [ticked, directory] : places) {
            if (!ticked)
                continue;
            bool fromCapture = false;
            for (const ShortcutRecord& record : entry.captured)
                if (record.Directory == directory) {
                    records.push_back(withEntry(record));
                    fromCapture = true;
                }
            if (!fromCapture) {
                records.push_back(plain);
                records.back().Directory = directory;
            }
        }
        for (const ShortcutRecord& record : entry.captured)
            if (std::none_of(std::begin(places), std::end(places),
                             [&](const auto& place) { return record.Directory == place.second; }))
                records.push_back(withEntry(record));
    }
    return true;
}

ShortcutEntryMap EntriesFromCapturedShortcuts(const ShortcutList& captured)
{
    ShortcutEntryMap entries;
    for (const ShortcutRecord& record : captured) {
        auto [it, isNew] = entries.try_emplace(record.Name);
        ShortcutEntry& entry = it->second;
        if (isNew)
            entry = {record.Name, record.ExeName, record.Icon, _wtoi(record.IconIndex.c_str()), false, false, false};
        entry.desktop |= record.Directory == L"DesktopFolder";
        entry.programMenu |= record.Directory == L"ProgramMenuFolder";
        entry.quickLaunch |= record.Directory == L"QuickLaunchFolder";
        entry.captured.push_back(record);
    }
    return entries;
}

std::set<std::wstring> TakenShortcutNames(const ShortcutEntryMap& entries, const std::optional<std::wstring>& editing)
{
    std::set<std::wstring> names;
    for (const auto& [key, entry] : entries)
        if (!editing || key != *editing)
            names.insert(key);
    return names;
}

namespace {

std::wstring UpperPath(std::wstring path)
{
    for (wchar_t& c : path)
        c = static_cast<wchar_t>(std::towupper(c));
    return path;
}

} // namespace

std::vector<std::wstring> IncludedExecutables(const std::vector<std::wstring>& recorded, const DirectoryChangeMap& added)
{
    std::set<std::wstring> files;
    for (const auto& [folder, list] : added)
        for (const std::wstring& file : list)
            files.insert(UpperPath(file));
    std::vector<std::wstring> included;
    for (const std::wstring& path : recorded)
        if (files.count(UpperPath(path)))
            included.push_back(path);
    return included;
}

const ShortcutEntry* ShortcutWithoutTarget(const ShortcutEntryMap& entries,
                                           const std::vector<const DirectoryChangeMap*>& captured,
                                           const FolderTokenValues& tokens)
{
    std::set<std::wstring> paths, names;
    for (const DirectoryChangeMap* map : captured)
        for (const auto& [folder, list] : *map)
            for (const std::wstring& file : list) {
                paths.insert(UpperPath(file));
                names.insert(UpperPath(LastPathComponent(file)));
            }
    for (const auto& [key, entry] : entries) {
        if (!entry.desktop && !entry.programMenu && !entry.quickLaunch)
            continue;
        std::wstring target = entry.executable;
        const bool byPath = target.find(L'\\') != std::wstring::npos;
        if (byPath)
            ToRealPath(target, tokens);
        if (!(byPath ? paths : names).count(UpperPath(target)))
            return &entry;
    }
    return nullptr;
}

// ---- Progress bar ------------------------------------------------------------------------

int ProgressCeiling(int increment, int stepCount)
{
    return increment * (stepCount + 1) - 50;
}

int NextProgressPosition(int position, int increment, int stepCount)
{
    if (position <= ProgressCeiling(increment, stepCount) && position < ProgressRange)
        return position + 1;
    return position;
}

int NextMeasuredProgressPosition(int position, int increment, int stepCount, int share)
{
    if (share < 0)
        return NextProgressPosition(position, increment, stepCount);
    const int target = std::min(share, 1000) * (ProgressRange - 50) / 1000;
    return std::max(position, target);
}
