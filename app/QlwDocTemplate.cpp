// The old document's patterns, settings and layout join the one opened into its window.
#include "QlwDocTemplate.h"

#include "QlwDoc.h"
#include "UpdateHint.h"

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
  to->AddReadPatterns(patterns, keepSettings, keepState, false);
  // The views were told of the new file alone; the patterns kept from before join it now.
  CUpdateHint hint(kHintPatternTree, to);
  to->UpdateAllViews(nullptr, reinterpret_cast<LPARAM>(&hint));
}
