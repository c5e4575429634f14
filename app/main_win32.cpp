// Tessaly.exe entry point: the application object runs the pages and the process ends after them.
#include "app/tessaly_app_win32.h"
#include "platform/win32/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  tessaly::CTessalyApp app;
  app.InitInstance();
  return 0;
}
