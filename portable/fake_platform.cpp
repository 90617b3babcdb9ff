// The portable stand-ins for message boxes, window lookup and the file system.
#include <algorithm>
#include <set>

#include "platform/elevation.h"
#include "portable/fake_platform.h"
#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "platform/system_error.h"
#include "platform/message_box.h"
#include "platform/window_lookup.h"

namespace fake {
void ResetRegistry();  // registry_api_portable.cpp

namespace {

struct FileEntry {
    std::u16string name;  // as first stored
    Bytes bytes;
    std::uint32_t attributes = 0;
    bool locked = false;
    std::uint64_t created = 0;
};

struct OpenFile {
    std::u16string key;
};

struct State {
    std::vector<Message> messages;
    std::vector<std::u16string> lookups;
    bool windowExists = false;
    std::map<std::u16string, FileEntry> files;  // by normalised path
    std::set<std::u16string> folders;
    std::map<FileOp, std::size_t> faults;  // op -> bytes before failure
    std::map<FileOp, std::function<void()>> before;
    std::set<OpenFile*> open;
    bool killed = false;
    std::uint32_t processId = 4242;
    std::uint64_t nextCreated = 1;
    int busyRenames = 0;
    std::vector<std::uint32_t> pauses;
    std::vector<std::u16string> journal;
    std::uint32_t lastError = 0;
    std::map<std::u16string, bool> refusing;  // folder -> refuses even elevated
    bool elevated = false;
    Consent consent = Consent::Declined;
    std::function<std::uint32_t(const std::u16string&)> copy;
    std::vector<std::u16string> elevationRequests;
    std::vector<std::u16string> virtualized{u"C:\\Program Files", u"C:\\Program Files (x86)", u"C:\\Windows",
                                            u"C:\\ProgramData"};
    std::u16string localAppData = u"C:\\Users\\me\\AppData\\Local";
};

State& S() {
    static State state;
    return state;
}

std::u16string Normalise(const std::u16string& path) {
    std::u16string key = path;
    for (char16_t& c : key) {
        if (c == u'/') c = u'\\';
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return key;
}

std::u16string ParentOf(const std::u16string& key) {
    const std::size_t slash = key.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : key.substr(0, slash);
}

bool IsDriveOrEmpty(const std::u16string& key) { return key.empty() || (key.size() == 2 && key[1] == u':'); }

bool FolderExists(const std::u16string& key) { return IsDriveOrEmpty(key) || S().folders.count(key) != 0; }

bool TakeFault(FileOp op, std::size_t* bytesBefore = nullptr) {
    auto found = S().faults.find(op);
    if (found == S().faults.end()) return false;
    if (bytesBefore) *bytesBefore = found->second;
    S().faults.erase(found);
    return true;
}

bool IsInvalidName(const std::u16string& path) {
    if (path.size() >= 260) return true;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        if (c < 0x20 || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|') return true;
        if (c == u':' && i != 1) return true;
    }
    return false;
}

// Runs the action queued for the call of `op` that is starting, if any.
void RunQueued(FileOp op) {
    auto queued = S().before.find(op);
    if (queued == S().before.end()) return;
    std::function<void()> action = std::move(queued->second);
    S().before.erase(queued);
    action();
}

// Whether the call of `op` now starting must fail: after a queued action has
// run, the process is dead or a fault was injected.
bool Interrupted(FileOp op) {
    RunQueued(op);
    if (!S().killed && !TakeFault(op)) return false;
    S().lastError = platform::kErrorGenFailure;
    return true;
}

OpenFile* AsOpen(void* handle) { return static_cast<OpenFile*>(handle); }

FileEntry* Find(const std::u16string& path) {
    auto found = S().files.find(Normalise(path));
    return found == S().files.end() ? nullptr : &found->second;
}

}  // namespace

std::vector<Message>& Messages() { return S().messages; }
std::vector<std::u16string>& WindowLookups() { return S().lookups; }
void SetWindowExists(bool exists) { S().windowExists = exists; }

void AddFolder(const std::u16string& path) {
    for (std::u16string key = Normalise(path); !IsDriveOrEmpty(key); key = ParentOf(key)) S().folders.insert(key);
}

void PutFile(const std::u16string& path, const Bytes& bytes, std::uint32_t attributes) {
    AddFolder(ParentOf(path));
    S().files[Normalise(path)] = FileEntry{path, bytes, attributes, false, S().nextCreated++};
}

std::uint64_t CreationOf(const std::u16string& path) {
    const FileEntry* entry = Find(path);
    return entry ? entry->created : 0;
}

std::optional<Bytes> FileBytes(const std::u16string& path) {
    const FileEntry* entry = Find(path);
    if (!entry) return std::nullopt;
    return entry->bytes;
}

std::vector<std::u16string> FilesIn(const std::u16string& folder) {
    std::vector<std::u16string> names;
    const std::u16string key = Normalise(folder);
    for (const auto& [path, entry] : S().files)
        if (ParentOf(path) == key) names.push_back(entry.name);
    return names;
}

void SetLocked(const std::u16string& path, bool locked) {
    if (FileEntry* entry = Find(path)) entry->locked = locked;
}

void FailNext(FileOp op, std::size_t bytesBeforeFailure) { S().faults[op] = bytesBeforeFailure; }

void RenameBusy(int times) { S().busyRenames = times; }
std::vector<std::uint32_t>& Pauses() { return S().pauses; }
std::vector<std::u16string>& FileJournal() { return S().journal; }

void BeforeNext(FileOp op, std::function<void()> action) { S().before[op] = std::move(action); }

std::size_t OpenFileCount() { return S().open.size(); }

void RemoveFolder(const std::u16string& path) {
    const std::u16string key = Normalise(path);
    const auto inside = [&key](const std::u16string& other) {
        return other == key || other.compare(0, key.size() + 1, key + u'\\') == 0;
    };
    for (auto it = S().files.begin(); it != S().files.end();) it = inside(it->first) ? S().files.erase(it) : ++it;
    for (auto it = S().folders.begin(); it != S().folders.end();) it = inside(*it) ? S().folders.erase(it) : ++it;
}

void KillProcess() {
    for (OpenFile* file : S().open) {
        auto entry = S().files.find(file->key);
        if (entry != S().files.end()) entry->second.locked = false;
    }
    S().killed = true;
}

void StartProcess(std::uint32_t processId) {
    S().killed = false;
    S().processId = processId;
    S().messages.clear();
    S().lookups.clear();
}

bool ProcessKilled() { return S().killed; }

void RefuseNewFilesIn(const std::u16string& folder, bool evenElevated) {
    S().refusing[Normalise(folder)] = evenElevated;
}
void SetElevated(bool elevated) { S().elevated = elevated; }
void AnswerPrompts(Consent consent) { S().consent = consent; }
void SetElevatedCopy(std::function<std::uint32_t(const std::u16string&)> copy) { S().copy = std::move(copy); }
std::vector<std::u16string>& ElevationRequests() { return S().elevationRequests; }
void SetKnownFolders(std::vector<std::u16string> virtualized, std::u16string localAppData) {
    S().virtualized = std::move(virtualized);
    S().localAppData = std::move(localAppData);
}

void Reset() {
    for (OpenFile* file : S().open) delete file;
    S() = State{};
    ResetRegistry();
}

}  // namespace fake

namespace platform {
using fake::FileOp;
using fake::S;

void ShowMessage(const std::u16string& text, const std::u16string& title, MessageIcon icon) {
    S().messages.push_back({text, title, icon});
}

bool TopLevelWindowExists(const std::u16string& title) {
    S().lookups.push_back(title);
    return S().windowExists;
}

FileProbe ProbeFile(const std::u16string& path) {
    const std::u16string key = fake::Normalise(path);
    if (fake::IsInvalidName(path)) return {ProbeStatus::Malformed, 0};
    if (const fake::FileEntry* entry = fake::Find(path)) return {ProbeStatus::Found, entry->attributes};
    if (S().folders.count(key)) return {ProbeStatus::Found, kAttributeDirectory};
    return {ProbeStatus::Absent, 0};
}

bool FileTraits::Close(Type handle) {
    fake::OpenFile* file = fake::AsOpen(handle);
    auto entry = S().files.find(file->key);
    if (entry != S().files.end()) entry->second.locked = false;
    S().open.erase(file);
    delete file;
    return !fake::Interrupted(FileOp::Close);
}

UniqueFile CreateNewFile(const std::u16string& path) {
    const std::u16string key = fake::Normalise(path);
    if (fake::Interrupted(FileOp::CreateNew) || fake::IsInvalidName(path) || S().files.count(key) ||
        S().folders.count(key) || !fake::FolderExists(fake::ParentOf(key))) {
        S().lastError = kErrorGenFailure;
        return UniqueFile();
    }
    const auto refusing = S().refusing.find(fake::ParentOf(key));
    if (refusing != S().refusing.end() && (refusing->second || !S().elevated)) {
        S().lastError = kErrorAccessDenied;
        return UniqueFile();
    }
    S().files[key] = fake::FileEntry{path, {}, 0, true, S().nextCreated++};
    S().journal.push_back(u"create " + path);
    auto* file = new fake::OpenFile{key};
    S().open.insert(file);
    return UniqueFile(file);
}

bool WriteAll(const UniqueFile& file, const unsigned char* data, std::size_t size) {
    fake::RunQueued(FileOp::Write);
    if (S().killed) return false;
    std::size_t allowed = size;
    const bool fails = fake::TakeFault(FileOp::Write, &allowed);
    if (fails) S().lastError = kErrorGenFailure;
    fake::FileEntry& entry = S().files[fake::AsOpen(file.get())->key];
    allowed = std::min(allowed, size);
    entry.bytes.insert(entry.bytes.end(), data, data + allowed);
    return !fails;
}

bool FlushFile(const UniqueFile&) { return !fake::Interrupted(FileOp::Flush); }

bool CopyTraits(const std::u16string& model, const std::u16string& file) {
    const fake::FileEntry* from = fake::Find(model);
    fake::FileEntry* to = fake::Find(file);
    if (fake::Interrupted(FileOp::CopyTraits) || !from || !to) return false;
    to->attributes = from->attributes & ~static_cast<std::uint32_t>(kAttributeReadOnly);
    to->created = from->created;
    S().journal.push_back(u"traits " + model + u" -> " + file);
    return true;
}

RenameStatus RenameOver(const std::u16string& from, const std::u16string& to) {
    const fake::FileEntry* source = fake::Find(from);
    const fake::FileEntry* target = fake::Find(to);
    const std::u16string toKey = fake::Normalise(to);
    if (fake::Interrupted(FileOp::Rename) || !source || S().folders.count(toKey) ||
        !fake::FolderExists(fake::ParentOf(toKey)))
        return RenameStatus::Refused;
    if (S().busyRenames > 0 || source->locked || (target && target->locked)) {
        if (S().busyRenames > 0) --S().busyRenames;
        return RenameStatus::Busy;
    }
    fake::FileEntry moved = *source;
    moved.name = to;
    S().files.erase(fake::Normalise(from));
    S().files[toKey] = moved;  // the old file, if any, goes in the same step
    S().journal.push_back(u"rename " + from + u" -> " + to);
    return RenameStatus::Renamed;
}

void Pause(std::uint32_t milliseconds) { S().pauses.push_back(milliseconds); }

bool RemoveFile(const std::u16string& path) {
    if (fake::Interrupted(FileOp::Remove)) return false;
    fake::FileEntry* entry = fake::Find(path);
    if (!entry || entry->locked || (entry->attributes & kAttributeReadOnly)) return false;
    S().files.erase(fake::Normalise(path));
    S().journal.push_back(u"remove " + path);
    return true;
}

std::uint32_t CurrentProcessId() { return S().processId; }

// Every failure but a refused new file reports the generic code: no test
// tells them apart.
std::uint32_t LastSystemError() { return S().lastError; }

bool ProcessIsElevated() { return S().elevated; }

ElevatedCopy RunElevatedCopy(const std::u16string& parameters) {
    S().elevationRequests.push_back(parameters);
    switch (S().consent) {
        case fake::Consent::Declined: return {false, kErrorCancelled};
        case fake::Consent::CannotStart: return {false, 2};  // ERROR_FILE_NOT_FOUND
        case fake::Consent::Granted: break;
    }
    if (!S().copy) return {false, 2};
    const bool wasElevated = std::exchange(S().elevated, true);
    const std::uint32_t code = S().copy(u"\"" + std::u16string(fake::kOwnPath) + u"\" " + parameters);
    S().elevated = wasElevated;
    return {true, code};
}

void SetPromptOwner(void*) {}

std::vector<std::u16string> VirtualizedFolders() { return S().virtualized; }
std::u16string LocalAppDataFolder() { return S().localAppData; }

}  // namespace platform
