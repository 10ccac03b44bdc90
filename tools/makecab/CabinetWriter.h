#pragma once
// Writes the one cabinet a DDF describes, through cabinet.dll's FCI. File
// names and paths are wide throughout: every file is opened here with the
// wide API, and names that are not ASCII go into the cabinet as UTF-8 with
// the _A_NAME_IS_UTF attribute.
#include "tools/makecab/Ddf.h"

#include <string>

// A cabinet holds files below 2 GiB; this is the largest size accepted.
constexpr unsigned long long kMaxCabinetFileSize = 0x7FFFFFFFull;
// And a cabinet itself is at most this large.
constexpr unsigned long long kMaxCabinetSize = 0x7FFFFFFFull;

// Told how far a cabinet has come: files stored so far and source bytes read.
class CabinetProgress
{
public:
    virtual ~CabinetProgress() = default;
    // `done` once the cabinet is complete.
    virtual void Packed(size_t files, unsigned long long bytes, bool done) = 0;
    // The MD5 digest of the file of the index (in the DDF's order), as four
    // little-endian numbers, once the file has been read whole.
    virtual void Hashed(size_t index, const unsigned long (&parts)[4]) = 0;
    // The file of the index begins "MZ", as an executable image does.
    virtual void Image(size_t index) { (void)index; }
    // The file of the index looks compressed already: it is stored
    // uncompressed, after every compressed file of the cabinet (in the DDF's
    // order among themselves).
    virtual void Stored(size_t index) { (void)index; }
};

// How much of a file's start tells whether it is worth compressing, and the
// least of it that can tell.
constexpr size_t kProbeBytes = 65536;
constexpr size_t kProbeMinimum = 2048;

// True when `count` bytes (at least kProbeMinimum) are as varied as random
// bytes, which deflate cannot shrink: compressed or encrypted data.
bool LooksIncompressible(const unsigned char* bytes, size_t count);

// Writes script.CabinetPath() (its folder is created when missing). With a
// progress, the files that look compressed already are moved behind the others. On failure
// returns false with the DDF line of the file at fault (0 when none) and a
// message naming the file and the system's reason, and leaves no cabinet
// behind. A cabinet that would pass script.maxDiskSize (2 GB when 0) fails.
[[nodiscard]] bool WriteCabinet(const DdfScript& script, DdfError& error, CabinetProgress* progress = nullptr);

// The system's text for an error code with its number: "Access denied. (error 5)".
std::wstring CabinetSystemText(unsigned long code);
