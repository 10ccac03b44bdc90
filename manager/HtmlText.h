#pragma once
// A UTF-8 HTML text built in one buffer: markup appended as it is, texts of
// the program (wide) appended escaped, so that no text can become markup.
#include <cstddef>
#include <string>
#include <string_view>

class CHtmlText
{
public:
    // Markup, appended as it is (ASCII).
    CHtmlText& Raw(std::string_view markup)
    {
        m_text.append(markup);
        return *this;
    }
    // A text, as UTF-8 with & < > " ' escaped; fit for content and quoted attributes.
    CHtmlText& Text(std::wstring_view text);
    // The first `limit` characters of a text (escaped) and "…" when it is longer.
    CHtmlText& Shortened(std::wstring_view text, std::size_t limit);
    // <tag>text</tag>, the text escaped.
    CHtmlText& Element(std::string_view tag, std::wstring_view text);
    CHtmlText& Number(unsigned long long value);

    void Reserve(std::size_t bytes) { m_text.reserve(bytes); }
    const std::string& Str() const noexcept { return m_text; }
    std::string Take() noexcept { return std::move(m_text); }

private:
    std::string m_text;
};

// 1234567 -> "1,234,567".
std::wstring GroupedNumber(unsigned long long value);
// A duration in milliseconds as "850 ms", "4.13 s" or "2 min 5 s".
std::wstring DurationText(unsigned long long milliseconds);
