#include "project/XmlDocument.h"

#include "project/XmlInternal.h"

#include <oleauto.h>

#include <cstdio>
#include <new>

using Microsoft::WRL::ComPtr;

namespace XmlInternal {

// mingw's headers and libraries lack some of these identifiers; spell them out.
// The free-threaded DOMDocument (3.0) of the platform's XML library: the
// manager's documents are created on the window thread and written by the
// page's workers (one thread at a time), which a free-threaded document
// allows from any apartment without marshalling.
const CLSID ClsidDomDocument = {0xF6D90F12, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
const IID IidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IidXmlDomNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IidXmlDomElement = {0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

Bstr::Bstr(std::wstring_view text)
    : m_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
{
    if (!m_bstr)
        throw std::bad_alloc();
}

Bstr::~Bstr()
{
    SysFreeString(m_bstr);
}

std::wstring Bstr::Text() const
{
    return m_bstr ? std::wstring(m_bstr, SysStringLen(m_bstr)) : std::wstring();
}

Variant::Variant() noexcept
{
    VariantInit(&m_value);
}

Variant::Variant(std::wstring_view text) : Variant()
{
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b)
        throw std::bad_alloc();
    m_value.vt = VT_BSTR;
    m_value.bstrVal = b;
}

Variant::Variant(IUnknown* unknown) noexcept : Variant()
{
    if (unknown) {
        m_value.vt = VT_UNKNOWN;
        m_value.punkVal = unknown;
        unknown->AddRef();
    }
}

Variant::~Variant()
{
    VariantClear(&m_value);
}

bool InsertElement(IXMLDOMDocument* document, IXMLDOMNode* parent, BSTR name, IXMLDOMNode* before,
                   ComPtr<IXMLDOMNode>& created)
{
    created.Reset();
    if (!document || !parent)
        return false;
    ComPtr<IXMLDOMElement> element;
    if (FAILED(document->createElement(name, element.GetAddressOf())) || !element)
        return false;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(element->QueryInterface(IidXmlDomNode, reinterpret_cast<void**>(node.GetAddressOf()))) || !node)
        return false;
    Variant where(before);
    ComPtr<IXMLDOMNode> inserted;
    if (parent->insertBefore(node.Get(), where.Get(), inserted.GetAddressOf()) != S_OK || !inserted)
        return false;
    created = inserted;
    return true;
}

bool SetElementAttribute(IXMLDOMNode* node, BSTR name, std::wstring_view value)
{
    if (!node)
        return false;
    ComPtr<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IidXmlDomElement, reinterpret_cast<void**>(element.GetAddressOf()))) || !element)
        return false;
    Variant text(value);
    return element->setAttribute(name, text.Get()) == S_OK;
}

} // namespace XmlInternal

using namespace XmlInternal;

// ---- XmlNode --------------------------------------------------------

XmlNode::XmlNode() noexcept = default;

XmlNode::XmlNode(IXMLDOMNode* node) noexcept : m_node(node) {}

XmlNode::~XmlNode() = default;

XmlNode XmlNode::SelectSingleNode(const std::wstring& path) const
{
    if (!m_node)
        return {};
    try {
        Bstr query(path);
        ComPtr<IXMLDOMNode> found;
        // An invalid path is a failure status here; it yields none.
        if (m_node->selectSingleNode(query.Get(), found.GetAddressOf()) != S_OK)
            return {};
        return XmlNode(found.Get());
    } catch (...) {
        return {};
    }
}

std::vector<XmlNode> XmlNode::SelectNodes(const std::wstring& path) const
{
    std::vector<XmlNode> nodes;
    if (!m_node)
        return nodes;
    try {
        Bstr query(path);
        ComPtr<IXMLDOMNodeList> list;
        if (m_node->selectNodes(query.Get(), list.GetAddressOf()) != S_OK || !list)
            return nodes;
        for (;;) {
            ComPtr<IXMLDOMNode> item;
            if (list->nextNode(item.GetAddressOf()) != S_OK || !item)
                break;
            nodes.emplace_back(item.Get());
        }
    } catch (...) {
        nodes.clear();
    }
    return nodes;
}

XmlNode XmlNode::AddChildElement(const std::wstring& name)
{
    return InsertChildElement(name, GetFirstChild());
}

XmlNode XmlNode::InsertChildElement(const std::wstring& name, const XmlNode& before)
{
    if (!m_node)
        return {};
    try {
        ComPtr<IXMLDOMDocument> document;
        if (m_node->get_ownerDocument(document.GetAddressOf()) != S_OK || !document) {
            // The document node itself has no owner document.
            if (FAILED(m_node->QueryInterface(IidXmlDomDocument, reinterpret_cast<void**>(document.GetAddressOf()))) ||
                !document)
                return {};
        }
        Bstr tag(name);
        ComPtr<IXMLDOMNode> created;
        if (!InsertElement(document.Get(), m_node.Get(), tag.Get(), before.Get(), created))
            return {};
        return XmlNode(created.Get());
    } catch (...) {
        return {};
    }
}

