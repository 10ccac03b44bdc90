#include "project/XMLDocumentHandler.h"

#include "common/Paths.h"
#include "common/Utf.h"
#include "project/XmlInternal.h"

#include <oleauto.h>

#include <new>

using Microsoft::WRL::ComPtr;

// ---- CXMLDocumentHandler ----------------------------------------------------

CXMLDocumentHandler::CXMLDocumentHandler()
{
    try {
        m_includeExcludePath = Paths().DefaultIncludeExcludePath;
    } catch (...) {
    }
}

CXMLDocumentHandler::~CXMLDocumentHandler() = default;

int CXMLDocumentHandler::Load(const std::wstring& path)
{
    return m_xml.Load(path) ? 1 : 0;
}

int CXMLDocumentHandler::Save(const std::wstring& path)
{
    return m_xml.Save(path) ? 1 : 0;
}

XmlNode CXMLDocumentHandler::SelectList(const std::wstring& listPath) const
{
    return GetRootNode().SelectSingleNode(listPath);
}

void CXMLDocumentHandler::WriteError(const std::wstring& message) const
{
    LogError(message);
}

DirectoryChangeMap* CXMLDocumentHandler::DirectoryMapFor(const std::wstring& listPath) noexcept
{
    if (listPath == NodePath::FilesAdded)
        return &m_addedFiles;
    if (listPath == NodePath::FilesModified)
        return &m_modifiedFiles;
    if (listPath == NodePath::FilesDeleted)
        return &m_deletedFiles;
    return nullptr;
}

RegistryChangeMap* CXMLDocumentHandler::RegistryMapFor(const std::wstring& listPath) noexcept
{
    if (listPath == NodePath::RegistryAdded)
        return &m_addedKeys;
    if (listPath == NodePath::RegistryModified)
        return &m_modifiedKeys;
    if (listPath == NodePath::RegistryDeleted)
        return &m_deletedKeys;
    return nullptr;
}

IniChangeMap* CXMLDocumentHandler::IniMapFor(const std::wstring& listPath) noexcept
{
    if (listPath == NodePath::IniAdded)
        return &m_addedIni;
    if (listPath == NodePath::IniModified)
        return &m_modifiedIni;
    if (listPath == NodePath::IniDeleted)
        return &m_deletedIni;
    return nullptr;
}

void CXMLDocumentHandler::ClearModel()
{
    m_allFiles.clear();
    m_allFolders.clear();
    m_allRegistryKeys.clear();
    m_shortcuts.clear();
    m_addedFiles.clear();
    m_modifiedFiles.clear();
    m_deletedFiles.clear();
    m_addedKeys.clear();
    m_modifiedKeys.clear();
    m_deletedKeys.clear();
    m_addedIni.clear();
    m_modifiedIni.clear();
    m_deletedIni.clear();
    m_icons.clear();
    m_product = {};
}
