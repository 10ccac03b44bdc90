#include "tools/makecab/CabinetWriter.h"

#include <windows.h>
#include <bcrypt.h>
#include <fci.h>
#include <fcntl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "tools/makecab/FciGuard.h"

namespace {

// FCI hands file names back to the callbacks as char*. Every name given to it
// is one of these tokens, resolved here to a wide path.
const char kCabinetToken[] = ":cabinet:";
const char kSourcePrefix[] = ":source:";
const char kTempPrefix[] = ":temp:";
// How many stored files may wait open for their turn.
constexpr size_t kKeptOpen = 4096;

struct Context
{
    const DdfScript* script = nullptr;
    std::wstring cabinetPath;
    std::wstring tempFolder;
    std::vector<std::wstring> temps;
    std::map<INT_PTR, std::wstring> openFiles; // handle -> path, for messages
    size_t current = 0;      // index of the file being added
    std::wstring problem;    // first failure seen by a callback
    unsigned long long limit = kMaxCabinetSize;
    CabinetProgress* progress = nullptr;
    unsigned long long bytesRead = 0;
    // MD5 of each source as FCI reads it, by handle.
    BCRYPT_ALG_HANDLE md5 = nullptr;
    struct Source
    {
        size_t index = 0;
        BCRYPT_HASH_HANDLE hash = nullptr;
        bool started = false; // its first bytes have been read
    };
    std::map<INT_PTR, Source> hashing;
    // The source opened to look at its first bytes, handed to FCI when it
    // opens that file (one open per file).
    HANDLE probed = INVALID_HANDLE_VALUE;
};

std::wstring Win32Text(DWORD code)
{
    return CabinetSystemText(code);
}

std::wstring PathOf(const Context& ctx, INT_PTR handle)
{
    const auto found = ctx.openFiles.find(handle);
    return found == ctx.openFiles.end() ? std::wstring(L"a file") : L"'" + found->second + L"'";
}

bool Resolve(const Context& ctx, const char* token, std::wstring& path)
{
    const std::string t = token;
    if (t == kCabinetToken) {
        path = ctx.cabinetPath;
        return true;
    }
    if (t.starts_with(kSourcePrefix)) {
        const size_t i = std::strtoul(t.c_str() + sizeof kSourcePrefix - 1, nullptr, 10);
        if (i >= ctx.script->files.size())
            return false;
        path = ctx.script->files[i].source;
        return true;
    }
    if (t.starts_with(kTempPrefix)) {
        const size_t i = std::strtoul(t.c_str() + sizeof kTempPrefix - 1, nullptr, 10);
        if (i >= ctx.temps.size())
            return false;
        path = ctx.temps[i];
        return true;
    }
    return false;
}

void Note(Context& ctx, const std::wstring& problem)
{
    if (ctx.problem.empty())
        ctx.problem = problem;
}

// FCI compresses each 32 KiB block with a new compressor: the same few
// buffers of up to 64 KiB are allocated and freed thousands of times per
// cabinet. Freed buffers are kept for the next request of the same size;
// given back to the system, they come back as fresh pages that are faulted
// in and cleared every time. Only FCI's thread uses this.
class BufferCache
{
public:
    ~BufferCache()
    {
        for (auto& [size, list] : m_free)
            for (void* block : list)
                std::free(block);
    }
    void* Get(ULONG size)
    {
        auto found = m_free.find(size);
        if (found != m_free.end() && !found->second.empty()) {
            void* block = found->second.back();
            found->second.pop_back();
            return static_cast<Header*>(block) + 1;
        }
        auto* block = static_cast<Header*>(std::malloc(sizeof(Header) + size));
        if (!block)
            return nullptr;
        block->size = size;
        return block + 1;
    }
    void Put(void* memory)
    {
        if (!memory)
            return;
        Header* block = static_cast<Header*>(memory) - 1;
        try {
            std::vector<void*>& list = m_free[block->size];
            if (list.size() < kKeptPerSize) {
                list.push_back(block);
                return;
            }
        } catch (...) {
            // No room to keep it: it goes back to the system.
        }
        std::free(block);
    }

private:
    struct alignas(16) Header
    {
        ULONG size;
    };
    static constexpr size_t kKeptPerSize = 8;
    std::map<ULONG, std::vector<void*>> m_free;
};

BufferCache g_buffers;

FNFCIALLOC(Alloc)
{
    try {
        return g_buffers.Get(cb);
    } catch (...) {
        return nullptr;
    }
}
FNFCIFREE(Free) { g_buffers.Put(memory); }

FNFCIOPEN(Open)
{
    auto& ctx = *static_cast<Context*>(pv);
    (void)pmode;
    try {
        std::wstring path;
        if (!Resolve(ctx, pszFile, path)) {
            *err = ENOENT;
            return -1;
        }
        DWORD access = GENERIC_READ;
        if ((oflag & 3) == _O_WRONLY)
            access = GENERIC_WRITE;
        else if ((oflag & 3) == _O_RDWR)
            access = GENERIC_READ | GENERIC_WRITE;
        DWORD disposition = OPEN_EXISTING;
        if ((oflag & _O_CREAT) && (oflag & _O_EXCL))
            disposition = CREATE_NEW;
        else if ((oflag & _O_CREAT) && (oflag & _O_TRUNC))
            disposition = CREATE_ALWAYS;
        else if (oflag & _O_CREAT)
            disposition = OPEN_ALWAYS;
        else if (oflag & _O_TRUNC)
            disposition = TRUNCATE_EXISTING;
        HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            Note(ctx, L"cannot open '" + path + L"': " + Win32Text(code));
            *err = static_cast<int>(code);
            return -1;
        }
        ctx.openFiles[reinterpret_cast<INT_PTR>(h)] = path;
        return reinterpret_cast<INT_PTR>(h);
    } catch (...) {
        *err = ENOMEM;
        return -1;
    }
}

