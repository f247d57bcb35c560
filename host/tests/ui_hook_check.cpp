// Windows only, run under Wine by the tests: a real message box answered by plughost's
// dialog hook, so its report can be compared with what the headless layer says natively.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "plughost/ui_script.h"

int main() {
  // The same bytes as plughost writes: no carriage returns for the test's pattern to trip on.
  _setmode(_fileno(stdout), _O_BINARY);
  plughost::UiScript script({"2"}, stdout);
  plughost::UiScript::Win32Hook hook(script);
  const int answer = MessageBoxA(nullptr, "Keep the changes?", "ALERT", MB_OKCANCEL | MB_ICONWARNING);
  std::printf("answer %d\n", answer);
  return answer == IDCANCEL ? 0 : 1;
}
