#pragma once
// The user plughost plays: answers the plug-in's dialogs and message boxes from a script and
// reports on stderr what was shown. Natively the plug-in's headless layer asks it; on Windows
// a hook on the host's thread reads the real dialog once it has initialised and posts the
// answer to it, so an unattended run still shows every window.
//
// A session script (`--ui FILE`) holds one action a line, taken in order by whichever dialog
// is waiting for the user:
//   press ID              click a button, check box or radio button
//   set ID TEXT           replace the text of an edit field (TEXT may be empty)
//   pick ID N             choose entry N (from 0) of a drop list
//   read ID               report the control's text (and check, list and enabled state)
//   list ID               report a drop list's entries
//   place ID              report where a control sits (pixels; ID 0: the dialog's client size)
//   mouse ID down|move|up X Y [ctrl] [shift]   the mouse in a control, at its pixel (X, Y)
//   size W H              resize the dialog's client area
//   move ID X Y           drag a window by its caption so its top left corner is at screen
//                         pixel (X, Y): ID 0 the dialog, else one of its own windows by its
//                         number (as place ID reports it)
//   shot FILE             save a picture of the dialog as shown, as PNG (Windows; a headless
//                         dialog has no pixels and only says so)
//   tip ID                report the control's tooltip text (Windows; likewise)
//   key tab|escape|enter  a key for the control with the focus (headlessly Escape is the close
//                         box, Enter is Enter, and there is no focus to move)
//   focus                 report which control has the focus (Windows)
//   close | default       the close box (Escape) | Enter
//   busy ACTION           do ACTION while the plug-in is still working between messages
// Blank lines and lines starting with '#' are skipped. When the script runs out, every
// dialog gets Enter.
//
// An interactive session (`--interactive`) has a person answer instead. The Windows plughost
// then leaves its real dialogs alone. Natively there is no screen: each dialog is described on
// stderr as above and the person types the actions on standard input, in the script's syntax,
// one a line; a line that is not an action is refused and can be typed again, and the end of
// the input is Cancel (the close box, or no name in the save dialog).
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless.h"

namespace plughost {

enum UiKey : int32_t { kUiKeyTab = 1, kUiKeyEscape = 2, kUiKeyEnter = 3 };

struct UiAction {
  enum class Kind { Press, Set, Pick, Read, List, Place, Mouse, Size, Close, Default, Shot, Tip, Key, Focus, Move };
  Kind kind = Kind::Default;
  int32_t id = 0;
  int32_t value = 0;  // list entry, the mouse event (QM_MOUSE_) or the key (UiKey)
  int32_t x = 0, y = 0;  // mouse: in the control; size: the client size; move: on the screen
  int32_t keys = 0;   // QM_KEY_ bits
  std::string text;
  bool busy = false;  // may happen while the plug-in works
  int line = 0;       // in the script file, for messages
};

// Parses one script line; false with `why` set when it is not an action. Blank and comment
// lines give true and no action.
bool ParseUiLine(const std::string& line, std::optional<UiAction>& action, std::string& why);
// Reads a whole script; throws std::runtime_error naming the file and line of a bad action.
std::vector<UiAction> ReadUiScript(const std::string& path);

class UiScript {
 public:
  // Answers: a control id, "close" or "default"; consumed in order, then "default".
  explicit UiScript(std::vector<std::string> answers = {}, std::FILE* report = stderr);
  explicit UiScript(std::vector<UiAction> actions, std::FILE* report = stderr);

  // The next answer as a control id or QM_ACTION_ value (plain dialogs and message boxes).
  int32_t Next();
  // The next action for the dialog shown: reads are answered from `shown` on the way; while
  // `busy` only actions marked busy are taken. Nothing when there is nothing to do now.
  std::optional<UiAction> NextAction(const QmHeadlessDialog* shown, bool busy);
  // True while the next action waits for the dialog to be idle (so a busy dialog need not be read).
  bool WaitsForIdle() const { return next_ >= actions_.size() || !actions_[next_].busy; }
  // One line describing a dialog: kind, caption and the texts shown, in order.
  void Report(bool isMessageBox, const std::string& caption, const std::vector<std::string>& texts);
  // Reports what a read, list or place action finds in the dialog shown.
  void ReadBack(const UiAction& a, const QmHeadlessDialog& shown);

