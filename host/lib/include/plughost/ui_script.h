#pragma once
// The user plughost plays: answers the plug-in's dialogs and message boxes from a script and
// reports on stderr what was shown. Natively the plug-in's headless layer asks it; on Windows
// a hook on the host's thread reads the real dialog once it has initialised and posts the
// answer to it, so an unattended run still shows every window.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless.h"

namespace plughost {

class UiScript {
 public:
  // Answers: a control id, "close" or "default"; consumed in order, then "default".
  explicit UiScript(std::vector<std::string> answers = {}, std::FILE* report = stderr);

  // The next answer as a control id or QM_ACTION_ value.
  int32_t Next();
  // One line describing a dialog: kind, caption and the texts shown, in order.
  void Report(bool isMessageBox, const std::string& caption, const std::vector<std::string>& texts);

  const QmHeadlessHost* HeadlessHost() { return &host_; }

  // Windows only: watches this thread's dialogs while alive.
  class Win32Hook {
   public:
    explicit Win32Hook(UiScript& script);
    ~Win32Hook();
    Win32Hook(const Win32Hook&) = delete;
    Win32Hook& operator=(const Win32Hook&) = delete;
  };

 private:
  static int32_t Act(void* context, const QmHeadlessDialog* shown);
  std::vector<std::string> answers_;
  size_t next_ = 0;
  std::FILE* report_;
  QmHeadlessHost host_;
};

}  // namespace plughost
