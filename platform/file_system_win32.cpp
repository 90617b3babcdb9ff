#include "platform/file_system.h"

#include <windows.h>

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
        case ERROR_NETNAME_DELETED:
            return true;
        default:
            return false;
    }
}

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
    return UniqueFile(CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
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

ReplaceStatus ReplaceExistingFile(const std::u16string& target, const std::u16string& replacement,
                                  const std::u16string& backup) {
    if (ReplaceFileW(Wide(target), Wide(replacement), Wide(backup), 0, nullptr, nullptr))
        return ReplaceStatus::Replaced;
    // Only this error leaves the old file under the backup name and nothing at the target.
    return GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 ? ReplaceStatus::TargetInBackup
                                                                : ReplaceStatus::NothingChanged;
}

bool MoveNewFile(const std::u16string& from, const std::u16string& to) {
    return MoveFileExW(Wide(from), Wide(to), MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveFile(const std::u16string& path) { return DeleteFileW(Wide(path)) != FALSE; }

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace platform
