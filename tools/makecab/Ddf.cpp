#include "tools/makecab/Ddf.h"

#include <windows.h>

#include <cwctype>
#include <set>
#include <utility>

namespace {

std::wstring Lower(std::wstring_view text)
{
    std::wstring out(text);
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; }

// Splits one line into tokens. Quoted tokens keep everything between their
// quotes; a doubled quote inside stands for one. `quoted` marks which tokens
// were quoted, so that a quoted "/x" is a name and not a parameter.
bool Tokenize(std::wstring_view line, std::vector<std::wstring>& tokens, std::vector<bool>& quoted,
              std::wstring& problem)
{
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == L';')
            break;
        std::wstring token;
        if (line[i] == L'"' || line[i] == L'\'') {
            const wchar_t quote = line[i++];
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == quote) {
                    if (i + 1 < line.size() && line[i + 1] == quote) {
                        token += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                token += line[i++];
            }
            if (!closed) {
                problem = L"missing closing quote";
                return false;
            }
            tokens.push_back(token);
            quoted.push_back(true);
        } else {
            while (i < line.size() && !IsBlank(line[i]) && line[i] != L';')
                token += line[i++];
            tokens.push_back(token);
            quoted.push_back(false);
        }
    }
    return true;
}

// Unquotes a .Set value: 'x', "x" or bare text up to a comment.
bool SetValue(std::wstring_view raw, std::wstring& value, std::wstring& problem)
{
    std::vector<std::wstring> tokens;
    std::vector<bool> quoted;
    if (!Tokenize(raw, tokens, quoted, problem))
        return false;
    if (tokens.size() > 1) {
        problem = L"more than one value";
        return false;
    }
    value = tokens.empty() ? std::wstring() : tokens[0];
    return true;
}

bool OnOff(const std::wstring& value, bool& out)
{
    const std::wstring v = Lower(value);
    if (v == L"on" || v == L"yes" || v == L"true" || v == L"1") {
        out = true;
        return true;
    }
    if (v == L"off" || v == L"no" || v == L"false" || v == L"0") {
        out = false;
        return true;
    }
    return false;
}

bool Unsigned(const std::wstring& value, unsigned limit, unsigned& out)
{
    if (value.empty() || value.size() > 9)
        return false;
    unsigned n = 0;
    for (wchar_t c : value) {
        if (c < L'0' || c > L'9')
            return false;
        n = n * 10 + static_cast<unsigned>(c - L'0');
    }
    if (n > limit)
        return false;
    out = n;
    return true;
}

std::wstring FirstDiskName(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'*')
            c = L'1';
    return text;
}

