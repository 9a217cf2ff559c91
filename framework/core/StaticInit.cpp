// Globals of StaticInit.h, constructed in declaration order (destroyed in reverse at exit).
#include "StaticInit.h"

#include <memory>
#include <new>

#include "LXException.h"

CLXGuid::CLXGuid(LPCWSTR text) {
  if (UuidFromStringW(const_cast<RPC_WSTR>(text), &m_guid) != RPC_S_OK) UuidCreateNil(&m_guid);
}

const CString& CLXGuid::GetText() const {
  if (m_text.IsEmpty()) {
    RPC_WSTR text = nullptr;
    if (UuidToStringW(&m_guid, &text) == RPC_S_OK) {
      m_text = text;
      RpcStringFreeW(&text);
    }
  }
  return m_text;
}

const int g_halfFrameWidth = GetSystemMetrics(SM_CXFRAME) / 2;
const int g_captionHeight = GetSystemMetrics(SM_CYCAPTION);
const LXGraphics::CSyncRect g_menuBarBand(0.0f, 0.0f, 2.0f * GetSystemMetrics(SM_CYMENU),
                                          float(GetSystemMetrics(SM_CYMENU)));
const int g_smallCaptionButton = static_cast<int>(GetSystemMetrics(SM_CXSMSIZE) * 1.5);
const CLXSmallButtonRecord g_smallCaptionButtonRecord{3804, 4, static_cast<int>(GetSystemMetrics(SM_CXSMSIZE) * 1.5),
                                                      static_cast<int>(GetSystemMetrics(SM_CXSMSIZE) * 1.5)};
const float g_focusBorder = static_cast<float>(GetSystemMetrics(SM_CXFOCUSBORDER) * 2);

const CLXGuid g_appGuid(L"13dca11d-78cb-484a-892b-10aa643d11ae");
const CLXGuid g_scatteringFactorsGuid(L"a61ee1db-6e9c-4d15-95a1-1aec725c2911");
const CLXGuid g_helpViewerGuid(L"3b424cb8-cea2-4527-aed5-07660145fb54");
const CLXGuid g_helpViewControlClsid(L"5f8181c7-48c2-4efd-9eab-7cd682a2710b");

const wchar_t kPrefsNamedMutexName[] = L"Quillonographic-Preferences-13dca11d-78cb-484a-892b-10aa643d11ae";

namespace {
std::unique_ptr<CLXException> g_prefsMutexError;

// A mutex that cannot be made leaves its global null rather than stopping start-up; the failure
// of the named one is kept to be reported once the program can show it.
CLXMutex* MakeMutex(LPCWSTR name) {
  try {
    return new CLXMutex(name);
  } catch (const CLXException& e) {
    if (name) g_prefsMutexError = std::make_unique<CLXException>(e);
    return nullptr;
  } catch (...) {
    return nullptr;
  }
}

// The mutexes live until process exit.
struct MutexOwner {
  CLXMutex*& mutex;
  MutexOwner(CLXMutex*& m, LPCWSTR name) : mutex(m) { mutex = MakeMutex(name); }
  ~MutexOwner() {
    delete mutex;
    mutex = nullptr;
  }
};
}  // namespace

bool ReportPrefsMutexFailure() {
  if (!g_prefsMutexError) return false;
  const std::unique_ptr<CLXException> error = std::move(g_prefsMutexError);
  error->Report();
  return true;
}

CLXMutex* g_prefsGetterMutex = nullptr;
CLXMutex* g_prefsNamedMutex = nullptr;
static MutexOwner s_prefsGetterMutexOwner(g_prefsGetterMutex, nullptr);
static MutexOwner s_prefsNamedMutexOwner(g_prefsNamedMutex, kPrefsNamedMutexName);

// Never deleted, so that a store destroyed at exit can still take it.
CLXThreadMutex* g_prefsLock = new (std::nothrow) CLXThreadMutex;

const CFontSubstitution g_fontSubstitutions[] = {
    {L"American Typewriter", L"Courier New"},
    {L"Andale Mono", L"Lucida Console"},
    {L"Andale Mono", L"Arial"},
    {L"Charcoal", L"Impact"},
    {L"Charcoal", L"Arial Bold"},
    {L"Courier", L"Courier New"},
    {L"Gadget", L"Arial Black"},
    {L"Gadget", L"Arial Bold"},
    {L"Geneva", L"Tahoma"},
    {L"Geneva", L"Verdana"},
    {L"Geneva", L"Arial"},
    {L"Helvetica Narrow", L"Arial Narrow"},
    {L"Helvetica Narrow", L"Arial"},
    {L"Helvetica", L"Arial"},
    {L"Helvetica", L"Trebuchet MS"},
    {L"Helvetica", L"Arial"},
    {L"Lucida Grande", L"Lucida Sans Unicode"},
    {L"Monaco", L"Lucida Console"},
    {L"New Century Schlbk", L"Times New Roman"},
    {L"New York", L"Times New Roman"},
    {L"Palatino", L"Palatino Linotype"},
    {L"Palatino", L"Book Antiqua"},
    {L"Palatino", L"Times New Roman"},
    {L"Times", L"Times New Roman"},
    {L"Times Roman", L"Times New Roman"},
    {L"Times New Roman", L"Times New Roman"},
    {L"Zapf Dingbats", L"Wingdings"},
};
const size_t g_fontSubstitutionCount = sizeof(g_fontSubstitutions) / sizeof(g_fontSubstitutions[0]);

const CString g_rigakuStart(L"*START");
const CString g_rigakuStop(L"*STOP");
const CString g_rigakuStep(L"*STEP");
const CString g_rigakuCount(L"*COUNT");
const CString g_rigakuEnd(L"*END");
const CString g_rigakuEof(L"*EOF");

CLXThreadMutex g_frameworkMutexes[5];

const CString g_textZero(L"0");
const CString g_textAll(L"*");
const CString g_textDefault(L"&");
const CString g_textChoose(L"?");
const CString g_textChooseAll(L"!");

const CString g_fontArialBold(L"Arial Bold");
const CString g_fontArial(L"Arial");
const CString g_fontVerdana(L"Verdana");
const CString g_rtfPrefix(L"{\\rtf");
