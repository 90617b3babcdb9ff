// Test controls of the elevation and known-folder stand-ins
// (elevation_portable.cpp, known_folders_portable.cpp). Nothing here is part
// of the product.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fake {

void SetElevated(bool elevated);
bool Elevated();  // as set, whatever the next query answers
// The next query of the token fails with `error`.
void FailElevationQuery(std::uint32_t error);
enum class Consent { Granted, Declined, CannotStart };
void AnswerPrompts(Consent consent);  // Declined until told otherwise
// What a granted copy runs: its whole command line in, its exit code out.
// It runs elevated, and its files and registry are this process's.
void SetElevatedCopy(std::function<std::uint32_t(const std::u16string& commandLine)> copy);
std::vector<std::u16string>& ElevationRequests();  // the parameters of every copy asked for
bool RedirectionTrustEnforced();
// The program's own file: a granted copy's command line starts with it, quoted.
inline constexpr char16_t kOwnPath[] = u"C:\\Downloads\\UpDate.exe";
void ResetElevation();

// The known folders are C:\Program Files, C:\Program Files (x86), C:\Windows,
// C:\ProgramData and C:\Users\me\AppData\Local. Their look-up cannot be made
// (the shell's DLLs do not load): both calls fail the VirtualStore step with
// `error`.
void FailKnownFolders(std::uint32_t error);
void ResetKnownFolders();

}  // namespace fake
