// A look inside UpDate.exe's process for what another process cannot ask.
//
// Wine does not carry WM_GETFONT or WM_GETICON across processes, and a font
// or icon handle of another process is no use to GetObject or DrawIconEx
// anyway. So the driver hooks the program's window thread with a hook in
// e2e_probe.dll; the hook runs inside UpDate.exe, asks the window there, and
// writes the answers into a named shared memory block that the driver reads.
#pragma once

#include <windows.h>

#include <cstdint>

namespace e2e {

constexpr wchar_t kProbeMessage[] = L"UpDate.e2e.Probe";        // registered message the hook answers
constexpr wchar_t kProbeMemory[] = L"Local\\UpDate.e2e.Probe";  // where it writes the answer
constexpr char kProbeHookName[] = "ProbeHook";                  // WH_CALLWNDPROC procedure of e2e_probe.dll

constexpr int kProbeIconMax = 64;  // largest icon side the reply carries

// An icon drawn at its own size over white, 0x00RRGGBB top-down.
struct ProbedIcon {
    int width;
    int height;
    std::uint32_t pixels[kProbeIconMax * kProbeIconMax];
};

struct ProbeReply {
    LONG answered;  // 1 once the hook has filled the rest
    BOOL hasFont;   // the window answered WM_GETFONT with a font
    LOGFONTW font;
    ProbedIcon icons[2];  // ICON_BIG, ICON_SMALL; width 0 when the window has none
};

// A 32-bit top-down DIB section to draw into and read back; `bits` is null
// when it could not be made.
struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
    int width, height;
    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* memory = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        bits = static_cast<std::uint32_t*>(memory);
        old = SelectObject(dc, bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

// Draws `icon` at its own size over white into `out`; width 0 when there is
// no icon or it is larger than the reply holds. The hook and the driver both
// draw this way, so the same icon gives the same pixels.
inline void DrawIconOnWhite(HICON icon, ProbedIcon& out) {
    out.width = out.height = 0;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return;
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof mask, &mask);
    const int width = mask.bmWidth;
    const int height = info.hbmColor ? mask.bmHeight : mask.bmHeight / 2;  // a mono icon's mask holds two halves
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    if (width <= 0 || height <= 0 || width > kProbeIconMax || height > kProbeIconMax) return;

    Canvas canvas(width, height);
    if (!canvas.bits) return;
    const RECT all{0, 0, width, height};
    FillRect(canvas.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(canvas.dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    for (int i = 0; i < width * height; ++i) out.pixels[i] = canvas.bits[i] & 0xFFFFFF;
    out.width = width;
    out.height = height;
}

}  // namespace e2e
