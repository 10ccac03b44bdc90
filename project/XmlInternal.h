#pragma once
// Helpers shared by the XML layer, its writers and readers; not for callers.
#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

namespace XmlInternal {

extern const CLSID ClsidDomDocument;
extern const IID IidXmlDomDocument;
extern const IID IidXmlDomNode;
extern const IID IidXmlDomElement;

// Owns one BSTR. Throws std::bad_alloc when it cannot be allocated.
class Bstr
{
public:
    explicit Bstr(std::wstring_view text);
    // Takes ownership of a BSTR handed out by the platform. (A tag, so that a
    // string literal can never be taken for a BSTR.)
    struct Adopt
    {
    };
    Bstr(Adopt, BSTR owned) noexcept : m_bstr(owned) {}
    ~Bstr();
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const noexcept { return m_bstr; }
    std::wstring Text() const;

private:
    BSTR m_bstr = nullptr;
};

// Owns one VARIANT (cleared on destruction).
class Variant
{
public:
    Variant() noexcept;
    explicit Variant(std::wstring_view text);     // VT_BSTR
    explicit Variant(IUnknown* unknown) noexcept; // VT_UNKNOWN, or VT_EMPTY for null
    ~Variant();
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    const VARIANT& Get() const noexcept { return m_value; }

private:
    VARIANT m_value;
};

// Creates an element `name` through `document` and inserts it under `parent`
// before `before` (appends when null). false on any failure.
[[nodiscard]] bool InsertElement(IXMLDOMDocument* document, IXMLDOMNode* parent, BSTR name, IXMLDOMNode* before,
                                 Microsoft::WRL::ComPtr<IXMLDOMNode>& created);
// Sets one attribute of an element node. false on any failure.
[[nodiscard]] bool SetElementAttribute(IXMLDOMNode* node, BSTR name, std::wstring_view value);

} // namespace XmlInternal
