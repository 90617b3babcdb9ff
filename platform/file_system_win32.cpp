#include "platform/file_system.h"

#include <windows.h>
#include <winternl.h>

#include "platform/handles_win32.h"
#include "platform/system_error.h"

namespace platform {
namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

Error Failed(Step step) { return Error(step, GetLastError()); }
Error Failed(Step step, NTSTATUS status) { return Error(step, RtlNtStatusToDosError(status)); }

// Enough to hold a folder and open what is in it. FILE_TRAVERSE takes part in
// the sharing check, so the folder's missing FILE_SHARE_DELETE keeps everyone
// from renaming or removing it while it is held.
constexpr ACCESS_MASK kFolderAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `name` relative to the folder `root`. Relative names are resolved by
// the file system inside the folder the handle refers to, wherever that
// folder is now and whatever its path names today.
NTSTATUS OpenRelative(HANDLE root, const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, HANDLE& handle) {
    handle = INVALID_HANDLE_VALUE;
    constexpr std::size_t kLongestName = 255;
    if (name.empty() || name.size() > kLongestName || name.find_first_of(u"\\/") != std::u16string::npos)
        return static_cast<NTSTATUS>(0xC0000033L);  // STATUS_OBJECT_NAME_INVALID
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(Wide(name));
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE opened = nullptr;
    const NTSTATUS status =
        NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                     disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status)) handle = opened;
    return status;
}

// The folder a handle refers to must be a folder on a disk, not a file or a
// device ("NUL", "CON") that the path happened to name.
Status CheckFolder(HANDLE handle, Step step) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(handle) != FILE_TYPE_DISK) return Error(step, kErrorDirectory);
    if (!GetFileInformationByHandle(handle, &information)) return Failed(step);
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Error(step, kErrorReparsePointEncountered);
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return Error(step, kErrorDirectory);
    return Ok();
}

Result<std::u16string> FinalPathOf(HANDLE handle, Step step) {
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, reinterpret_cast<wchar_t*>(&path[0]),
                                                       static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0) return Failed(step);
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length);  // the size needed, terminator included
    }
    // "\\?\C:\..." and "\\?\UNC\server\share\..." in their plain forms.
    const std::u16string verbatim = u"\\\\?\\";
    if (path.compare(0, verbatim.size(), verbatim) == 0) path.erase(0, verbatim.size());
    if (path.compare(0, 4, u"UNC\\") == 0) path.erase(0, 2), path[0] = u'\\';  // "\\server\\share"
    return path;
}

