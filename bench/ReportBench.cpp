// Times the capture report of a large capture: 100,000 files in 10,000
// folders and 20,000 registry values in 5,000 keys (120,000 rows), against
// one tenth of it, and gives the report's size.
#include "bench/BenchSupport.h"
#include "manager/CaptureReport.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

CaptureReportInput MakeInput(int scale)
{
    CaptureReportInput input;
    input.Project.Product = {L"Bench App", L"1.0", L"Bench"};
    DirectoryChangeMap& files = input.Project.Changes.Files(ChangeOrigin::Added);
    for (int d = 0; d < 1000 * scale; ++d) {
        const std::wstring folder = L"%PROGRAMFILES%\\Bench App\\Module" + std::to_wstring(d) + L"\\Resources";
        std::vector<std::wstring>& list = files[folder];
        for (int f = 0; f < 10; ++f)
            list.push_back(folder + L"\\component_file_" + std::to_wstring(f) + L".dll");
    }
    RegistryChangeMap& keys = input.Project.Changes.Registry(ChangeOrigin::Added);
    for (int k = 0; k < 500 * scale; ++k) {
        const std::wstring key = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\Key" + std::to_wstring(k);
        for (int v = 0; v < 4; ++v)
            keys[key].push_back({key, L"\"Value" + std::to_wstring(v) + L"\"", L"REG_SZ",
                                 L"C:\\Program Files\\Bench App\\Module" + std::to_wstring(k) + L"\\data.bin"});
    }
    input.FileSize = [](const std::wstring& path) -> std::optional<unsigned long long> { return path.size() * 1000; };
    return input;
}

// Seconds to write the report; its size in bytes.
double TimeReport(int scale, const std::wstring& path, unsigned long long& size)
{
    const CaptureReportInput input = MakeInput(scale);
    const double start = Now();
    if (!WriteCaptureReport(input, path))
        return -1;
    const double seconds = (Now() - start) / 1000.0;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return seconds;
}

} // namespace

int main()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"CorvaneReportBench.html";
    unsigned long long size = 0;
    (void)TimeReport(1, path, size);
    const double small = TimeReport(1, path, size);
    const double large = TimeReport(10, path, size);
    DeleteFileW(path.c_str());
    if (small <= 0 || large <= 0) {
        std::printf("report_bench: the report could not be written\n");
        return 1;
    }
    std::printf("report_bench: capture report, 12,000 rows: %.3f s\n", small);
    std::printf("report_bench: capture report, 120,000 rows: %.3f s, %.1f MB\n", large,
                static_cast<double>(size) / (1024.0 * 1024.0));
    std::printf("report_bench: seconds per 10,000 rows = %.3f (target < 1)\n", large / 12.0);
    return 0;
}