FNFCIREAD(Read)
{
    return FciGuard(static_cast<UINT>(-1), err, [&]() -> UINT {
        auto& ctx = *static_cast<Context*>(pv);
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(hf), memory, cb, &got, nullptr)) {
            const DWORD code = GetLastError();
            *err = static_cast<int>(code);
            Note(ctx, L"cannot read " + PathOf(ctx, hf) + L": " + Win32Text(code));
            return static_cast<UINT>(-1);
        }
        const auto source = ctx.hashing.find(hf);
        if (source == ctx.hashing.end() || got == 0)
            return got;
        Context::Source& read = source->second;
        if (!read.started) {
            read.started = true;
            const auto* bytes = static_cast<const unsigned char*>(memory);
            if (got >= 2 && bytes[0] == 'M' && bytes[1] == 'Z' && ctx.progress)
                ctx.progress->Image(read.index);
        }
        if (read.hash && !BCRYPT_SUCCESS(BCryptHashData(read.hash, static_cast<PUCHAR>(memory), got, 0))) {
            BCryptDestroyHash(read.hash);
            read.hash = nullptr; // no hash for this file, the file itself is fine
        }
        return got;
    });
}

FNFCIWRITE(Write)
{
    return FciGuard(static_cast<UINT>(-1), err, [&]() -> UINT {
        DWORD put = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(hf), memory, cb, &put, nullptr) || put != cb) {
            const DWORD code = GetLastError();
            *err = static_cast<int>(code);
            auto& ctx = *static_cast<Context*>(pv);
            Note(ctx, L"cannot write " + PathOf(ctx, hf) + L": " + Win32Text(code));
            return static_cast<UINT>(-1);
        }
        return put;
    });
}

