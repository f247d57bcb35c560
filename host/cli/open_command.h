#pragma once
// plughost open: reads files through a format plug-in and writes what it hands over.
namespace plughost {
// argv holds what follows "open"; self is the path plughost was started by (for workers).
int OpenCommand(int argc, char** argv, const char* self);
extern const char kOpenUsage[];
}  // namespace plughost
