#include "msi/CabinetStore.h"

#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "msi/PagedLockBytes.h"

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <vector>

namespace {

// 0..63 for the characters a stream name packs, -1 for the others.
int PackedValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'Z')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 36;
    if (c == L'.')
        return 62;
    if (c == L'_')
        return 63;
    return -1;
}

std::string HresultText(HRESULT code)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    char number[16];
    wsprintfA(number, "0x%08lX", static_cast<unsigned long>(code));
    return (message.empty() ? std::string() : ToUtf8(message) + " ") + "(error " + number + ")";
}

template <class T>
struct ComRelease
{
    T* p = nullptr;
    ~ComRelease()
    {
        if (p)
            p->Release();
    }
};

// Large pieces: the compound file links its sectors as each write reaches them.
constexpr DWORD PieceSize = 4u << 20;

} // namespace

std::wstring MsiStreamStorageName(const std::wstring& name)
{
    std::wstring out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const int first = PackedValue(name[i]);
        if (first < 0 || name[i] >= 0x80) {
            out += name[i];
            continue;
        }
        const int second = i + 1 < name.size() ? PackedValue(name[i + 1]) : -1;
        if (second >= 0) {
            out += static_cast<wchar_t>(0x3800 + first + (second << 6));
            ++i;
        } else {
            out += static_cast<wchar_t>(0x4800 + first);
        }
    }
    return out;
}

Result StoreStreams(const std::wstring& package, const std::vector<StreamSource>& streams)
{
    const auto failed = [](HRESULT code, const std::string& what) {
        return Result::Failure(static_cast<DWORD>(code), FromUtf8(what + HresultText(code)));
    };
    if (streams.empty())
        return Result::Ok();
    // The storage reaches the file through a page cache: its sector-sized
    // writes become a few large ones.
    DWORD openError = ERROR_SUCCESS;
    ComRelease<CPagedLockBytes> file{CPagedLockBytes::Open(package, openError)};
    if (!file.p)
        return failed(HRESULT_FROM_WIN32(openError), "Unable to open " + ToUtf8(package) + " to store its cabinets: ");
    ComRelease<IStorage> storage;
    HRESULT hr = StgOpenStorageOnILockBytes(file.p, nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT,
                                            nullptr, 0, &storage.p);
    if (FAILED(hr) || !storage.p) {
        return failed(hr, "Unable to open " + ToUtf8(package) + " to store its cabinets: ");
    }
    std::vector<char> piece(PieceSize);
    for (const StreamSource& source : streams) {
        UniqueFile file(CreateFileW(source.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size)) {
            const HRESULT error = HRESULT_FROM_WIN32(GetLastError());
            return failed(error, "Unable to read " + ToUtf8(source.file) + ": ");
        }
        ComRelease<IStream> stream;
        hr = storage.p->CreateStream(MsiStreamStorageName(source.name).c_str(),
                                     STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0, &stream.p);
        // (Setting the stream's whole size first was measured no faster.)
        std::uint64_t left = static_cast<std::uint64_t>(size.QuadPart);
        while (SUCCEEDED(hr) && left > 0) {
            DWORD got = 0;
            if (!ReadFile(file.get(), piece.data(), PieceSize, &got, nullptr) || got == 0) {
                const HRESULT error = HRESULT_FROM_WIN32(got == 0 ? ERROR_HANDLE_EOF : GetLastError());
                return failed(error, "Unable to read " + ToUtf8(source.file) + ": ");
            }
            ULONG put = 0;
            hr = stream.p->Write(piece.data(), got, &put);
            if (SUCCEEDED(hr) && put != got)
                hr = STG_E_MEDIUMFULL;
            left -= got < left ? got : left;
        }
        if (FAILED(hr)) {
            return failed(hr, "Unable to store " + ToUtf8(source.file) + " in " + ToUtf8(package) + " as the stream " +
                                  ToUtf8(source.name) + ": ");
        }
    }
    hr = storage.p->Commit(STGC_DEFAULT);
    // The storage goes first: what it still holds reaches the pages, then the file.
    storage.p->Release();
    storage.p = nullptr;
    if (SUCCEEDED(hr))
        hr = file.p->Flush();
    if (FAILED(hr)) {
        return failed(hr, "Unable to store the cabinets in " + ToUtf8(package) + ": ");
    }
    return Result::Ok();
}