  // Actions past the script's end are typed on `in` (nullptr: none, every dialog gets Enter).
  void SetInteractive(std::FILE* in) { input_ = in; }
  bool Interactive() const { return input_ != nullptr; }

  // The path the system save-file dialog is answered with; none: the user cancels it.
  void SetSaveAs(std::optional<std::string> path) { saveAs_ = std::move(path); }
  const std::optional<std::string>& SaveAs() const { return saveAs_; }
  void ReportSaveDialog(const std::string& filter, const std::optional<std::string>& answer);

  const QmHeadlessHost* HeadlessHost() { return &host_; }

  // Takes the pictures of shot actions (the Windows hook); without it they are reported as
  // not possible.
  void SetShooter(std::function<bool(const std::string& path)> shooter) { shooter_ = std::move(shooter); }
  // Reads a control's tooltip for tip actions (the Windows hook); none: the control has none.
  void SetTipReader(std::function<std::optional<std::string>(int32_t id)> reader) { tipReader_ = std::move(reader); }
  // Says which control has the focus, for focus actions (the Windows hook); none: no control.
  void SetFocusReader(std::function<std::optional<int32_t>()> reader) { focusReader_ = std::move(reader); }

  // Windows only: watches this thread's dialogs while alive (none in an interactive session).
  class Win32Hook {
   public:
    explicit Win32Hook(UiScript& script);
    ~Win32Hook();
    Win32Hook(const Win32Hook&) = delete;
    Win32Hook& operator=(const Win32Hook&) = delete;
  };

 private:
  static int32_t Act(void* context, const QmHeadlessDialog* shown);
  static void NextFor(void* context, const QmHeadlessDialog* shown, int32_t busy, QmHeadlessAction* action);
  static int32_t SaveFileName(void* context, const char* caption, const char* filter, char* path, uint32_t capacity);
  void ReportShown(const QmHeadlessDialog& d);
  // Reads typed lines until one holds an action, which is queued; false at the end of input.
  bool ReadTyped();
  // The name typed into the save dialog; none when the person cancels (an empty line, or the
  // end of input).
  std::optional<std::string> ReadTypedName();
  std::vector<UiAction> actions_;
  size_t next_ = 0;
  std::FILE* report_;
  std::optional<std::string> saveAs_;
  std::string heldText_;  // the text of the last action handed over
  std::function<std::optional<std::string>(int32_t)> tipReader_;
  std::function<std::optional<int32_t>()> focusReader_;
  std::function<bool(const std::string&)> shooter_;
  std::FILE* input_ = nullptr;
  bool inputEnded_ = false;
  bool hinted_ = false;
  QmHeadlessHost host_;
};

// The dialog options the commands that run a plug-in share:
//   --answer A  --ui FILE  --save-as PATH  --interactive
extern const char kInteractiveHelp[];

struct UiCommandLine {
  enum Takes : unsigned { kAnswer = 1, kScript = 2, kSaveAs = 4, kAll = 7 };
  std::vector<UiAction> actions;  // --answer and --ui, in the order given
  std::optional<std::string> saveAs;
  bool interactive = false;
  std::string scripted;  // the first of --answer, --ui, --save-as given

  // NotOurs; Taken (i moves past the value); Bad: a usage error, `error` says why; BadFile: a
  // --ui script that cannot be used, `error` names the file and line (no usage text needed).
  enum class Arg { NotOurs, Taken, Bad, BadFile };
  Arg Take(int argc, char** argv, int& i, std::string& error, unsigned takes = kAll);
  // After the whole command line: empty, or why --interactive is refused.
  std::string Conflict() const;
  // The session's user: the script, then (interactive) whatever is typed on `in`.
  void Configure(UiScript& script, std::FILE* in = stdin) const;
};

}  // namespace plughost
