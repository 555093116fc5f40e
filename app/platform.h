// The platform layer: everything a window needs from the system that a test must be able to
// script instead of block on. The Qt implementation is in qt_platform.h; window tests pass a
// scripted one.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vortan {

enum class MessageIcon { kInformation, kWarning, kCritical };
enum class MessageButtons { kOk, kOkCancel };

// Why a file dialog does not take a chosen path: a message box title and its text.
struct Refusal {
  std::string title;
  std::string text;
};

// One open or save dialog as a window asks for it.
struct FileDialogRequest {
  std::string title;
  std::string filter;      // "Text files *.txt(*.txt)|*.txt": description, "|", patterns
  std::string presetName;  // the file name the dialog proposes
  std::string folder;      // where the dialog starts; "" for the current directory
  // A save dialog asks this about each path the user chooses, before it asks whether to
  // replace an existing file: a refused path is not taken, the dialog shows why and stays open
  // for another choice. Null: every path is taken.
  std::function<std::optional<Refusal>(const std::string& path)> refuse;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // A modal message box; returns when the user has closed it.
  virtual void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                           MessageButtons buttons) = 0;

  // An open-file dialog. The chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;

  // A save-file dialog; asks before replacing an existing file. Nothing when cancelled.
  virtual std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) = 0;

  // Asks the system to open a document in its viewer. When the system says that it cannot
  // (no viewer for the file, no way to start one), cannotOpen is called, at once or later on
  // the window's thread.
  virtual void OpenDocument(const std::string& path, std::function<void()> cannotOpen) = 0;

  // The folder of the running program.
  virtual std::string ProgramFolder() = 0;
};

}  // namespace vortan
