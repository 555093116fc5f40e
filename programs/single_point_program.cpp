#include <QApplication>
#include <QString>

#include "io/process.h"
#include "programs/qt_platform.h"
#include "widgets/window_frame.h"
#include "programs/run_program.h"
#include "single_point/ui/single_point_window.h"

namespace vortan {

int RunSinglePointProgram(int argc, char** argv, ProgramKind program,
                          const RegionProfile& profile) {
  PrepareProcessForJobs();
  QApplication app(argc, argv);
  const ProgramInfo& info = InfoOf(program);
  QApplication::setApplicationName(QString::fromUtf8(
      info.executable.data(), static_cast<qsizetype>(info.executable.size())));
  // The notice of Form_Load comes before the window is shown; later messages sit on it.
  InstallGreekTexts(app);
  QApplication::setWindowIcon(ProgramIcon());
  QtPlatform platform;
  SinglePointWindow window(profile, program, platform);
  platform.SetParent(&window);
  window.show();
  return QApplication::exec();
}

}  // namespace vortan
