#pragma once
// Test helpers for the Windows tools: reading back what a window shows and
// writing it as a PNG with GDI+.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace Capture {

// The window's client area as 0x00RRGGBB words, top row first.
inline std::vector<std::uint32_t> grab(HWND window, int width, int height)
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    HDC source = GetDC(window);
    if (!source)
        return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * 4);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
    ReleaseDC(window, source);
    for (auto& p : pixels)
        p &= 0x00ffffffu;
    return pixels;
}

inline bool writePng(const std::vector<std::uint32_t>& pixels, int width, int height, const char* path)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool ok = false;
    {
        std::vector<std::uint32_t> opaque(pixels);
        for (auto& p : opaque)
            p |= 0xff000000u;
        Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(opaque.data()));
        UINT count = 0, bytes = 0;
        Gdiplus::GetImageEncodersSize(&count, &bytes);
        std::vector<unsigned char> storage(bytes ? bytes : 1);
        auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
        if (bytes && Gdiplus::GetImageEncoders(count, bytes, codecs) == Gdiplus::Ok)
            for (UINT i = 0; i < count; ++i)
                if (std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
                    std::wstring wide(path, path + std::strlen(path));
                    ok = bitmap.Save(wide.c_str(), &codecs[i].Clsid, nullptr) == Gdiplus::Ok;
                    break;
                }
    }
    Gdiplus::GdiplusShutdown(token);
    return ok;
}

// A plain top-level window standing in for a host's editor window.
inline HWND hostWindow(int width, int height, const wchar_t* title)
{
    static bool registered = false;
    const wchar_t* name = L"TarvelTestHostWindow";
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
        registered = true;
    }
    RECT r{0, 0, width, height};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    AdjustWindowRect(&r, style, FALSE);
    HWND window = CreateWindowExW(0, name, title, style, 0, 0, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window) {
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
    }
    return window;
}

// Dispatches every queued message of the thread.
inline void pumpThread()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace Capture
