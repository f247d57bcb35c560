// installer.exe: the window, or /list and /S for deployment and tests.
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "discovery.h"
#include "setup_dialog.h"
#include "switches.h"
#include "win32_system.h"

namespace {

// A windowed program has no console of its own: write to what it was given, or to the
// console of whoever started it.
void Write(DWORD which, const std::string& text) {
  HANDLE h = GetStdHandle(which);
  if (!h || h == INVALID_HANDLE_VALUE) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    h = GetStdHandle(which);
    if (!h || h == INVALID_HANDLE_VALUE) return;
  }
  DWORD put = 0;
  WriteFile(h, text.data(), DWORD(text.size()), &put, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace installer;
  const std::vector<std::string> args(__argv + 1, __argv + __argc);
  const Switches sw = ParseSwitches(args);
  Win32System sys;
  switch (sw.mode) {
    case Mode::Usage:
      Write(STD_ERROR_HANDLE, sw.problem + "; " + kUsage + "\n");
      return 2;
    case Mode::List:
      Write(STD_OUTPUT_HANDLE, ListText(sys));
      return 0;
    case Mode::Silent: {
      std::string problem;
      const int status = InstallSilently(sys, LoadPayloads(), sw.folder, problem);
      if (status != 0) Write(STD_ERROR_HANDLE, problem + "\n");
      return status;
    }
    case Mode::Window:
      break;
  }

  // One window at a time; a second copy leaves without a word.
  HANDLE mutex = CreateMutexA(nullptr, TRUE, " ");
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return 0;
  }
  CoInitialize(nullptr);
  if (RunSetupDialog(instance) == -1) MessageBoxA(nullptr, "E", nullptr, MB_OK);
  CoUninitialize();
  if (mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  return 0;
}
