#include "manager/HtmlText.h"

#include <cstdint>
#include <cstdio>

CHtmlText& CHtmlText::Text(std::wstring_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        switch (c) {
        case L'&': m_text += "&amp;"; continue;
        case L'<': m_text += "&lt;"; continue;
        case L'>': m_text += "&gt;"; continue;
        case L'"': m_text += "&quot;"; continue;
        case L'\'': m_text += "&#39;"; continue;
        default: break;
        }
        if (c < 0x80) {
            // Control characters other than tab and line ends are not HTML text.
            m_text += c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r' ? '?' : static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate
        }
        if (c < 0x800) {
            m_text += static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            m_text += static_cast<char>(0xE0 | (c >> 12));
            m_text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            m_text += static_cast<char>(0xF0 | (c >> 18));
            m_text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            m_text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        m_text += static_cast<char>(0x80 | (c & 0x3F));
    }
    return *this;
}

CHtmlText& CHtmlText::Shortened(std::wstring_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return Text(text);
    // Not inside a surrogate pair.
    if (limit > 0 && text[limit - 1] >= 0xD800 && text[limit - 1] <= 0xDBFF)
        --limit;
    Text(text.substr(0, limit));
    return Raw("\xE2\x80\xA6");
}

CHtmlText& CHtmlText::Element(std::string_view tag, std::wstring_view text)
{
    m_text += '<';
    m_text += tag;
    m_text += '>';
    Text(text);
    m_text += "</";
    m_text += tag;
    m_text += '>';
    return *this;
}

CHtmlText& CHtmlText::Number(unsigned long long value)
{
    m_text += std::to_string(value);
    return *this;
}

std::wstring GroupedNumber(unsigned long long value)
{
    std::wstring digits = std::to_wstring(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, L",");
    return digits;
}

std::wstring DurationText(unsigned long long milliseconds)
{
    if (milliseconds < 1000)
        return std::to_wstring(milliseconds) + L" ms";
    if (milliseconds < 60000) {
        wchar_t text[32];
        std::swprintf(text, 32, L"%.2f s", static_cast<double>(milliseconds) / 1000.0);
        return text;
    }
    const unsigned long long seconds = (milliseconds + 500) / 1000;
    return std::to_wstring(seconds / 60) + L" min " + std::to_wstring(seconds % 60) + L" s";
}
