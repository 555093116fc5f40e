#include "programs/qt_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QUrl>

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

}  // namespace

std::string QtFilterOf(const std::string& filter) {
  const QStringList parts = Q(filter).split(QLatin1Char('|'));
  if (parts.size() < 2) return filter;
  QStringList qt;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    qt << parts[i] + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
  }
  return qt.join(QStringLiteral(";;")).toStdString();
}

QtPlatform::QtPlatform(QWidget* parent) : parent_(parent) {}

void QtPlatform::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                             MessageButtons buttons) {
  QMessageBox box(IconOf(icon), Q(title), MessageText(text),
                  buttons == MessageButtons::kOkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                       : QMessageBox::Ok,
                  parent_);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

std::optional<std::string> QtPlatform::OpenFileDialog(const std::string& title,
                                                      const std::string& filter,
                                                      const std::string& presetName) {
  const QString path =
      QFileDialog::getOpenFileName(parent_, Q(title), Q(presetName), Q(QtFilterOf(filter)));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> QtPlatform::SaveFileDialog(const std::string& title,
                                                      const std::string& filter,
                                                      const std::string& presetName) {
  // QFileDialog asks before replacing an existing file unless told otherwise.
  const QString path =
      QFileDialog::getSaveFileName(parent_, Q(title), Q(presetName), Q(QtFilterOf(filter)));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

void QtPlatform::OpenDocument(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)));
}

std::string QtPlatform::ProgramFolder() {
  return QCoreApplication::applicationDirPath().toStdString();
}

}  // namespace vortan
