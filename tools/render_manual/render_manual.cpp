// Renders a help manual from its HTML sources into a PDF, at build time:
//
//   render_manual --program EXECUTABLE --output FILE.pdf [--css FILE.css] SOURCE.html...
//
// The sources are joined in the order given. Before they are joined, each source is adapted
// to the program's region and kind:
//   <!--if mainland--> ... <!--endif-->       kept only in the mainland manuals
//   <!--if kastelorizo--> ... <!--endif-->    kept only in the Kastelorizo manuals
//   <!--if single-point-->, <!--if data-files-->   likewise for the kind of program
//   (an <!--else--> may stand between an if and its endif; blocks may nest)
//   {{PROGRAM}}  the executable's name       {{HELP}}     the help file's name
//   {{CAPTION}}  the window caption          {{VERSION}}  the file version
//   {{KAST}}     "KAST-" on Kastelorizo, empty on the mainland
// Pictures (<img src="...">) are looked up relative to the source that names them; a picture
// that is missing is left out with a warning, so that a manual never fails on a screenshot.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

#include "app/programs.h"

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void Fail(const QString& message) {
  std::fprintf(stderr, "render_manual: %s\n", qPrintable(message));
  std::exit(1);
}

bool ReadText(const QString& path, QString& text) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  text = QString::fromUtf8(file.readAll());
  return true;
}

// Keeps the conditional blocks whose condition is one of the program's tags; blocks nest.
QString Select(const QString& source, const QStringList& tags, const QString& path) {
  static const QRegularExpression directive(
      QStringLiteral("<!--\\s*(if\\s+([a-z-]+)|else|endif)\\s*-->"));
  struct Block {
    bool outerKeeps;  // the text around the block is kept
    bool condition;
  };
  QList<Block> open;
  auto keeping = [&] {
    return open.isEmpty() || (open.back().outerKeeps && open.back().condition);
  };
  QString out;
  qsizetype pos = 0;
  auto it = directive.globalMatch(source);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    if (keeping()) out += source.mid(pos, m.capturedStart() - pos);
    pos = m.capturedEnd();
    const QString word = m.captured(1);
    if (word.startsWith(QStringLiteral("if"))) {
      open.append({keeping(), tags.contains(m.captured(2))});
    } else if (word == QStringLiteral("else")) {
      if (open.isEmpty()) Fail(path + ": <!--else--> outside a block");
      open.back().condition = !open.back().condition;
    } else {
      if (open.isEmpty()) Fail(path + ": <!--endif--> without <!--if-->");
      open.removeLast();
    }
  }
  if (!open.isEmpty()) Fail(path + ": <!--if--> without <!--endif-->");
  out += source.mid(pos);
  return out;
}

// Registers the pictures of a source with the document, or drops the missing ones.
QString AddPictures(QString html, const QString& folder, QTextDocument& document) {
  static const QRegularExpression img(QStringLiteral("<img[^>]*src=\"([^\"]+)\"[^>]*>"));
  auto it = img.globalMatch(html);
  QList<QRegularExpressionMatch> missing;
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    const QString name = m.captured(1);
    const QImage image(folder + QLatin1Char('/') + name);
    if (image.isNull()) {
      std::fprintf(stderr, "render_manual: picture %s not found, left out\n", qPrintable(name));
      missing.prepend(m);
    } else {
      document.addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
  }
  for (const QRegularExpressionMatch& m : missing) {
    html.remove(m.capturedStart(), m.capturedLength());
  }
  return html;
}

}  // namespace

int main(int argc, char** argv) {
  // Fonts and layout without a display: the build may run where there is none.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  QString program, output, css;
  QStringList sources;
  const QStringList args = QCoreApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString a = args[i];
    if ((a == "--program" || a == "--output" || a == "--css") && i + 1 < args.size()) {
      const QString value = args[++i];
      if (a == "--program") {
        program = value;
      } else if (a == "--output") {
        output = value;
      } else {
        css = value;
      }
    } else if (a.startsWith(QStringLiteral("--"))) {
      Fail("unknown option " + a);
    } else {
      sources << a;
    }
  }
  if (program.isEmpty() || output.isEmpty() || sources.isEmpty()) {
    Fail("usage: render_manual --program EXECUTABLE --output FILE.pdf [--css FILE.css] "
         "SOURCE.html...");
  }

  const vortan::ProgramInfo* info = nullptr;
  for (auto kind : {vortan::ProgramKind::kSinglePointMainland,
                    vortan::ProgramKind::kDataFilesMainland,
                    vortan::ProgramKind::kSinglePointKastelorizo,
                    vortan::ProgramKind::kDataFilesKastelorizo}) {
    if (Q(vortan::InfoOf(kind).executable) == program) info = &vortan::InfoOf(kind);
  }
  if (!info) Fail("unknown program " + program);
  const bool kastelorizo = info->kind == vortan::ProgramKind::kSinglePointKastelorizo ||
                           info->kind == vortan::ProgramKind::kDataFilesKastelorizo;
  const bool dataFiles = info->kind == vortan::ProgramKind::kDataFilesMainland ||
                         info->kind == vortan::ProgramKind::kDataFilesKastelorizo;
  const QStringList tags = {kastelorizo ? QStringLiteral("kastelorizo") : QStringLiteral("mainland"),
                            dataFiles ? QStringLiteral("data-files")
                                      : QStringLiteral("single-point")};

  QTextDocument document;
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(10);
  document.setDefaultFont(font);
  if (!css.isEmpty()) {
    QString sheet;
    if (!ReadText(css, sheet)) Fail("cannot read " + css);
    document.setDefaultStyleSheet(sheet);
  }

  QString body;
  for (const QString& path : sources) {
    QString text;
    if (!ReadText(path, text)) Fail("cannot read " + path);
    text = Select(text, tags, path);
    text.replace(QStringLiteral("{{PROGRAM}}"), program);
    text.replace(QStringLiteral("{{HELP}}"), Q(info->helpFileName));
    text.replace(QStringLiteral("{{CAPTION}}"), Q(info->caption).toHtmlEscaped());
    text.replace(QStringLiteral("{{VERSION}}"), Q(info->fileVersion));
    text.replace(QStringLiteral("{{KAST}}"), kastelorizo ? QStringLiteral("KAST-") : QString());
    if (text.contains(QStringLiteral("{{"))) Fail(path + ": unknown {{...}} placeholder");
    body += AddPictures(text, QFileInfo(path).absolutePath(), document);
  }
  document.setHtml(QStringLiteral("<html><body>") + body + QStringLiteral("</body></html>"));

  QPdfWriter pdf(output);
  pdf.setTitle(Q(info->executable) + QStringLiteral(" - ΒΟΗΘΕΙΑ / Help"));
  pdf.setCreator(QStringLiteral("VORTAN Transform"));
  pdf.setResolution(300);
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
  document.print(&pdf);
  if (!QFileInfo(output).exists() || QFileInfo(output).size() == 0) {
    Fail("nothing written to " + output);
  }
  return 0;
}
