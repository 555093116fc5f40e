#include "programs/qt_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QListView>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardPaths>
#include <QString>
#include <QTranslator>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <cstring>

namespace vortan {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Message texts carry CR LF line breaks; Qt wants LF alone.
QString MessageText(const std::string& text) {
  QString q = Q(text);
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return q;
}

QMessageBox::Icon IconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kCritical:
      return QMessageBox::Critical;
  }
  return QMessageBox::Information;
}

constexpr const char* kAllFiles = "All files (*)";

// The file dialog's size in average characters and lines, within the screen.
constexpr int kDialogChars = 160;
constexpr int kDialogLines = 34;

// A launcher that fails does so at once; a non-zero end later on is the viewer's own.
constexpr qint64 kLaunchFailureWindowMs = 10000;

// Qt's file dialog with the checks of the request: a refused path keeps the dialog open, and
// an existing file is replaced only after a question in Greek and English.
class CheckingFileDialog : public QFileDialog {
 public:
  CheckingFileDialog(QWidget* parent, const FileDialogRequest& request, bool save)
      : QFileDialog(parent, Q(request.title)), request_(request), save_(save) {
    setObjectName(QStringLiteral("FileDialog"));
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::DontConfirmOverwrite);
    setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    setViewMode(QFileDialog::Detail);
    setNameFilters(Q(DialogFilterOf(request.filter)).split(QStringLiteral(";;")));
    setDirectory(request.folder.empty() ? QDir::currentPath() : Q(request.folder));
    selectFile(Q(request.presetName));
  }

 protected:
  // Qt's dialog sets its own size when it is shown: the size is set after that.
  void showEvent(QShowEvent* event) override {
    QFileDialog::showEvent(event);
    if (!sized_) {
      sized_ = true;
      FitColumns();
    }
  }

 public:
  void accept() override {
    const QStringList files = selectedFiles();
    if (save_ && !files.isEmpty() && !QFileInfo(files.front()).isDir()) {
      const QString path = files.front();
      if (request_.refuse) {
        if (const std::optional<Refusal> refusal = request_.refuse(path.toStdString())) {
          QMessageBox box(QMessageBox::Warning, Q(refusal->title), MessageText(refusal->text),
                          QMessageBox::Ok, this);
          box.setObjectName(QStringLiteral("RefusalMessage"));
          box.exec();
          return;
        }
      }
      if (QFileInfo::exists(path) && !ReplaceConfirmed(path)) return;
    }
    QFileDialog::accept();
  }

 private:
  // Large enough that the places and the name, size, type and date of each file can be read,
  // within the screen.
  void FitColumns() {
    const QFontMetrics metrics(font());
    QSize size(metrics.averageCharWidth() * kDialogChars, metrics.lineSpacing() * kDialogLines);
    if (const QScreen* screen = parentWidget() ? parentWidget()->screen() : QWidget::screen()) {
      size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    resize(size.expandedTo(minimumSizeHint()));
    // Centred on the window, now that the size is known.
    if (parentWidget() != nullptr) {
      move(parentWidget()->window()->geometry().center() - rect().center());
    }
    // The list of places as wide as its longest entry ("Υπολογιστής / Computer"), the files
    // the rest; on a small screen the files keep three quarters of the width.
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"))) {
      int places = width() / 5;
      if (auto* sidebar = findChild<QListView*>(QStringLiteral("sidebar"))) {
        places = std::max(places, sidebar->sizeHintForColumn(0) + 2 * sidebar->frameWidth() +
                                      sidebar->verticalScrollBar()->sizeHint().width());
      }
      places = std::min(places, width() / 4);
      splitter->setSizes({places, width() - places});
    }
    if (auto* view = findChild<QTreeView*>(QStringLiteral("treeView"))) {
      QHeaderView* header = view->header();
      header->setStretchLastSection(false);
      header->setSectionResizeMode(0, QHeaderView::Stretch);
      for (int column = 1; column < header->count(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
      }
    }
  }

  bool ReplaceConfirmed(const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Αντικατάσταση αρχείου - Replace file"),
                    QStringLiteral("Το αρχείο %1 υπάρχει ήδη. Να αντικατασταθεί;\n\n"
                                   "The file %1 already exists. Do you want to replace it?")
                        .arg(name),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("ReplaceQuestion"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  }

  const FileDialogRequest& request_;
  bool save_;
  bool sized_ = false;
};

// Qt's texts of its standard dialogs and buttons, in Greek with the English after them.
struct QtText {
  const char* context;
  const char* source;
  const char* text;
};

constexpr QtText kGreekTexts[] = {
    {"QFileDialog", "Look in:", "Φάκελος / Look in:"},
    {"QFileDialog", "File &name:", "Όνομα &αρχείου / File name:"},
    {"QFileDialog", "Files of type:", "Τύπος αρχείων / Files of type:"},
    {"QFileDialog", "&Open", "&Άνοιγμα / Open"},
    {"QFileDialog", "&Save", "&Αποθήκευση / Save"},
    {"QFileDialog", "&Choose", "&Επιλογή / Choose"},
    {"QFileDialog", "Back", "Πίσω / Back"},
    {"QFileDialog", "Forward", "Εμπρός / Forward"},
    {"QFileDialog", "Parent Directory", "Γονικός φάκελος / Parent folder"},
    {"QFileDialog", "Create New Folder", "Νέος φάκελος / New folder"},
    {"QFileDialog", "List View", "Λίστα / List"},
    {"QFileDialog", "Detail View", "Λεπτομέρειες / Details"},
    {"QFileDialog", "Go back", "Πίσω / Go back"},
    {"QFileDialog", "Go forward", "Εμπρός / Go forward"},
    {"QFileDialog", "Go to the parent directory", "Στον γονικό φάκελο / Go to the parent folder"},
    {"QFileDialog", "Create a New Folder", "Νέος φάκελος / Create a new folder"},
    {"QFileDialog", "Change to list view mode", "Προβολή λίστας / List view"},
    {"QFileDialog", "Change to detail view mode", "Προβολή λεπτομερειών / Detail view"},
    {"QFileDialog", "&New Folder", "&Νέος φάκελος / New folder"},
    {"QFileDialog", "&Delete", "&Διαγραφή / Delete"},
    {"QFileDialog", "&Rename", "&Μετονομασία / Rename"},
    {"QFileDialog", "Show &hidden files", "Εμφάνιση &κρυφών αρχείων / Show hidden files"},
    {"QFileDialog", "Recent Places", "Πρόσφατοι φάκελοι / Recent places"},
    {"QFileDialog", "My Computer", "Υπολογιστής / Computer"},
    // The name of a folder the dialog creates: no "/" in it.
    {"QFileDialog", "New Folder", "Νέος φάκελος"},
    {"QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.",
     "%1\nΤο αρχείο δεν βρέθηκε. Ελέγξτε το όνομα του αρχείου.\n\n"
     "File not found. Please verify the correct file name was given."},
    {"QFileDialog", "%1\nDirectory not found.\nPlease verify the correct directory name was given.",
     "%1\nΟ φάκελος δεν βρέθηκε. Ελέγξτε το όνομα του φακέλου.\n\n"
     "Directory not found. Please verify the correct directory name was given."},
    {"QFileDialog", "%1 already exists.\nDo you want to replace it?",
     "Το αρχείο %1 υπάρχει ήδη. Να αντικατασταθεί;\n\n"
     "%1 already exists. Do you want to replace it?"},
    {"QFileDialog", "Are you sure you want to delete '%1'?",
     "Να διαγραφεί το '%1';\n\nAre you sure you want to delete '%1'?"},
    {"QFileDialog", "'%1' is write protected.\nDo you want to delete it anyway?",
     "Το '%1' προστατεύεται από εγγραφή. Να διαγραφεί παρ' όλα αυτά;\n\n"
     "'%1' is write protected. Do you want to delete it anyway?"},
    {"QFileDialog", "Could not delete directory.",
     "Ο φάκελος δεν διαγράφηκε.\n\nCould not delete directory."},
    {"QFileSystemModel", "Name", "Όνομα / Name"},
    {"QFileSystemModel", "Size", "Μέγεθος / Size"},
    {"QFileSystemModel", "Type", "Τύπος / Type"},
    {"QFileSystemModel", "Date Modified", "Τροποποίηση / Date modified"},
    {"QFileSystemModel", "Computer", "Υπολογιστής / Computer"},
    {"QFileSystemModel", "My Computer", "Υπολογιστής / Computer"},
    {"QAbstractFileIconProvider", "Folder", "Φάκελος / Folder"},
    {"QAbstractFileIconProvider", "Drive", "Δίσκος / Drive"},
    {"QAbstractFileIconProvider", "File", "Αρχείο / File"},
    {"QAbstractFileIconProvider", "%1 File", "Αρχείο %1 / %1 file"},
    {"QPlatformTheme", "Cancel", "Άκυρο / Cancel"},
    {"QPlatformTheme", "Open", "Άνοιγμα / Open"},
    {"QPlatformTheme", "Save", "Αποθήκευση / Save"},
    {"QPlatformTheme", "&Yes", "&Ναι / Yes"},
    {"QPlatformTheme", "&No", "Ό&χι / No"},
    {"QPlatformTheme", "Close", "Κλείσιμο / Close"},
    {"QProgressDialog", "Cancel", "Άκυρο / Cancel"},
    {"QLineEdit", "&Undo", "&Αναίρεση / Undo"},
    {"QLineEdit", "&Redo", "Ακύρωση α&ναίρεσης / Redo"},
    {"QLineEdit", "Cu&t", "Απο&κοπή / Cut"},
    {"QLineEdit", "&Copy", "Αντι&γραφή / Copy"},
    {"QLineEdit", "&Paste", "&Επικόλληση / Paste"},
    {"QLineEdit", "Delete", "Διαγραφή / Delete"},
    {"QLineEdit", "Select All", "Επιλογή όλων / Select all"},
    {"QAbstractSpinBox", "&Step up", "&Αύξηση / Step up"},
    {"QAbstractSpinBox", "Step &down", "&Μείωση / Step down"},
};

const char* Find(const char* context, const char* source) {
  if (context == nullptr || source == nullptr) return nullptr;
  for (const QtText& t : kGreekTexts) {
    if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, source) == 0) return t.text;
  }
  return nullptr;
}