FNFCICLOSE(Close)
{
    auto& ctx = *static_cast<Context*>(pv);
    ctx.openFiles.erase(hf);
    if (const auto hashing = ctx.hashing.find(hf); hashing != ctx.hashing.end()) {
        const size_t index = hashing->second.index;
        const BCRYPT_HASH_HANDLE hash = hashing->second.hash;
        ctx.hashing.erase(hashing);
        unsigned char digest[16];
        if (hash && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0)) && ctx.progress) {
            unsigned long parts[4];
            for (int i = 0; i < 4; ++i)
                parts[i] = static_cast<unsigned long>(digest[4 * i]) | static_cast<unsigned long>(digest[4 * i + 1]) << 8 |
                           static_cast<unsigned long>(digest[4 * i + 2]) << 16 |
                           static_cast<unsigned long>(digest[4 * i + 3]) << 24;
            ctx.progress->Hashed(index, parts);
        }
        if (hash)
            BCryptDestroyHash(hash);
    }
    if (!CloseHandle(reinterpret_cast<HANDLE>(hf))) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    return 0;
}

FNFCISEEK(Seek)
{
    (void)pv;
    LARGE_INTEGER move{};
    move.QuadPart = dist;
    LARGE_INTEGER now{};
    // SEEK_SET, SEEK_CUR and SEEK_END have the values of FILE_BEGIN,
    // FILE_CURRENT and FILE_END.
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(hf), move, &now, static_cast<DWORD>(seektype))) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    return static_cast<__LONG32>(now.QuadPart);
}

FNFCIDELETE(Delete)
{
    auto& ctx = *static_cast<Context*>(pv);
    std::wstring path;
    try {
        if (!Resolve(ctx, pszFile, path) || !DeleteFileW(path.c_str())) {
            *err = static_cast<int>(GetLastError());
            return -1;
        }
    } catch (...) {
        *err = ENOMEM;
        return -1;
    }
    return 0;
}

