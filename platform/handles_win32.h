// Win32-only: owners for the kernel, GDI and icon handles the program keeps.
// Each close keeps the caller's last error, like the other traits.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace platform {

// A handle of type `Handle` that `Destroy` closes (CloseHandle, DeleteObject,
// DestroyIcon); null when there is none.
template <class Handle, auto Destroy>
struct DestroyedByTraits {
    using Type = Handle;
    static Type Invalid() { return nullptr; }
    static bool Close(Type handle) {
        const DWORD saved = GetLastError();
        const BOOL destroyed = Destroy(handle);
        SetLastError(saved);
        return destroyed != FALSE;
    }
};

using UniqueKernelHandle = UniqueHandle<DestroyedByTraits<HANDLE, CloseHandle>>;  // processes, tokens
using UniqueFont = UniqueHandle<DestroyedByTraits<HFONT, DeleteObject>>;
using UniqueBitmap = UniqueHandle<DestroyedByTraits<HBITMAP, DeleteObject>>;
using UniqueIcon = UniqueHandle<DestroyedByTraits<HICON, DestroyIcon>>;

}  // namespace platform
