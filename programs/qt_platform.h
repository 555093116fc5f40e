// The platform layer on Qt: message boxes, file dialogs, the system's document viewer and the
// folder of the running program; and the Greek (with English) texts of Qt's own dialogs.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/platform.h"

class QCoreApplication;
class QWidget;

namespace vortan {

class QtPlatform : public Platform {
 public:
  // Dialogs are modal to parent (none: application-modal).
  explicit QtPlatform(QWidget* parent = nullptr);
  ~QtPlatform() override;

  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                   MessageButtons buttons) override;
  // Qt's own file dialog (the same on every desktop): it starts in the request's folder with
  // the preset name, lists the files with their size and date, offers "All files (*)" beside
  // the request's filter, refuses what the request refuses and asks, in Greek and English,
  // before it replaces a file.
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  // On Linux through xdg-open: a launcher that cannot be started, or that ends at once with a
  // failure (no viewer for PDF files), is reported through cannotOpen.
  void OpenDocument(const std::string& path, std::function<void()> cannotOpen) override;
  std::string ProgramFolder() override;

 private:
  std::optional<std::string> FileDialog(const FileDialogRequest& request, bool save);

  QWidget* parent_;
  // Owns the launcher processes; its connections end with the platform.
  std::unique_ptr<QObject> launches_;
};

// A filter in the form "Text files *.txt(*.txt)|*.txt" (description, "|", patterns; several
// pairs joined by "|") in Qt's form, each description shown once with its patterns:
// "Text files (*.txt)", pairs joined by ";;". A text without "|" is passed through.
std::string QtFilterOf(const std::string& filter);

// The filter a dialog offers for a request's filter: its own, then "All files (*)".
std::string DialogFilterOf(const std::string& filter);

// Installs, once per application, the Greek texts with English of Qt's standard dialogs and
// buttons (file dialogs, message box and progress dialog buttons, the boxes' context menu).
void InstallGreekTexts(QCoreApplication& app);

}  // namespace vortan
