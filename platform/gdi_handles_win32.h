// Win32-only: owners for the GDI and icon handles the window keeps. Each
// close keeps the caller's last error, like the other traits.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace platform {

template <class Handle>
struct GdiObjectTraits {
    using Type = Handle;
    static Type Invalid() { return nullptr; }
    static bool Close(Type handle) {
        const DWORD saved = GetLastError();
        const BOOL deleted = DeleteObject(handle);
        SetLastError(saved);
        return deleted != FALSE;
    }
};

struct IconTraits {
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static bool Close(Type icon) {
        const DWORD saved = GetLastError();
        const BOOL destroyed = DestroyIcon(icon);
        SetLastError(saved);
        return destroyed != FALSE;
    }
};

using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueIcon = UniqueHandle<IconTraits>;

}  // namespace platform
