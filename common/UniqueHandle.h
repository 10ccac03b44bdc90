#pragma once
// One move-only owner per handle kind. `reset` is explicit; nothing copies.
#include <windows.h>

#include <utility>

template <typename Traits>
class UniqueHandle
{
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type h) noexcept : m_h(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    [[nodiscard]] Type get() const noexcept { return m_h; }
    [[nodiscard]] bool valid() const noexcept { return m_h != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Closes the current handle (if any) and takes `h`.
    void reset(Type h = Traits::Invalid()) noexcept
    {
        if (valid())
            Traits::Close(m_h);
        m_h = h;
    }
    [[nodiscard]] Type release() noexcept { return std::exchange(m_h, Traits::Invalid()); }

    // For out-parameters: closes what is held and hands out the slot.
    Type* put() noexcept
    {
        reset();
        return &m_h;
    }

private:
    Type m_h = Traits::Invalid();
};

struct FileHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

struct KernelHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

struct FindHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { FindClose(h); }
};

struct RegKeyTraits
{
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { RegCloseKey(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;      // CreateFile
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>; // processes, threads, events
using UniqueFind = UniqueHandle<FindHandleTraits>;      // FindFirstFile
using UniqueHKey = UniqueHandle<RegKeyTraits>;          // RegOpenKeyEx
