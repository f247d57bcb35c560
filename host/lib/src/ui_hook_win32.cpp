// Windows: lets the real dialogs appear, reads what they show, and answers them from the
// script, all on the host's own thread (the dialog's modal loop runs the timer).
#include <windows.h>

#include <cstdlib>

#include "plughost/ui_script.h"

namespace plughost {
namespace {

UiScript* g_script = nullptr;
HHOOK g_hook = nullptr;
constexpr UINT_PTR kAnswerTimer = 0x51A7;
// Set on a dialog once it has been reported (and, on a file dialog, answered).
const char kAnsweredProp[] = "qm.plughost.answered";

struct ChildText {
  int id;
  std::string text;
};

BOOL CALLBACK CollectText(HWND child, LPARAM lp) {
  auto* texts = reinterpret_cast<std::vector<ChildText>*>(lp);
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  // Message boxes keep their unused buttons as hidden children.
  if (!IsWindowVisible(child)) return TRUE;
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  // Icons and bitmaps carry no text a user reads.
  if (lstrcmpiA(cls, "Static") == 0 && ((style & SS_TYPEMASK) == SS_ICON || (style & SS_TYPEMASK) == SS_BITMAP))
    return TRUE;
  char text[1024] = {};
  GetWindowTextA(child, text, sizeof text);
  texts->push_back({GetDlgCtrlID(child), text});
  return TRUE;
}

// The system's file dialog: its file-name field (cmb13 in Explorer-style dialogs, edt1 in
// older ones) takes --save-as, and OK; without it the user cancels. A dialog that is still
// open on a later tick refused the name (a folder that does not exist, say, after its message
// box was answered): it is cancelled then, so nothing is left waiting for a user.
bool AnswerFileDialog(HWND dlg) {
  HWND name = GetDlgItem(dlg, 1148);
  if (!name) name = GetDlgItem(dlg, 1152);
  if (!name || !GetDlgItem(dlg, IDOK) || !GetDlgItem(dlg, 1136)) return false;
  const auto tries = reinterpret_cast<intptr_t>(GetPropA(dlg, kAnsweredProp));
  SetPropA(dlg, kAnsweredProp, reinterpret_cast<HANDLE>(tries + 1));
  if (tries == 0) {
    char filter[256] = {};
    GetDlgItemTextA(dlg, 1136, filter, sizeof filter);
    g_script->ReportSaveDialog(filter, g_script->SaveAs());
  }
  if (tries == 0 && g_script->SaveAs()) {
    SetWindowTextA(name, g_script->SaveAs()->c_str());
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
  } else {
    if (tries > 0) g_script->ReportSaveDialog("refused the name", std::nullopt);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  return true;
}

void CALLBACK Answer(HWND dlg, UINT, UINT_PTR, DWORD) {
  if (!g_script) return;
  // A dialog with a modal window of its own up (a prompt, a message box) waits for it: the
  // script's next actions belong to that window, whose loop runs this timer too.
  if (!IsWindowEnabled(dlg) || !IsWindowVisible(dlg)) return;
  if (AnswerFileDialog(dlg)) return;
  if (!GetPropA(dlg, kAnsweredProp)) {
    SetPropA(dlg, kAnsweredProp, reinterpret_cast<HANDLE>(1));
    char caption[512] = {};
    GetWindowTextA(dlg, caption, sizeof caption);
    std::vector<ChildText> children;
    EnumChildWindows(dlg, CollectText, reinterpret_cast<LPARAM>(&children));
    // Message boxes are dialogs the system makes itself (no module, or user32's); their text
    // is the static 0xFFFF, reported first as the headless layer does.
    const auto owner = reinterpret_cast<HMODULE>(GetWindowLongPtrA(dlg, GWLP_HINSTANCE));
    const bool messageBox = !owner || owner == GetModuleHandleA("user32.dll");
    std::vector<std::string> texts;
    for (const ChildText& c : children)
      if (messageBox && c.id == 0xFFFF) texts.insert(texts.begin(), c.text);
      else texts.push_back(c.text);
    g_script->Report(messageBox, caption, texts);
  }
  int32_t action = g_script->Next();
  if (action == QM_ACTION_DEFAULT) {
    LRESULT def = SendMessageA(dlg, DM_GETDEFID, 0, 0);
    action = HIWORD(def) == DC_HASDEFID ? static_cast<int32_t>(LOWORD(def)) : int32_t{QM_ACTION_CLOSE};
  }
  if (action == QM_ACTION_CLOSE)
    PostMessageA(dlg, WM_CLOSE, 0, 0);
  else
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(action, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, action)));
}

// How long a dialog shows before its answer: 300 ms, or QM_ANSWER_DELAY_MS (1 to 600000)
// when a test wants to look at the window or press its buttons itself first.
UINT AnswerDelay() {
  char text[16] = {};
  const DWORD n = GetEnvironmentVariableA("QM_ANSWER_DELAY_MS", text, sizeof text);
  if (n == 0 || n >= sizeof text) return 300;
  char* end = nullptr;
  const unsigned long ms = std::strtoul(text, &end, 10);
  return (*end == 0 && ms >= 1 && ms <= 600000) ? static_cast<UINT>(ms) : 300;
}

LRESULT CALLBACK AfterMessage(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lp);
    // Answer once the dialog has been initialised and had a moment on screen.
    if (m->message == WM_INITDIALOG) SetTimer(m->hwnd, kAnswerTimer, AnswerDelay(), Answer);
    if (m->message == WM_DESTROY && GetPropA(m->hwnd, kAnsweredProp)) RemovePropA(m->hwnd, kAnsweredProp);
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

}  // namespace

UiScript::Win32Hook::Win32Hook(UiScript& script) {
  g_script = &script;
  g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
}

UiScript::Win32Hook::~Win32Hook() {
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  g_script = nullptr;
}

}  // namespace plughost
