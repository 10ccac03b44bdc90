#pragma once
// Helpers for the XML layer tests: the shipped raw project file, small
// documents written inline, and a log captured into a test folder.
#include "common/Utf.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"
#include "tests/support/TestSupport.h"

#include <optional>
#include <string>
#include <vector>

// The raw project file as shipped beside the program.
inline std::wstring ShippedRawProjectFile()
{
    return ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml";
}

// Names of the element children of a node, in document order.
inline std::vector<std::wstring> ElementNames(const XmlNode& parent)
{
    std::vector<std::wstring> names;
    for (XmlNode c = parent.GetFirstChild(); !c.IsNull(); c = c.GetNextSibling())
        if (c.IsElement())
            names.push_back(c.GetName());
    return names;
}

// Attribute 0 of each element child, in document order.
inline std::vector<std::wstring> ChildNames(const XmlNode& parent)
{
    std::vector<std::wstring> names;
    for (XmlNode c = parent.GetFirstChild(); !c.IsNull(); c = c.GetNextSibling())
        if (c.IsElement())
            names.push_back(c.GetAttribute(0));
    return names;
}

// Every attribute of an element, by position.
inline std::vector<std::wstring> Attributes(const XmlNode& node)
{
    std::vector<std::wstring> values;
    for (long i = 0; i < node.GetAttributeCount(); ++i)
        values.push_back(node.GetAttribute(i));
    return values;
}

// Makes the log write into `folder`\ErrorLog.txt while it lives.
class CapturedLog
{
public:
    explicit CapturedLog(const TempFolder& folder) : CapturedLog(folder.Path()) {}
    explicit CapturedLog(const std::wstring& folder) : m_path(folder + L"\\ErrorLog.txt"), m_cd(folder)
    {
        const std::wstring text = L"[LogFileDetails]\r\nLogLevel=2\r\nErrorLogFileName=ErrorLog.txt\r\n";
        std::string bytes = "\xff\xfe";
        bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        WriteFileBytes(folder + L"\\CorvaneRepackager.ini", bytes);
        m_log.emplace(folder);
    }

    // The messages logged so far (time stamps cut off).
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        if (!PathExists(m_path))
            return messages;
        const std::string text = ReadFileBytes(m_path);
        std::string::size_type start = 0, end;
        while ((end = text.find("\r\n", start)) != std::string::npos) {
            const std::string line = text.substr(start, end - start);
            // "dd-Mon-yyyy hh:mm:ss " is 21 characters.
            messages.push_back(line.size() >= 21 ? line.substr(21) : line);
            start = end + 2;
        }
        return messages;
    }

private:
    std::wstring m_path;
    ScopedCurrentDirectory m_cd;
    std::optional<ScopedFileLog> m_log;
};
