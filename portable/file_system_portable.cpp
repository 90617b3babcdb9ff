// The stand-in for platform/file_system_win32.cpp: a tree of nodes, each with
// an identity of its own, so that a handle keeps referring to the folder it
// opened when another program moves that folder or puts a link in its place.
#include "portable/file_system_portable.h"

#include <algorithm>
#include <map>

#include "platform/decimal.h"
#include "portable/elevation_portable.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "platform/system_error.h"
#include "portable/process_portable.h"

namespace {

// The codes Windows gives where the run decides or reports by the code, as
// winerror.h numbers them rather than by the product's names for them, so
// that a wrong number in system_error.h shows here as it would on Windows.
constexpr std::uint32_t kSystemFileNotFound = 2;                // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kSystemPathNotFound = 3;                // ERROR_PATH_NOT_FOUND
constexpr std::uint32_t kSystemDirectoryError = 267;            // ERROR_DIRECTORY: opening a file as a folder
constexpr std::uint32_t kSystemAlreadyExists = 183;             // ERROR_ALREADY_EXISTS: FILE_CREATE over a name in use
constexpr std::uint32_t kSystemTooManyLinks = 1142;             // ERROR_TOO_MANY_LINKS: a log with another name too
constexpr std::uint32_t kSystemReparsePointEncountered = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED: a link refused

}  // namespace

namespace fake {
namespace {

using platform::Error;
using platform::Result;
using platform::Status;
using platform::Step;

constexpr std::uint32_t kErrorFilenameTooLong = 206;

enum class Kind { Folder, File, Link };

struct Node {
    Kind kind = Kind::Folder;
    std::u16string name;                               // as first made; empty for a root
    std::u16string shortName;                          // an 8.3 alias, if any
    std::uint64_t parent = 0;                          // 0 for a root
    std::map<std::u16string, std::uint64_t> children;  // by folded name
    Bytes bytes;
    std::uint32_t attributes = 0;
    std::uint64_t created = 0;
    std::u16string dacl;
    std::u16string linkTarget;
    std::uint32_t names = 1;  // hard links: entries that name this node
    bool locked = false;
    bool refuseNewFiles = false, refuseNewFilesEvenElevated = false;
};

struct Handle {
    std::uint64_t node;
    bool folder;  // held without delete sharing
    bool removeOnClose = false;
    std::size_t position = 0;
};

struct Fault {
    std::uint32_t error;
    int times;
    std::size_t bytesBefore;
};

struct Queued {
    FileOp op;
    std::size_t remaining;  // calls of `op` still to come before it runs
    std::function<void()> action;
};

struct Files {
    std::map<std::uint64_t, Node> nodes;
    std::map<std::u16string, std::uint64_t> roots;  // "c:", "\\server\share"
    std::map<std::u16string, DriveType> driveTypes;
    std::map<std::uintptr_t, Handle> handles;
    std::uintptr_t nextHandle = 0x100;
    std::uint64_t nextNode = 1, nextCreated = 1;
    std::u16string currentFolder = u"C:\\";
    std::map<FileOp, Fault> faults;
    std::vector<Queued> queued;
    std::size_t calls = 0;
    std::vector<Change> changes;
    std::vector<std::uint64_t> openedFolders;
};

Files& F() {
    static Files files;
    return files;
}

using platform::IsSeparator;

std::u16string Folded(std::u16string text) {
    for (char16_t& c : text) c = c == u'/' ? u'\\' : platform::FoldCase(c);
    return text;
}

// --- paths -----------------------------------------------------------------------

struct Parsed {
    std::u16string root;  // folded key of F().roots
    std::vector<std::u16string> parts;
};

std::vector<std::u16string> Split(const std::u16string& text) {
    std::vector<std::u16string> parts;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find_first_of(u"\\/", at);
        if (end == std::u16string::npos) end = text.size();
        parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

// The root and the parts of a path as Windows would resolve it: "." and ".."
// worked out and empty parts dropped, except in a verbatim path.
Result<Parsed> Parse(const std::u16string& path) {
    constexpr Step step = Step::FindDataFile;
    std::u16string text = path;
    bool verbatim = false;
    if (text.size() >= 4 && IsSeparator(text[0]) && IsSeparator(text[1]) && (text[2] == u'?' || text[2] == u'.') &&
        IsSeparator(text[3])) {
        verbatim = text[2] == u'?';
        text.erase(0, 4);
        if (text.size() < 2 || !platform::IsDriveLetter(text[0]) || text[1] != u':')
            return Error(step, kSystemPathNotFound);
    }
    if (!verbatim && text.size() >= 260) return Error(step, kErrorFilenameTooLong);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x20 || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|' ||
            (c == u':' && i != 1))
            return Error(step, platform::kErrorInvalidName);
    }
    Parsed parsed;
    std::u16string rest;
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {  // \\server\share\rest
        const std::vector<std::u16string> parts = Split(text.substr(2));
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) return Error(step, 53);  // ERROR_BAD_NETPATH
        parsed.root = u"\\\\" + Folded(parts[0]) + u"\\" + Folded(parts[1]);
        for (std::size_t i = 2; i < parts.size(); ++i) rest += (i > 2 ? u"\\" : u"") + parts[i];
    } else if (text.size() >= 2 && platform::IsDriveLetter(text[0]) && text[1] == u':') {
        parsed.root = Folded(text.substr(0, 2));
        rest = text.substr(2);
        // "X:rest" is relative to the current folder when that is on drive X
        // (and to the drive's root otherwise, which has no current folder here).
        if (!verbatim && (rest.empty() || !IsSeparator(rest[0])) &&
            Folded(F().currentFolder.substr(0, 2)) == parsed.root) {
            const Result<Parsed> current = Parse(F().currentFolder);
            if (!current.ok()) return current;
            parsed = current.value();
        }
    } else if (!text.empty() && IsSeparator(text[0])) {
        parsed.root = Folded(F().currentFolder.substr(0, 2));
        rest = text;
    } else {
        const Result<Parsed> current = Parse(F().currentFolder);
        if (!current.ok()) return current;
        parsed = current.value();
        rest = text;
    }
    const std::vector<std::u16string> parts = Split(rest);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::u16string part = parts[i];
        if (!verbatim && (part.empty() || part == u".")) continue;
        if (!verbatim && part == u"..") {
            if (!parsed.parts.empty()) parsed.parts.pop_back();
            continue;
        }
        // As Windows trims a path's names: the last loses its trailing
        // periods and spaces, any other one trailing period ("Error." is
        // the folder Error).
        if (!verbatim && i + 1 == parts.size()) {
            while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
        } else if (!verbatim && part.size() >= 2 && part.back() == u'.' && part[part.size() - 2] != u'.') {
            part.pop_back();
        }
        if (part.empty()) continue;
        parsed.parts.push_back(part);
    }
    return parsed;
}

