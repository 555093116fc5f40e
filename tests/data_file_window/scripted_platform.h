// A platform whose dialogs answer from a script and whose message boxes are recorded, so that
// a test drives the data-file window without blocking on a modal box.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"

namespace vortan::testing {

class ScriptedPlatform : public Platform {
 public:
  struct Message {
    std::string title, text;
    MessageIcon icon;
    MessageButtons buttons;
  };
  struct Dialog {
    bool save;
    std::string title, filter, presetName;
  };

  // The answer of the next dialog: a path, or nothing for Cancel.
  void Answer(std::optional<std::string> path) { answers_.push_back(std::move(path)); }

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                   MessageButtons buttons) override {
    messages.push_back({title, text, icon, buttons});
  }
  std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& presetName) override {
    return Next(false, title, filter, presetName);
  }
  std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& presetName) override {
    return Next(true, title, filter, presetName);
  }
  void OpenDocument(const std::string& path) override { opened.push_back(path); }
  std::string ProgramFolder() override { return programFolder; }

  std::size_t unansweredDialogs() const { return answers_.size(); }

  std::vector<Message> messages;
  std::vector<Dialog> dialogs;
  std::vector<std::string> opened;
  std::string programFolder = "/nonexistent";

 private:
  // A dialog beyond the script is cancelled.
  std::optional<std::string> Next(bool save, const std::string& title, const std::string& filter,
                                  const std::string& presetName) {
    dialogs.push_back({save, title, filter, presetName});
    if (answers_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }

  std::deque<std::optional<std::string>> answers_;
};

}  // namespace vortan::testing
