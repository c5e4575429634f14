// Tessaly.exe entry point. Until the pages exist the program starts and ends without a window.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