Node* NodeOf(std::uint64_t id) {
    auto found = F().nodes.find(id);
    return found == F().nodes.end() ? nullptr : &found->second;
}

std::uint64_t MakeNode(Kind kind, const std::u16string& name, std::uint64_t parent) {
    const std::uint64_t id = F().nextNode++;
    Node node;
    node.kind = kind;
    node.name = name;
    node.parent = parent;
    node.created = F().nextCreated++;
    F().nodes[id] = node;
    if (parent) NodeOf(parent)->children[Folded(name)] = id;
    return id;
}

std::uint64_t RootOf(const std::u16string& key, bool make) {
    auto found = F().roots.find(key);
    if (found != F().roots.end()) return found->second;
    const bool letter = key.size() == 2;
    if (!letter && !make) return 0;
    const std::uint64_t id = MakeNode(Kind::Folder, u"", 0);
    F().roots[key] = id;
    return id;
}

std::uint64_t Child(const Node& folder, const std::u16string& name) {
    const std::u16string key = Folded(name);
    auto found = folder.children.find(key);
    if (found != folder.children.end()) return found->second;
    for (const auto& [childKey, id] : folder.children)
        if (Folded(NodeOf(id)->shortName) == key) return id;
    return 0;
}

std::u16string PathOf(std::uint64_t id) {
    const Node* node = NodeOf(id);
    if (!node) return std::u16string();
    if (!node->parent) {
        for (const auto& [key, root] : F().roots)
            if (root == id) {
                if (key.size() == 2) return std::u16string(1, static_cast<char16_t>(key[0] - u'a' + u'A')) + u":\\";
                return key;
            }
        return std::u16string();
    }
    std::u16string above = PathOf(node->parent);
    if (above.back() != u'\\') above += u'\\';
    return above + node->name;
}

