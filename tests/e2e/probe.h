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

constexpr wchar_t kProbeMessage[] = L"UpDate.e2e.Probe";     // registered message the hook answers
constexpr wchar_t kProbeMemory[] = L"Local\\UpDate.e2e.Probe";  // where it writes the answer
constexpr char kProbeHookName[] = "ProbeHook";                 // WH_CALLWNDPROC procedure of e2e_probe.dll

constexpr int kProbeIconMax = 64;  // largest icon side the reply carries

// An icon drawn at its own size over white, 0x00RRGGBB top-down.
struct ProbedIcon {
    int width;
    int height;
    std::uint32_t pixels[kProbeIconMax * kProbeIconMax];
};

struct ProbeReply {
    LONG answered;    // 1 once the hook has filled the rest
    BOOL hasFont;     // the window answered WM_GETFONT with a font
    LOGFONTW font;
    ProbedIcon icons[2];  // ICON_BIG, ICON_SMALL; width 0 when the window has none
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

    BITMAPINFO canvas{};
    canvas.bmiHeader.biSize = sizeof canvas.bmiHeader;
    canvas.bmiHeader.biWidth = width;
    canvas.bmiHeader.biHeight = -height;
    canvas.bmiHeader.biPlanes = 1;
    canvas.bmiHeader.biBitCount = 32;
    canvas.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(dc, &canvas, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        const HGDIOBJ old = SelectObject(dc, bitmap);
        const RECT all{0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        for (int i = 0; i < width * height; ++i) out.pixels[i] = pixels[i] & 0xFFFFFF;
        out.width = width;
        out.height = height;
        SelectObject(dc, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(dc);
}

}  // namespace e2e
