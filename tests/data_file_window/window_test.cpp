// The data-file window driven through its controls, offscreen, with scripted dialogs.
#include <signal.h>
#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include "data_files/ui/data_file_window.h"
#include "widgets/termination.h"
#include "programs/qt_platform.h"
#include "scripted_platform.h"
#include "tests/support/files.h"
#include "tests/support/window_fit.h"
#include "widgets/logos.h"
#include "widgets/window_frame.h"

using vortan::DataFileWindow;
using vortan::ProgramKind;
using vortan::testing::ScriptedPlatform;

namespace {

const QString kData = QStringLiteral(VORTAN_TEST_DATA_DIR);
const QString kReference = kData + "/reference";
const std::string kDnGrid = (kReference + "/grids/dN_2km_V1-0.grd").toStdString();
const std::string kDeGrid = (kReference + "/grids/dE_2km_V1-0.grd").toStdString();

std::string ReadFile(const QString& path) { return vortan::support::ReadFile(path.toStdString()); }

void WriteFile(const QString& path, const std::string& text) {
  vortan::support::WriteFile(path.toStdString(), text);
}

// One program's window with its scripted platform.
struct Program {
  explicit Program(bool kastelorizo = false)
      : window(kastelorizo ? ProgramKind::kDataFilesKastelorizo : ProgramKind::kDataFilesMainland,
               kastelorizo ? vortan::kKastelorizoProfile : vortan::kMainlandProfile, platform) {}
  ScriptedPlatform platform;
  DataFileWindow window;

  QPushButton* Button(const char* name) { return window.findChild<QPushButton*>(name); }
  QString Text(const char* name) {
    auto* box = window.findChild<QLineEdit*>(name);
    return box ? box->text() : QStringLiteral("<missing %1>").arg(name);
  }
  bool Enabled(const char* name) { return window.findChild<QWidget*>(name)->isEnabled(); }
  void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
  QString Status() { return window.findChild<QLabel*>("StatusLine")->text(); }

  std::set<QString> EnabledButtons() {
    std::set<QString> names;
    for (QPushButton* b : window.findChildren<QPushButton*>()) {
      if (b->isEnabled() && b->objectName().startsWith("Command")) names.insert(b->objectName());
    }
    return names;
  }

  // Answers the dialogs of a job with files in dir: the input first, then the outputs.
  void AnswerJobFiles(const QTemporaryDir& dir, int outputs) {
    platform.Answer(dir.filePath("in.txt").toStdString());
    for (int k = 0; k < outputs; ++k) {
      platform.Answer(dir.filePath(QStringLiteral("out%1.txt").arg(k)).toStdString());
    }
  }

  // Clicks a job button and waits until the job has ended.
  bool RunJob(const char* button) {
    QSignalSpy finished(&window, &DataFileWindow::jobFinished);
    Click(button);
    if (!window.jobRunning()) return true;  // a dialog was cancelled: nothing started
    return finished.wait(60000) && !window.jobRunning();
  }
};

// A job in the window's worker thread that does what the test tells it, one command at a time:
// 'p' reports progress, 'b' reports a burst of progress and ends at once, 'e' ends. A job left
// without commands ends after a while, so that a failed test does not hang in the window's
// destructor.
class ScriptedJob {
 public:
  // The runner for DataFileWindow::setJobRunner: the outcome of a job that wrote every point,
  // or that was cancelled when the window asked it to stop. outcome, when set, replaces it.
  DataFileWindow::JobRunner Runner() {
    return [this](const vortan::PreparedJob& job, const vortan::JobOptions& options) {
      {
        std::lock_guard lock(mutex_);
        options_ = options;
      }
      std::uint64_t points = 0;
      for (;;) {
        const char command = Next();
        if (command == 'p' || command == 'b') {
          for (int k = command == 'b' ? 200 : 1; k > 0; --k) {
            ++points;
            options.progress({points, points * 40, 40000});
          }
        }
        if (command == 'b') burstPosted_.set_value();
        if (command == 'b' || command == 'e') break;
      }
      if (outcome) return outcome(job);
      vortan::JobOutcome o;
      o.outputs = job.outputs;
      o.outputsCreated = true;
      o.pointsWritten = points;
      o.linesWritten.assign(job.outputs.size(), points);
      if (options.cancel != nullptr && options.cancel->load()) {
        o.status = vortan::JobStatus::kCancelled;
        o.pointId = "P" + std::to_string(points + 1);
      }
      return o;
    };
  }

  void Command(char command) {
    std::lock_guard lock(mutex_);
    commands_.push_back(command);
    ready_.notify_one();
  }

  // Keeps the window's thread busy until the job has posted a burst of progress and its end, so
  // that the window finds them all waiting in its queue.
  void BurstWhileTheWindowIsBusy() {
    burstPosted_ = std::promise<void>();
    auto posted = std::make_shared<std::future<void>>(burstPosted_.get_future());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, posted] {
          Command('b');
          posted->wait_for(std::chrono::seconds(10));
          QThread::msleep(30);  // the thread's end is posted after the job has returned
        },
        Qt::QueuedConnection);
  }

  // Reports progress as the job does, from the window's thread: progress that comes late.
  void LateProgress() {
    std::lock_guard lock(mutex_);
    options_.progress({999, 39960, 40000});
  }

  std::function<vortan::JobOutcome(const vortan::PreparedJob&)> outcome;

 private:
  char Next() {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, std::chrono::seconds(20), [this] { return !commands_.empty(); })) {
      return 'e';
    }
    const char command = commands_.front();
    commands_.pop_front();
    return command;
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<char> commands_;
  vortan::JobOptions options_;
  std::promise<void> burstPosted_;
};

}  // namespace

class DataFileWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startShowsTheNoticeOnceWithOnlyTheInitialStepAndHelpEnabled() {
    for (bool kast : {false, true}) {
      Program p(kast);
      QCOMPARE(p.platform.messages.size(), std::size_t{1});
      QCOMPARE(p.platform.messages[0].title, std::string(vortan::texts::kNoticeTitle));
      QCOMPARE(p.EnabledButtons(), (std::set<QString>{"Command3", "Command6"}));
      QVERIFY(p.platform.dialogs.empty());
    }
  }

  void mainlandControlsCarryTheirCaptionsAndHoverTexts() {
    Program p;
    QCOMPARE(p.window.objectName(), QString("Form1"));
    QCOMPARE(p.window.windowTitle(),
             QString("Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  / Εισαγωγή Συντεταγμένων μέσω αρχείων /  "
                     "Ver.1.0"));
    struct Expect {
      const char* name;
      const char* caption;
      const char* tip;
    };
    const Expect buttons[] = {
        {"Command3", "ΑΡΧΙΚΟ ΒΗΜΑ : Εισαγωγή καννάβων και παραμέτρων >",
         "STEP-1 : Needs to be executed FIRST !!!"},
        {"Command4", "Εάν απαιτείται :       Μετατροπή     (φ,λ,h) σε ( X,Y,Z)",
         "STEP 2 (if needed)"},
        {"Command2", "Μετατροπή  (X,Y,Z) σε (φ,λ,h) και Μετ/σμός  σε ΕΓΣΑ87 (φ,λ) και (E,N)",
         "STEP 3"},
        {"Command5", "Εάν απαιτείται :       Μετατροπή      (φ,λ,h) σε ( E,N,h)    ",
         "STEP 4 (if needed)"},
        {"Command1", "Μετατροπή (E,N,h) σε (φ,λ,h)  και Μετ/σμός σε HTRS07 (φ,λ) και (E,N)",
         "STEP 5"},
        {"Command6", "ΒΟΗΘΕΙΑ", "VORTAN_TRANSFORM_Data-Files_V1-0_HELP.pdf"},
    };
    for (const Expect& e : buttons) {
      QCOMPARE(p.Button(e.name)->text(), QString(e.caption));
      QCOMPARE(p.Button(e.name)->toolTip(), QString(e.tip));
    }
    QCOMPARE(p.window.findChild<QGroupBox*>("Frame1")->title(),
             QString("HTRS07 (φ,λ,h) or (X,Y,Z) > HTRS07 (E,N,scale) > ΕΓΣΑ87 (φ,λ) and (E,N)"));
    QCOMPARE(p.window.findChild<QGroupBox*>("Frame2")->title(),
             QString("ΕΓΣΑ87 (E,N,h) <> ΕΓΣΑ87 (φ,λ,h)   > HTRS07 (φ,λ) and (E,N)"));
    const Expect labels[] = {
        {"Label17", "Μετασχηματισμός από HTRS07 (VORTAN ETRF2005/2007.5)  σε  ΕΓΣΑ87 ", ""},
        {"Label18", "Μετασχηματισμός από   ΕΓΣΑ87  σε  HTRS07", ""},
        {"Label20",
         "Έκδοση βασιζόμενη σε ένα  3Δ 7-παραμετρικό  μοντέλο Helmert και σε διορθωτικούς "
         "καννάβους ΔΕ, ΔΝ.",
         ""},
        {"Label14", "Σημ. Αυτή η έκδοση ΔΕΝ εφαρμόζεται για την περιοχή του Καστελόριζου.", ""},
        {"Label22", "tx", ""}, {"Label25", "εx", ""}, {"Label28", "ds", ""},
    };
    for (const Expect& e : labels) {
      QCOMPARE(p.window.findChild<QLabel*>(e.name)->text(), QString(e.caption));
    }
    const Expect paths[] = {
        {"Text8", "Input file  : HTRS07-SFLh.txt", ""},
        {"Text9", "Output file: HTRS07-SXYZ.txt", ""},
        {"Text10", "Input file  : HTRS07-SXYZ.txt", ""},
        {"Text11", "Output file : HTRS07-SFLh.txt", ""},
        {"Text12", "Output file : HTRS07-SENK.txt", ""},
        {"Text13", "Output file : GGRS87-SFL.txt", ""},
        {"Text16", "Output file : GGRS87-SEN.txt", ""},
        {"Text21", "Input file  : GGRS87-SFLh.txt", ""},
        {"Text22", "Output file : GGRS87-SENh.txt", ""},
        {"Text17", "Input file  : GGRS87-SENh.txt", ""},
        {"Text18", "Output file : GGRS87-SFLh.txt", ""},
        {"Text19", "Output file : HTRS07-SFL.txt", ""},
        {"Text20", "Output file : HTRS07-SEN.txt", ""},
    };
    for (const Expect& e : paths) QCOMPARE(p.Text(e.name), QString(e.caption));
    // Every box of the initial step is there, and the pictures.
    for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7",
                             "Text14", "Text15", "Text45", "Text46", "Text47", "Text48",
                             "Text49", "Text50", "Text51"}) {
      QVERIFY2(p.window.findChild<QLineEdit*>(name), name);
      QVERIFY2(p.Enabled(name), name);
    }
    for (const char* name : {"Label9", "Label10", "Label11", "Label12", "Label15", "Image1",
                             "Image2"}) {
      QVERIFY2(p.window.findChild<QLabel*>(name), name);
    }
    QCOMPARE(p.window.findChild<QSpinBox*>("Threads")->value(),
             std::max(1, QThread::idealThreadCount()));
  }

  void kastelorizoWindowLacksTheGridBoxesAndUsesItsTexts() {
    Program p(true);
    QCOMPARE(p.window.windowTitle(),
             QString("Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  /   Εισαγωγή Συντεταγμένων μέσω αρχείων /  "
                     "Ver.1.0  /  ΚΑΣΤΕΛΟΡΙΖΟ"));
    for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7",
                             "Text14", "Text15", "Text48", "Text49", "Text50", "Text51", "Label9",
                             "Label10", "Label11", "Label12", "Label15", "Label25", "Label26",
                             "Label27", "Label28"}) {
      QVERIFY2(!p.window.findChild<QWidget*>(name), name);
    }
    for (const char* name : {"Text45", "Text46", "Text47", "Label22", "Label23", "Label24"}) {
      QVERIFY2(p.window.findChild<QWidget*>(name), name);
    }
    QCOMPARE(p.Button("Command3")->text(), QString("ΑΡΧΙΚΟ ΒΗΜΑ : Εισαγωγή παραμέτρων >"));
    QCOMPARE(p.Button("Command2")->text(),
             QString("Μετατροπή (X,Y,Z) σε (φ,λ,h)  και Μετ/σμός  σε ΕΓΣΑ87 (φ,λ) και (E,N)"));
    QCOMPARE(p.Button("Command4")->text(),
             QString("Εάν απαιτείται :        Μετατροπή   (φ,λ,h)  σε  (X,Y,Z)"));
    QCOMPARE(p.Button("Command5")->text(),
             QString("Εάν απαιτείται :          Μετατροπή     (φ,λ,h) σε ( E,N,h)"));
    QCOMPARE(p.window.findChild<QLabel*>("Label20")->text(),
             QString("Έκδοση βασιζόμενη σε ένα 3Δ 3-παραμετρικό  μοντέλο Helmert."));
    QCOMPARE(p.window.findChild<QLabel*>("Label14")->text(),
             QString("Σημ. Αυτή η έκδοση εφαρμόζεται  MONO για την περιοχή του Καστελόριζου."));
    QCOMPARE(p.Text("Text17"), QString("Input file  : GGRS87-KAST-SENh.txt"));
    QCOMPARE(p.Text("Text12"), QString("Output file : HTRS07-KAST-SENK.txt"));
    QCOMPARE(p.Text("Text9"), QString("Output file: HTRS07-KAST-SXYZ.txt"));
    QCOMPARE(p.Button("Command6")->toolTip(),
             QString("VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0_HELP.pdf"));
  }

  void initialStepLoadsTheGridsThroughItsTwoDialogs() {
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    QCOMPARE(p.platform.dialogs.size(), std::size_t{2});
    QCOMPARE(p.platform.dialogs[0].title, std::string("Input N-correction grid"));
    QCOMPARE(p.platform.dialogs[0].presetName, std::string("dN_2km_V1-0.grd"));
    QCOMPARE(p.platform.dialogs[1].title, std::string("Input E-correction grid"));
    QCOMPARE(p.platform.dialogs[1].presetName, std::string("dE_2km_V1-0.grd"));
    const std::pair<const char*, const char*> expected[] = {
        {"Text45", "203.437"},  {"Text46", "-73.461"},     {"Text47", "-243.594"},
        {"Text48", "-.170"},    {"Text49", "-.060"},       {"Text50", "-.151"},
        {"Text51", "-.000000294"}, {"Text14", "408"},      {"Text15", "422"},
        {"Text1", "2000."},     {"Text2", "1846000."},     {"Text3", "42000."},
        {"Text4", "2660000."},  {"Text5", "884000."},
    };
    for (const auto& [name, text] : expected) {
      QCOMPARE(p.Text(name), QString(text));
      QVERIFY2(!p.Enabled(name), name);
    }
    QCOMPARE(p.Text("Text6").toStdString(), kDnGrid);
    QCOMPARE(p.Text("Text7").toStdString(), kDeGrid);
    QCOMPARE(p.EnabledButtons(), (std::set<QString>{"Command1", "Command2", "Command3",
                                                    "Command4", "Command5", "Command6"}));
    QCOMPARE(p.platform.messages.size(), std::size_t{1});
  }

  void aGridThatCannotBeLoadedIsReportedAndTheGridJobsStayDisabled() {
    QTemporaryDir dir;
    const QString bad = dir.filePath("dE_2km_V1-0.grd");
    WriteFile(bad, "408\r\n422\r\n2000\r\n1846000\r\n");  // ends inside the header
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(bad.toStdString());
    p.Click("Command3");
    QCOMPARE(p.platform.messages.size(), std::size_t{2});
    const std::string& text = p.platform.messages[1].text;
    QVERIFY2(text.find(bad.toStdString()) != std::string::npos, text.c_str());
    QCOMPARE(p.EnabledButtons(),
             (std::set<QString>{"Command3", "Command4", "Command5", "Command6"}));
    QCOMPARE(p.Text("Text14"), QString("γραμμές"));
  }

  void kastelorizoInitialStepShowsThreeTranslationsWithoutReadingAFile() {
    Program p(true);
    p.Click("Command3");
    QVERIFY(p.platform.dialogs.empty());
    QCOMPARE(p.platform.messages.size(), std::size_t{1});
    QCOMPARE(p.Text("Text45"), QString("-5.020"));
    QCOMPARE(p.Text("Text46"), QString("-19.885"));
    QCOMPARE(p.Text("Text47"), QString("-12.244"));
    QVERIFY(!p.Enabled("Text45") && !p.Enabled("Text46") && !p.Enabled("Text47"));
    QCOMPARE(p.EnabledButtons().size(), std::size_t{6});
  }

  void aJobRunsThroughItsDialogsAndWritesItsFiles() {
    QTemporaryDir dir;
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    const QString ref = kReference + "/mainland/";
    p.platform.Answer((ref + "HTRS07-SXYZ.txt").toStdString());
    const char* outputs[] = {"HTRS07-SFLh.txt", "HTRS07-SENk.txt", "GGRS87-SFL.txt",
                             "GGRS87-SEN.txt"};
    for (const char* name : outputs) p.platform.Answer(dir.filePath(name).toStdString());
    QVERIFY(p.RunJob("Command2"));

    QCOMPARE(p.Text("Text10"), ref + "HTRS07-SXYZ.txt");
    QCOMPARE(p.Text("Text11"), dir.filePath("HTRS07-SFLh.txt"));
    QCOMPARE(p.Text("Text12"), dir.filePath("HTRS07-SENk.txt"));
    QCOMPARE(p.Text("Text13"), dir.filePath("GGRS87-SFL.txt"));
    QCOMPARE(p.Text("Text16"), dir.filePath("GGRS87-SEN.txt"));
    for (const char* name : outputs) {
      const std::string expected = ReadFile(ref + "expected-sxyz-to-ggrs87." + name);
      QVERIFY(!expected.empty());
      QVERIFY2(ReadFile(dir.filePath(name)) == expected, name);
    }
    QVERIFY2(p.Status().startsWith("Ολοκληρώθηκε: 300 σημεία γράφτηκαν στα HTRS07-SFLh.txt, ") &&
                 p.Status().contains("\nDone: 300 points written to HTRS07-SFLh.txt, "),
             qPrintable(p.Status()));
    QCOMPARE(p.platform.messages.size(), std::size_t{1});
    QCOMPARE(p.EnabledButtons().size(), std::size_t{6});
  }

  void aKastelorizoJobWritesItsFiles() {
    QTemporaryDir dir;
    Program p(true);
    p.Click("Command3");
    const QString ref = kReference + "/kastelorizo/";
    p.platform.Answer((ref + "GGRS87-KAST-SENh.txt").toStdString());
    const char* outputs[] = {"GGRS87-KAST-SFLh.txt", "HTRS07-KAST-SFL.txt",
                             "HTRS07-KAST-SEN.txt"};
    for (const char* name : outputs) p.platform.Answer(dir.filePath(name).toStdString());
    QVERIFY(p.RunJob("Command1"));
    QCOMPARE(p.platform.dialogs[0].presetName, std::string("GGRS87-KAST-SENh.txt"));
    for (const char* name : outputs) {
      QVERIFY2(ReadFile(dir.filePath(name)) == ReadFile(ref + "expected-senh-to-htrs07." + name),
               name);
    }
    QCOMPARE(p.Text("Text20"), dir.filePath("HTRS07-KAST-SEN.txt"));
  }

  void cancelInAJobDialogOpensAndWritesNothing() {
    QTemporaryDir dir;
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    p.platform.Answer((kReference + "/mainland/GGRS87-SENh.txt").toStdString());
    p.platform.Answer(dir.filePath("a.txt").toStdString());
    p.platform.Answer(std::nullopt);
    QVERIFY(p.RunJob("Command1"));
    QCOMPARE(p.platform.dialogs.size(), std::size_t{2 + 3});
    QVERIFY(!p.window.jobRunning());
    QVERIFY(QDir(dir.path()).isEmpty());
    QCOMPARE(p.Text("Text17"), QString("Input file  : GGRS87-SENh.txt"));
    QCOMPARE(p.Text("Text18"), QString("Output file : GGRS87-SFLh.txt"));
    QVERIFY2(p.Status().contains("cancelled"), qPrintable(p.Status()));
    QCOMPARE(p.platform.messages.size(), std::size_t{1});
  }

  void aPointOutsideTheGridIsNamedAndTheWindowGoesOn() {
    QTemporaryDir dir;
    WriteFile(dir.filePath("in.txt"),
              "P1,466591.820,4258474.289,593.998\r\n\"FAR, WEST\",20000.000,4258474.289,1.0\r\n");
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    p.platform.Answer(dir.filePath("in.txt").toStdString());
    for (const char* name : {"sflh.txt", "sfl.txt", "sen.txt"}) {
      p.platform.Answer(dir.filePath(name).toStdString());
    }
    QVERIFY(p.RunJob("Command1"));
    QCOMPARE(p.platform.messages.size(), std::size_t{2});
    const auto& m = p.platform.messages[1];
    QCOMPARE(m.title, std::string("Λανθασμένη Επιλογή Σημείου"));
    QCOMPARE(m.text, std::string("Το σημείο είναι εκτός του καννάβου : FAR, WEST"));
    QCOMPARE(m.icon, vortan::MessageIcon::kInformation);
    QCOMPARE(m.buttons, vortan::MessageButtons::kOkCancel);
    QVERIFY(p.Status().contains("FAR, WEST"));
    // The window is still there and runs the next job.
    QCOMPARE(p.EnabledButtons().size(), std::size_t{6});
    p.platform.Answer((kReference + "/mainland/GGRS87-SFLh.txt").toStdString());
    p.platform.Answer(dir.filePath("senh.txt").toStdString());
    QVERIFY(p.RunJob("Command5"));
    QCOMPARE(ReadFile(dir.filePath("senh.txt")),
             ReadFile(kReference + "/mainland/expected-sflh-to-senh.GGRS87-SENh.txt"));
  }

  // The input is a pipe that the test fills only after pressing Cancel in the progress
  // dialog, so that the job sees the cancel before its first point, whatever the timing.
  void cancelInTheProgressDialogStopsTheJobAndClosesItsFiles() {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("in.txt");
    QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    p.platform.Answer(pipe.toStdString());
    p.platform.Answer(dir.filePath("out.txt").toStdString());
    QSignalSpy finished(&p.window, &DataFileWindow::jobFinished);
    p.Click("Command5");
    QVERIFY(p.window.jobRunning());
    auto* progress = p.window.findChild<QProgressDialog*>("JobProgress");
    QVERIFY(progress);
    QPushButton* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel);
    cancel->click();
    {
      std::ofstream in(pipe.toStdString(), std::ios::binary);
      for (int i = 0; i < 100; ++i) in << "P" << i << ",380000.00000,240000.00000,1.5\r\n";
    }
    QVERIFY(finished.wait(60000));
    QVERIFY(!p.window.jobRunning());
    QVERIFY2(p.Status().endsWith("\nCancelled before point P0 (in.txt, line 1). 0 lines in out.txt."),
             qPrintable(p.Status()));
    QVERIFY(QFileInfo::exists(dir.filePath("out.txt")));
    QCOMPARE(ReadFile(dir.filePath("out.txt")), std::string());
    QCOMPARE(p.platform.messages.size(), std::size_t{1});
    // Hidden at the end of the job, deleted once the event loop runs.
    QVERIFY(!p.window.findChild<QProgressDialog*>("JobProgress")->isVisible());
    QTRY_VERIFY(!p.window.findChild<QProgressDialog*>("JobProgress"));
  }

  // SIGTERM (a shutdown) stops a running job as Cancel does, after its current point with
  // complete lines, and the window is then ready to close, with no message for anyone.
  void aTerminationSignalStopsTheJobWithCompleteLinesBeforeTheProgramEnds() {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("in.txt");
    QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
    Program p;
    int stoppedBy = 0;
    StopOnTerminationSignals(&p.window, [&](int signo) {
      stoppedBy = signo;
      p.window.StopAndClose();
    });
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    p.platform.Answer(pipe.toStdString());
    p.platform.Answer(dir.filePath("out.txt").toStdString());
    QSignalSpy ready(&p.window, &DataFileWindow::readyToClose);
    QSignalSpy finished(&p.window, &DataFileWindow::jobFinished);
    p.Click("Command5");
    QVERIFY(p.window.jobRunning());
    const std::size_t messages = p.platform.messages.size();
    // The job closes the pipe when it stops: what is written after that is refused, not fatal.
    ::signal(SIGPIPE, SIG_IGN);
    const std::string fifo = pipe.toStdString();
    std::thread feed([fifo] {
      std::ofstream in(fifo, std::ios::binary);
      for (int i = 0; in && i < 10000000; ++i) {
        in << "P" << i << ",380000.00000,240000.00000,1.5\r\n";
      }
    });
    // A failed check leaves the feed to end when the job closes the pipe.
    struct Detach {
      std::thread& thread;
      ~Detach() {
        if (thread.joinable()) thread.detach();
      }
    } detach{feed};
    // The signal comes once the job has written lines.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.filePath("out.txt")).size() > 0, 20000);
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(stoppedBy, SIGTERM, 10000);
    QVERIFY(ready.count() == 1 || ready.wait(60000));
    feed.join();
    QVERIFY(!p.window.jobRunning());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(p.platform.messages.size(), messages);
    const std::string out = ReadFile(dir.filePath("out.txt"));
    QVERIFY(out.size() > 2 && out.substr(out.size() - 2) == "\r\n");
    QVERIFY(std::count(out.begin(), out.end(), '\n') < 10000000);
  }

  // The end of a job is safe whatever the order of its events: progress before and after the
  // dialog appears, a burst of progress with the end right behind it while the window is busy,
  // a cancel between them, progress of a job that has ended. Each order runs many times, and
  // the window tells how the job ended every time. The steps: p progress, e the end, S until
  // the dialog shows, B a burst and the end while the window is busy, C Cancel in the dialog,
  // L progress of the ended job, then the next job.
  void theEndOfAJobIsSafeInEveryOrderOfItsEvents_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("runs");
    QTest::newRow("the end before the dialog shows") << "e" << 40;
    QTest::newRow("progress, then the end, before the dialog shows") << "ppe" << 40;
    QTest::newRow("a burst and the end, before the dialog shows") << "pB" << 40;
    QTest::newRow("the dialog shows, a burst and the end") << "pSB" << 8;
    QTest::newRow("the dialog shows, progress, the end") << "pSpe" << 5;
    QTest::newRow("the dialog shows, cancel, progress, the end") << "SCpe" << 5;
    QTest::newRow("the dialog shows, cancel, a burst and the end") << "SCB" << 5;
    QTest::newRow("progress of the ended job in the next one") << "peL" << 20;
  }
  void theEndOfAJobIsSafeInEveryOrderOfItsEvents() {
    QFETCH(QString, order);
    QFETCH(int, runs);
    QTemporaryDir dir;
    Program p(true);
    ScriptedJob job;
    p.window.setJobRunner(job.Runner());
    p.Click("Command3");
    const bool cancelled = order.contains('C');
    for (int run = 0; run < runs; ++run) {
      QSignalSpy finished(&p.window, &DataFileWindow::jobFinished);
      p.AnswerJobFiles(dir, 1);
      p.Click("Command5");
      QVERIFY(p.window.jobRunning());
      QPointer<QProgressDialog> dialog = p.window.findChild<QProgressDialog*>("JobProgress");
      QVERIFY(dialog);
      for (const QChar step : order) {
        switch (step.toLatin1()) {
          case 'p':
            job.Command('p');
            break;
          case 'e':
            job.Command('e');
            QVERIFY(finished.wait(20000));
            break;
          case 'S':
            QTRY_VERIFY_WITH_TIMEOUT(dialog && dialog->isVisible(), 10000);
            break;
          case 'B':
            job.BurstWhileTheWindowIsBusy();
            QVERIFY(finished.wait(20000));
            break;
          case 'C':
            dialog->findChild<QPushButton*>()->click();
            break;
          case 'L': {
            QTRY_VERIFY(!dialog);
            job.LateProgress();
            p.AnswerJobFiles(dir, 1);
            p.Click("Command5");
            auto* next = p.window.findChild<QProgressDialog*>("JobProgress");
            QVERIFY(next);
            QTest::qWait(10);
            QCOMPARE(next->labelText(), QString("Υπολογίστηκαν 0 σημεία\n0 points done"));
            QCOMPARE(next->findChild<QProgressBar*>()->value(), 0);
            job.Command('e');
            QVERIFY(finished.wait(20000));
            break;
          }
        }
      }
      QCOMPARE(finished.count(), order.contains('L') ? 2 : 1);
      QVERIFY(!p.window.jobRunning());
      const QString english = p.Status().section('\n', 1);
      QVERIFY2(english.startsWith(cancelled ? "Cancelled before point" : "Done: "),
               qPrintable(p.Status()));
      QTRY_VERIFY(!p.window.findChild<QProgressDialog*>("JobProgress"));
      QVERIFY(p.Enabled("Command5") && p.Enabled("Command2"));
    }
    QCOMPARE(p.platform.messages.size(), std::size_t{1});
  }

  void anErrorInTheInputIsShownWithFileLineAndField() {
    QTemporaryDir dir;
    WriteFile(dir.filePath("in.txt"), "A,4382064.771,2023782.319,4155326.131\r\nB,1e999,0,0\r\n");
    Program p(true);
    p.Click("Command3");
    p.platform.Answer(dir.filePath("in.txt").toStdString());
    for (const char* name : {"a", "b", "c", "d"}) {
      p.platform.Answer(dir.filePath(name).toStdString());
    }
    QVERIFY(p.RunJob("Command2"));
    QCOMPARE(p.platform.messages.size(), std::size_t{2});
    const std::string& text = p.platform.messages[1].text;
    const std::string where = dir.filePath("in.txt").toStdString() + ", line 2, field X";
    QVERIFY2(text.find(where) != std::string::npos, text.c_str());
    QVERIFY2(p.Status().endsWith("1 line in each of a, b, c and d."), qPrintable(p.Status()));
  }

  void helpOpensTheManualBesideTheProgramOrNamesIt() {
    QTemporaryDir dir;
    Program p;
    p.platform.programFolder = dir.path().toStdString();
    p.Click("Command6");
    QCOMPARE(p.platform.messages.size(), std::size_t{2});
    QCOMPARE(p.platform.messages[1].title, std::string("Αρχείο Βοήθειας - Help File"));
    QVERIFY(p.platform.messages[1].text.find("VORTAN_TRANSFORM_Data-Files_V1-0_HELP.pdf") !=
            std::string::npos);
    WriteFile(dir.filePath("VORTAN_TRANSFORM_Data-Files_V1-0_HELP.pdf"), "%PDF-1.4\n");
    p.Click("Command6");
    QCOMPARE(p.platform.opened.size(), std::size_t{1});
    QCOMPARE(p.platform.messages.size(), std::size_t{2});
  }

  // After a stop at a point outside the grid, the status line counts the lines of each output,
  // Greek line then English line; the next action replaces it.
  void theStatusAfterAStopCountsTheLinesOfEachFile_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QString>("status");
    QTest::newRow("step 5") << "Command1"
                            << "P1,466591.820,4258474.289,593.998\r\nFAR,20000.000,4258474.289,1\r\n"
                            << QStringList{"sflh.txt", "sfl.txt", "sen.txt"}
                            << "Η εργασία σταμάτησε στο σημείο FAR (in.txt, γραμμή 2), που είναι "
                               "εκτός του καννάβου. Γραμμές στα αρχεία εξόδου: sflh.txt 2 γραμμές "
                               "(με τη γραμμή του FAR), sfl.txt 1 γραμμή και sen.txt 1 γραμμή.\n"
                               "The job stopped at the point FAR (in.txt, line 2), which lies "
                               "outside the correction grid. Lines in the output files: sflh.txt 2 "
                               "lines (with the line of FAR), sfl.txt 1 line and sen.txt 1 line.";
    QTest::newRow("step 3") << "Command2"
                            << "P1,4382064.771,2023782.319,4155326.131\r\n"
                               "FAR,4483880.358,2546197.179,3741457.925\r\n"
                            << QStringList{"a.txt", "b.txt", "c.txt", "d.txt"}
                            << "Η εργασία σταμάτησε στο σημείο FAR (in.txt, γραμμή 2), που είναι "
                               "εκτός του καννάβου. Γραμμές στα αρχεία εξόδου: a.txt 2 γραμμές (με "
                               "τη γραμμή του FAR), b.txt 2 γραμμές (με τη γραμμή του FAR), c.txt 1 "
                               "γραμμή και d.txt 1 γραμμή.\n"
                               "The job stopped at the point FAR (in.txt, line 2), which lies "
                               "outside the correction grid. Lines in the output files: a.txt 2 "
                               "lines (with the line of FAR), b.txt 2 lines (with the line of FAR), "
                               "c.txt 1 line and d.txt 1 line.";
  }
  void theStatusAfterAStopCountsTheLinesOfEachFile() {
    QFETCH(QString, button);
    QFETCH(QString, input);
    QFETCH(QStringList, outputs);
    QFETCH(QString, status);
    QTemporaryDir dir;
    WriteFile(dir.filePath("in.txt"), input.toStdString());
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    p.platform.Answer(dir.filePath("in.txt").toStdString());
    for (const QString& name : outputs) p.platform.Answer(dir.filePath(name).toStdString());
    QVERIFY(p.RunJob(qPrintable(button)));
    QCOMPARE(p.Status(), status);
    // The counts are the files' own.
    for (qsizetype k = 0; k < outputs.size(); ++k) {
      const std::string text = ReadFile(dir.filePath(outputs[k]));
      const bool holdsFar = status.contains(outputs[k] + " 2 lines");
      QCOMPARE(std::count(text.begin(), text.end(), '\n'), holdsFar ? 2 : 1);
    }
    // A new action replaces the old status: a cancelled reload of the grids.
    p.platform.Answer(std::nullopt);
    p.Click("Command3");
    QVERIFY2(!p.Status().contains("FAR"), qPrintable(p.Status()));
    QVERIFY2(p.Status().endsWith("the grids loaded before stay in force."), qPrintable(p.Status()));
  }

  void aFailedGridReloadLeavesNoStaleGridAndACancelledFirstDialogSaysSo() {
    QTemporaryDir dir;
    Program p;
    p.platform.Answer(std::nullopt);
    p.Click("Command3");
    QVERIFY2(p.Status().contains("\nNo dN grid was chosen: the grids are not loaded. Steps 2 "
                                 "and 4 are ready"),
             qPrintable(p.Status()));
    const std::set<QString> withoutGrids{"Command3", "Command4", "Command5", "Command6"};
    QCOMPARE(p.EnabledButtons(), withoutGrids);
    QCOMPARE(p.Text("Text45"), QString("203.437"));

    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    QCOMPARE(p.EnabledButtons().size(), std::size_t{6});
    QCOMPARE(p.Text("Text4"), QString("2660000."));

    const QString bad = dir.filePath("dE.grd");
    WriteFile(bad, "408\r\n422\r\n");
    p.platform.Answer(kDnGrid);
    p.platform.Answer(bad.toStdString());
    p.Click("Command3");
    QCOMPARE(p.platform.messages.size(), std::size_t{2});
    QCOMPARE(p.EnabledButtons(), withoutGrids);
    const std::pair<const char*, const char*> cleared[] = {
        {"Text14", "γραμμές"}, {"Text15", "στήλες"}, {"Text1", ""}, {"Text2", ""},
        {"Text3", ""},         {"Text4", ""},       {"Text5", ""},
    };
    for (const auto& [box, text] : cleared) QCOMPARE(p.Text(box), QString(text));
    QVERIFY2(p.Status().endsWith("\nThe grids were not loaded: steps 3 and 5 stay disabled."),
             qPrintable(p.Status()));
  }

  // The progress dialog names the job in words and counts in Greek and English; Qt's own
  // dialogs and buttons speak Greek with English.
  void jobsAndDialogsSpeakGreekWithEnglish() {
    vortan::InstallGreekTexts(*QCoreApplication::instance());
    QTemporaryDir dir;
    const QString pipe = dir.filePath("in.txt");
    QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
    Program p;
    p.platform.Answer(kDnGrid);
    p.platform.Answer(kDeGrid);
    p.Click("Command3");
    p.platform.Answer(pipe.toStdString());
    p.platform.Answer(dir.filePath("out.txt").toStdString());
    QSignalSpy finished(&p.window, &DataFileWindow::jobFinished);
    p.Click("Command5");
    auto* progress = p.window.findChild<QProgressDialog*>("JobProgress");
    QVERIFY(progress);
    QCOMPARE(progress->windowTitle(),
             QString("Βήμα 4: ΕΓΣΑ87 (φ,λ,h) σε (E,N,h) - Step 4: GGRS87 (φ,λ,h) to (E,N,h)"));
    QCOMPARE(progress->labelText(), QString("Υπολογίστηκαν 0 σημεία\n0 points done"));
    QPushButton* cancel = progress->findChild<QPushButton*>();
    QCOMPARE(cancel->text(), QString("Άκυρο / Cancel"));
    cancel->click();
    QCOMPARE(progress->labelText(),
             QString("Ακύρωση μετά το τρέχον σημείο...\nCancelling after the current point..."));
    { std::ofstream in(pipe.toStdString(), std::ios::binary); }
    QVERIFY(finished.wait(60000));

    QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Άκυρο / Cancel"));

    // A real save dialog: its labels and buttons, then the bilingual replace question.
    WriteFile(dir.filePath("old.txt"), "x");
    vortan::QtPlatform qt;
    QStringList seen;
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      seen << dialog->findChild<QLabel*>("lookInLabel")->text()
           << dialog->findChild<QLabel*>("fileNameLabel")->text()
           << dialog->findChild<QLabel*>("fileTypeLabel")->text();
      auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
      seen << buttons->button(QDialogButtonBox::Save)->text()
           << buttons->button(QDialogButtonBox::Cancel)->text();
      QTimer::singleShot(50, [&] {
        auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(question && question->objectName() == "ReplaceQuestion");
        seen << question->text() << question->button(QMessageBox::No)->text();
        question->button(QMessageBox::No)->click();
        QTimer::singleShot(50, [&] {
          if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) d->reject();
        });
      });
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("old.txt");
      buttons->button(QDialogButtonBox::Save)->click();
    });
    const auto chosen = qt.SaveFileDialog(
        {"Output GGRS87 (E,N,h) coordinate file", "Text files *.txt(*.txt)|*.txt",
         "GGRS87-SENh.txt", dir.path().toStdString(), {}});
    QVERIFY(!chosen);
    const QString old = QDir::toNativeSeparators(dir.filePath("old.txt"));
    QCOMPARE(seen, (QStringList{"Φάκελος / Look in:", "Όνομα &αρχείου / File name:",
                                "Τύπος αρχείων / Files of type:", "&Αποθήκευση / Save",
                                "Άκυρο / Cancel",
                                "Το αρχείο " + old + " υπάρχει ήδη. Να αντικατασταθεί;\n\n"
                                "The file " + old + " already exists. Do you want to replace it?",
                                "Ό&χι / No"}));
  }

  // A window smaller than its form scrolls instead of running off the screen, and a larger one
  // gives its width to the boxes.
  void theWindowFitsItsScreenAndItsBoxesGrowWithIt() {
    for (bool kast : {false, true}) {
      Program p(kast);
      p.window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&p.window));
      vortan::support::VerifyFitsScrollsAndGrows(
          p.window, p.window.scrollArea(),
          {p.window.findChild<QLineEdit*>("Text45"), p.window.findChild<QLineEdit*>("Text17")},
          kast ? "kastelorizo" : "mainland");
      if (QTest::currentTestFailed()) return;
    }
  }

  // On a 1366 x 768 screen the window opens within it, and the longest statuses it writes (an
  // error in the input with the reader's longest reason, a stop outside the grid with the lines
  // of four outputs) show whole, without scrolling, at the opening size.
  void theLongestStatusShowsWholeAtTheOpeningSize() {
    if (QGuiApplication::primaryScreen()->size() != QSize(1366, 768)) {
      QSKIP("needs the 1366 x 768 screen of the data_file_window_1366x768 test");
    }
    for (bool kast : {false, true}) {
      QTemporaryDir dir;
      // Decimal commas from a Greek spreadsheet on the second line.
      WriteFile(dir.filePath("HTRS07-SXYZ.txt"),
                "P1,4382064.771,2023782.319,4155326.131\r\n"
                "P2,4382064,771,2023782,319,4155326,131\r\n");
      const char* outputs[] = {"HTRS07-SFLh.txt", "HTRS07-SENk.txt", "GGRS87-SFL.txt",
                               "GGRS87-SEN.txt"};
      Program p(kast);
      p.window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&p.window));
      const QSize opened = p.window.size();
      const QRect screen = p.window.screen()->availableGeometry();
      qInfo("%s window %dx%d on %dx%d", kast ? "Kastelorizo" : "mainland", opened.width(),
            opened.height(), screen.width(), screen.height());
      // Whole, with its frame and title bar (48 pixels) and a taskbar of 40 beside it.
      QCOMPARE(opened, vortan::NaturalWindowSize(p.window.scrollArea()));
      QVERIFY(opened.width() <= screen.width() && opened.height() + 48 + 40 <= screen.height());
      if (!kast) {
        p.platform.Answer(kDnGrid);
        p.platform.Answer(kDeGrid);
      }
      p.Click("Command3");
      // The reader's own message for the line.
      auto answer = [&] {
        p.platform.Answer(dir.filePath("HTRS07-SXYZ.txt").toStdString());
        for (const char* name : outputs) p.platform.Answer(dir.filePath(name).toStdString());
      };
      answer();
      QVERIFY(p.RunJob("Command2"));
      QVERIFY2(p.Status().contains("Greek spreadsheet"), qPrintable(p.Status()));
      QStringList statuses;
      statuses << p.Status();
      // A stop outside the grid at a point of a file of millions, every output named.
      ScriptedJob job;
      job.outcome = [](const vortan::PreparedJob& prepared) {
        vortan::JobOutcome o;
        o.status = vortan::JobStatus::kOutsideGrid;
        o.pointId = "P2345678";
        o.file = prepared.input;
        o.line = 2345678;
        o.outputs = prepared.outputs;
        o.outputsCreated = true;
        o.pointsWritten = 2345677;
        o.linesWritten = {2345678, 2345678, 2345677, 2345677};
        return o;
      };
      p.window.setJobRunner(job.Runner());
      answer();
      QSignalSpy finished(&p.window, &DataFileWindow::jobFinished);
      p.Click("Command2");
      job.Command('e');
      QVERIFY(finished.wait(20000));
      QVERIFY2(p.Status().contains("(with the line of P2345678), GGRS87-SFL.txt 2345677 lines"),
               qPrintable(p.Status()));
      statuses << p.Status();

      auto* status = p.window.findChild<QLabel*>("StatusLine");
      QScrollArea* area = p.window.scrollArea();
      for (const QString& text : statuses) {
        // After a longer text, which scrolls, the bar goes again.
        status->setText(text + text);
        QTRY_VERIFY_WITH_TIMEOUT(area->verticalScrollBar()->isVisible(), 2000);
        status->setText(text);
        // The layout settles over posted events (a busy machine may take more than one pass).
        QCoreApplication::processEvents();
        QTRY_COMPARE_WITH_TIMEOUT(p.window.size(), opened, 2000);
        QTRY_VERIFY2_WITH_TIMEOUT(!area->verticalScrollBar()->isVisible(), qPrintable(text), 2000);
        QTRY_VERIFY2_WITH_TIMEOUT(!area->horizontalScrollBar()->isVisible(), qPrintable(text),
                                  2000);
        // The height the text needs, without the room the panel keeps.
        QLabel measure;
        measure.setTextInteractionFlags(status->textInteractionFlags());
        measure.setAlignment(status->alignment());
        measure.setText(text);
        measure.setFont(status->font());
        measure.setWordWrap(true);
        measure.setFrameShape(status->frameShape());
        measure.setMargin(status->margin());
        const int needed = measure.heightForWidth(status->width());
        qInfo("status of %d characters: %d of %d pixels, width %d", int(text.size()), needed,
              status->height(), status->width());
        QVERIFY2(status->height() >= needed, qPrintable(text));
        const QRect shown(status->mapTo(&p.window, QPoint(0, 0)), status->size());
        QVERIFY(p.window.rect().contains(shown));
      }
    }
  }

  void bothRegionsShowTheLogosOfAllFourProgramsAndTheProgramIcon() {
    for (bool kast : {false, true}) {
      Program p(kast);
      QCOMPARE(p.window.findChild<QLabel*>("Image1")->pixmap().toImage(),
               vortan::GlobeLogo(64).toImage());
      QCOMPARE(p.window.findChild<QLabel*>("Image2")->pixmap().toImage(),
               vortan::SurveyLogo(64).toImage());
      QVERIFY(!p.window.windowIcon().isNull());
    }
  }
};

QTEST_MAIN(DataFileWindowTest)
#include "window_test.moc"
