// The platform layer: everything a window needs from the system that a test must be able to
// script instead of block on. The Qt implementation is in qt_platform.h; window tests pass a
// scripted one.
#pragma once

#include <optional>
#include <string>

namespace vortan {

enum class MessageIcon { kInformation, kWarning, kCritical };
enum class MessageButtons { kOk, kOkCancel };

class Platform {
 public:
  virtual ~Platform() = default;

  // A modal message box; returns when the user has closed it.
  virtual void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                           MessageButtons buttons) = 0;

  // An open-file dialog with a title, a filter in the form "Text files *.txt(*.txt)|*.txt" and
  // a preset file name. The chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> OpenFileDialog(const std::string& title,
                                                    const std::string& filter,
                                                    const std::string& presetName) = 0;

  // A save-file dialog; asks before replacing an existing file. Nothing when cancelled.
  virtual std::optional<std::string> SaveFileDialog(const std::string& title,
                                                    const std::string& filter,
                                                    const std::string& presetName) = 0;

  // Asks the system to open a document in its viewer. The result is not examined.
  virtual void OpenDocument(const std::string& path) = 0;

  // The folder of the running program.
  virtual std::string ProgramFolder() = 0;
};

}  // namespace vortan