std::wstring LastComponent(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct ParserState
{
    bool cabinet = true;
    bool compress = true;
    bool mszip = true;
    bool uniqueFiles = true;
    bool newFolder = false;
    std::wstring sourceDir;
    std::wstring destinationDir;
    std::wstring diskDirectoryTemplate = L"disk*";
    std::wstring diskDirectory1;
};

// MaxDiskSize: a number of bytes; the named sizes (CDROM, 1.44M...) leave
// the one cabinet written here at the format's own limit.
bool MaxDiskSize(const std::wstring& value, unsigned long long& size)
{
    if (value.empty() || value[0] < L'0' || value[0] > L'9')
        return true;
    unsigned long long n = 0;
    for (wchar_t c : value) {
        if (c < L'0' || c > L'9' || n > 0x7FFFFFFFull)
            return false;
        n = n * 10 + static_cast<unsigned>(c - L'0');
    }
    if (n > 0x7FFFFFFFull)
        return false;
    size = n;
    return true;
}

// The settings that take on or off.
bool ApplySwitch(const std::wstring& var, const std::wstring& value, ParserState& state, std::wstring& problem,
                 bool& known)
{
    struct Switch
    {
        const wchar_t* Name;
        const wchar_t* Caption;
        bool ParserState::*Field;
    };
    static constexpr Switch Switches[] = {{L"cabinet", L"Cabinet", &ParserState::cabinet},
                                          {L"compress", L"Compress", &ParserState::compress},
                                          {L"uniquefiles", L"UniqueFiles", &ParserState::uniqueFiles}};
    for (const Switch& entry : Switches) {
        if (var != entry.Name)
            continue;
        known = true;
        if (!OnOff(value, state.*entry.Field)) {
            problem = std::wstring(entry.Caption) + L" must be on or off";
            return false;
        }
        return true;
    }
    known = false;
    return true;
}

bool ApplySet(const std::wstring& variable, const std::wstring& value, ParserState& state,
              DdfScript& script, std::wstring& problem)
{
    const std::wstring var = Lower(variable);
    bool known = false;
    if (!ApplySwitch(var, value, state, problem, known))
        return false;
    if (known)
        return true;
    if (var == L"compressiontype") {
        const std::wstring v = Lower(value);
        if (v != L"mszip" && v != L"none") {
            problem = L"compression type '" + value + L"' is not supported (MSZIP only)";
            return false;
        }
        state.mszip = v == L"mszip";
    } else if (var == L"cabinetnametemplate" || var == L"cabinetname1") {
        if (value.empty()) {
            problem = L"empty cabinet name";
            return false;
        }
        script.cabinetName = FirstDiskName(value);
    } else if (var == L"diskdirectorytemplate") {
        state.diskDirectoryTemplate = value;
    } else if (var == L"diskdirectory1") {
        state.diskDirectory1 = value;
    } else if (var == L"sourcedir") {
        state.sourceDir = value;
    } else if (var == L"destinationdir") {
        state.destinationDir = value;
    } else if (var == L"reservepercabinetsize") {
        if (!Unsigned(value, 60000, script.reserveCabinet) || script.reserveCabinet % 4 != 0) {
            problem = L"ReservePerCabinetSize must be a multiple of 4 up to 60000";
            return false;
        }
    } else if (var == L"reserveperfoldersize") {
        if (!Unsigned(value, 255, script.reserveFolder)) {
            problem = L"ReservePerFolderSize must be 0 to 255";
            return false;
        }
    } else if (var == L"reserveperdatablocksize") {
        if (!Unsigned(value, 255, script.reserveData)) {
            problem = L"ReservePerDataBlockSize must be 0 to 255";
            return false;
        }
    } else if (var == L"maxdisksize") {
        if (!MaxDiskSize(value, script.maxDiskSize)) {
            problem = L"MaxDiskSize must be a number of bytes below 2 GB";
            return false;
        }
    }
    // Everything else (CompressionLevel, CompressionMemory, the
    // report and INF settings, thresholds...) does not change the one cabinet
    // written here and is accepted as it is.
    return true;
}

// A line starting with a dot. False with `problem` set when it cannot be used.
bool ApplyDirective(std::wstring_view line, ParserState& state, DdfScript& script, std::wstring& problem)
{
    size_t wordEnd = 1;
    while (wordEnd < line.size() && !IsBlank(line[wordEnd]))
        ++wordEnd;
    const std::wstring directive = Lower(line.substr(1, wordEnd - 1));
    std::wstring_view rest = line.substr(wordEnd);
    while (!rest.empty() && IsBlank(rest.front()))
        rest.remove_prefix(1);
    if (directive == L"option" || directive == L"dump")
        return true;
    if (directive == L"set") {
        const size_t eq = rest.find(L'=');
        if (eq == std::wstring_view::npos) {
            problem = L".Set without '='";
            return false;
        }
        std::wstring_view name = rest.substr(0, eq);
        while (!name.empty() && IsBlank(name.back()))
            name.remove_suffix(1);
        if (name.empty()) {
            problem = L".Set without a variable name";
            return false;
        }
        std::wstring value;
        return SetValue(rest.substr(eq + 1), value, problem) &&
               ApplySet(std::wstring(name), value, state, script, problem);
    }
    if (directive == L"new") {
        if (Lower(rest) == L"folder") {
            state.newFolder = true;
            return true;
        }
        problem = L".New " + std::wstring(rest) + L" is not supported: one cabinet is written";
        return false;
    }
    problem = L"directive ." + directive + L" is not supported";
    return false;
}

// A line naming a file: the source, optionally its name in the cabinet, then
// parameters such as /inf=no, none of which changes what is stored.
bool AddFile(std::wstring_view line, int lineNo, ParserState& state, std::set<std::wstring>& seenNames,
             DdfScript& script, std::wstring& problem)
{
    std::vector<std::wstring> tokens;
    std::vector<bool> quoted;
    if (!Tokenize(line, tokens, quoted, problem))
        return false;
    if (tokens.empty())
        return true;
    size_t names = 0;
    while (names < tokens.size() && names < 2 && !(tokens[names].starts_with(L"/") && !quoted[names]))
        ++names;
    for (size_t i = names; i < tokens.size(); ++i)
        if (!(tokens[i].starts_with(L"/") && !quoted[i])) {
            problem = L"unexpected text '" + tokens[i] + L"'";
            return false;
        }
    if (names == 0 || tokens[0].empty())
        problem = L"no source file name";
    else if (!state.cabinet)
        problem = L"files outside a cabinet (Cabinet=off) are not supported";
    if (!problem.empty())
        return false;

    DdfFile file;
    file.line = lineNo;
    file.source = tokens[0];
    const bool relative = !(file.source.size() >= 2 && file.source[1] == L':') &&
                          !file.source.starts_with(L"\\") && !file.source.starts_with(L"/");
    if (relative && !state.sourceDir.empty())
        file.source = state.sourceDir + (state.sourceDir.back() == L'\\' ? L"" : L"\\") + file.source;
    file.name = names >= 2 && !tokens[1].empty() ? tokens[1] : LastComponent(tokens[0]);
    if (!state.destinationDir.empty())
        file.name = state.destinationDir + L"\\" + file.name;
    if (file.name.empty()) {
        problem = L"no name for the file in the cabinet";
        return false;
    }
    file.compress = state.compress && state.mszip;
    file.newFolder = std::exchange(state.newFolder, false);
    // Names in a cabinet compare without regard to case.
    const bool fresh = seenNames.insert(Lower(file.name)).second;
    if (!fresh && state.uniqueFiles) {
        problem = L"'" + file.name + L"' is already in the cabinet (UniqueFiles is on)";
        return false;
    }
    script.files.push_back(std::move(file));
    return true;
}

} // namespace