bool SameText(const std::u16string& a, const std::u16string& b) {
    return CompareStringOrdinal(Wide(a), static_cast<int>(a.size()), Wide(b), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The name the object manager gives the object of `handle`
// ("\Device\HarddiskVolume3\Tolvar\unit.xml"), however long.
Result<std::u16string> ObjectNameOf(HANDLE handle, Step step = Step::FindDataFile) {
    std::vector<char> buffer(1024);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status =
            NtQueryObject(handle, ObjectNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (NT_SUCCESS(status)) break;
        if (needed <= buffer.size()) return Failed(step, status);
        buffer.resize(needed);
    }
    const UNICODE_STRING& name = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data())->Name;
    return std::u16string(reinterpret_cast<const char16_t*>(name.Buffer), name.Length / sizeof(wchar_t));
}

// Whether the object of `file` is named `name` inside the object of `folder`.
Result<bool> NamedIn(HANDLE folder, HANDLE file, const std::u16string& name, Step step) {
    const Result<std::u16string> folderName = ObjectNameOf(folder, step);
    if (!folderName.ok()) return folderName.error();
    const Result<std::u16string> fileName = ObjectNameOf(file, step);
    if (!fileName.ok()) return fileName.error();
    std::u16string expected = folderName.value();
    if (expected.empty() || expected.back() != u'\\') expected += u'\\';
    expected += name;
    return SameText(fileName.value(), expected);
}

// Whether the file opened as `name` in `folder` is that name's own file and
// not one it leads to. A link opened as itself shows as a reparse point; a
// file system that resolves links regardless (Wine) shows the file it led
// to under another name.
Result<bool> ReachedThroughLink(HANDLE folder, HANDLE file, const std::u16string& name, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    const Result<bool> named = NamedIn(folder, file, name, Step::FindDataFile);
    if (!named.ok()) return named.error();
    return !named.value();
}

// Every folder from the drive root of `path` ("X:\...") down, each opened
// relative to the one above it without following a link, and refused when
// it is one.
Status OpenRefusingLinks(const std::u16string& path, UniqueFile& folder) {
    constexpr Step step = Step::FindDataFile;
    if (path.size() < 3 || path[1] != u':' || path[2] != u'\\') return Error(step, kErrorInvalidName);
    UniqueFile current(CreateFileW(Wide(path.substr(0, 3)), kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!current.valid()) return Failed(step);
    for (std::size_t at = 3; at < path.size();) {
        std::size_t end = path.find(u'\\', at);
        if (end == std::u16string::npos) end = path.size();
        const std::u16string part = path.substr(at, end - at);
        if (part.empty() || part == u"." || part == u"..") return Error(step, kErrorInvalidName);
        HANDLE next = INVALID_HANDLE_VALUE;
        const NTSTATUS status = OpenRelative(current.get(), part, kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             FILE_OPEN, FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, next);
        if (!NT_SUCCESS(status)) return Failed(step, status);
        current.reset(next);
        const Status checked = CheckFolder(current.get(), step);
        if (!checked.ok()) return checked;
        at = end + 1;
    }
    // A file system that follows links even where asked not to still tells
    // where the walk ended.
    const Result<std::u16string> reached = FinalPathOf(current.get(), step);
    if (!reached.ok()) return reached.error();
    std::u16string walked = path;
    while (walked.size() > 3 && walked.back() == u'\\') walked.pop_back();
    if (!SameText(reached.value(), walked)) return Error(step, kErrorReparsePointEncountered);
    folder = std::move(current);
    return Ok();
}

// The parts of the security descriptor that a replacement keeps: its DACL.
Result<std::vector<char>> DaclOf(HANDLE handle, Step step) {
    DWORD needed = 0;
    GetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0) return Failed(step);
    std::vector<char> descriptor(needed);
    if (!GetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
        return Failed(step);
    return descriptor;
}

// Gives `file` the DACL of `model` (a self-relative security descriptor) as
// it is: its own entries and those it inherited from its folder, which is
// the new file's folder too, with its protection. Through the handle, with
// nothing looked up by name.
Status CopyDacl(HANDLE file, const std::vector<char>& model) {
    constexpr Step step = Step::CopyAttributes;
    const PSECURITY_DESCRIPTOR modelDescriptor = const_cast<char*>(model.data());
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorControl(modelDescriptor, &control, &revision) ||
        !GetSecurityDescriptorDacl(modelDescriptor, &present, &dacl, &defaulted))
        return Failed(step);
    if (!present || !dacl) return Ok();  // no list at all: the new file keeps the folder's
    SECURITY_DESCRIPTOR descriptor;
    const SECURITY_DESCRIPTOR_CONTROL kept = SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, kept, control & kept) ||
        !SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, &descriptor))
        return Failed(step);
    return Ok();
}

// The attributes a file may be given. Read-only is left out: such a target is
// refused before anything is written, and a read-only new file could not be
// written or removed. Offline is left out too: the new file is wholly on the
// local disk, and backup programs and scanners pass over an offline one.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

bool FileTraits::Close(Type handle) { return DestroyedByTraits<HANDLE, CloseHandle>::Close(handle); }

