// Layout sizes for the screen's pixel density. Windows only.
//
// Layouts are given in pixels of a 96-DPI screen. The program declares
// itself DPI-aware, so the system no longer stretches its window; instead
// every position and size grows by the screen's DPI / 96, the factor by which
// the fonts grow, and the text still fits its box. At 96 DPI nothing moves.
#pragma once

// The screen's logical pixels per inch (vertical, as the fonts use).
int screenDpi();
// layoutPixels * screenDpi() / 96, rounded to the nearest pixel.
int scaledForScreen(int layoutPixels);
