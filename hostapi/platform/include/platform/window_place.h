#pragma once
// Where a dialog's window sits on screen, for dialogs that remember their place. Headless
// dialogs have no window: nothing is known and moving does nothing.
#include <optional>

#include "platform/ui.h"

namespace qm::platform {

// The window's outer rectangle in screen pixels.
std::optional<ItemRect> WindowScreenRect(NativeWindow window);
void MoveWindowTo(NativeWindow window, const ItemRect& r);
// The full-screen work area (the primary screen's, less the task bar); 1024 x 768 headlessly.
ItemRect ScreenWorkArea();

}  // namespace qm::platform
