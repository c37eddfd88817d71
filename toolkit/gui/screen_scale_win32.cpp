#include "toolkit/gui/screen_scale.h"

#include <windows.h>

int screenDpi() {
    HDC screen = GetDC(nullptr);
    int pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return pixelsPerInch > 0 ? pixelsPerInch : 96;
}

int scaledForScreen(int layoutPixels) { return MulDiv(layoutPixels, screenDpi(), 96); }
