// single_point_screenshot REGION OUTPUT.png [GRID-FOLDER]: builds the single-point window of a
// region (mainland or kastelorizo), runs the initial step (grids from GRID-FOLDER on the
// mainland), Command2 and Command1 on the default point through the buttons, and saves a
// picture of the window. For the documentation; messages go to standard error instead of boxes.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <cstdio>
#include <cstring>
#include <optional>

#include "single_point/ui/single_point_window.h"

namespace {

class LoggingPlatform : public vortan::Platform {
 public:
  void ShowMessage(const std::string& title, const std::string& text, vortan::MessageIcon,
                   vortan::MessageButtons) override {
    std::fprintf(stderr, "message: %s\n%s\n", title.c_str(), text.c_str());
  }
  std::optional<std::string> OpenFileDialog(const vortan::FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> SaveFileDialog(const vortan::FileDialogRequest&) override {
    return std::nullopt;
  }
  void OpenDocument(const std::string&, std::function<void()>) override {}
  std::string ProgramFolder() override { return "."; }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: single_point_screenshot mainland|kastelorizo OUTPUT.png [GRIDS]\n");
    return 2;
  }
  const bool kastelorizo = std::strcmp(argv[1], "kastelorizo") == 0;
  if (argc > 3 && !QDir::setCurrent(QString::fromLocal8Bit(argv[3]))) {
    std::fprintf(stderr, "cannot change to %s\n", argv[3]);
    return 1;
  }
  LoggingPlatform platform;
  vortan::SinglePointWindow window(
      kastelorizo ? vortan::kKastelorizoProfile : vortan::kMainlandProfile,
      kastelorizo ? vortan::ProgramKind::kSinglePointKastelorizo
                  : vortan::ProgramKind::kSinglePointMainland,
      platform);
  window.show();
  for (const char* button : {"Command3", "Command2", "Command1"}) {
    static_cast<QPushButton*>(window.Widget(QString::fromLatin1(button)))->click();
  }
  QApplication::processEvents();
  const QString output = QString::fromLocal8Bit(argv[2]);
  if (!window.grab().save(output)) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
