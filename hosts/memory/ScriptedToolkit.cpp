#include "hosts/memory/ScriptedToolkit.h"

#include <algorithm>

#include "runtime/Failure.h"

namespace corvale::memory {

std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void ScriptedListBox::select(int32_t index) {
  entries_.select(index);
  if (index >= 0 && onClick_) onClick_();
}

ScriptedForm::ScriptedForm(ScriptedToolkit& toolkit, const host::FormLayout& layout,
                           std::shared_ptr<host::IFormEvents> events)
    : toolkit_(toolkit), layout_(layout), events_(events) {
  for (const auto& control : layout_.controls) {
    if (control.kind == host::ControlKind::ListBox) {
      const std::string handler = control.name + "_Click";
      lists_.emplace(control.name, std::make_unique<ScriptedListBox>(
                                       control.sorted, [this, handler] { fire(handler); }));
    } else {
      texts_.emplace(control.name, control.caption);
    }
  }
}

void ScriptedForm::fire(const std::string& handler) {
  if (!loaded_) return;
  if (std::find(layout_.handlers.begin(), layout_.handlers.end(), handler) == layout_.handlers.end()) {
    return;
  }
  // The window may unload itself in its handler; keep it alive until the handler returns.
  if (auto events = events_.lock()) events->fire(handler);
}

host::IListBox& ScriptedForm::listBox(std::string_view name) { return list(name); }

ScriptedListBox& ScriptedForm::list(std::string_view name) {
  auto found = lists_.find(name);
  if (found == lists_.end()) raise(err::kTypeMismatch);
  return *found->second;
}

std::string ScriptedForm::text(std::string_view control) {
  auto found = texts_.find(control);
  if (found == texts_.end()) raise(err::kTypeMismatch);
  return found->second;
}

void ScriptedForm::setText(std::string_view control, const std::string& text) {
  auto found = texts_.find(control);
  if (found == texts_.end()) raise(err::kTypeMismatch);
  found->second = text;
}

int32_t ScriptedForm::pictureHandle(std::string_view control) {
  const auto* layout = layout_.control(control);
  if (!layout || layout->kind != host::ControlKind::Picture) raise(err::kTypeMismatch);
  auto [entry, added] = pictures_.emplace(std::string(control), 0);
  if (added) entry->second = toolkit_.nextPicture_++;
  return entry->second;
}

void ScriptedForm::press(std::string_view control) { fire(std::string(control) + "_Click"); }

void ScriptedForm::type(std::string_view control, const std::string& text) {
  setText(control, text);
}

void ScriptedForm::pick(std::string_view listName, const std::string& entry) {
  auto& box = list(listName);
  const auto& entries = box.entries();
  auto found = std::find(entries.begin(), entries.end(), entry);
  if (found == entries.end()) raise(err::kInvalidProcedureCall, "No entry " + entry);
  box.select(static_cast<int32_t>(found - entries.begin()));
}

bool ScriptedForm::holds(std::string_view listName, const std::string& entry) {
  const auto& entries = list(listName).entries();
  return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

std::shared_ptr<host::IForm> ScriptedToolkit::load(const host::FormLayout& layout,
                                                   std::shared_ptr<host::IFormEvents> events) {
  auto form = std::make_shared<ScriptedForm>(*this, layout, events);
  forms_.push_back({form, std::move(events)});
  recorder_->record("window: " + layout.name + " loaded");
  return form;
}

void ScriptedToolkit::showModal(const std::shared_ptr<host::IForm>& form) {
  auto own = std::dynamic_pointer_cast<ScriptedForm>(form);
  if (!own) raise(err::kTypeMismatch);
  own->visible_ = true;
  recorder_->record("window: " + own->name() + " shown modally");
  if (scripts_.empty()) {
    ++unscripted_;
  } else {
    ModalScript script = std::move(scripts_.front());
    scripts_.pop_front();
    script(*own);
  }
  if (own->loaded_ && own->visible_) {
    // The user closes the window with its own close control: it unloads.
    recorder_->record("window: " + own->name() + " closed by the user");
    unload(form);
  }
}

void ScriptedToolkit::hide(const std::shared_ptr<host::IForm>& form) {
  auto own = std::dynamic_pointer_cast<ScriptedForm>(form);
  if (!own) raise(err::kTypeMismatch);
  own->visible_ = false;
  recorder_->record("window: " + own->name() + " hidden");
}

void ScriptedToolkit::unload(const std::shared_ptr<host::IForm>& form) {
  auto own = std::dynamic_pointer_cast<ScriptedForm>(form);
  if (!own) raise(err::kTypeMismatch);
  if (!own->loaded_) return;
  own->loaded_ = false;
  own->visible_ = false;
  forms_.erase(std::remove_if(forms_.begin(), forms_.end(),
                              [&](const Loaded& loaded) { return loaded.form == own; }),
               forms_.end());
  recorder_->record("window: " + own->name() + " unloaded");
}

void ScriptedToolkit::messageBox(const std::string& text) {
  messages_.push_back(text);
  recorder_->record("message: " + oneLine(text));
}

void ScriptedToolkit::setMousePointer(host::MousePointer pointer) {
  pointer_ = pointer;
  recorder_->record(pointer == host::MousePointer::Hourglass ? "pointer: hourglass"
                                                             : "pointer: default");
}

void ScriptedToolkit::shellOpen(const std::shared_ptr<host::IForm>&, const std::string& address) {
  shellOpens_.push_back(address);
  recorder_->record("shell: open " + address);
}

std::vector<std::shared_ptr<ScriptedForm>> ScriptedToolkit::forms(std::string_view name) const {
  std::vector<std::shared_ptr<ScriptedForm>> found;
  for (const auto& loaded : forms_) {
    if (loaded.form->name() == name) found.push_back(loaded.form);
  }
  return found;
}

ScriptedForm& ScriptedToolkit::form(std::string_view name) const {
  auto found = forms(name);
  if (found.empty()) raise(err::kObjectNotSet, "No window " + std::string(name) + " is loaded");
  return *found.back();
}

}  // namespace corvale::memory
