// A platform whose dialogs answer from a script and whose message boxes are recorded, so that
// a test drives the data-file window without blocking on a modal box.
#pragma once

#include <deque>
#include <functional>
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
    std::string title, filter, presetName, folder;
  };

  // The answer of the next dialog: a path, or nothing for Cancel.
  void Answer(std::optional<std::string> path) { answers_.push_back(std::move(path)); }

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                   MessageButtons buttons) override {
    messages.push_back({title, text, icon, buttons});
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override {
    return Next(false, request);
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override {
    return Next(true, request);
  }
  // Records the document; a system without a viewer says so at once.
  void OpenDocument(const std::string& path, std::function<void()> cannotOpen) override {
    opened.push_back(path);
    if (!viewer) cannotOpen();
  }
  std::string ProgramFolder() override { return programFolder; }

  std::size_t unansweredDialogs() const { return answers_.size(); }

  std::vector<Message> messages;
  std::vector<Dialog> dialogs;
  std::vector<std::string> opened;
  std::string programFolder = "/nonexistent";
  bool viewer = true;  // the system has a viewer for the documents

 private:
  // A dialog beyond the script is cancelled. A path the dialog refuses is shown as the Qt
  // dialog shows it, in a message box, and the dialog takes the next answer.
  std::optional<std::string> Next(bool save, const FileDialogRequest& request) {
    dialogs.push_back({save, request.title, request.filter, request.presetName, request.folder});
    while (!answers_.empty()) {
      std::optional<std::string> answer = std::move(answers_.front());
      answers_.pop_front();
      if (!answer || !request.refuse) return answer;
      const std::optional<Refusal> refusal = request.refuse(*answer);
      if (!refusal) return answer;
      messages.push_back(
          {refusal->title, refusal->text, MessageIcon::kWarning, MessageButtons::kOk});
    }
    return std::nullopt;
  }

  std::deque<std::optional<std::string>> answers_;
};

}  // namespace vortan::testing