FNFCIGETTEMPFILE(GetTempFile)
{
    auto& ctx = *static_cast<Context*>(pv);
    try {
        const std::string token = kTempPrefix + std::to_string(ctx.temps.size());
        if (static_cast<int>(token.size()) >= cbTempName)
            return FALSE;
        wchar_t name[MAX_PATH];
        // A unique name; FCI creates the file itself with _O_EXCL.
        if (!GetTempFileNameW(ctx.tempFolder.c_str(), L"cab", 0, name)) {
            Note(ctx, L"cannot make a temporary file in '" + ctx.tempFolder + L"': " + Win32Text(GetLastError()));
            return FALSE;
        }
        DeleteFileW(name);
        ctx.temps.emplace_back(name);
        std::memcpy(pszTempName, token.c_str(), token.size() + 1);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

FNFCIFILEPLACED(FilePlaced)
{
    (void)pccab, (void)pszFile, (void)cbFile, (void)fContinuation, (void)pv;
    return 0;
}

FNFCIGETNEXTCABINET(GetNextCabinet)
{
    (void)pccab, (void)cbPrevCab;
    return FciGuard(BOOL(FALSE), nullptr, [&] {
        auto& ctx = *static_cast<Context*>(pv);
        const std::wstring at = ctx.current < ctx.script->files.size()
                                    ? L" at '" + ctx.script->files[ctx.current].source + L"'"
                                    : std::wstring();
        Note(ctx, L"the cabinet '" + ctx.cabinetPath + L"' would pass " +
                      (ctx.limit == kMaxCabinetSize ? std::wstring(L"2 GB, the largest a cabinet can be")
                                                    : L"its limit of " + std::to_wstring(ctx.limit) + L" bytes") +
                      at);
        return BOOL(FALSE);
    });
}

FNFCISTATUS(Status)
{
    auto& ctx = *static_cast<Context*>(pv);
    if (typeStatus == statusFile) {
        ctx.bytesRead += cb2;
        if (ctx.progress)
            ctx.progress->Packed(ctx.current, ctx.bytesRead, false);
    }
    (void)cb1;
    return 0;
}

bool IsAscii(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c > 0x7F)
            return false;
    return true;
}

// A source file opened for FCI to read.
HANDLE OpenSource(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

FNFCIGETOPENINFO(GetOpenInfo)
{
    auto& ctx = *static_cast<Context*>(pv);
    try {
        std::wstring path;
        if (!Resolve(ctx, pszName, path)) {
            *err = ENOENT;
            return -1;
        }
        UniqueFile file(ctx.probed != INVALID_HANDLE_VALUE ? ctx.probed : OpenSource(path));
        ctx.probed = INVALID_HANDLE_VALUE;
        if (!file) {
            const DWORD code = GetLastError();
            const DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                Note(ctx, L"source '" + path + L"' is a folder, not a file");
            else
                Note(ctx, L"cannot open source file '" + path + L"': " + Win32Text(code));
            *err = static_cast<int>(code);
            return -1;
        }
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file.get(), &size) && static_cast<unsigned long long>(size.QuadPart) > kMaxCabinetFileSize) {
            Note(ctx, L"source file '" + path + L"' is 2 GiB or larger; a cabinet cannot hold it");
            *err = EFBIG;
            return -1;
        }
        HANDLE h = file.get();
        ctx.openFiles[reinterpret_cast<INT_PTR>(h)] = path;
        BCRYPT_HASH_HANDLE hash = nullptr;
        if (ctx.md5 && ctx.progress &&
            !BCRYPT_SUCCESS(BCryptCreateHash(ctx.md5, &hash, nullptr, 0, nullptr, 0, 0)))
            hash = nullptr;
        ctx.hashing[reinterpret_cast<INT_PTR>(h)] = {ctx.current, hash, false};
        // The basic information holds the times and attributes; the handle
        // information would also ask the volume for its serial number, a
        // round trip to the mount manager for every file.
        FILE_BASIC_INFO info{};
        FILETIME written{};
        FILETIME local{};
        bool dated = GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info) != FALSE;
        if (dated) {
            written.dwLowDateTime = info.LastWriteTime.LowPart;
            written.dwHighDateTime = static_cast<DWORD>(info.LastWriteTime.HighPart);
        }
        if (!dated || !FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, pdate, ptime)) {
            *pdate = 0x21; // 1980-01-01
            *ptime = 0;
        }
        USHORT attribs = static_cast<USHORT>(info.FileAttributes & (_A_RDONLY | _A_HIDDEN | _A_SYSTEM | _A_ARCH));
        if (!IsAscii(ctx.script->files[ctx.current].name))
            attribs |= _A_NAME_IS_UTF;
        *pattribs = attribs;
        return reinterpret_cast<INT_PTR>(file.release());
    } catch (...) {
        *err = ENOMEM;
        return -1;
    }
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Creates a folder and its missing parents.
bool MakeFolders(const std::wstring& folder)
{
    if (folder.empty() || (folder.size() == 2 && folder[1] == L':'))
        return true;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!MakeFolders(FolderOf(folder)))
        return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

const wchar_t* FciErrorText(int oper)
{
    switch (oper) {
    case FCIERR_OPEN_SRC: return L"cannot open a source file";
    case FCIERR_READ_SRC: return L"cannot read a source file";
    case FCIERR_ALLOC_FAIL: return L"out of memory";
    case FCIERR_TEMP_FILE: return L"cannot use a temporary file";
    case FCIERR_BAD_COMPR_TYPE: return L"unknown compression type";
    case FCIERR_CAB_FILE: return L"cannot write the cabinet";
    case FCIERR_USER_ABORT: return L"stopped";
    case FCIERR_MCI_FAIL: return L"compression failed";
    default: return L"cabinet creation failed";
    }
}

// Checks what needs no file access: the names inside the cabinet. Each source
// is checked when FCI opens it (one open per file: under Wine an open is a
// round trip to the server, and a probe of every file before the run cost as
// much as a fifth of the whole cabinet). A source that fails there ends the run
// naming its line, and the half-made cabinet is removed.
bool CheckNames(const DdfScript& script, DdfError& error)
{
    for (const DdfFile& file : script.files) {
        if (ToUtf8(file.name).size() >= CB_MAX_FILENAME) {
            error.line = file.line;
            error.message = L"name '" + file.name + L"' is too long for a cabinet";
            return false;
        }
    }
    error = {};
    return true;
}

