// `doc OUT IN…`: a document opens IN as File > Open and drops do, prints its pattern tree and plot
// ranges, saves itself to OUT through Save As, opens OUT into a fresh document and prints again.
#include "Probe.h"

#include "CommonDialogs.h"
#include "FileTypes.h"
#include "LXFileDialog.h"
#include "QlwDoc.h"

#include <QApplication>
#include <QFileDialog>

#include <cstdio>
#include <cstdlib>

namespace {
const char* const kAxes[] = {"?", "2theta", "d", "1/d", "tof", "energy", "2pi/d"};

const char* KindName(const CQLPattern& p) {
  switch (p.GetPatternType()) {
    case kPatternCrystal: return "crystal";
    case kPatternMixture: return "mixture";
    case kPatternObserved: return "observed";
    default: return "pattern";
  }
}

void TreeLines(const CQLPatternList& list, int depth, bool marksSelected, std::vector<std::string>& lines) {
  char buffer[64];
  for (const CQLPatternPtr& p : list) {
    std::snprintf(buffer, sizeof buffer, "%d %s ", depth, KindName(*p));
    lines.push_back(buffer + qlw::ToUtf8(p->m_title.GetString()) + (p->IsShown() ? " shown" : " hidden") +
                    (marksSelected && p->IsSelected() ? " selected" : ""));
    if (const CQLPatternList* components = p->GetComponents()) TreeLines(*components, depth + 1, marksSelected, lines);
  }
}

void PrintDocument(CQlwDoc& doc) {
  for (const std::string& line : qlwprobe::DocumentLines(doc, false)) std::printf("%s\n", line.c_str());
}

}  // namespace

std::vector<std::string> qlwprobe::DocumentLines(CQlwDoc& doc, bool marksSelected) {
  std::vector<std::string> lines;
  TreeLines(doc.GetPatterns(), 0, marksSelected, lines);
  const CDiffractionSettings& s = *doc.GetSettings();
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "data range: %.6f %.6f", s.m_defaultXMin, s.m_defaultXMax);
  lines.push_back(buffer);
  std::snprintf(buffer, sizeof buffer, "visible: %.6f %.6f", s.m_visibleXMin, s.m_visibleXMax);
  lines.push_back(buffer);
  std::snprintf(buffer, sizeof buffer, "y range: %.6f %.6f", s.m_visibleYMin, s.m_visibleYMax);
  lines.push_back(buffer);
  lines.push_back(std::string("x axis: ") + (s.m_axisType < 7 ? kAxes[s.m_axisType] : "?"));
  return lines;
}

namespace {
int RunDoc(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: qlwprobe doc OUT IN...\n");
    return 2;
  }
  // The dialogs of Save As live on the offscreen platform.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "qlwprobe";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  InstallFileTypeRecogniser();
  const std::string out = args[0];
  CQlwDoc doc;
  doc.OnNewDocument();
  if (!doc.OnOpenDocument(CString(args[1].c_str()).GetString())) return 1;
  std::vector<CString> dropped;
  for (size_t i = 2; i < args.size(); ++i) dropped.emplace_back(args[i].c_str());
  doc.AddFilesFromDrop(dropped);
  PrintDocument(doc);

  // Save As answered with OUT as typed, on the first type of the list.
  bool refused = false;
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    auto* dialog = qobject_cast<QFileDialog*>(d);
    // OUT was named on the command line: replacing it is the caller's say, and no one is there
    // to answer the dialog's question.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->selectNameFilter(dialog->nameFilters().value(0));
    dialog->selectFile(QString::fromStdString(out));
    static_cast<QDialog*>(dialog)->accept();
    refused = dialog->isVisible();
  });
  doc.OnFileSaveAs();
  qlw::SetCommonDialogAnswer(nullptr);
  if (refused || doc.IsModified()) return 1;

  std::printf("--- reopened %s\n", qlw::ToUtf8(doc.GetPathName().GetString()).c_str());
  CQlwDoc reopened;
  reopened.OnNewDocument();
  if (!reopened.OnOpenDocument(doc.GetPathName().GetString())) return 1;
  PrintDocument(reopened);
  return 0;
}
}  // namespace

QLW_PROBE_COMMAND(doc, "doc", "OUT IN...", RunDoc);