// Where a path leads. Links on the way are followed, or refused; a link as
// the last part is followed only when asked.
Result<std::uint64_t> Walk(const std::u16string& path, platform::Links links, bool followLast, int depth = 0) {
    constexpr Step step = Step::FindDataFile;
    if (depth > 8) return Error(step, 1921);  // ERROR_CANT_RESOLVE_FILENAME
    const Result<Parsed> parsed = Parse(path);
    if (!parsed.ok()) return parsed.error();
    std::uint64_t at = RootOf(parsed.value().root, false);
    if (!at) return Error(step, 53);
    const std::vector<std::u16string>& parts = parsed.value().parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Node* here = NodeOf(at);
        if (here->kind != Kind::Folder) return Error(step, kSystemPathNotFound);
        const std::uint64_t next = Child(*here, parts[i]);
        const bool last = i + 1 == parts.size();
        if (!next) return Error(step, last ? kSystemFileNotFound : kSystemPathNotFound);
        const Node* child = NodeOf(next);
        if (child->kind == Kind::Link && (!last || followLast)) {
            if (links == platform::Links::Refuse) return Error(step, kSystemReparsePointEncountered);
            const Result<std::uint64_t> target = Walk(child->linkTarget, links, true, depth + 1);
            if (!target.ok()) return target;
            at = target.value();
            continue;
        }
        at = next;
    }
    return at;
}

// What the refusing walk takes: "X:\" and named parts split at "\" only
// (no "/", ".", ".." or empty part, but a trailing "\").
bool WalkableByParts(const std::u16string& path) {
    if (path.size() < 3 || path[1] != u':' || path[2] != u'\\') return false;
    for (std::size_t at = 3; at < path.size();) {
        std::size_t end = path.find(u'\\', at);
        if (end == std::u16string::npos) end = path.size();
        const std::u16string part = path.substr(at, end - at);
        if (part.empty() || part == u"." || part == u".." || part.find(u'/') != std::u16string::npos) return false;
        at = end + 1;
    }
    return true;
}

// The path with each part that names a node by its short name given that
// node's name; links are passed through.
Result<std::u16string> LongForm(const std::u16string& path) {
    const Result<Parsed> parsed = Parse(path);
    if (!parsed.ok()) return parsed.error();
    std::uint64_t at = RootOf(parsed.value().root, false);
    if (!at) return Error(Step::FindDataFile, 53);
    const std::u16string& root = parsed.value().root;  // "c:" or "\\server\share"
    std::u16string longer = root.size() == 2 ? path.substr(0, 2) + u"\\" : root;
    for (const std::u16string& part : parsed.value().parts) {
        const Node* here = NodeOf(at);
        const std::uint64_t next = here ? Child(*here, part) : 0;
        if (!next) return Error(Step::FindDataFile, kSystemFileNotFound);
        const Node* child = NodeOf(next);
        if (!longer.empty() && !IsSeparator(longer.back())) longer += u'\\';
        longer += Folded(child->shortName) == Folded(part) ? child->name : part;
        at = next;
        if (child->kind == Kind::Link) {
            const Result<std::uint64_t> target = Walk(child->linkTarget, platform::Links::Follow, true);
            if (!target.ok()) return target.error();
            at = target.value();
        }
    }
    return longer;
}


Handle* HandleOf(void* handle) {
    auto found = F().handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == F().handles.end() ? nullptr : &found->second;
}

void* NewHandle(std::uint64_t node, bool folder) {
    const std::uintptr_t id = F().nextHandle++;
    F().handles[id] = Handle{node, folder};
    return reinterpret_cast<void*>(id);
}

bool HeldAsFolder(std::uint64_t id) {
    for (const auto& [handle, open] : F().handles)
        if (open.folder && open.node == id) return true;
    return false;
}

void Record(const char16_t* what, std::uint64_t folder, const std::u16string& name) {
    F().changes.push_back(Change{what, PathOf(folder), name, folder});
}

void Detach(std::uint64_t id) {
    Node* node = NodeOf(id);
    if (node && node->parent) NodeOf(node->parent)->children.erase(Folded(node->name));
    if (node) node->parent = 0;
}

void Erase(std::uint64_t id) {
    Node* node = NodeOf(id);
    if (!node) return;
    for (const auto& [key, child] : std::map<std::u16string, std::uint64_t>(node->children)) Erase(child);
    Detach(id);
    if (node->names > 1)  // its other names go with it
        for (auto& [other, folder] : F().nodes)
            for (auto entry = folder.children.begin(); entry != folder.children.end();)
                entry = entry->second == id ? folder.children.erase(entry) : std::next(entry);
    F().nodes.erase(id);
}

// The fault injected for `op`, used up once more.
std::optional<Fault> Injected(FileOp op) {
    auto found = F().faults.find(op);
    if (found == F().faults.end()) return std::nullopt;
    Fault fault = found->second;
    if (--found->second.times <= 0) F().faults.erase(found);
    return fault;
}

