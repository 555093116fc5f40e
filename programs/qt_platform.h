// The platform layer on Qt: message boxes, file dialogs, the system's document viewer and the
// folder of the running program.
#pragma once

#include <optional>
#include <string>

#include "app/platform.h"

class QWidget;

namespace vortan {

class QtPlatform : public Platform {
 public:
  // Dialogs are modal to parent (none: application-modal).
  explicit QtPlatform(QWidget* parent = nullptr);

  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                   MessageButtons buttons) override;
  std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& presetName) override;
  std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& presetName) override;
  void OpenDocument(const std::string& path) override;
  std::string ProgramFolder() override;

 private:
  QWidget* parent_;
};

// A filter in the form "Text files *.txt(*.txt)|*.txt" (description, "|", patterns; several
// pairs joined by "|") in Qt's form "Text files *.txt(*.txt) (*.txt)", pairs joined by ";;".
// A text without "|" is passed through.
std::string QtFilterOf(const std::string& filter);

}  // namespace vortan
