// The old document's patterns, settings and layout join the one opened into its window.
#include "QlwDocTemplate.h"

#include "FileTypes.h"
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
  // The new file was fitted alone; the patterns kept from before must fit under the top as well.
  // A session keeps the ranges it was saved with.
  const uint32_t type = IdentifyFileType(to->GetPathName().GetString(), true);
  if (!patterns.empty() && type != kFileTypeSession && type != kFileTypeSessionPre6) to->Autoscale(true);
  // The views were told of the new file alone; the patterns kept from before join it now.
  CUpdateHint hint(kHintPatternTree, to);
  to->UpdateAllViews(nullptr, reinterpret_cast<LPARAM>(&hint));
}
