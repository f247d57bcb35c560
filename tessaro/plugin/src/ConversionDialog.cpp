#include "ConversionDialog.h"

#include "platform/ui.h"

namespace tessaro::plugin {
namespace {

// OK and Cancel end the dialog with their ids; anything else a script or user does ends it
// with that id, which the read takes as a failure.
class ConfirmDialog final : public qm::platform::DialogController {
public:
  void OnClose(qm::platform::DialogView& v) override { v.End(kDialogStop); }
};

}  // namespace

int RunConversionDialog(DialogContext&) {
  ConfirmDialog d;
  const intptr_t r = qm::platform::RunModalDialog("CONVERSION", nullptr, d);
  if (r == qm::platform::kIdOk) return 0;
  if (r == qm::platform::kIdCancel) return kDialogStop;
  return r == 0 ? -1 : static_cast<int>(r);
}

}  // namespace tessaro::plugin
