#pragma once
// The positions of the wizard's pages in the sheet (ApplicationMain.h adds
// them in this order). A page that moves the sheet on by itself names the
// position it goes to; the page identifiers are the dialog ids of Resource.h.

namespace PagePosition {
inline constexpr int Welcome = 0;
inline constexpr int CaptureBasicInformation = 1;
inline constexpr int PreInstallationSnapshot = 2;
inline constexpr int LaunchSetup = 3;
inline constexpr int PostInstallationSnapshot = 4;
inline constexpr int ReviewFiles = 5;
inline constexpr int ReviewRegistry = 6;
inline constexpr int CreateProjectFile = 7;
inline constexpr int ShowProjectFile = 8;
inline constexpr int BuildMsi = 9;
inline constexpr int ExistingSnapshot = 10;
inline constexpr int Count = 11;
} // namespace PagePosition