// Whether the call of `op` now starting must fail, and with what: the queued
// action runs first, then a dead process or an injected fault fails it.
std::optional<Fault> Starting(FileOp op) {
    ++F().calls;
    std::vector<std::function<void()>> due;
    for (auto it = F().queued.begin(); it != F().queued.end();) {
        if ((it->op == op || it->op == FileOp::Any) && --it->remaining == 0) {
            due.push_back(std::move(it->action));
            it = F().queued.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::function<void()>& action : due) action();
    if (ProcessKilled()) return Fault{platform::kErrorGenFailure, 1, 0};
    return Injected(op);
}

// Whether the DACL denies `right` ("replace", "read-control") to this process.
bool Denies(const Node& node, const std::u16string& right) {
    if (node.dacl.find(u"deny-" + right + u"-always") != std::u16string::npos) return true;
    return node.dacl.find(u"deny-" + right) != std::u16string::npos && !Elevated();
}
bool DeniesReplace(const Node& node) { return Denies(node, u"replace"); }

// Follows the links at the end of a path to what they lead to (for the controls).
std::uint64_t Find(const std::u16string& path) {
    const Result<std::uint64_t> found = Walk(path, platform::Links::Follow, true);
    return found.ok() ? found.value() : 0;
}

std::uint64_t FindEntry(const std::u16string& path) {
    const Result<std::uint64_t> found = Walk(path, platform::Links::Follow, false);
    return found.ok() ? found.value() : 0;
}

}  // namespace

// --- controls -------------------------------------------------------------------

void AddFolder(const std::u16string& path) {
    const Result<Parsed> parsed = Parse(path);
    if (!parsed.ok()) return;
    std::uint64_t at = RootOf(parsed.value().root, true);
    for (const std::u16string& part : parsed.value().parts) {
        std::uint64_t next = Child(*NodeOf(at), part);
        if (!next) next = MakeNode(Kind::Folder, part, at);
        while (NodeOf(next)->kind == Kind::Link) next = Find(NodeOf(next)->linkTarget);
        at = next;
    }
}

static std::uint64_t PutEntry(const std::u16string& path, Kind kind) {
    const std::u16string folder = platform::FolderOf(path);
    AddFolder(folder);
    const std::uint64_t parent = Find(folder);
    const std::u16string name = path.substr(platform::LastPartAt(path));
    if (const std::uint64_t old = Child(*NodeOf(parent), name)) Erase(old);
    return MakeNode(kind, name, parent);
}

void PutFile(const std::u16string& path, const Bytes& bytes, std::uint32_t attributes) {
    Node& node = *NodeOf(PutEntry(path, Kind::File));
    node.bytes = bytes;
    node.attributes = attributes;
}

void AddLink(const std::u16string& path, const std::u16string& target) {
    NodeOf(PutEntry(path, Kind::Link))->linkTarget = target;
}

void AddHardLink(const std::u16string& path, const std::u16string& existing) {
    const std::uint64_t id = Find(existing);
    const std::size_t cut = path.find_last_of(u"\\/");
    const std::u16string folder = path.substr(0, cut == 2 ? 3 : cut);
    AddFolder(folder);
    Node* parent = NodeOf(Find(folder));
    if (!id || NodeOf(id)->kind != Kind::File || !parent || Child(*parent, path.substr(cut + 1))) return;
    parent->children[Folded(path.substr(cut + 1))] = id;
    ++NodeOf(id)->names;
}

void AddShortName(const std::u16string& path, const std::u16string& shortName) {
    if (Node* node = NodeOf(FindEntry(path))) node->shortName = shortName;
}

void SetCurrentFolder(const std::u16string& path) { F().currentFolder = path; }
void SetDriveType(const std::u16string& root, DriveType type) { F().driveTypes[Folded(root)] = type; }

std::optional<Bytes> FileBytes(const std::u16string& path) {
    const Node* node = NodeOf(Find(path));
    if (!node || node->kind != Kind::File) return std::nullopt;
    return node->bytes;
}

std::vector<std::u16string> FilesIn(const std::u16string& folder) {
    std::vector<std::u16string> names;
    const Node* node = NodeOf(Find(folder));
    if (!node || node->kind != Kind::Folder) return names;
    for (const auto& [key, id] : node->children)
        if (NodeOf(id)->kind != Kind::Folder) names.push_back(NodeOf(id)->name);
    return names;
}

