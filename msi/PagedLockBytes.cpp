#include "msi/PagedLockBytes.h"

#include <algorithm>
#include <cstring>
#include <new>

CPagedLockBytes* CPagedLockBytes::Open(const std::wstring& path, DWORD& error, std::uint32_t pageSize,
                                       std::size_t pageCount)
{
    error = ERROR_SUCCESS;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        error = GetLastError();
        return nullptr;
    }
    return new (std::nothrow) CPagedLockBytes(std::move(file), path, static_cast<std::uint64_t>(size.QuadPart),
                                              std::max<std::uint32_t>(pageSize, 512),
                                              std::max<std::size_t>(pageCount, 1));
}

CPagedLockBytes::CPagedLockBytes(UniqueFile file, std::wstring path, std::uint64_t size, std::uint32_t pageSize,
                                 std::size_t pageCount)
    : m_file(std::move(file)), m_path(std::move(path)), m_size(size), m_fileSize(size), m_pageSize(pageSize),
      m_pageCount(pageCount)
{
    m_pages.reserve(m_pageCount);
}

CPagedLockBytes::~CPagedLockBytes()
{
    (void)Flush();
}

HRESULT CPagedLockBytes::QueryInterface(REFIID id, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ILockBytes)) {
        *object = static_cast<ILockBytes*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CPagedLockBytes::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG CPagedLockBytes::Release()
{
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT CPagedLockBytes::WriteBack(Page& page)
{
    if (!page.dirty)
        return S_OK;
    const std::uint64_t start = page.index * m_pageSize;
    // Only what lies below the array's end; a page past it has nothing to write.
    if (start < m_size) {
        const DWORD length = static_cast<DWORD>(std::min<std::uint64_t>(m_pageSize, m_size - start));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(start);
        at.OffsetHigh = static_cast<DWORD>(start >> 32);
        DWORD put = 0;
        ++m_fileCalls;
        if (!WriteFile(m_file.get(), page.bytes.data(), length, &put, &at))
            return HRESULT_FROM_WIN32(GetLastError());
        if (put != length)
            return STG_E_MEDIUMFULL;
        m_fileSize = std::max(m_fileSize, start + length);
    }
    page.dirty = false;
    return S_OK;
}

CPagedLockBytes::Page* CPagedLockBytes::PageAt(std::uint64_t index, HRESULT& failure)
{
    failure = S_OK;
    if (m_last && m_last->index == index) {
        m_last->lastUse = ++m_clock;
        return m_last;
    }
    Page* page = nullptr;
    for (Page& cached : m_pages)
        if (cached.index == index) {
            page = &cached;
            break;
        }
    if (!page) {
        if (m_pages.size() < m_pageCount) {
            // (Reserved in full: the pages never move.)
            try {
                Page fresh;
                fresh.bytes.resize(m_pageSize);
                m_pages.push_back(std::move(fresh));
                page = &m_pages.back();
            } catch (const std::bad_alloc&) {
                if (m_pages.empty()) {
                    failure = E_OUTOFMEMORY;
                    return nullptr;
                }
            }
        }
        if (!page) {
            // The page used longest ago makes room.
            page = &*std::min_element(m_pages.begin(), m_pages.end(),
                                      [](const Page& a, const Page& b) { return a.lastUse < b.lastUse; });
            if (failure = WriteBack(*page); FAILED(failure))
                return nullptr;
        }
        page->index = index;
        page->dirty = false;
        const std::uint64_t start = index * m_pageSize;
        DWORD got = 0;
        if (start < m_fileSize) {
            const DWORD length = static_cast<DWORD>(std::min<std::uint64_t>(m_pageSize, m_fileSize - start));
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(start);
            at.OffsetHigh = static_cast<DWORD>(start >> 32);
            ++m_fileCalls;
            if (!ReadFile(m_file.get(), page->bytes.data(), length, &got, &at)) {
                failure = HRESULT_FROM_WIN32(GetLastError());
                page->lastUse = 0;
                page->index = ~0ull; // holds nothing
                if (m_last == page)
                    m_last = nullptr;
                return nullptr;
            }
        }
        // Beyond the file's end the array reads as zeros.
        std::memset(page->bytes.data() + got, 0, m_pageSize - got);
    }
    page->lastUse = ++m_clock;
    m_last = page;
    return page;
}

HRESULT CPagedLockBytes::ReadAt(ULARGE_INTEGER offset, void* bytes, ULONG count, ULONG* read)
{
    if (read)
        *read = 0;
    if (!bytes)
        return STG_E_INVALIDPOINTER;
    std::uint64_t at = offset.QuadPart;
    if (at >= m_size)
        return S_OK;
    ULONG left = static_cast<ULONG>(std::min<std::uint64_t>(count, m_size - at));
    auto* out = static_cast<char*>(bytes);
    while (left > 0) {
        HRESULT failure = S_OK;
        Page* page = PageAt(at / m_pageSize, failure);
        if (!page)
            return failure;
        const std::uint32_t within = static_cast<std::uint32_t>(at % m_pageSize);
        const ULONG piece = std::min<ULONG>(left, m_pageSize - within);
        std::memcpy(out, page->bytes.data() + within, piece);
        out += piece;
        at += piece;
        left -= piece;
        if (read)
            *read += piece;
    }
    return S_OK;
}

HRESULT CPagedLockBytes::WriteAt(ULARGE_INTEGER offset, const void* bytes, ULONG count, ULONG* written)
{
    if (written)
        *written = 0;
    if (!bytes)
        return STG_E_INVALIDPOINTER;
    std::uint64_t at = offset.QuadPart;
    ULONG left = count;
    const auto* in = static_cast<const char*>(bytes);
    while (left > 0) {
        HRESULT failure = S_OK;
        Page* page = PageAt(at / m_pageSize, failure);
        if (!page)
            return failure;
        const std::uint32_t within = static_cast<std::uint32_t>(at % m_pageSize);
        const ULONG piece = std::min<ULONG>(left, m_pageSize - within);
        std::memcpy(page->bytes.data() + within, in, piece);
        page->dirty = true;
        in += piece;
        at += piece;
        left -= piece;
        m_size = std::max(m_size, at);
        if (written)
            *written += piece;
    }
    return S_OK;
}

HRESULT CPagedLockBytes::Flush()
{
    std::vector<Page*> dirty;
    for (Page& page : m_pages)
        if (page.dirty)
            dirty.push_back(&page);
    // In file order: the writes extend the file from its end.
    std::sort(dirty.begin(), dirty.end(), [](const Page* a, const Page* b) { return a->index < b->index; });
    for (Page* page : dirty)
        if (const HRESULT failure = WriteBack(*page); FAILED(failure))
            return failure;
    if (m_fileSize != m_size) {
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(m_size);
        ++m_fileCalls;
        if (!SetFilePointerEx(m_file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file.get()))
            return HRESULT_FROM_WIN32(GetLastError());
        m_fileSize = m_size;
    }
    return S_OK;
}

HRESULT CPagedLockBytes::SetSize(ULARGE_INTEGER size)
{
    const std::uint64_t wanted = size.QuadPart;
    if (wanted < m_size) {
        // What lies past the new end reads as zeros if the array grows again.
        for (Page& page : m_pages) {
            const std::uint64_t start = page.index * m_pageSize;
            if (start + m_pageSize > wanted) {
                const std::uint64_t keep = wanted > start ? wanted - start : 0;
                std::memset(page.bytes.data() + keep, 0, m_pageSize - keep);
            }
        }
        if (wanted < m_fileSize) {
            LARGE_INTEGER end{};
            end.QuadPart = static_cast<LONGLONG>(wanted);
            ++m_fileCalls;
            if (!SetFilePointerEx(m_file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file.get()))
                return HRESULT_FROM_WIN32(GetLastError());
            m_fileSize = wanted;
        }
    }
    m_size = wanted;
    return S_OK;
}

HRESULT CPagedLockBytes::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    // The file is open for this object alone.
    return STG_E_INVALIDFUNCTION;
}

HRESULT CPagedLockBytes::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    return STG_E_INVALIDFUNCTION;
}

HRESULT CPagedLockBytes::Stat(STATSTG* stat, DWORD flags)
{
    if (!stat)
        return STG_E_INVALIDPOINTER;
    *stat = {};
    stat->type = STGTY_LOCKBYTES;
    stat->cbSize.QuadPart = m_size;
    stat->grfMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    stat->grfLocksSupported = 0;
    if (!(flags & STATFLAG_NONAME)) {
        const std::size_t bytes = (m_path.size() + 1) * sizeof(wchar_t);
        stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!stat->pwcsName)
            return E_OUTOFMEMORY;
        std::memcpy(stat->pwcsName, m_path.c_str(), bytes);
    }
    return S_OK;
}