Status OpenFolder(const std::u16string& path, Links links, UniqueFile& folder) {
    if (links == Links::Refuse) return OpenRefusingLinks(path, folder);
    UniqueFile opened(CreateFileW(Wide(path), kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened.valid()) return Failed(Step::FindDataFile);
    const Status checked = CheckFolder(opened.get(), Step::FindDataFile);
    if (!checked.ok() && checked.error().code() != kErrorReparsePointEncountered) return checked;
    folder = std::move(opened);
    return Ok();
}

Result<std::u16string> FinalPath(const UniqueFile& folder) { return FinalPathOf(folder.get(), Step::FindDataFile); }

Result<std::u16string> IdentityOf(const UniqueFile& folder) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(folder.get(), &information)) return Failed(Step::FindDataFile);
    const DWORD parts[] = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    std::u16string text;
    for (const DWORD part : parts) {
        if (!text.empty()) text += u'-';
        for (int shift = 28; shift >= 0; shift -= 4) text += u"0123456789abcdef"[(part >> shift) & 0xF];
    }
    return text;
}

// What GetDriveTypeW calls DRIVE_FIXED, asked of the volume the handle is on
// rather than of a drive letter, which could name another volume by now.
Result<bool> IsOnLocalFixedDrive(const UniqueFile& folder) {
    constexpr DEVICE_TYPE kDisk = 0x7, kDiskFileSystem = 0x8;        // FILE_DEVICE_DISK, FILE_DEVICE_DISK_FILE_SYSTEM
    constexpr ULONG kRemovableMedia = 0x1, kRemoteDevice = 0x10;  // FILE_REMOVABLE_MEDIA, FILE_REMOTE_DEVICE
    FILE_FS_DEVICE_INFORMATION device{};
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        NtQueryVolumeInformationFile(folder.get(), &io, &device, sizeof device, FileFsDeviceInformation);
    if (!NT_SUCCESS(status)) return Failed(Step::FindDataFile, status);
    if (device.DeviceType != kDisk && device.DeviceType != kDiskFileSystem) return false;
    return (device.Characteristics & (kRemovableMedia | kRemoteDevice)) == 0;
}

Result<std::uint32_t> AttributesIn(const UniqueFile& folder, const std::u16string& name) {
    HANDLE raw = INVALID_HANDLE_VALUE;
    const NTSTATUS status =
        OpenRelative(folder.get(), name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, FILE_OPEN_REPARSE_POINT, raw);
    if (!NT_SUCCESS(status)) return Failed(Step::FindDataFile, status);
    const UniqueFile file(raw);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) return Failed(Step::FindDataFile);
    const Result<bool> link = ReachedThroughLink(folder.get(), file.get(), name, information.dwFileAttributes);
    if (!link.ok()) return link.error();
    return static_cast<std::uint32_t>(information.dwFileAttributes | (link.value() ? FILE_ATTRIBUTE_REPARSE_POINT : 0));
}

Result<FileFacts> ReadFacts(const UniqueFile& folder, const std::u16string& name) {
    constexpr Step step = Step::FindDataFile;
    HANDLE raw = INVALID_HANDLE_VALUE;
    const NTSTATUS status = OpenRelative(folder.get(), name, FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll, FILE_OPEN,
                                         FILE_OPEN_REPARSE_POINT, raw);
    if (!NT_SUCCESS(status)) return Failed(step, status);
    const UniqueFile file(raw);
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) return Failed(step);
    const Result<bool> link = ReachedThroughLink(folder.get(), file.get(), name, basic.FileAttributes);
    if (!link.ok()) return link.error();
    if (link.value()) return Error(step, kErrorReparsePointEncountered);
    Result<std::vector<char>> security = DaclOf(file.get(), step);
    if (!security.ok()) return security.error();
    FileFacts facts;
    facts.attributes = basic.FileAttributes;
    facts.creationTime = static_cast<std::uint64_t>(basic.CreationTime.QuadPart);
    facts.security = std::move(security).value();
    return facts;
}

