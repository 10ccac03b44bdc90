#pragma once
// The outcome of an operation that can fail: Ok, or a failure with a code
// (a Win32 error code; Windows Installer's are of the same family) and the
// text of its log line. Failures made from a code end their text with the
// code and the system's text for it:
//   "<what failed> (error 2: The system cannot find the file specified.)"
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

class [[nodiscard]] Result
{
public:
    static Result Ok() { return Result(); }
    // A failure with a code of its own and a whole text; a code of 0 (a
    // failure no system call reported) is kept as ERROR_GEN_FAILURE.
    static Result Failure(DWORD code, std::wstring text)
    {
        return Result(code == ERROR_SUCCESS ? ERROR_GEN_FAILURE : code, std::move(text));
    }
    // `what` followed by " (error <code>: <the system's text>)"; 0 becomes
    // ERROR_GEN_FAILURE as above.
    static Result Win32(DWORD code, std::wstring_view what)
    {
        if (code == ERROR_SUCCESS)
            code = ERROR_GEN_FAILURE;
        return Failure(code, std::wstring(what) + Suffix(code));
    }
    // The calling thread's last error (call it right after the failed call).
    static Result LastError(std::wstring_view what) { return Win32(GetLastError(), what); }
    // A result of msi.dll: Ok for ERROR_SUCCESS, else like Win32, the
    // installer's detail (may be empty) after the system's text.
    static Result Installer(UINT code, std::wstring_view what, std::wstring_view detail = {})
    {
        if (code == ERROR_SUCCESS)
            return Ok();
        std::wstring suffix = Suffix(code);
        if (!detail.empty())
            suffix.insert(suffix.size() - 1, L"; " + std::wstring(detail));
        return Failure(code, std::wstring(what) + suffix);
    }

    // `what` followed by the ending of `cause` (" (error <code>: <text>)"),
    // with its code: a caller's own words for a callee's failure. A cause
    // without such an ending gets the system's text for its code.
    static Result Because(std::wstring_view what, const Result& cause)
    {
        const std::size_t ending = cause.m_text.rfind(L" (error ");
        if (ending == std::wstring::npos)
            return Win32(cause.m_code, what);
        return Failure(cause.m_code, std::wstring(what) + cause.m_text.substr(ending));
    }

    explicit operator bool() const noexcept { return m_code == ERROR_SUCCESS; }
    DWORD Code() const noexcept { return m_code; }
    // The failure's text; empty when Ok.
    const std::wstring& Text() const noexcept { return m_text; }

    // " (error <code>: <the system's text>)", the text without its line end.
    static std::wstring Suffix(DWORD code) { return L" (error " + std::to_wstring(code) + L": " + SystemText(code) + L")"; }
    // The system's text for an error code; "unknown error" when it has none.
    static std::wstring SystemText(DWORD code)
    {
        wchar_t* buffer = nullptr;
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
        if (buffer)
            LocalFree(buffer);
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
            text.pop_back();
        return text.empty() ? std::wstring(L"unknown error") : text;
    }

private:
    Result() = default;
    Result(DWORD code, std::wstring text) : m_code(code), m_text(std::move(text)) {}

    DWORD m_code = ERROR_SUCCESS;
    std::wstring m_text;
};
