#include "coralin/CrSearchWindow.h"

void CrSearchWindowController::OnPosted(qm::platform::DialogView& v, int message, intptr_t) {
  if (message != kMsgStart || ran_) return;
  ran_ = true;
  view_ = &v;
  try {
    cancelled_ = search_.Run(kilobytes_, this);
  } catch (...) {
    error_ = std::current_exception();
  }
  view_ = nullptr;
  v.End(0);
}

void CrSearchWindowController::OnCommand(qm::platform::DialogView&, int id, int) {
  if (id == qm::platform::kIdCancel) cancelPressed_ = true;
}

void CrSearchWindowController::SetText(const std::string& text) {
  if (view_) view_->SetCaption(text);
}

void CrSearchWindowController::Pump() {
  if (view_) view_->Pump();
}

bool CrSearchWithProgressWindow(CrTargetSearch& search, qm::platform::NativeWindow owner, int32_t kilobytes) {
  CrSearchWindowController c(search, kilobytes);
  qm::platform::RunModalDialog("#118", owner, c);
  if (c.error()) std::rethrow_exception(c.error());
  if (!c.ran()) return search.Run(kilobytes, nullptr);
  return c.cancelled();
}
