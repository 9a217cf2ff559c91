#include "QlwDoc.h"

#include "FileTypes.h"
#include "LXApp.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <algorithm>

bool g_appAddingToDocument = false;
bool g_bKeepFocus = false;

IMPLEMENT_DYNCREATE(CQlwDoc, CDocument)

BEGIN_MESSAGE_MAP(CQlwDoc, CDocument)
  ON_COMMAND(ID_FILE_SAVE, &CQlwDoc::OnFileSave)
  ON_COMMAND(ID_FILE_SAVE_AS, &CQlwDoc::OnFileSaveAs)
END_MESSAGE_MAP()

CQlwDoc::WindowState::WindowState() {
  CPreferences* prefs = g_pPreferences;
  if (!prefs) return;
  const CRect r = prefs->m_MainFrameRect.Get();
  rect.SetLTRB(float(r.left), float(r.top), float(r.right), float(r.bottom));
  showStructures = prefs->m_ShowStructures.Get();
  showParameters = prefs->m_ShowParameters.Get();
  showReflexions = prefs->m_ShowReflexions.Get();
  structuresWidth = prefs->m_StructuresWinWidth.Get();
  reflexionsRelHeight = prefs->m_ReflexionsRelHeight.Get();
}

CQlwDoc::CQlwDoc() : m_settings(false) { DeleteContents(); }

CQlwDoc::~CQlwDoc() = default;

void CQlwDoc::SetModifiedFlag(BOOL modified) { m_bModified = m_bLive ? modified : FALSE; }

void CQlwDoc::DeleteContents() {
  m_patterns.clear();
  m_settings = CDiffractionSettings(false);
  m_windowState = WindowState();
  CDocument::DeleteContents();
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
}

BOOL CQlwDoc::OnNewDocument() {
  const bool saved = m_bNewDocument;
  m_bNewDocument = true;
  DeleteContents();
  m_bModified = FALSE;
  SetPathName(L"");
  UpdateAllViews(nullptr);
  m_bNewDocument = saved;
  return TRUE;
}

void CQlwDoc::OnCloseDocument() {
  m_bClosing = true;
  CDocument::OnCloseDocument();
}

BOOL CQlwDoc::SaveModified() {
  if (!g_pPreferences || g_appAddingToDocument || !m_bLive) return TRUE;
  if (CDocument::SaveModified()) return TRUE;
  if (CLXApp* app = CLXApp::GetApp()) app->SetClosing(false, true);
  return FALSE;
}

BOOL CQlwDoc::DoFileSave() {
  OnFileSave();
  return !IsModified();
}

CQlwDocWindow* CQlwDoc::GetDiffractWnd() const {
  if (m_window) return m_window;
  for (CView* view : m_views)
    if (auto* window = dynamic_cast<CQlwDocWindow*>(view->GetParentFrame())) return window;
  return nullptr;
}

void CQlwDoc::SetPathName(LPCWSTR path, BOOL addToMru) {
  CString p = path ? path : L"";
  // Every file the user opened or saved is recent, though only a session stays the document's path.
  if (addToMru && !p.IsEmpty())
    if (CWinApp* app = AfxGetApp()) app->AddToRecentFileList(p.GetString());
  CString title;
  if (!p.IsEmpty() && IdentifyFileType(p.GetString(), false) == kFileTypeSession) {
    CUtils::CanonicalizePath(p);
    title = p;
    CUtils::GetFileTitle(title);
  } else {
    // A structure or data file is no place to save a session: Save asks for one.
    p.Empty();
  }
  if (title.IsEmpty()) title.LoadString(1120);
  SetTitle(title);
  m_strPathName = p;
}

// ----- queries -----

namespace {
// Depth first; a composite's components are searched where the composite itself does not pass.
template <class T>
std::shared_ptr<T> FirstInTree(const CQLPatternList& list, bool onlySelected) {
  return FindFirstPatternOfType<T>(list, onlySelected, false);
}
}  // namespace

void CQlwDoc::GetFirstPattern(CQLPatternPtr& out, bool onlySelected) const {
  out = FirstInTree<CQLPattern>(m_patterns, onlySelected);
}

