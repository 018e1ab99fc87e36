#include "shell/run/RunAction.h"

#include <algorithm>
#include <deque>

#include "platform/Text.h"

namespace quillmere::run {

namespace {
std::deque<RunAction>& table() {
  static std::deque<RunAction> actions;  // deque: pointers handed out stay valid
  return actions;
}
}  // namespace

void ActionTable::add(RunAction action) {
  table().push_back(std::move(action));
}

const RunAction* ActionTable::find(const std::string& name) {
  for (const auto& a : table())
    if (a.name == name) return &a;
  return nullptr;
}

const RunAction* ActionTable::findIgnoringCase(const std::string& name) {
  for (const auto& a : table())
    if (text::equalsNoCase(a.name, name)) return &a;
  return nullptr;
}

std::vector<const RunAction*> ActionTable::all() {
  std::vector<const RunAction*> out;
  for (const auto& a : table()) out.push_back(&a);
  std::sort(out.begin(), out.end(),
            [](const RunAction* x, const RunAction* y) { return x->name < y->name; });
  return out;
}

}  // namespace quillmere::run
