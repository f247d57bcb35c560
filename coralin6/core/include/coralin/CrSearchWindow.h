#pragma once
// The target-size search inside its progress window (template 118: a caption that carries
// the progress, one Cancel button). The window runs the search as soon as it is shown and
// closes itself; Cancel only marks the search cancelled, which it obeys after the pass.
#include <exception>

#include "coralin/CrTargetSearch.h"
#include "platform/ui.h"

class CrSearchWindowController final : public qm::platform::DialogController, private CrSearchProgress {
 public:
  static constexpr int kMsgStart = 1;
  CrSearchWindowController(CrTargetSearch& search, int32_t kilobytes) : search_(search), kilobytes_(kilobytes) {}

  void OnInit(qm::platform::DialogView& v) override { v.Post(kMsgStart, 0); }
  void OnPosted(qm::platform::DialogView& v, int message, intptr_t value) override;
  void OnCommand(qm::platform::DialogView&, int id, int notifyCode) override;
  void OnClose(qm::platform::DialogView&) override { cancelPressed_ = true; }

  bool ran() const { return ran_; }
  bool cancelled() const { return cancelled_; }
  // What the search raised, to be raised again outside the window's procedure.
  std::exception_ptr error() const { return error_; }

 private:
  void SetText(const std::string& text) override;
  void Pump() override;
  bool Cancelled() const override { return cancelPressed_; }

  CrTargetSearch& search_;
  int32_t kilobytes_;
  qm::platform::DialogView* view_ = nullptr;
  bool cancelPressed_ = false, cancelled_ = false, ran_ = false;
  std::exception_ptr error_;
};

// Runs the search for `kilobytes` in the progress window owned by `owner`; true when
// cancelled. Where the window cannot be made the search runs without it.
bool CrSearchWithProgressWindow(CrTargetSearch& search, qm::platform::NativeWindow owner, int32_t kilobytes);
