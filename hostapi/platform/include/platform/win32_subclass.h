#pragma once
// Windows builds only: controls of a dialog whose messages go first to their owner's handler
// and then, unless it answers them, to the controls' own window procedures.
#include <windows.h>

#include <functional>
#include <vector>

namespace qm::platform {

class SubclassedControls {
 public:
  // True when it has answered the message, with the answer in `result`.
  using Handler = std::function<bool(HWND item, int id, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)>;

  explicit SubclassedControls(Handler handler);
  // The controls still there get their own procedures back.
  ~SubclassedControls();
  SubclassedControls(const SubclassedControls&) = delete;
  SubclassedControls& operator=(const SubclassedControls&) = delete;

  // Passes the messages of control ID of DIALOG through the handler; false when the dialog
  // has no such control.
  bool Add(HWND dialog, int id);

 private:
  static LRESULT CALLBACK Proc(HWND item, UINT msg, WPARAM wp, LPARAM lp);

  Handler handler_;
  std::vector<HWND> items_;
};

}  // namespace qm::platform