// Opens a source to look at its first bytes. Returns the handle at the
// file's start, or INVALID_HANDLE_VALUE when the file cannot be opened (FCI's
// own open then says why). `incompressible` when the bytes look compressed.
HANDLE ProbeSource(const std::wstring& path, bool& incompressible)
{
    incompressible = false;
    HANDLE file = OpenSource(path);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    thread_local std::vector<unsigned char> start(kProbeBytes);
    DWORD got = 0;
    LARGE_INTEGER zero{};
    incompressible = ReadFile(file, start.data(), static_cast<DWORD>(start.size()), &got, nullptr) &&
                     LooksIncompressible(start.data(), got);
    if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

struct FciOwner
{
    HFCI h = nullptr;
    ~FciOwner()
    {
        if (h)
            FCIDestroy(h);
    }
};

bool RunFci(Context& ctx, DdfError& error)
{
    const DdfScript& script = *ctx.script;
    CCAB ccab{};
    ccab.cb = static_cast<ULONG>(ctx.limit);
    ccab.cbFolderThresh = CB_MAX_DISK;
    ccab.cbReserveCFHeader = script.reserveCabinet;
    ccab.cbReserveCFFolder = script.reserveFolder;
    ccab.cbReserveCFData = script.reserveData;
    ccab.iCab = 1;
    ccab.iDisk = 1;
    std::memcpy(ccab.szCab, kCabinetToken, sizeof kCabinetToken);

    ERF erf{};
    FciOwner fci;
    fci.h = FCICreate(&erf, FilePlaced, Alloc, Free, Open, Read, Write, Close, Seek, Delete, GetTempFile, &ccab, &ctx);
    if (!fci.h) {
        error.message = std::wstring(L"cannot start cabinet creation: ") + FciErrorText(erf.erfOper);
        return false;
    }
    size_t added = 0;
    const auto add = [&](size_t i, bool compress) {
        const DdfFile& file = script.files[i];
        ctx.current = i;
        error.line = file.line;
        std::string source = kSourcePrefix + std::to_string(i);
        std::string name = ToUtf8(file.name);
        if (!FCIAddFile(fci.h, source.data(), name.data(), FALSE, GetNextCabinet, Status, GetOpenInfo,
                        compress ? tcompTYPE_MSZIP : tcompTYPE_NONE)) {
            error.message = ctx.problem.empty()
                                ? L"cannot add '" + file.source + L"': " + FciErrorText(erf.erfOper)
                                : ctx.problem;
            return false;
        }
        if (ctx.progress)
            ctx.progress->Packed(++added, ctx.bytesRead, false);
        return true;
    };
    const auto flushFolder = [&] {
        if (FCIFlushFolder(fci.h, GetNextCabinet, Status))
            return true;
        error.message = ctx.problem.empty() ? FciErrorText(erf.erfOper) : ctx.problem;
        return false;
    };
    // Files whose bytes look compressed already go uncompressed into a folder
    // of their own after all others (switching folders file by file would
    // cost more than compressing); the order is told to whoever listens.
    // Each stored file stays open from its look until FCI takes it, up to
    // kKeptOpen of them; the others are opened again.
    std::vector<std::pair<size_t, HANDLE>> stored;
    struct KeptOpen
    {
        std::vector<std::pair<size_t, HANDLE>>& files;
        ~KeptOpen()
        {
            for (auto& [index, handle] : files)
                if (handle != INVALID_HANDLE_VALUE)
                    CloseHandle(handle);
        }
    } keptOpen{stored};
    size_t waitingOpen = 0;
    for (size_t i = 0; i < script.files.size(); ++i) {
        const DdfFile& file = script.files[i];
        error.line = file.line;
        if (file.newFolder && i > 0 && !flushFolder())
            return false;
        if (file.compress && ctx.progress) {
            bool incompressible = false;
            ctx.probed = ProbeSource(file.source, incompressible);
            if (incompressible) {
                HANDLE kept = ctx.probed;
                ctx.probed = INVALID_HANDLE_VALUE;
                if (kept != INVALID_HANDLE_VALUE && waitingOpen == kKeptOpen) {
                    CloseHandle(kept);
                    kept = INVALID_HANDLE_VALUE;
                }
                waitingOpen += kept != INVALID_HANDLE_VALUE ? 1 : 0;
                stored.emplace_back(i, kept);
                ctx.progress->Stored(i);
                continue;
            }
        }
        if (!add(i, file.compress))
            return false;
    }
    if (!stored.empty() && !flushFolder())
        return false;
    for (auto& [i, handle] : stored) {
        ctx.probed = std::exchange(handle, INVALID_HANDLE_VALUE);
        if (!add(i, false))
            return false;
    }
    error.line = 0;
    if (!FCIFlushCabinet(fci.h, FALSE, GetNextCabinet, Status)) {
        error.message = std::wstring(L"cannot write the cabinet '") + ctx.cabinetPath + L"': " +
                        (ctx.problem.empty() ? std::wstring(FciErrorText(erf.erfOper)) : ctx.problem);
        return false;
    }
    return true;
}

} // namespace

