#pragma once
// A small XML element tree for the WiX source: attributes in the order they
// are set, children, and an optional text; written as indented UTF-8 with
// every attribute value and text escaped.
#include <string>
#include <utility>
#include <vector>

struct WixElement
{
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes = {};
    std::vector<WixElement> children = {};
    std::wstring text = {};

    // Sets an attribute; an empty value is left out.
    WixElement& Set(const std::wstring& attribute, const std::wstring& value)
    {
        if (!value.empty())
            attributes.emplace_back(attribute, value);
        return *this;
    }
    WixElement& Add(WixElement child)
    {
        children.push_back(std::move(child));
        return children.back();
    }
};

// Text for an attribute value or element content: &, <, >, " and ' as
// entities, tab, line feed and carriage return as character references, and
// the other control characters (which XML 1.0 cannot hold) as U+FFFD.
std::wstring EscapeXml(const std::wstring& text);

// The document: an XML declaration naming UTF-8, then the element.
std::string WixDocumentText(const WixElement& root);
