#pragma once
// One loaded XML document (CXMLDocumentHandler) and one of its nodes
// (XmlNode), over the platform's XML document object model. Every
// failure of the platform becomes a return value: nothing throws out of these
// classes and nothing here shows anything to the user. The writers and readers
// that give the project file its shape are members of the document handler.
#include "common/ChangeTypes.h"
#include "common/Log.h"
#include "project/XmlDocument.h"

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

// One loaded document. Documents are never built from scratch: each is loaded
// from a file (usually the raw project file) and saved under a name.
// Used by one thread at a time: the document is free-threaded, so it may be
// created on the window thread and used by a worker (COM initialised there).
class CXMLDocumentHandler
{
public:
    CXMLDocumentHandler();
    virtual ~CXMLDocumentHandler();
    CXMLDocumentHandler(const CXMLDocumentHandler&) = delete;
    CXMLDocumentHandler& operator=(const CXMLDocumentHandler&) = delete;

    // 1 when the file was loaded and parsed; 0 otherwise (missing file, parse
    // error, no document object). A failed load keeps the previous content
    // but clears the loaded flag.
    int Load(const std::wstring& path);
    // Saves the whole document; "" means the file it was loaded from. 1 or 0.
    int Save(const std::wstring& path = L"");

    bool IsLoaded() const noexcept { return m_xml.IsLoaded(); }
    // Why the last Load failed in the parser's words, with the line ("" when
    // it loaded, or when the parser gave no reason).
    const std::wstring& LoadError() const noexcept { return m_xml.LoadError(); }
    XmlNode GetRootNode() const { return m_xml.Root(); }
    IXMLDOMDocument* Document() const noexcept { return m_xml.Dom(); }

    // Include/exclude file path; starts as DefaultIncludeExcludePath.
    const std::wstring& GetIncludeExcludePath() const noexcept { return m_includeExcludePath; }
    void SetIncludeExcludePath(const std::wstring& path) { m_includeExcludePath = path; }

    // ---- Include/exclude file ------------------------------------------------
    // Mode 0 rewrites the included lists, mode 1 the excluded lists, from the
    // process-wide maps, and saves. A save named "UpdatedIncludeExclude.xml"
    // (or "DefaultIncludeExclude.xml") switches the include/exclude path to
    // that file first, whichever mode it is.
    void RegenerateIncludeExcludeFile(int mode, const std::wstring& targetName);
    // Writes the entries of the map that belongs to the list path and saves to
    // the include/exclude path.
    void WriteIncludeExcludeEntries(const std::wstring& listPath);

    // ---- Writers of the project file and change documents -----------------
    // All check IsLoaded first and log their failures; true when the document
    // was saved. The directory and registry writers end without saving,
    // silently, when the thread's stop token asks to stop (StopToken.h); their
    // caller reports it.

    // Writes Directory/File elements into the list and saves to `savePath`.
    // With keepAll clear, files that are not packable (".tmp"/".lnk" in the
    // path, or not openable) are removed from the caller's lists; folders with
    // nothing to write are removed from the caller's map either way.
    bool InsertDirectoryAndFileInXML(const std::wstring& listPath, DirectoryChangeMap& map,
                                     const std::wstring& savePath, bool keepAll);
    bool InsertRegistryKeyAndValueInXML(const std::wstring& listPath, RegistryChangeMap& map,
                                        const std::wstring& savePath);
    bool InsertINIKeyAndValueInXML(const std::wstring& listPath, IniChangeMap& map, const std::wstring& savePath);
    // These three save to the project file path.
    bool InsertShortcutInXML(const std::wstring& listPath, const ShortcutList& shortcuts);
    bool InsertShortcutICONInXML(const std::wstring& listPath, const IconMap& icons);
    bool InsertProductInfoInXML(const std::wstring& sectionPath, const ProductInfo& product);
    // Empty the list first, then insert. True when the list was replaced and
    // the project file saved (the insert's result).
    bool ReplaceShortcutsInXML(const std::wstring& listPath, const ShortcutList& shortcuts);
    bool ReplaceShortcutICONsInXML(const std::wstring& listPath, const IconMap& icons);