bool LooksIncompressible(const unsigned char* bytes, size_t count)
{
    if (count < kProbeMinimum)
        return false;
    size_t counts[256] = {};
    for (size_t i = 0; i < count; ++i)
        ++counts[bytes[i]];
    double entropy = 0;
    for (const size_t n : counts)
        if (n) {
            const double p = static_cast<double>(n) / static_cast<double>(count);
            entropy -= p * std::log2(p);
        }
    // Random bytes fall short of 8 bits a byte by about 255 / (2 n ln 2) in a
    // sample of n; a tenth of a bit below that is still data deflate cannot shrink.
    const double expected = 8.0 - 255.0 / (2.0 * static_cast<double>(count) * std::log(2.0));
    return entropy > expected - 0.1;
}

std::wstring CabinetSystemText(unsigned long code)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return (message.empty() ? std::wstring() : message + L" ") + L"(error " + std::to_wstring(code) + L")";
}

bool WriteCabinet(const DdfScript& script, DdfError& error, CabinetProgress* progress)
{
    error = {};
    if (!CheckNames(script, error))
        return false;

    Context ctx;
    ctx.script = &script;
    ctx.progress = progress;
    if (script.maxDiskSize != 0 && script.maxDiskSize < kMaxCabinetSize)
        ctx.limit = script.maxDiskSize;
    wchar_t full[32768];
    const std::wstring target = script.CabinetPath();
    const DWORD n = GetFullPathNameW(target.c_str(), 32768, full, nullptr);
    if (n == 0 || n >= 32768) {
        error.message = L"bad cabinet path '" + target + L"'";
        return false;
    }
    ctx.cabinetPath = full;
    if (!MakeFolders(FolderOf(ctx.cabinetPath))) {
        error.message = L"cannot create the folder of '" + ctx.cabinetPath + L"': " + Win32Text(GetLastError());
        return false;
    }
    wchar_t temp[MAX_PATH + 1];
    const DWORD t = GetTempPathW(MAX_PATH + 1, temp);
    if (t == 0 || t > MAX_PATH) {
        error.message = L"no temporary folder";
        return false;
    }
    ctx.tempFolder = temp;

    if (progress && !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&ctx.md5, BCRYPT_MD5_ALGORITHM, nullptr, 0)))
        ctx.md5 = nullptr;
    bool ok = false;
    try {
        ok = RunFci(ctx, error);
    } catch (...) {
        error.message = L"out of memory";
    }
    if (ctx.probed != INVALID_HANDLE_VALUE)
        CloseHandle(ctx.probed);
    for (auto& [handle, source] : ctx.hashing)
        if (source.hash)
            BCryptDestroyHash(source.hash);
    if (ctx.md5)
        BCryptCloseAlgorithmProvider(ctx.md5, 0);
    for (const std::wstring& name : ctx.temps)
        DeleteFileW(name.c_str());
    if (!ok)
        DeleteFileW(ctx.cabinetPath.c_str());
    else if (progress)
        progress->Packed(script.files.size(), ctx.bytesRead, true);
    return ok;
}
