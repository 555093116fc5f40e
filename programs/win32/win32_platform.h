// The platform interface on the Win32 API: message boxes, the common file dialogs, the shell
// for the help PDF and the program's folder. Texts cross as UTF-8 and are shown through the
// wide-character functions.
#pragma once

#include <windows.h>

#include "app/platform.h"

namespace vortan {

class Win32Platform : public Platform {
 public:
  // The window that owns the message boxes and dialogs; none until the window exists.
  void SetOwner(HWND owner) { owner_ = owner; }

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                   MessageButtons buttons) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void OpenDocument(const std::string& path, std::function<void()> cannotOpen) override;
  std::string ProgramFolder() override;

 private:
  std::optional<std::string> FileDialog(const FileDialogRequest& request, bool save);
  HWND owner_ = nullptr;
};

}  // namespace vortan
