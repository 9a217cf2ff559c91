// The old document's patterns, settings and layout join the one opened into its window.
#include "QlwDocTemplate.h"

#include "FileTypes.h"
#include "LXApp.h"
#include "QlwDoc.h"
#include "UpdateHint.h"

#include <iterator>

IMPLEMENT_DYNAMIC(CQlwDocTemplate, CLXDocTemplate)

void CQlwDocTemplate::TransferDocument(CDocument* oldDoc, CDocument* newDoc) {
  auto* from = dynamic_cast<CQlwDoc*>(oldDoc);
  auto* to = dynamic_cast<CQlwDoc*>(newDoc);
  if (!from || !to || !g_openInSameWindow) return;
  CDiffractionSettings* settings = from->GetSettings();
  CQlwDoc::WindowState* state = from->GetWindowState();
  // A closing document hands over its patterns only.
  CDiffractionSettings keepSettings = settings ? *settings : *to->GetSettings();
  CQlwDocWindowState keepState = state ? static_cast<CQlwDocWindowState&>(*state)
                                       : static_cast<CQlwDocWindowState&>(*to->GetWindowState());
  CQLPatternList patterns = from->GetPatterns();
  const size_t opened = to->GetPatterns().size();
  to->AddReadPatterns(patterns, keepSettings, keepState, false);
  // A file opened alone goes on top of what the window showed; files opened together are listed
  // in the order given, each after the ones before it.
  if (g_batchOpen) {
    CQLPatternList& tree = to->GetPatterns();
    tree.splice(tree.end(), tree, tree.begin(), std::next(tree.begin(), static_cast<std::ptrdiff_t>(opened)));
  }
  // The new file was fitted alone; the patterns kept from before must fit under the top as well.
  // A session keeps the ranges it was saved with.
  const uint32_t type = IdentifyFileType(to->GetPathName().GetString(), true);
  const bool joined = !patterns.empty() && type != kFileTypeSession && type != kFileTypeSessionPre6;
  if (joined) to->Autoscale(true);
  // The views were told of the new file alone; the patterns kept from before join it now.
  CUpdateHint hint(kHintPatternTree, to);
  if (!joined) {
    to->UpdateAllViews(nullptr, reinterpret_cast<LPARAM>(&hint));
    return;
  }
  // A change of the tree like any other, so a measured pattern is scaled to the crystals now
  // beside it (their profiles were computed by the autoscale); the document stays as saved or not.
  const BOOL modified = to->IsModified();
  to->DispatchUpdateHint(hint);
  to->SetModifiedFlag(modified);
}
