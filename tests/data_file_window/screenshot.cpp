// Draws both data-file windows after their initial step into PNG files, for the documentation.
// Run under a display (xvfb-run) so that the window looks as users see it:
//   data_file_window_screenshot OUTPUT_FOLDER GRID_FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "data_files/ui/data_file_window.h"
#include "scripted_platform.h"

namespace {

bool Shoot(vortan::ProgramKind kind, const vortan::RegionProfile& profile, const QString& grids,
           const QString& file) {
  vortan::testing::ScriptedPlatform platform;
  platform.Answer(QDir(grids).filePath("dN_2km_V1-0.grd").toStdString());
  platform.Answer(QDir(grids).filePath("dE_2km_V1-0.grd").toStdString());
  vortan::DataFileWindow window(kind, profile, platform);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return false;
  QTest::mouseClick(window.findChild<QPushButton*>("Command3"), Qt::LeftButton);
  for (const auto& m : platform.messages) {
    if (m.title != vortan::texts::kNoticeTitle) std::fprintf(stderr, "%s\n", m.text.c_str());
  }
  QApplication::processEvents();
  return window.grab().save(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER GRID_FOLDER\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  // The grid boxes show the paths: copy the grids to a short, neutral folder first.
  const QString grids = QDir::temp().filePath("example-grids");
  QDir().mkpath(grids);
  for (const char* name : {"dN_2km_V1-0.grd", "dE_2km_V1-0.grd"}) {
    const QString to = QDir(grids).filePath(name);
    QFile::remove(to);
    if (!QFile::copy(QDir(QString::fromLocal8Bit(argv[2])).filePath(name), to)) return 1;
  }
  const bool ok =
      Shoot(vortan::ProgramKind::kDataFilesMainland, vortan::kMainlandProfile, grids,
            out.filePath("data-files-mainland.png")) &&
      Shoot(vortan::ProgramKind::kDataFilesKastelorizo, vortan::kKastelorizoProfile, grids,
            out.filePath("data-files-kastelorizo.png"));
  return ok ? 0 : 1;
}