void CQlwDoc::GetFirstObservedPattern(std::shared_ptr<CQLObservedPattern>& out, bool onlySelected) const {
  out = FirstInTree<CQLObservedPattern>(m_patterns, onlySelected);
}

// In tree order, looking into mixtures, shown or not.
void CQlwDoc::GetFirstCrystalPattern(std::shared_ptr<CQLCrystalPattern>& out, bool onlySelected) const {
  out = FirstInTree<CQLCrystalPattern>(m_patterns, onlySelected);
}

CQLPattern* CQlwDoc::GetSelectedPattern() const { return FirstInTree<CQLPattern>(m_patterns, true).get(); }
CQLCrystalPattern* CQlwDoc::GetSelectedCrystalPattern() const {
  return FirstInTree<CQLCrystalPattern>(m_patterns, true).get();
}
CQLObservedPattern* CQlwDoc::GetSelectedObservedPattern() const {
  return FirstInTree<CQLObservedPattern>(m_patterns, true).get();
}
CQLMixturePattern* CQlwDoc::GetSelectedMixturePattern() const {
  return FirstInTree<CQLMixturePattern>(m_patterns, true).get();
}
CQLCrystalPattern* CQlwDoc::GetAnyCrystalPattern() const {
  return FirstInTree<CQLCrystalPattern>(m_patterns, false).get();
}
CQLObservedPattern* CQlwDoc::GetAnyObservedPattern() const {
  return FirstInTree<CQLObservedPattern>(m_patterns, false).get();
}

bool CQlwDoc::HasShownPatterns() const {
  for (const CQLPatternPtr& p : m_patterns) {
    if (p->IsShown()) return true;
    if (const CQLPatternList* components = p->GetComponents())
      for (const CQLPatternPtr& c : *components)
        if (c->IsShown()) return true;
  }
  return false;
}

bool CQlwDoc::AnyPatternNeedsRecompute() const {
  for (const CQLPatternPtr& p : CollectPatterns(m_patterns, false, false, false))
    if (p->m_settingsPending) return true;
  return false;
}

// ----- tree operations -----

void CQlwDoc::UniqueTitle(CQLPattern& pattern, const CString& word, int firstNumber, const CQLPatternList& among) const {
  std::list<CString> titles;
  for (const CQLPatternPtr& p : among) titles.push_back(p->m_title);
  CUtils::MakeUniqueName(pattern.m_title, word, titles, firstNumber);
}

namespace {
void PrepareNewPattern(CQLPattern& pattern) {
  pattern.m_color = TakeNextDefaultPatternColour();
  pattern.SetShown(true);
  pattern.SetSelected(true);
}
}  // namespace

CQLPatternPtr CQlwDoc::AddNewPattern(const CQLPatternPtr& pattern) {
  UniqueTitle(*pattern, CString(), 1, CollectPatterns(m_patterns, false, false, false));
  PrepareNewPattern(*pattern);
  pattern->ApplySettings(m_settings);
  m_patterns.push_front(pattern);
  // The user's own pattern is work to keep even before any file was read.
  m_bLive = true;
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
  return pattern;
}

CQLPatternPtr CQlwDoc::AddCrystalPattern(const CQLCrystal& crystal) {
  auto pattern = std::make_shared<CQLCrystalPattern>(false);
  pattern->m_crystal = crystal;
  if (pattern->m_title.IsEmpty()) pattern->m_title.LoadString(1120);
  return AddNewPattern(pattern);
}

CQLPatternPtr CQlwDoc::AddObservedPattern(const CQLProfile& points) {
  return AddNewPattern(std::make_shared<CQLObservedPattern>(points, false));
}

namespace {
// True when target is one of the patterns or lies inside one of them.
bool InsideAny(const CQLPattern* target, const CQLPatternList& patterns) {
  for (const CQLPatternPtr& p : patterns) {
    if (p.get() == target) return true;
    if (const CQLPatternList* components = p->GetComponents())
      if (InsideAny(target, *components)) return true;
  }
  return false;
}

// Takes the pattern out of its list without the mixture's own fraction sharing.
void DetachFromTree(const CQLPattern* target, CQLPatternList& top) {
  CQLPatternNode node;
  if (FindPatternNode(target, top, node, true)) node.list->erase(node.it);
}
}  // namespace