Status OpenToRead(const UniqueFile& folder, const std::u16string& name, UniqueFile& file) {
    constexpr Step step = Step::Verify;
    HANDLE raw = INVALID_HANDLE_VALUE;
    // The bytes and the attributes only: GENERIC_READ would take READ_CONTROL
    // too, which a data file's DACL may deny the user who reads it back.
    constexpr ACCESS_MASK kAccess = FILE_READ_DATA | FILE_READ_ATTRIBUTES;
    const NTSTATUS status = OpenRelative(folder.get(), name, kAccess, kShareAll, FILE_OPEN,
                                         FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, raw);
    if (!NT_SUCCESS(status)) return Failed(step, status);
    UniqueFile opened(raw);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(opened.get(), &information)) return Failed(step);
    const Result<bool> link = ReachedThroughLink(folder.get(), opened.get(), name, information.dwFileAttributes);
    if (!link.ok()) return link.error();
    if (link.value()) return Error(step, kErrorReparsePointEncountered);
    file = std::move(opened);
    return Ok();
}

Status OpenForReplace(const UniqueFile& folder, const std::u16string& name) {
    HANDLE raw = INVALID_HANDLE_VALUE;
    const NTSTATUS status =
        OpenRelative(folder.get(), name, DELETE, kShareAll, FILE_OPEN, FILE_OPEN_REPARSE_POINT, raw);
    if (!NT_SUCCESS(status)) return Failed(Step::Rename, status);
    CloseHandle(raw);
    return Ok();
}

Status CreateNewFile(const UniqueFile& folder, const std::u16string& name, UniqueFile& file) {
    constexpr ACCESS_MASK kAccess = GENERIC_READ | GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC;
    HANDLE raw = INVALID_HANDLE_VALUE;
    const NTSTATUS status = OpenRelative(folder.get(), name, kAccess, 0, FILE_CREATE,
                                         FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, raw);
    if (!NT_SUCCESS(status)) return Failed(Step::CreateTemporary, status);
    file.reset(raw);
    return Ok();
}

Status WriteAll(const UniqueFile& file, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x100000 ? 0x100000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file.get(), data, chunk, &written, nullptr)) return Failed(Step::Write);
        if (written == 0) return Error(Step::Write, ERROR_DISK_FULL);
        data += written;
        size -= written;
    }
    return Ok();
}

Status FlushFile(const UniqueFile& file) {
    if (!FlushFileBuffers(file.get())) return Failed(Step::Flush);
    return Ok();
}

Status ApplyFacts(const UniqueFile& file, const FileFacts& facts) {
    const Status dacl = CopyDacl(file.get(), facts.security);
    if (!dacl.ok()) return dacl;
    FILE_BASIC_INFO basic{};  // times of 0 are left as they are
    basic.CreationTime.QuadPart = static_cast<LONGLONG>(facts.creationTime);
    const DWORD attributes = facts.attributes & kCopiedAttributes;
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic))
        return Failed(Step::CopyAttributes);
    return Ok();
}

// FileRenameInformation with the folder's handle as the root and the bare
// name: the file system resolves the name inside that folder. (The Win32
// wrapper, SetFileInformationByHandle, does not take a root on every system.)
Status RenameInto(const UniqueFile& file, const UniqueFile& folder, const std::u16string& name) {
    constexpr std::size_t kLongestName = 255;
    if (name.empty() || name.size() > kLongestName) return Error(Step::Rename, kErrorInvalidName);
    union {
        FILE_RENAME_INFO info;
        unsigned char bytes[sizeof(FILE_RENAME_INFO) + kLongestName * sizeof(wchar_t)];
    } buffer{};
    buffer.info.ReplaceIfExists = TRUE;
    buffer.info.RootDirectory = folder.get();
    buffer.info.FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    for (std::size_t i = 0; i < name.size(); ++i) buffer.info.FileName[i] = static_cast<wchar_t>(name[i]);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtSetInformationFile(file.get(), &io, &buffer, sizeof buffer,
                                                 static_cast<FILE_INFORMATION_CLASS>(10));  // FileRenameInformation
    if (!NT_SUCCESS(status)) return Failed(Step::Rename, status);
    return Ok();
}

