// Test controls of the portable platform layer, the stand-in for the Windows
// services in the native build. Nothing here is part of the product.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "portable/file_system_portable.h"
#include "portable/session_portable.h"

namespace fake {

// --- message boxes and window lookups -------------------------------------
struct Message {
    std::u16string text;
    std::u16string title;
    platform::MessageIcon icon;
};
std::vector<Message>& Messages();              // every box shown, in order
std::vector<std::u16string>& WindowLookups();  // every title looked up
void SetWindowExists(bool exists);

std::vector<std::uint32_t>& Pauses();  // every pause asked for, in ms; none really waits

// --- the process -------------------------------------------------------------
// Kills the running process: its open handles are closed at once, and
// nothing it does from then on reaches the files or the registry.
void KillProcess();
// Starts the next process after a kill, with id `processId` and no boxes yet.
void StartProcess(std::uint32_t processId);
bool ProcessKilled();
std::uint32_t ProcessId();  // 4242 until another process starts

// --- elevation, and the folders the system names ---------------------------------
void SetElevated(bool elevated);
enum class Consent { Granted, Declined, CannotStart };
void AnswerPrompts(Consent consent);  // Declined until told otherwise
// What a granted copy runs: its whole command line in, its exit code out.
// It runs elevated, and its files and registry are this process's.
void SetElevatedCopy(std::function<std::uint32_t(const std::u16string& commandLine)> copy);
std::vector<std::u16string>& ElevationRequests();  // the parameters of every copy asked for
bool RedirectionTrustEnforced();
// The program's own file: a granted copy's command line starts with it, quoted.
inline constexpr char16_t kOwnPath[] = u"C:\\Downloads\\UpDate.exe";
// Defaults: C:\Program Files, C:\Program Files (x86), C:\Windows, C:\ProgramData
// and C:\Users\me\AppData\Local.
void SetKnownFolders(std::vector<std::u16string> virtualized, std::u16string localAppData);

// --- registry --------------------------------------------------------------
struct StoredValue {
    std::uint32_t type;
    Bytes bytes;
};
void CreateKey(std::uint32_t root, const std::string& path);
void PutValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
              const Bytes& bytes);
void PutString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text);
std::optional<StoredValue> GetValue(std::uint32_t root, const std::string& path, const std::string& name);
void FailNextSetValue();
void BeforeNextSetValue(std::function<void()> action);  // as BeforeNext, for the registry's set
std::size_t OpenKeyCount();

// Forgets every file, key, message and injected fault.
void Reset();

}  // namespace fake