std::uint64_t CreationOf(const std::u16string& path) {
    const Node* node = NodeOf(Find(path));
    return node ? node->created : 0;
}

std::u16string DaclOf(const std::u16string& path) {
    const Node* node = NodeOf(Find(path));
    return node ? node->dacl : std::u16string();
}

bool IsLink(const std::u16string& path) {
    const Node* node = NodeOf(FindEntry(path));
    return node && node->kind == Kind::Link;
}

void SetLocked(const std::u16string& path, bool locked) {
    if (Node* node = NodeOf(Find(path))) node->locked = locked;
}

bool MoveEntry(const std::u16string& from, const std::u16string& to) {
    const std::uint64_t id = FindEntry(from);
    const std::uint64_t parent = Find(platform::FolderOf(to));
    if (!id || !parent || HeldAsFolder(id) || Child(*NodeOf(parent), to.substr(platform::LastPartAt(to)))) return false;
    Detach(id);
    Node& node = *NodeOf(id);
    node.name = to.substr(platform::LastPartAt(to));
    node.parent = parent;
    NodeOf(parent)->children[Folded(node.name)] = id;
    return true;
}

void RemoveFolder(const std::u16string& path) {
    const std::uint64_t id = FindEntry(path);
    if (id) Erase(id);
}

void ChangeBytes(const std::u16string& path) {
    if (Node* node = NodeOf(Find(path)); node && !node->bytes.empty()) node->bytes[0] ^= 0xFF;
}

void SetDacl(const std::u16string& path, const std::u16string& dacl) {
    if (Node* node = NodeOf(Find(path))) node->dacl = dacl;
}

void RefuseNewFilesIn(const std::u16string& folder, bool evenElevated) {
    AddFolder(folder);
    Node& node = *NodeOf(Find(folder));
    node.refuseNewFiles = true;
    node.refuseNewFilesEvenElevated = evenElevated;
}

void FailNext(FileOp op, std::uint32_t error, int times, std::size_t bytesBeforeFailure) {
    F().faults[op] = Fault{error, times, bytesBeforeFailure};
}

void BeforeNext(FileOp op, std::function<void()> action, std::size_t nth) {
    F().queued.push_back(Queued{op, nth, std::move(action)});
}

std::size_t FileCallCount() { return F().calls; }
const std::vector<Change>& Changes() { return F().changes; }
const std::vector<std::uint64_t>& OpenedFolders() { return F().openedFolders; }

std::uint64_t FolderId(const std::u16string& path) {
    const std::uint64_t id = Find(path);
    return id && NodeOf(id)->kind == Kind::Folder ? id : 0;
}

std::u16string FolderPath(std::uint64_t folderId) { return PathOf(folderId); }

std::size_t OpenFileCount() { return F().handles.size(); }

void CloseEveryHandle() {
    for (const auto& [id, handle] : std::map<std::uintptr_t, Handle>(F().handles))
        if (handle.removeOnClose) Erase(handle.node);
    F().handles.clear();
}

void ResetFiles() { F() = Files{}; }

}  // namespace fake

// --- the seam -----------------------------------------------------------------------