bool CQlwDoc::MovePatternsIntoMixture(const CQLPatternList& patterns, CQLMixturePattern& mixture) {
  if (InsideAny(&mixture, patterns)) return false;
  for (const CQLPatternPtr& p : patterns) {
    DetachFromTree(p.get(), m_patterns);
    mixture.m_components.push_back(p);
  }
  mixture.EqualiseFractions();
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
  return true;
}

CQLPatternPtr CQlwDoc::NewMixtureFromPatterns(const CQLPatternList& patterns) {
  auto mixture = std::make_shared<CQLMixturePattern>(false);
  if (!MovePatternsIntoMixture(patterns, *mixture)) return nullptr;
  UniqueTitle(*mixture, CString(), 1, CollectPatterns(m_patterns, false, false, false));
  mixture->SetShown(true);
  mixture->SetSelected(true);
  mixture->ApplySettings(m_settings);
  m_patterns.push_front(mixture);
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
  return mixture;
}

bool CQlwDoc::MovePatternsBeside(const CQLPatternList& patterns, const CQLPattern& target, bool before) {
  if (InsideAny(&target, patterns)) return false;
  for (const CQLPatternPtr& p : patterns) DetachFromTree(p.get(), m_patterns);
  CQLPatternNode node;
  if (!FindPatternNode(&target, m_patterns, node, true)) {
    // The target left with the moved patterns' removal only if it was one of them; keep them.
    m_patterns.insert(m_patterns.end(), patterns.begin(), patterns.end());
  } else {
    auto at = before ? node.it : std::next(node.it);
    node.list->insert(at, patterns.begin(), patterns.end());
    if (node.list != &m_patterns) {
      CQLPatternNode parent;
      if (FindParentPatternNode(node, m_patterns, parent))
        if (auto* mixture = dynamic_cast<CQLMixturePattern*>(parent.it->get())) mixture->EqualiseFractions();
    }
  }
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
  return true;
}

void CQlwDoc::MovePatternsToEnd(const CQLPatternList& patterns) {
  for (const CQLPatternPtr& p : patterns) DetachFromTree(p.get(), m_patterns);
  m_patterns.insert(m_patterns.end(), patterns.begin(), patterns.end());
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::DuplicatePatterns(const CQLPatternList& patterns) {
  CString word;
  word.LoadString(1081);
  word.Trim();
  // Named against every pattern of the document, not only those copied: two patterns of one title
  // cannot be told apart in the list, and a reload matches patterns by title.
  CQLPatternList among = CollectPatterns(m_patterns, false, false, false);
  for (const CQLPatternPtr& p : patterns) {
    CQLPatternPtr copy = p->Clone();
    p->SetSelected(false);
    copy->SetSelected(true);
    UniqueTitle(*copy, word, 2, among);
    among.push_back(copy);
    m_patterns.push_back(copy);
  }
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::RemovePatternsWithoutData(CQLPatternList& patterns) {
  for (auto it = patterns.begin(); it != patterns.end();) {
    if ((*it)->HasData()) {
      ++it;
      continue;
    }
    RemovePatternFromTree(it->get(), m_patterns);
    it = patterns.erase(it);
  }
}

void CQlwDoc::ResetColours() {
  int n = 0;
  for (const CQLPatternPtr& p : m_patterns) {
    if (p->IsShown()) ++n;
    if (const CQLPatternList* components = p->GetComponents())
      for (const CQLPatternPtr& c : *components)
        if (c->IsShown()) ++n;
  }
  if (n > 0) {
    int index = 0;
    AssignHueColours(m_patterns, n, index);
  }
  CUpdateHint hint(kHintColours, this);
  DispatchUpdateHint(hint);
}

bool CQlwDoc::LessSelectedFirst(const CQLPatternPtr& a, const CQLPatternPtr& b) {
  return a->IsSelected() && !b->IsSelected();
}

bool CQlwDoc::LessUnselectedFirst(const CQLPatternPtr& a, const CQLPatternPtr& b) {
  return !a->IsSelected() && b->IsSelected();
}
