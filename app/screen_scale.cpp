// The screen's scale, read once: the program declares itself aware of the
// system's DPI, which cannot change while it runs.
#include "screen_scale.h"

int ScreenDpi()
{
    static int dpi;
    if (!dpi) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        if (dpi <= 0) dpi = 96;
    }
    return dpi;
}

int ScaleToScreen(int pixels)
{
    return MulDiv(pixels, ScreenDpi(), 96);
}

HCURSOR LoadScaledCursor(HINSTANCE instance, int id)
{
    int size = ScaleToScreen(32);
    HCURSOR cursor = (HCURSOR)LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_CURSOR, size, size, 0);
    // Not shared either way, so the caller's DestroyCursor always applies.
    return cursor ? cursor : (HCURSOR)LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE);
}
