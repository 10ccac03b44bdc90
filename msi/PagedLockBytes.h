#pragma once
// A file as the byte array under a compound file, read and written through a
// small cache of large pages. The structured storage writes a stream one
// 512-byte sector at a time and links each sector with a 4-byte write into
// its allocation table; on a file each of those is a system call of its own.
// Here they land in memory and reach the file as whole pages, written back
// when a page leaves the cache and at Flush. The cache holds a bounded number
// of pages: a file of any size passes through the same few megabytes.
#include "common/UniqueHandle.h"

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <string>
#include <vector>

class CPagedLockBytes final : public ILockBytes
{
public:
    static constexpr std::uint32_t DefaultPageSize = 64u << 10;
    static constexpr std::size_t DefaultPageCount = 128; // 8 MB with the default pages

    // Opens an existing file for reading and writing; null (and the system's
    // code in `error`) when it cannot be opened. The object starts with one
    // reference.
    static CPagedLockBytes* Open(const std::wstring& path, DWORD& error, std::uint32_t pageSize = DefaultPageSize,
                                 std::size_t pageCount = DefaultPageCount);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // ILockBytes
    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* bytes, ULONG count, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* bytes, ULONG count,
                                      ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;

    // Pages read from or written to the file so far (each one system call).
    std::size_t FileCalls() const { return m_fileCalls; }

private:
    struct Page
    {
        std::uint64_t index = 0;
        std::vector<char> bytes;
        bool dirty = false;
        std::uint64_t lastUse = 0;
    };

    CPagedLockBytes(UniqueFile file, std::wstring path, std::uint64_t size, std::uint32_t pageSize,
                    std::size_t pageCount);
    ~CPagedLockBytes();
    // The cached page of the given index, read in (or evicting another)
    // when needed; null after a failed read or write-back (in `failure`).
    Page* PageAt(std::uint64_t index, HRESULT& failure);
    HRESULT WriteBack(Page& page);

    LONG m_references = 1;
    UniqueFile m_file;
    std::wstring m_path;
    std::uint64_t m_size = 0;     // the byte array's size
    std::uint64_t m_fileSize = 0; // what the file on disk holds of it
    std::uint32_t m_pageSize;
    std::size_t m_pageCount;
    std::vector<Page> m_pages;
    Page* m_last = nullptr; // the page used last: most calls stay on it
    std::uint64_t m_clock = 0;
    std::size_t m_fileCalls = 0;
};
