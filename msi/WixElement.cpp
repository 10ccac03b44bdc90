#include "msi/WixElement.h"

#include "common/Utf.h"

namespace {

void Write(const WixElement& element, int depth, std::wstring& out)
{
    const std::wstring indent(static_cast<std::size_t>(depth) * 2, L' ');
    out += indent + L"<" + element.name;
    for (const auto& [attribute, value] : element.attributes)
        out += L" " + attribute + L"=\"" + EscapeXml(value) + L"\"";
    if (element.children.empty() && element.text.empty()) {
        out += L" />\n";
        return;
    }
    out += L">";
    if (!element.text.empty())
        out += EscapeXml(element.text);
    if (!element.children.empty()) {
        out += L"\n";
        for (const WixElement& child : element.children)
            Write(child, depth + 1, out);
        out += indent;
    }
    out += L"</" + element.name + L">\n";
}

} // namespace

std::wstring EscapeXml(const std::wstring& text)
{
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
        case L'&': escaped += L"&amp;"; break;
        case L'<': escaped += L"&lt;"; break;
        case L'>': escaped += L"&gt;"; break;
        case L'"': escaped += L"&quot;"; break;
        case L'\'': escaped += L"&apos;"; break;
        case L'\t': escaped += L"&#x9;"; break;
        case L'\n': escaped += L"&#xA;"; break;
        case L'\r': escaped += L"&#xD;"; break;
        default: escaped += c < 0x20 ? L'\xFFFD' : c; break;
        }
    }
    return escaped;
}

std::string WixDocumentText(const WixElement& root)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    Write(root, 0, text);
    return ToUtf8(text);
}
