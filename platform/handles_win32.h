// Win32-only: the one close rule of every handle owner, and owners for the
// kernel, GDI and icon handles the program keeps.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace platform {

// Calls `close` (true when it closed). A close that succeeds leaves the
// caller's last error as it was; one that fails leaves its own, for the caller
// that asked (UniqueHandle::close) to report.
template <class Close>
bool ClosedKeepingLastError(Close close) {
    const DWORD saved = GetLastError();
    if (!close()) return false;
    SetLastError(saved);
    return true;
}

// A handle of type `Handle` that `Destroy` closes (CloseHandle, DeleteObject,
// DestroyIcon); null when there is none.
template <class Handle, auto Destroy>
struct DestroyedByTraits {
    using Type = Handle;
    static Type Invalid() { return nullptr; }
    static bool Close(Type handle) {
        return ClosedKeepingLastError([handle] { return Destroy(handle) != FALSE; });
    }
};

using UniqueKernelHandle = UniqueHandle<DestroyedByTraits<HANDLE, CloseHandle>>;  // processes, tokens
using UniqueFont = UniqueHandle<DestroyedByTraits<HFONT, DeleteObject>>;
using UniqueBitmap = UniqueHandle<DestroyedByTraits<HBITMAP, DeleteObject>>;
using UniqueIcon = UniqueHandle<DestroyedByTraits<HICON, DestroyIcon>>;

}  // namespace platform
