#pragma once
#include <windows.h>

namespace installer {

// Runs the dialog "main" modally without a parent; -1 when it could not be shown.
INT_PTR RunSetupDialog(HINSTANCE instance);

}  // namespace installer
