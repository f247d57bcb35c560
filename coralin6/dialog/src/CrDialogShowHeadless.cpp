// Natively the dialogs are the headless ones; nothing is drawn.
#include "coralin/CrDialogController.h"

namespace coralin {

intptr_t CrShowSettingsDialog(CrDialogController& controller, qm::platform::NativeWindow owner) {
  return qm::platform::RunModalDialog("#101", owner, controller);
}

intptr_t CrShowAboutBox(qm::platform::DialogController& box, qm::platform::NativeWindow owner) {
  return qm::platform::RunModalDialog("#109", owner, box);
}

}  // namespace coralin