    // Full paths of the added ".exe" files that the file writer wrote.
    const std::vector<std::wstring>& AddedExecutables() const noexcept { return m_addedExecutables; }
    void ClearAddedExecutables() { m_addedExecutables.clear(); }

    // ---- Readers ------------------------------------------------------------
    // Each selects its list from the root element (first match) and walks its
    // elements in document order; attributes are read by name. A missing
    // list reads as empty.

    // Starts the file-system and registry model afresh and reads the six lists.
    void ReadProjectLists();
    // Fills the map of that list path (replacing it) and appends to all
    // folders and all files.
    void ReadDirectoryList(const std::wstring& listPath);
    // Fills the map of that list path (replacing it) and appends to all keys.
    void ReadSubKeyList(const std::wstring& listPath);
    // Fills the INI map of that list path (replacing it).
    void ReadINIFileList(const std::wstring& listPath);
    // Appends the shortcuts to `destination`; icon paths come back real.
    void ReadShortcutList(ShortcutList& destination) const;
    // Replaces the model's shortcut list.
    void ReadShortcutList();
    // Adds the icons to `destination`.
    void ReadShortcutICONs(IconMap& destination) const;
    // The first (newest) inner ProductInformation. 1 when found, else 0 and
    // `destination` untouched.
    int ReadProductInfo(ProductInfo& destination) const;

    // Rebuilds the loaded project file: shortcuts, icons, INI lists and the
    // product information are read from it, then the raw project file is
    // loaded and every section is written from the model; saves go to the
    // project file path. 1 on success, 0 (logged) when a file could not be
    // loaded or any step could not write the project file.
    int RegenerateProjectFile();

    // ---- Reader model ---------------------------------------------------------
    const std::vector<std::wstring>& AllFiles() const noexcept { return m_allFiles; }
    const std::vector<std::wstring>& AllFolders() const noexcept { return m_allFolders; }
    const std::vector<std::wstring>& AllRegistryKeys() const noexcept { return m_allRegistryKeys; }

    DirectoryChangeMap& AddedFiles() noexcept { return m_addedFiles; }
    DirectoryChangeMap& ModifiedFiles() noexcept { return m_modifiedFiles; }
    DirectoryChangeMap& DeletedFiles() noexcept { return m_deletedFiles; }
    RegistryChangeMap& AddedKeys() noexcept { return m_addedKeys; }
    RegistryChangeMap& ModifiedKeys() noexcept { return m_modifiedKeys; }
    RegistryChangeMap& DeletedKeys() noexcept { return m_deletedKeys; }
    IniChangeMap& AddedIni() noexcept { return m_addedIni; }
    IniChangeMap& ModifiedIni() noexcept { return m_modifiedIni; }
    IniChangeMap& DeletedIni() noexcept { return m_deletedIni; }
    ShortcutList& Shortcuts() noexcept { return m_shortcuts; }
    IconMap& Icons() noexcept { return m_icons; }
    ProductInfo& Product() noexcept { return m_product; }

    // The model map that belongs to a list path (NodePath::...), or null.
    DirectoryChangeMap* DirectoryMapFor(const std::wstring& listPath) noexcept;
    RegistryChangeMap* RegistryMapFor(const std::wstring& listPath) noexcept;
    IniChangeMap* IniMapFor(const std::wstring& listPath) noexcept;

    // Empties the whole reader model (not the added executables).
    void ClearModel();

private:
    void WriteError(const std::wstring& message) const;
    XmlNode SelectList(const std::wstring& listPath) const;

    std::wstring m_includeExcludePath;
    XmlDocument m_xml;

    // Reader model.
    std::vector<std::wstring> m_allFiles;
    std::vector<std::wstring> m_allFolders;
    std::vector<std::wstring> m_allRegistryKeys;
    ShortcutList m_shortcuts;
    DirectoryChangeMap m_addedFiles, m_modifiedFiles, m_deletedFiles;
    RegistryChangeMap m_addedKeys, m_modifiedKeys, m_deletedKeys;
    IniChangeMap m_addedIni, m_modifiedIni, m_deletedIni;
    IconMap m_icons;
    ProductInfo m_product;

    std::vector<std::wstring> m_addedExecutables;
};