std::wstring DdfScript::CabinetPath() const
{
    if (diskDirectory.empty())
        return cabinetName;
    std::wstring path = diskDirectory;
    if (path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path + cabinetName;
}

std::wstring DecodeDdfText(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring out((bytes.size() - 2) / 2, L'\0');
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                          (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
        return out;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    UINT codePage = CP_UTF8;
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (n <= 0) {
        codePage = CP_ACP;
        flags = 0;
        n = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    }
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), size, out.data(), n);
    return out;
}

bool ParseDdf(std::wstring_view text, DdfScript& script, DdfError& error)
{
    ParserState state;
    std::set<std::wstring> seenNames;
    int lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring_view::npos)
            end = text.size();
        std::wstring_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        while (!line.empty() && IsBlank(line.back()))
            line.remove_suffix(1);
        if (line.empty() || line.front() == L';')
            continue;
        std::wstring problem;
        const bool used = line.front() == L'.' ? ApplyDirective(line, state, script, problem)
                                               : AddFile(line, lineNo, state, seenNames, script, problem);
        if (!used) {
            error.line = lineNo;
            error.message = std::move(problem);
            return false;
        }
    }
    script.diskDirectory = FirstDiskName(state.diskDirectory1.empty() ? state.diskDirectoryTemplate
                                                                      : state.diskDirectory1);
    return true;
}