Result<bool> HoldsExactly(const UniqueFile& file, const unsigned char* data, std::size_t size) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return Failed(Step::Verify);
    unsigned char chunk[2048];  // under a page: no stack probe
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) return Failed(Step::Verify);
        if (read == 0) return size == 0;
        if (read > size) return false;
        for (DWORD at = 0; at < read; ++at)
            if (chunk[at] != data[at]) return false;
        data += read;
        size -= read;
    }
}

Result<bool> HasName(const UniqueFile& file, const UniqueFile& folder, const std::u16string& name) {
    return NamedIn(folder.get(), file.get(), name, Step::Rename);
}

Status RemoveOnClose(const UniqueFile& file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition))
        return Failed(Step::CreateTemporary);
    return Ok();
}

// A handle with FILE_APPEND_DATA alone writes at the end of the file, and the
// file system moves the end for each write as one step.
Status AppendToFile(const std::u16string& path, const std::vector<char>& bytes) {
    const UniqueFile file(CreateFileW(Wide(path), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return Failed(Step::Write);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return Failed(Step::Write);
    if (written != bytes.size()) return Error(Step::Write, ERROR_DISK_FULL);
    return Ok();
}

Result<std::u16string> LongPath(const std::u16string& path) {
    std::u16string longer(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length =
            GetLongPathNameW(Wide(path), reinterpret_cast<wchar_t*>(&longer[0]), static_cast<DWORD>(longer.size()));
        if (length == 0) return Failed(Step::FindDataFile);
        if (length < longer.size()) {
            longer.resize(length);
            return longer;
        }
        longer.resize(length);  // the size needed, terminator included
    }
}

// Opened if it is there and made if it is not, in two steps rather than one
// FILE_OPEN_IF: a file system that follows links regardless (Wine) would make
// the file a dangling link names, wherever that is; FILE_CREATE makes nothing
// where any entry, a dangling link included, has the name.
Status AppendInFolder(const UniqueFile& folder, const std::u16string& name, const std::vector<char>& bytes) {
    constexpr Step step = Step::Write;
    constexpr NTSTATUS kNotFound = static_cast<NTSTATUS>(0xC0000034L);   // STATUS_OBJECT_NAME_NOT_FOUND
    constexpr NTSTATUS kCollision = static_cast<NTSTATUS>(0xC0000035L);  // STATUS_OBJECT_NAME_COLLISION
    if (name.find(u':') != std::u16string::npos) return Error(step, kErrorInvalidName);
    constexpr ACCESS_MASK kAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    constexpr ULONG kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    constexpr ULONG kOptions = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT;
    HANDLE raw = INVALID_HANDLE_VALUE;
    NTSTATUS status = OpenRelative(folder.get(), name, kAccess, kShare, FILE_OPEN, kOptions, raw);
    if (status == kNotFound) status = OpenRelative(folder.get(), name, kAccess, kShare, FILE_CREATE, kOptions, raw);
    if (status == kCollision) status = OpenRelative(folder.get(), name, kAccess, kShare, FILE_OPEN, kOptions, raw);
    if (!NT_SUCCESS(status)) return Failed(step, status);
    const UniqueFile file(raw);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) return Failed(step);
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Error(step, kErrorAccessDenied);
    const Result<bool> link = ReachedThroughLink(folder.get(), file.get(), name, information.dwFileAttributes);
    if (!link.ok()) return Error(step, link.error().code());
    if (link.value()) return Error(step, kErrorReparsePointEncountered);
    if (information.nNumberOfLinks > 1) return Error(step, kErrorTooManyLinks);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return Failed(step);
    if (written != bytes.size()) return Error(step, ERROR_DISK_FULL);
    return Ok();
}

void Pause(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace platform
