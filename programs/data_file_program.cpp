#include "programs/run_program.h"

#include <QApplication>
#include <QString>

#include "data_files/ui/data_file_window.h"
#include "io/process.h"
#include "programs/qt_platform.h"
#include "widgets/termination.h"
#include "widgets/window_frame.h"

namespace vortan {

int RunDataFileProgram(int argc, char** argv, ProgramKind program, const RegionProfile& profile) {
  PrepareProcessForJobs();
  QApplication app(argc, argv);
  const ProgramInfo& info = InfoOf(program);
  QApplication::setApplicationName(QString::fromUtf8(info.executable.data(),
                                                     static_cast<qsizetype>(info.executable.size())));
  QApplication::setApplicationVersion(QString::fromUtf8(
      info.fileVersion.data(), static_cast<qsizetype>(info.fileVersion.size())));
  // The notice of Form_Load comes before the window shows; later boxes belong to the window.
  InstallGreekTexts(app);
  QApplication::setWindowIcon(ProgramIcon());
  QtPlatform platform;
  DataFileWindow window(program, profile, platform);
  platform.SetParent(&window);
  // SIGTERM and SIGHUP end the program after a running job has stopped with complete lines,
  // with the status a shell expects (128 and the signal's number).
  int stopped = 0;
  QObject::connect(&window, &DataFileWindow::readyToClose, &app,
                   [&stopped] { QApplication::exit(128 + stopped); });
  StopOnTerminationSignals(&window, [&window, &stopped](int signo) {
    stopped = signo;
    window.StopAndClose();
  });
  window.show();
  return app.exec();
}

}  // namespace vortan
