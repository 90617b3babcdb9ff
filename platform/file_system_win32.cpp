#include "platform/file_system.h"

#include <windows.h>

#include <aclapi.h>

namespace platform {
namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool MeansAbsent(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_READY:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_NET_RESP:
        case ERROR_NETNAME_DELETED: return true;
        default: return false;
    }
}

// Memory the security calls hand out, freed with LocalFree.
struct LocalMemoryTraits {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static bool Close(Type memory) {
        const DWORD saved = GetLastError();
        LocalFree(memory);
        SetLastError(saved);
        return true;
    }
};
using UniqueLocal = UniqueHandle<LocalMemoryTraits>;

// The attributes a file may be given. Read-only is left out: such a target is
// refused before anything is written, and a read-only temporary file could
// not be removed if the rename failed.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool SetCreationTime(const std::u16string& path, const FILETIME& created) {
    const UniqueFile file(CreateFileW(Wide(path), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    return file.valid() && SetFileTime(file.get(), &created, nullptr, nullptr);
}

// The entries of `dacl` that are its own rather than inherited, in their
// order, as a new list; empty when there are none or on failure (`failed`).
UniqueLocal ExplicitEntries(PACL dacl, bool& failed) {
    ACL_SIZE_INFORMATION size{};
    failed = !GetAclInformation(dacl, &size, sizeof size, AclSizeInformation);
    if (failed) return UniqueLocal();
    UniqueLocal list(LocalAlloc(LPTR, size.AclBytesInUse));
    PACL explicitOnly = static_cast<PACL>(list.get());
    failed = !list.valid() || !InitializeAcl(explicitOnly, size.AclBytesInUse, dacl->AclRevision);
    if (failed) return UniqueLocal();
    for (DWORD index = 0; index < size.AceCount; ++index) {
        void* entry = nullptr;
        failed = !GetAce(dacl, index, &entry);
        if (failed) return UniqueLocal();
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceFlags & INHERITED_ACE) continue;
        failed = !AddAce(explicitOnly, dacl->AclRevision, MAXDWORD, entry, header->AceSize);
        if (failed) return UniqueLocal();
    }
    return explicitOnly->AceCount > 0 ? std::move(list) : UniqueLocal();
}

bool SucceededWith(DWORD error) {
    if (error == ERROR_SUCCESS) return true;
    SetLastError(error);
    return false;
}

// Gives `file` the access-control list of `model` when it is more than what
// the folder hands down: a protected list as it is, otherwise its own entries,
// to which the system adds the folder's inherited ones.
bool CopyExplicitDacl(const std::u16string& model, const std::u16string& file) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!SucceededWith(GetNamedSecurityInfoW(Wide(model), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                             &dacl, nullptr, &descriptor)))
        return false;
    const UniqueLocal ownedDescriptor(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(descriptor, &control, &revision)) return false;
    if (!dacl) return true;  // no list at all: the new file takes the folder's

    wchar_t* path = const_cast<wchar_t*>(Wide(file));
    if (control & SE_DACL_PROTECTED)
        return SucceededWith(SetNamedSecurityInfoW(path, SE_FILE_OBJECT,
                                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                                   nullptr, nullptr, dacl, nullptr));
    bool failed = false;
    const UniqueLocal own = ExplicitEntries(dacl, failed);
    if (failed) return false;
    if (!own.valid()) return true;  // only inherited entries, which the new file has already
    return SucceededWith(SetNamedSecurityInfoW(path, SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                               nullptr, nullptr, static_cast<PACL>(own.get()), nullptr));
}

bool MeansBusy(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED; }

}  // namespace

FileProbe ProbeFile(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES) return {ProbeStatus::Found, attributes};
    return {MeansAbsent(GetLastError()) ? ProbeStatus::Absent : ProbeStatus::Malformed, 0};
}

bool FileTraits::Close(Type handle) {
    const DWORD saved = GetLastError();
    const BOOL closed = CloseHandle(handle);
    if (closed) SetLastError(saved);
    return closed != FALSE;
}

UniqueFile CreateNewFile(const std::u16string& path) {
    return UniqueFile(CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAll(const UniqueFile& file, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x100000 ? 0x100000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file.get(), data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

bool FlushFile(const UniqueFile& file) { return FlushFileBuffers(file.get()) != FALSE; }

// The attributes are set last: a hidden or system file still opens for its
// time and its security.
bool CopyTraits(const std::u16string& model, const std::u16string& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(model), GetFileExInfoStandard, &data)) return false;
    const DWORD attributes = data.dwFileAttributes & kCopiedAttributes;
    return SetCreationTime(file, data.ftCreationTime) && CopyExplicitDacl(model, file) &&
           SetFileAttributesW(Wide(file), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

// One rename: on NTFS a FileRenameInformation that replaces the target, under
// Wine one rename(2). Unlike ReplaceFileW, there is no instant between moving
// the old file away and moving the new one in.
RenameStatus RenameOver(const std::u16string& from, const std::u16string& to) {
    if (MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return RenameStatus::Renamed;
    return MeansBusy(GetLastError()) ? RenameStatus::Busy : RenameStatus::Refused;
}

void Pause(std::uint32_t milliseconds) { Sleep(milliseconds); }

bool RemoveFile(const std::u16string& path) { return DeleteFileW(Wide(path)) != FALSE; }

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace platform
