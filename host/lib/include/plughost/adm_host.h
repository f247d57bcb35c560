#pragma once
// The Adobe Dialog Manager suites plughost lends effects for their about boxes (Basic 2,
// Dialog 5, Item 4, Image 1, Drawer 3, List 1, Entry 2). Natively a modal dialog is run
// headless: its items and texts are reported like any dialog and the user's clicks come
// from the answer script; the drawer procs paint into a canvas that can be saved. The
// Windows plughost builds a real window from the same calls.
#include <memory>
#include <string>

namespace plughost {

class SuiteBroker;
class UiScript;

class AdmHost {
 public:
  AdmHost(SuiteBroker& broker, UiScript& script);
  ~AdmHost();
  AdmHost(const AdmHost&) = delete;
  AdmHost& operator=(const AdmHost&) = delete;

  // Saves what the next modal dialog's items drew (headless only), as a PNG.
  void SetSnapshot(const std::string& path);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace plughost
