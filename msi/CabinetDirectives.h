#pragma once
// The cabinet maker's directive files (one per cabinet) and the batch file
// that records how the cabinets were made. The directive files are 8-bit
// text: UTF-8 for our cabinet maker, the ANSI code page for the platform's.
#include "common/Result.h"
#include "msi/CabinetPlan.h"
#include "msi/PackedFile.h"

#include <string>
#include <vector>

// 8-bit text in the cabinet maker's encoding; false when a character has no
// equivalent in the ANSI code page.
[[nodiscard]] bool ToDdfText(const std::wstring& text, bool utf8, std::string& out);

struct DirectiveFiles
{
    std::wstring packagesFolder;            // where the cabinets are written
    std::wstring singleDdf;                 // the directive file of a build without files
    std::vector<std::wstring> ddfs;         // one per planned cabinet
    std::vector<std::wstring> cabinetFiles; // where the cabinet maker writes each
    bool utf8 = true;
};

// Writes one directive file per planned cabinet (the header alone when there
// is none). Fails with the system's code at the first one that cannot be
// written.
Result WriteDirectiveFiles(const DirectiveFiles& target, const CabinetPlan& plan,
                                       const std::vector<PackedFile>& files);
// A record of how the cabinets were made, for someone who wants to run it
// again by hand; written where it can be, else left out.
void WriteCabinetBatchFile(const std::wstring& batchPath, const std::wstring& cabinetMaker,
                           const DirectiveFiles& target);