class GreekTexts : public QTranslator {
 public:
  QString translate(const char* context, const char* sourceText, const char*,
                    int) const override {
    const char* text = Find(context, sourceText);
    return text != nullptr ? QString::fromUtf8(text) : QString();
  }
  bool isEmpty() const override { return false; }
};

}  // namespace

std::string QtFilterOf(const std::string& filter) {
  const QStringList parts = Q(filter).split(QLatin1Char('|'));
  if (parts.size() < 2) return filter;
  QStringList qt;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // "Text files *.txt(*.txt)" names its patterns itself; Qt adds them once more.
    QString description = parts[i].trimmed();
    const qsizetype own = description.indexOf(QRegularExpression(QStringLiteral("[*(]")));
    if (own > 0 && !description.left(own).trimmed().isEmpty()) {
      description = description.left(own).trimmed();
    }
    qt << description + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
  }
  return qt.join(QStringLiteral(";;")).toStdString();
}

std::string DialogFilterOf(const std::string& filter) {
  const std::string own = QtFilterOf(filter);
  if (own.find("(*)") != std::string::npos) return own;
  return own.empty() ? kAllFiles : own + ";;" + kAllFiles;
}

void InstallGreekTexts(QCoreApplication& app) {
  static GreekTexts texts;
  if (app.property("vortanGreekTexts").toBool()) return;
  app.installTranslator(&texts);
  app.setProperty("vortanGreekTexts", true);
}

