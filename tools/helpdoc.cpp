// Builds the help document "VarnothM.PDF" from its Markdown source at build time:
// helpdoc SOURCE.md TARGET.PDF. Needs no display; the fonts come from the system.
#include <QFile>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

namespace {

int fail(const QString& text) {
  std::fprintf(stderr, "helpdoc: %s\n", qPrintable(text));
  return 1;
}

// The document on A4 pages; QTextDocument::print breaks the pages and numbers them.
bool writePdf(QTextDocument& document, const QString& target) {
  QPdfWriter pdf(target);
  pdf.setTitle(QStringLiteral("VarnothM – Hilfe"));
  pdf.setCreator(QStringLiteral("VarnothM"));
  pdf.setResolution(300);
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                QPageLayout::Millimeter));
  document.print(&pdf);
  return QFile::exists(target) && QFile(target).size() > 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A build machine has no display; the offscreen platform lays out text all the same.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  if (argc != 3) return fail(QStringLiteral("Aufruf: helpdoc QUELLE.md ZIEL.PDF"));
  QFile source(QString::fromLocal8Bit(argv[1]));
  if (!source.open(QIODevice::ReadOnly)) return fail(QStringLiteral("%1 kann nicht gelesen werden").arg(source.fileName()));

  QTextDocument document;
  document.setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 10));
  document.setDefaultStyleSheet(QStringLiteral("th { background-color: #dde6ee; } td, th { padding: 3px; }"));
  document.setMarkdown(QString::fromUtf8(source.readAll()));
  const QString target = QString::fromLocal8Bit(argv[2]);
  if (!writePdf(document, target)) return fail(QStringLiteral("%1 kann nicht geschrieben werden").arg(target));
  return 0;
}