bool XmlNode::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    try {
        Bstr attribute(name);
        return SetElementAttribute(m_node.Get(), attribute.Get(), value);
    } catch (...) {
        return false;
    }
}

std::wstring XmlNode::GetAttribute(long index) const
{
    if (!m_node || index < 0)
        return {};
    try {
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        if (m_node->get_attributes(attributes.GetAddressOf()) != S_OK || !attributes)
            return {};
        ComPtr<IXMLDOMNode> attribute;
        if (attributes->get_item(index, attribute.GetAddressOf()) != S_OK || !attribute)
            return {};
        BSTR raw = nullptr;
        if (attribute->get_text(&raw) != S_OK) {
            SysFreeString(raw);
            return {};
        }
        Bstr text(Bstr::Adopt{}, raw);
        return text.Text();
    } catch (...) {
        return {};
    }
}

std::wstring XmlNode::GetNamedAttribute(const std::wstring& name) const
{
    if (!m_node)
        return {};
    try {
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        if (m_node->get_attributes(attributes.GetAddressOf()) != S_OK || !attributes)
            return {};
        const Bstr attributeName(name);
        ComPtr<IXMLDOMNode> attribute;
        if (attributes->getNamedItem(attributeName.Get(), attribute.GetAddressOf()) != S_OK || !attribute)
            return {};
        BSTR raw = nullptr;
        if (attribute->get_text(&raw) != S_OK) {
            SysFreeString(raw);
            return {};
        }
        Bstr text(Bstr::Adopt{}, raw);
        return text.Text();
    } catch (...) {
        return {};
    }
}

long XmlNode::GetAttributeCount() const
{
    if (!m_node)
        return 0;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    long count = 0;
    if (m_node->get_attributes(attributes.GetAddressOf()) != S_OK || !attributes ||
        attributes->get_length(&count) != S_OK)
        return 0;
    return count;
}

long XmlNode::GetChildCount() const
{
    if (!m_node)
        return 0;
    ComPtr<IXMLDOMNodeList> children;
    long count = 0;
    if (m_node->get_childNodes(children.GetAddressOf()) != S_OK || !children || children->get_length(&count) != S_OK)
        return 0;
    return count;
}

XmlNode XmlNode::GetChild(long index) const
{
    if (!m_node || index < 0)
        return {};
    ComPtr<IXMLDOMNodeList> children;
    ComPtr<IXMLDOMNode> child;
    if (m_node->get_childNodes(children.GetAddressOf()) != S_OK || !children ||
        children->get_item(index, child.GetAddressOf()) != S_OK)
        return {};
    return XmlNode(child.Get());
}

XmlNode XmlNode::GetFirstChild() const
{
    if (!m_node)
        return {};
    ComPtr<IXMLDOMNode> child;
    if (m_node->get_firstChild(child.GetAddressOf()) != S_OK)
        return {};
    return XmlNode(child.Get());
}

XmlNode XmlNode::GetNextSibling() const
{
    if (!m_node)
        return {};
    ComPtr<IXMLDOMNode> sibling;
    if (m_node->get_nextSibling(sibling.GetAddressOf()) != S_OK)
        return {};
    return XmlNode(sibling.Get());
}

bool XmlNode::IsElement() const
{
    DOMNodeType type = NODE_INVALID;
    return m_node && m_node->get_nodeType(&type) == S_OK && type == NODE_ELEMENT;
}

std::wstring XmlNode::GetName() const
{
    if (!m_node)
        return {};
    try {
        BSTR raw = nullptr;
        if (m_node->get_nodeName(&raw) != S_OK) {
            SysFreeString(raw);
            return {};
        }
        Bstr name(Bstr::Adopt{}, raw);
        return name.Text();
    } catch (...) {
        return {};
    }
}

bool XmlNode::RemoveChild(const XmlNode& child)
{
    if (!m_node || !child.m_node)
        return false;
    ComPtr<IXMLDOMNode> removed;
    return m_node->removeChild(child.m_node.Get(), removed.GetAddressOf()) == S_OK;
}

int XmlNode::RemoveNodes(const std::wstring& path)
{
    int removed = 0;
    for (const XmlNode& node : SelectNodes(path)) {
        ComPtr<IXMLDOMNode> parent;
        if (node.m_node->get_parentNode(parent.GetAddressOf()) != S_OK || !parent)
            continue;
        ComPtr<IXMLDOMNode> gone;
        if (parent->removeChild(node.m_node.Get(), gone.GetAddressOf()) == S_OK)
            ++removed;
    }
    return removed;
}

bool XmlNode::ReplaceChild(const XmlNode& newChild, const XmlNode& oldChild)
{
    if (!m_node || !newChild.m_node || !oldChild.m_node)
        return false;
    ComPtr<IXMLDOMNode> old;
    return m_node->replaceChild(newChild.m_node.Get(), oldChild.m_node.Get(), old.GetAddressOf()) == S_OK;
}

// ---- XmlDocument -----------------------------------------------------------

namespace {

// " (error 0x8000FFFF: text)": the code of a COM or parser failure in the
// hexadecimal form their documentation uses.
std::wstring HresultSuffix(long code, const std::wstring& text)
{
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(code));
    return L" (error " + std::wstring(hex) + L": " + text + L")";
}

