// A platform that records the message boxes and opened documents instead of showing them, so
// that a test drives the single-point conversions and windows without blocking.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"

namespace vortan::testing {

class RecordingPlatform : public Platform {
 public:
  struct Message {
    std::string title, text;
    MessageIcon icon;
    MessageButtons buttons;
  };

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                   MessageButtons buttons) override {
    messages.push_back({title, text, icon, buttons});
  }
  // The single-point programs show no file dialog; one that comes is recorded and cancelled.
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override {
    dialogs.push_back(request.title);
    return std::nullopt;
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override {
    dialogs.push_back(request.title);
    return std::nullopt;
  }
  // Records the document; a system without a viewer says so at once.
  void OpenDocument(const std::string& path, std::function<void()> cannotOpen) override {
    opened.push_back(path);
    if (!viewer) cannotOpen();
  }
  std::string ProgramFolder() override { return programFolder; }

  std::vector<Message> messages;
  std::vector<std::string> dialogs;
  std::vector<std::string> opened;
  std::string programFolder = "/nonexistent";
  bool viewer = true;  // the system has a viewer for the documents
};

}  // namespace vortan::testing
