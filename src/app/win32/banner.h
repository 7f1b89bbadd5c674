// The banner picture: a JPEG built into the program, decoded once by the system's own
// picture loader.
#pragma once

#include <windows.h>

namespace win32 {

// The decoded banner, or null when it cannot be decoded (the box then stays empty).
HBITMAP load_banner(HINSTANCE instance);

// Draws the picture unscaled with its top-left corner at the client area's.
void draw_banner(HDC dc, HBITMAP banner);

}  // namespace win32