Result ComFailure(HRESULT code, const std::wstring& what)
{
    return Result::Failure(static_cast<DWORD>(code), what + HresultSuffix(code, Result::SystemText(code)));
}

} // namespace

XmlDocument::XmlDocument()
{
    m_created = CoCreateInstance(ClsidDomDocument, nullptr, CLSCTX_ALL, IidXmlDomDocument,
                                 reinterpret_cast<void**>(m_document.GetAddressOf()));
    if (FAILED(m_created)) {
        m_document.Reset();
        return;
    }
    // Project files come from other machines: no external entities, no DTD
    // validation while parsing.
    (void)m_document->put_resolveExternals(VARIANT_FALSE);
    (void)m_document->put_validateOnParse(VARIANT_FALSE);
    // Paths are XPath. The old default pattern language of this document class
    // means the same for our paths, but Wine's translation of it crashes on
    // some malformed paths instead of failing.
    try {
        ComPtr<IXMLDOMDocument2> document2;
        if (SUCCEEDED(m_document->QueryInterface(IidXmlDomDocument2, reinterpret_cast<void**>(document2.GetAddressOf())))) {
            Bstr property(L"SelectionLanguage");
            Variant language(L"XPath");
            (void)document2->setProperty(property.Get(), language.Get());
        }
    } catch (...) {
    }
}

XmlDocument::~XmlDocument() = default;

// The parser's own account of why the last load failed: its reason, with the
// line and column where it gave up; "" when it has none. `code` is the
// parser's error code (0 when it has none).
std::wstring XmlDocument::ReadParseError(long& code) const
{
    code = 0;
    ComPtr<IXMLDOMParseError> error;
    if (!m_document || m_document->get_parseError(error.GetAddressOf()) != S_OK || !error)
        return L"";
    BSTR reason = nullptr;
    long line = 0, column = 0;
    std::wstring text;
    if (error->get_reason(&reason) == S_OK && reason) {
        text.assign(reason, SysStringLen(reason));
        SysFreeString(reason);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    (void)error->get_errorCode(&code);
    if (text.empty() && code == 0)
        return L"";
    if (text.empty())
        text = L"parser error " + std::to_wstring(code);
    if (error->get_line(&line) == S_OK && line > 0) {
        text += L" (line " + std::to_wstring(line);
        if (error->get_linepos(&column) == S_OK && column > 0)
            text += L", column " + std::to_wstring(column);
        text += L")";
    }
    return text;
}

Result XmlDocument::Load(const std::wstring& path)
{
    m_loaded = false;
    m_loadError.clear();
    const std::wstring what = L"Unable to load " + path;
    if (!m_document)
        return ComFailure(FAILED(m_created) ? m_created : E_POINTER, what);
    try {
        if (const HRESULT async = m_document->put_async(VARIANT_FALSE); FAILED(async))
            return ComFailure(async, what);
        Variant source(path);
        VARIANT_BOOL ok = VARIANT_FALSE;
        // A missing or malformed file gives S_FALSE, not a failure code.
        const HRESULT loaded = m_document->load(source.Get(), &ok);
        if (loaded != S_OK || ok != VARIANT_TRUE) {
            long code = 0;
            m_loadError = ReadParseError(code);
            if (FAILED(loaded))
                return ComFailure(loaded, what);
            if (m_loadError.empty())
                return Result::Win32(ERROR_OPEN_FAILED, what);
            return Result::Failure(static_cast<DWORD>(code ? code : E_FAIL),
                                   what + HresultSuffix(code ? code : E_FAIL, m_loadError));
        }
        m_path = path;
        m_loaded = true;
        return Result::Ok();
    } catch (...) {
        return ComFailure(E_OUTOFMEMORY, what);
    }
}

Result XmlDocument::Save(const std::wstring& path)
{
    const std::wstring& target = path.empty() ? m_path : path;
    const std::wstring what = L"Unable to save " + (target.empty() ? std::wstring(L"an unnamed document") : target);
    if (!m_document)
        return ComFailure(FAILED(m_created) ? m_created : E_POINTER, what);
    if (target.empty())
        return Result::Win32(ERROR_INVALID_NAME, what);
    try {
        Variant destination(target);
        const HRESULT saved = m_document->save(destination.Get());
        if (saved == S_OK)
            return Result::Ok();
        return ComFailure(FAILED(saved) ? saved : E_FAIL, what);
    } catch (...) {
        return ComFailure(E_OUTOFMEMORY, what);
    }
}

XmlNode XmlDocument::Root() const
{
    if (!m_document)
        return {};
    ComPtr<IXMLDOMElement> root;
    if (m_document->get_documentElement(root.GetAddressOf()) != S_OK || !root)
        return {};
    ComPtr<IXMLDOMNode> node;
    if (FAILED(root->QueryInterface(IidXmlDomNode, reinterpret_cast<void**>(node.GetAddressOf()))))
        return {};
    return XmlNode(node.Get());
}
