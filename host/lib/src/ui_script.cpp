#include "plughost/ui_script.h"

#include <cstdlib>

#include "platform/resources.h"

namespace plughost {

UiScript::UiScript(std::vector<std::string> answers, std::FILE* report)
    : answers_(std::move(answers)), report_(report), host_{sizeof(QmHeadlessHost), this, &UiScript::Act} {}

int32_t UiScript::Next() {
  if (next_ >= answers_.size()) return QM_ACTION_DEFAULT;
  const std::string& a = answers_[next_++];
  if (a == "close") return QM_ACTION_CLOSE;
  if (a == "default") return QM_ACTION_DEFAULT;
  return static_cast<int32_t>(std::strtol(a.c_str(), nullptr, 10));
}

void UiScript::Report(bool isMessageBox, const std::string& caption, const std::vector<std::string>& texts) {
  if (!report_) return;
  std::string line = std::string(isMessageBox ? "message" : "dialog") + " \"" + caption + "\"";
  bool first = true;
  for (const auto& t : texts) {
    if (t.empty()) continue;
    line += first ? ": " : " | ";
    line += t;
    first = false;
  }
  std::fprintf(report_, "plughost: %s\n", line.c_str());
}

int32_t UiScript::Act(void* context, const QmHeadlessDialog* d) {
  auto* self = static_cast<UiScript*>(context);
  std::vector<std::string> texts;
  for (int32_t i = 0; i < d->itemCount; ++i) {
    // Bitmaps and icons show no text a user reads.
    const int32_t kind = d->items[i].kind;
    if (kind == static_cast<int32_t>(qm::res::ItemKind::Icon) || kind == static_cast<int32_t>(qm::res::ItemKind::Bitmap))
      continue;
    texts.emplace_back(d->items[i].text ? d->items[i].text : "");
  }
  self->Report(d->isMessageBox != 0, d->caption ? d->caption : "", texts);
  return self->Next();
}

}  // namespace plughost

#ifndef _WIN32
namespace plughost {
// Native plug-ins take their answers through the headless interface; nothing to watch.
UiScript::Win32Hook::Win32Hook(UiScript&) {}
UiScript::Win32Hook::~Win32Hook() = default;
}  // namespace plughost
#endif
