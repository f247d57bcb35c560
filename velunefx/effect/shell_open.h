// Hands a document to the system's "open" verb (the help page). Windows asks the shell;
// native builds have no shell to ask and say on stderr what would open.
#pragma once

#include <string>

namespace velune {

void open_document(const std::string& path);

}  // namespace velune
