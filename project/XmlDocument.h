#pragma once
// One XML document (XmlDocument) and one of its nodes (XmlNode), over the
// platform's XML document object model. Every failure of the platform becomes
// a return value: nothing throws out of these classes and nothing here shows
// anything to the user or writes the log. The thread that creates or uses a
// document has COM started (common/ComScope.h).
#include "common/Result.h"

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

// One node of a document. A node holds its own reference to the platform's
// node; copies share it (each copy holds a reference), moves hand it over. A
// node with nothing behind it answers every query with "none", "" or 0.
class XmlNode
{
public:
    XmlNode() noexcept;
    // Takes a reference of its own to `node` (may be null).
    explicit XmlNode(IXMLDOMNode* node) noexcept;
    ~XmlNode();

    XmlNode(const XmlNode&) = default;
    XmlNode& operator=(const XmlNode&) = default;
    XmlNode(XmlNode&&) noexcept = default;
    XmlNode& operator=(XmlNode&&) noexcept = default;

    bool IsNull() const noexcept { return !m_node; }

    // The first node the path selects below this node, or none. An invalid path
    // yields none.
    XmlNode SelectSingleNode(const std::wstring& path) const;
    // Every node the path selects, in document order; empty on any failure.
    std::vector<XmlNode> SelectNodes(const std::wstring& path) const;

    // Creates an element (no namespace) through the owner document and makes it
    // this node's new FIRST child. Returns the new element, or none.
    XmlNode AddChildElement(const std::wstring& name);
    // The same, inserted before `before` (one of this node's children), or
    // appended when `before` is none. For writers that keep the current first
    // child at hand: no lookup at all per element.
    XmlNode InsertChildElement(const std::wstring& name, const XmlNode& before);

    // Sets (or replaces) an attribute of this element. Attributes keep the
    // order in which they were first set.
    bool SetAttribute(const std::wstring& name, const std::wstring& value);
    // Text of the attribute at the 0-based position; "" past the end or when
    // this is no element.
    std::wstring GetAttribute(long index) const;
    // Text of the attribute of that name; "" when it is absent.
    std::wstring GetNamedAttribute(const std::wstring& name) const;
    long GetAttributeCount() const;

    long GetChildCount() const;
    XmlNode GetChild(long index) const;
    XmlNode GetFirstChild() const;
    XmlNode GetNextSibling() const;
    // True for element nodes (not text, comments, processing instructions).
    bool IsElement() const;
    // Node name ("" when none).
    std::wstring GetName() const;

    bool RemoveChild(const XmlNode& child);
    // Removes every node the path selects below this node from its parent;
    // returns how many were removed.
    int RemoveNodes(const std::wstring& path);
    // Puts `newChild` (which may come from another document) in the place of
    // `oldChild`, one of this node's children.
    bool ReplaceChild(const XmlNode& newChild, const XmlNode& oldChild);

    IXMLDOMNode* Get() const noexcept { return m_node.Get(); }

private:
    Microsoft::WRL::ComPtr<IXMLDOMNode> m_node;
};

// One document. Documents are never built from scratch: each is loaded from a
// file (usually the raw project file) and saved under a name. Used by one
// thread at a time: the document is free-threaded, so it may be created on the
// window thread and used by a worker.
class XmlDocument
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Loads and parses the file. A failure (no document object, missing file,
    // parse error) carries the platform's or the parser's code and reason; it
    // keeps the previous content but clears the loaded flag.
    [[nodiscard]] Result Load(const std::wstring& path);
    // Saves the whole document; "" means the file it stands for (the one it
    // was loaded from, unless SetPath named another).
    [[nodiscard]] Result Save(const std::wstring& path = L"");

    bool IsLoaded() const noexcept { return m_loaded; }
    // Why the last Load failed in the parser's words, with the line ("" when
    // it loaded, or when the parser gave no reason).
    const std::wstring& LoadError() const noexcept { return m_loadError; }
    // The file the document stands for; a later Save() writes there.
    const std::wstring& Path() const noexcept { return m_path; }
    void SetPath(const std::wstring& path) { m_path = path; }

    // The document element, or none.
    XmlNode Root() const;
    // The first node the path selects below the document element, or none.
    XmlNode Select(const std::wstring& path) const { return Root().SelectSingleNode(path); }
    IXMLDOMDocument* Dom() const noexcept { return m_document.Get(); }

private:
    std::wstring ReadParseError(long& code) const;

    Microsoft::WRL::ComPtr<IXMLDOMDocument> m_document;
    HRESULT m_created = S_OK;
    bool m_loaded = false;
    std::wstring m_loadError;
    std::wstring m_path;
};
