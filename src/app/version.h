// The program's version, written once: the window's resources expand it, and so may
// anything else that states it. Plain macros, so the resource compiler can read them.
#pragma once

#define TARVELLO_VERSION_MAJOR 2012
#define TARVELLO_VERSION_MINOR 916
#define TARVELLO_VERSION_PATCH 0
#define TARVELLO_VERSION_BUILD 3
// The text form pads the last two parts: 2012.916.0003.
#define TARVELLO_VERSION_TEXT "2012.916.0003"
#define TARVELLO_PRODUCT_NAME "Tarvello"
#define TARVELLO_WINDOW_EXE "Tarvello.exe"