namespace platform {
using fake::FileOp;
using fake::Kind;
using fake::Node;

bool FileTraits::Close(Type handle) {
    fake::Handle* open = fake::HandleOf(handle);
    const bool removes = open && open->removeOnClose;
    const std::uint64_t node = open ? open->node : 0;
    fake::F().handles.erase(reinterpret_cast<std::uintptr_t>(handle));
    if (removes) {
        fake::Record(u"remove", fake::NodeOf(node) ? fake::NodeOf(node)->parent : 0,
                     fake::NodeOf(node) ? fake::NodeOf(node)->name : u"");
        fake::Erase(node);
    }
    return !fake::Starting(FileOp::Close);
}

Status OpenFolder(const std::u16string& path, Links links, UniqueFile& folder) {
    if (const auto fault = fake::Starting(FileOp::OpenFolder)) return Error(Step::FindDataFile, fault->error);
    if (links == Links::Refuse && !fake::WalkableByParts(path))
        return Error(Step::FindDataFile, platform::kErrorInvalidName);
    const Result<std::uint64_t> found = fake::Walk(path, links, true);
    if (!found.ok()) return found.error();
    if (fake::NodeOf(found.value())->kind != Kind::Folder) return Error(Step::FindDataFile, kSystemDirectoryError);
    if (links == Links::Refuse) {  // the walk's final check: a short name reads as a link would
        std::u16string walked = path;
        while (walked.size() > 3 && walked.back() == u'\\') walked.pop_back();
        const std::u16string reached = fake::PathOf(found.value());
        if (!platform::SamePathText(reached, 0, reached.size(), walked))
            return Error(Step::FindDataFile, kSystemReparsePointEncountered);
    }
    folder.reset(fake::NewHandle(found.value(), true));
    fake::F().openedFolders.push_back(found.value());
    return Ok();
}

Result<std::u16string> FinalPath(const UniqueFile& folder) {
    const fake::Handle* open = fake::HandleOf(folder.get());
    if (!open || !fake::NodeOf(open->node)) return Error(Step::FindDataFile, kSystemPathNotFound);
    std::u16string path = fake::PathOf(open->node);
    if (path.size() > 3 && path.back() == u'\\') path.pop_back();
    return path;
}

Result<std::u16string> LongPath(const std::u16string& path) { return fake::LongForm(path); }

Result<std::u16string> IdentityOf(const UniqueFile& folder) {
    const fake::Handle* open = fake::HandleOf(folder.get());
    if (!open) return Error(Step::FindDataFile, 6);
    return u"node-" + Decimal(static_cast<std::uint32_t>(open->node));
}

Result<bool> IsOnLocalFixedDrive(const UniqueFile& folder) {
    if (const auto fault = fake::Starting(FileOp::DriveType)) return Error(Step::FindDataFile, fault->error);
    const fake::Handle* open = fake::HandleOf(folder.get());
    std::uint64_t root = open ? open->node : 0;
    while (fake::NodeOf(root) && fake::NodeOf(root)->parent) root = fake::NodeOf(root)->parent;
    const std::u16string key = fake::Folded(fake::PathOf(root));  // "c:\" or "\\server\share"
    auto found = fake::F().driveTypes.find(key);
    if (found != fake::F().driveTypes.end()) return found->second == fake::DriveType::Fixed;
    return key.size() == 3 && platform::IsDriveLetter(key[0]) && key[1] == u':' && key[2] == u'\\';
}

namespace {

// The node named `name` in the held folder, not following a link of that name.
Result<std::uint64_t> EntryIn(const UniqueFile& folder, const std::u16string& name, Step step) {
    const fake::Handle* open = fake::HandleOf(folder.get());
    const Node* node = open ? fake::NodeOf(open->node) : nullptr;
    if (!node) return Error(step, 6);  // ERROR_INVALID_HANDLE
    if (name.empty() || name.find_first_of(u"\\/*?") != std::u16string::npos) return Error(step, kErrorInvalidName);
    const std::uint64_t child = fake::Child(*node, name);
    if (!child) return Error(step, kSystemFileNotFound);
    return child;
}

std::uint32_t AttributesOf(const Node& node) {
    switch (node.kind) {
        case Kind::Folder: return kAttributeDirectory;
        case Kind::Link: return kAttributeReparsePoint;
        case Kind::File: break;
    }
    return node.attributes;
}

}  // namespace

Result<std::uint32_t> AttributesIn(const UniqueFile& folder, const std::u16string& name) {
    if (const auto fault = fake::Starting(FileOp::Examine)) return Error(Step::FindDataFile, fault->error);
    const Result<std::uint64_t> entry = EntryIn(folder, name, Step::FindDataFile);
    if (!entry.ok()) return entry.error();
    return AttributesOf(*fake::NodeOf(entry.value()));
}

Result<FileFacts> ReadFacts(const UniqueFile& folder, const std::u16string& name) {
    if (const auto fault = fake::Starting(FileOp::ReadFacts)) return Error(Step::FindDataFile, fault->error);
    const Result<std::uint64_t> entry = EntryIn(folder, name, Step::FindDataFile);
    if (!entry.ok()) return entry.error();
    const Node& node = *fake::NodeOf(entry.value());
    if (node.kind == Kind::Link) return Error(Step::FindDataFile, kSystemReparsePointEncountered);
    if (fake::Denies(node, u"read-control")) return Error(Step::FindDataFile, kErrorAccessDenied);
    FileFacts facts;
    facts.attributes = AttributesOf(node);
    facts.creationTime = node.created;
    facts.security.assign(node.dacl.begin(), node.dacl.end());
    return facts;
}

Status OpenToRead(const UniqueFile& folder, const std::u16string& name, UniqueFile& file) {
    if (const auto fault = fake::Starting(FileOp::ReadBack)) return Error(Step::Verify, fault->error);
    const Result<std::uint64_t> entry = EntryIn(folder, name, Step::Verify);
    if (!entry.ok()) return entry.error();
    const Node& node = *fake::NodeOf(entry.value());
    if (node.kind == Kind::Link) return Error(Step::Verify, kSystemReparsePointEncountered);
    if (node.kind == Kind::Folder) return Error(Step::Verify, kErrorAccessDenied);
    file.reset(fake::NewHandle(entry.value(), false));
    return Ok();
}

Status OpenForReplace(const UniqueFile& folder, const std::u16string& name) {
    if (const auto fault = fake::Starting(FileOp::OpenForReplace)) return Error(Step::Rename, fault->error);
    const Result<std::uint64_t> entry = EntryIn(folder, name, Step::Rename);
    if (!entry.ok()) return entry.error();
    const Node& node = *fake::NodeOf(entry.value());
    if (fake::DeniesReplace(node)) return Error(Step::Rename, kErrorAccessDenied);
    if (node.locked) return Error(Step::Rename, kErrorSharingViolation);
    return Ok();
}

Status CreateNewFile(const UniqueFile& folder, const std::u16string& name, UniqueFile& file) {
    if (const auto fault = fake::Starting(FileOp::CreateNew)) return Error(Step::CreateTemporary, fault->error);
    const Result<std::uint64_t> entry = EntryIn(folder, name, Step::CreateTemporary);
    if (entry.ok()) return Error(Step::CreateTemporary, kSystemAlreadyExists);
    if (entry.error().code() != kSystemFileNotFound) return entry.error();
    const std::uint64_t parent = fake::HandleOf(folder.get())->node;
    const Node& where = *fake::NodeOf(parent);
    if (where.refuseNewFiles && (where.refuseNewFilesEvenElevated || !fake::Elevated()))
        return Error(Step::CreateTemporary, kErrorAccessDenied);
    const std::uint64_t made = fake::MakeNode(Kind::File, name, parent);
    fake::Record(u"create", parent, name);
    file.reset(fake::NewHandle(made, false));
    return Ok();
}

Status WriteAll(const UniqueFile& file, const unsigned char* data, std::size_t size) {
    const auto fault = fake::Starting(FileOp::Write);
    fake::Handle* open = fake::HandleOf(file.get());
    if (!open) return Error(Step::Write, 6);
    std::size_t allowed = fault ? std::min(fault->bytesBefore, size) : size;
    if (fake::ProcessKilled()) allowed = 0;
    Node& node = *fake::NodeOf(open->node);
    node.bytes.resize(std::max(node.bytes.size(), open->position + allowed));
    std::copy(data, data + allowed, node.bytes.begin() + static_cast<std::ptrdiff_t>(open->position));
    open->position += allowed;
    if (allowed > 0) fake::Record(u"write", node.parent, node.name);
    if (fault) return Error(Step::Write, fault->error);
    return Ok();
}

Status FlushFile(const UniqueFile&) {
    if (const auto fault = fake::Starting(FileOp::Flush)) return Error(Step::Flush, fault->error);
    return Ok();
}

Status ApplyFacts(const UniqueFile& file, const FileFacts& facts) {
    if (const auto fault = fake::Starting(FileOp::ApplyFacts)) return Error(Step::CopyAttributes, fault->error);
    Node& node = *fake::NodeOf(fake::HandleOf(file.get())->node);
    constexpr std::uint32_t kCopied = kAttributeHidden | kAttributeSystem | kAttributeArchive | 0x100 | 0x2000;
    node.attributes = facts.attributes & kCopied;
    node.created = facts.creationTime;
    node.dacl.assign(facts.security.begin(), facts.security.end());
    fake::Record(u"attributes", node.parent, node.name);
    return Ok();
}

// Renaming is done through the file's own handle, which holds DELETE from its
// creation whatever DACL the file has been given since. Replacing another
// file needs DELETE on that one, and no one may hold it open.
Status RenameInto(const UniqueFile& file, const UniqueFile& folder, const std::u16string& name) {
    if (const auto fault = fake::Starting(FileOp::Rename)) return Error(Step::Rename, fault->error);
    const fake::Handle* open = fake::HandleOf(file.get());
    const fake::Handle* into = fake::HandleOf(folder.get());
    if (!open || !into || !fake::NodeOf(open->node)) return Error(Step::Rename, 6);
    Node& where = *fake::NodeOf(into->node);
    if (const std::uint64_t old = fake::Child(where, name)) {
        const Node& target = *fake::NodeOf(old);
        if (old == open->node) return Ok();
        if (target.kind == Kind::Folder || fake::DeniesReplace(target) || target.locked)
            return Error(Step::Rename, kErrorAccessDenied);
        fake::Erase(old);  // in the same step: no instant without a file of that name
    }
    fake::Detach(open->node);
    Node& node = *fake::NodeOf(open->node);
    node.name = name;
    node.parent = into->node;
    where.children[fake::Folded(name)] = open->node;
    fake::Record(u"rename", into->node, name);
    if (const auto fault = fake::Injected(FileOp::RenameReportedFailed)) return Error(Step::Rename, fault->error);
    return Ok();
}

Result<bool> HoldsExactly(const UniqueFile& file, const unsigned char* data, std::size_t size) {
    if (const auto fault = fake::Starting(FileOp::ReadBack)) return Error(Step::Verify, fault->error);
    const fake::Handle* open = fake::HandleOf(file.get());
    const Node* node = open ? fake::NodeOf(open->node) : nullptr;
    if (!node) return Error(Step::Verify, 6);
    return node->bytes.size() == size && std::equal(node->bytes.begin(), node->bytes.end(), data);
}

Result<bool> HasName(const UniqueFile& file, const UniqueFile& folder, const std::u16string& name) {
    if (const auto fault = fake::Starting(FileOp::QueryName)) return Error(Step::Rename, fault->error);
    const fake::Handle* open = fake::HandleOf(file.get());
    const fake::Handle* in = fake::HandleOf(folder.get());
    const Node* node = open ? fake::NodeOf(open->node) : nullptr;
    if (!node || !in) return Error(Step::Rename, 6);
    return node->parent == in->node && fake::Folded(node->name) == fake::Folded(name);
}

Status RemoveOnClose(const UniqueFile& file) {
    if (const auto fault = fake::Starting(FileOp::RemoveOnClose)) return Error(Step::CreateTemporary, fault->error);
    if (fake::Handle* open = fake::HandleOf(file.get())) open->removeOnClose = true;
    return Ok();
}

Status AppendToFile(const std::u16string& path, const std::vector<char>& bytes) {
    if (const auto fault = fake::Starting(FileOp::Append)) return Error(Step::Write, fault->error);
    std::uint64_t id = fake::Find(path);
    if (!id) {
        const std::uint64_t parent = fake::Find(platform::FolderOf(path));
        if (!parent || fake::NodeOf(parent)->kind != Kind::Folder) return Error(Step::Write, kSystemPathNotFound);
        if (fake::NodeOf(parent)->refuseNewFiles && !fake::Elevated()) return Error(Step::Write, kErrorAccessDenied);
        id = fake::MakeNode(Kind::File, path.substr(platform::LastPartAt(path)), parent);
    }
    Node& node = *fake::NodeOf(id);
    if (node.kind != Kind::File || (node.attributes & kAttributeReadOnly))
        return Error(Step::Write, kErrorAccessDenied);
    node.bytes.insert(node.bytes.end(), bytes.begin(), bytes.end());
    return Ok();
}

Status AppendInFolder(const UniqueFile& folder, const std::u16string& name, const std::vector<char>& bytes) {
    if (const auto fault = fake::Starting(FileOp::Append)) return Error(Step::Write, fault->error);
    if (name.find(u':') != std::u16string::npos) return Error(Step::Write, kErrorInvalidName);
    const Result<std::uint64_t> entry = EntryIn(folder, name, Step::Write);
    if (!entry.ok() && entry.error().code() != kSystemFileNotFound) return entry.error();
    std::uint64_t id = entry.ok() ? entry.value() : 0;
    if (!id) {
        const std::uint64_t parent = fake::HandleOf(folder.get())->node;
        const Node& where = *fake::NodeOf(parent);
        if (where.refuseNewFiles && (where.refuseNewFilesEvenElevated || !fake::Elevated()))
            return Error(Step::Write, kErrorAccessDenied);
        id = fake::MakeNode(Kind::File, name, parent);
    }
    Node& node = *fake::NodeOf(id);
    if (node.kind == Kind::Link) return Error(Step::Write, kSystemReparsePointEncountered);
    if (node.kind == Kind::Folder || (node.attributes & kAttributeReadOnly)) return Error(Step::Write, kErrorAccessDenied);
    if (node.names > 1) return Error(Step::Write, kSystemTooManyLinks);
    node.bytes.insert(node.bytes.end(), bytes.begin(), bytes.end());
    return Ok();
}

void Pause(std::uint32_t milliseconds) { fake::Pauses().push_back(milliseconds); }

std::uint32_t CurrentProcessId() { return fake::ProcessId(); }

}  // namespace platform