QtPlatform::QtPlatform(QWidget* parent) : parent_(parent), launches_(std::make_unique<QObject>()) {}

QtPlatform::~QtPlatform() = default;

void QtPlatform::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                             MessageButtons buttons) {
  QMessageBox box(IconOf(icon), Q(title), MessageText(text),
                  buttons == MessageButtons::kOkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                       : QMessageBox::Ok,
                  parent_);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

std::optional<std::string> QtPlatform::FileDialog(const FileDialogRequest& request, bool save) {
  CheckingFileDialog dialog(parent_, request, save);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return files.front().toStdString();
}

std::optional<std::string> QtPlatform::OpenFileDialog(const FileDialogRequest& request) {
  return FileDialog(request, false);
}

std::optional<std::string> QtPlatform::SaveFileDialog(const FileDialogRequest& request) {
  return FileDialog(request, true);
}

void QtPlatform::OpenDocument(const std::string& path, std::function<void()> cannotOpen) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (!opener.isEmpty()) {
    auto* process = new QProcess(launches_.get());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(process, &QProcess::errorOccurred, launches_.get(),
                     [process, cannotOpen](QProcess::ProcessError error) {
                       if (error != QProcess::FailedToStart) return;
                       cannotOpen();
                       process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, launches_.get(),
                     [process, cannotOpen, started](int code, QProcess::ExitStatus status) {
                       const bool failed = status != QProcess::NormalExit || code != 0;
                       if (failed && started->elapsed() < kLaunchFailureWindowMs) cannotOpen();
                       process->deleteLater();
                     });
    process->start(opener, {Q(path)});
    return;
  }
#endif
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)))) cannotOpen();
}

std::string QtPlatform::ProgramFolder() {
  return QCoreApplication::applicationDirPath().toStdString();
}

}  // namespace vortan
