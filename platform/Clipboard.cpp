// Movable memory blocks in a handle table of our own, and the clipboard over QClipboard.
#include "Clipboard.h"

#include "Utf16.h"
#include "WindowLayer.h"
#include "testing/ClipboardSeam.h"

#include <QBuffer>
#include <QImage>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

struct GlobalBlock {
  std::unique_ptr<uint8_t[]> bytes;
  SIZE_T size = 0;
  unsigned locks = 0;
  bool fixed = false;
};

std::mutex g_globalLock;
std::atomic<int> g_failAllocations{0};
std::atomic<int> g_allocationsBeforeFailing{0};

bool AllocationFailsForTest() {
  if (g_failAllocations.load() <= 0) return false;
  int skip = g_allocationsBeforeFailing.load();
  while (skip > 0 && !g_allocationsBeforeFailing.compare_exchange_weak(skip, skip - 1)) {}
  if (skip > 0) return false;
  int left = g_failAllocations.load();
  while (left > 0 && !g_failAllocations.compare_exchange_weak(left, left - 1)) {}
  return left > 0;
}
// Keyed by handle: a fixed block's address, or for a movable one the address of its entry, which
// never equals the address of any block's bytes.
std::unordered_map<void*, std::unique_ptr<GlobalBlock>>& GlobalBlocks() {
  static std::unordered_map<void*, std::unique_ptr<GlobalBlock>> blocks;
  return blocks;
}

// The block of a handle, or null with ERROR_INVALID_HANDLE set.
GlobalBlock* FindBlockOrFail(HGLOBAL mem) {
  auto& blocks = GlobalBlocks();
  auto it = blocks.find(mem);
  if (it != blocks.end()) return it->second.get();
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}
}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (AllocationFailsForTest()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto block = std::make_unique<GlobalBlock>();
  // At least one byte, so that a zero-size block still has an address of its own.
  block->bytes.reset(new (std::nothrow) uint8_t[bytes ? bytes : 1]);
  if (!block->bytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (flags & GMEM_ZEROINIT) std::memset(block->bytes.get(), 0, bytes ? bytes : 1);
  block->size = bytes;
  block->fixed = !(flags & GMEM_MOVEABLE);
  void* handle = block->fixed ? static_cast<void*>(block->bytes.get()) : static_cast<void*>(block.get());
  std::lock_guard<std::mutex> lock(g_globalLock);
  GlobalBlocks().emplace(handle, std::move(block));
  return handle;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
  std::lock_guard<std::mutex> lock(g_globalLock);
  GlobalBlock* block = FindBlockOrFail(mem);
  if (!block) return nullptr;
  if (block->fixed || AllocationFailsForTest()) {
    // Fixed blocks would move, which their handles cannot follow here.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::unique_ptr<uint8_t[]> bigger(new (std::nothrow) uint8_t[bytes ? bytes : 1]);
  if (!bigger) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memcpy(bigger.get(), block->bytes.get(), std::min(bytes, block->size));
  if (bytes > block->size && (flags & GMEM_ZEROINIT)) std::memset(bigger.get() + block->size, 0, bytes - block->size);
  block->bytes = std::move(bigger);
  block->size = bytes;
  return mem;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(g_globalLock);
  if (GlobalBlocks().erase(mem) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  return nullptr;
}

LPVOID GlobalLock(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(g_globalLock);
  GlobalBlock* block = FindBlockOrFail(mem);
  if (!block) return nullptr;
  if (!block->fixed) ++block->locks;
  return block->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(g_globalLock);
  GlobalBlock* block = FindBlockOrFail(mem);
  if (!block) return FALSE;
  if (block->locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--block->locks > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

SIZE_T GlobalSize(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(g_globalLock);
  GlobalBlock* block = FindBlockOrFail(mem);
  if (!block) return 0;
  return block->size;
}

namespace {

constexpr UINT kFirstRegisteredFormat = 0xC000;
constexpr UINT kLastRegisteredFormat = 0xFFFF;

// The clipboard's state. Every clipboard call runs on the GUI thread, but registration may come
// from any thread, so both are guarded; recursively, because QClipboard signals its changes
// synchronously and a listener may ask the clipboard again.
struct ClipboardState {
  std::recursive_mutex lock;
  bool open = false;
  std::thread::id openThread;
  HWND owner = nullptr;
  // Formats placed since the clipboard was opened; each SetClipboardData republishes them all,
  // because QClipboard replaces its whole contents at once.
  std::map<QString, QByteArray> placed;
  bool placing = false;
  // Blocks the clipboard owns: those handed to SetClipboardData and those it gave out.
  std::vector<HGLOBAL> ownedBlocks;
  std::vector<std::wstring> registeredNames;  // index i is format kFirstRegisteredFormat + i
  // Metafile handles the clipboard owns, freed as blocks are.
  std::vector<HANDLE> ownedMetafiles;
  bool heldElsewhere = false;
  qlw::MetafileClipboardExport metafileExport;
};

ClipboardState& State() {
  static ClipboardState state;
  return state;
}

QClipboard* GuiClipboard() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app || QThread::currentThread() != app->thread()) return nullptr;
  return QGuiApplication::clipboard();
}

// Registered names are case-insensitive; Qt's case mapping does not depend on the process locale.
QString FoldedName(const std::wstring& name) { return QString::fromStdWString(name).toLower(); }

// The folded name, percent-encoded outside [a-z0-9._-].
QString MimeTypeForName(const std::wstring& name) {
  QString mime = QStringLiteral("application/x-qlw-");
  for (char c : FoldedName(name).toUtf8()) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' || u == '_' || u == '-') {
      mime += QChar(u);
    } else {
      mime += QLatin1Char('%') + QString::number(u, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
  }
  return mime;
}

bool IsTextFormat(UINT format) { return format == CF_TEXT || format == CF_UNICODETEXT; }

const QString kDibMime = QStringLiteral("application/x-qlw-dib");
const QString kPngMime = QStringLiteral("image/png");
const QString kSvgMime = QStringLiteral("image/svg+xml");

bool MimeDataHas(const QMimeData* data, UINT format, const QString& mime) {
  if (!data || mime.isEmpty()) return false;
  if (format == CF_DIB) return data->hasFormat(kDibMime) || data->hasFormat(kPngMime);
  return IsTextFormat(format) ? data->hasText() : data->hasFormat(mime);
}

// A packed DIB (32-bit BI_RGB rows, bottom-up or top-down) as an image; null when malformed.
QImage ImageFromPackedDib(const QByteArray& bytes) {
  struct Header {
    uint32_t size;
    int32_t width, height;
    uint16_t planes, bitCount;
    uint32_t compression, sizeImage;
    int32_t xPelsPerMeter, yPelsPerMeter;
    uint32_t clrUsed, clrImportant;
  } h{};
  if (bytes.size() < qsizetype(sizeof h)) return {};
  std::memcpy(&h, bytes.constData(), sizeof h);
  if (h.size < sizeof h || h.bitCount != 32 || h.compression != 0 || h.width <= 0 || h.height == 0) return {};
  int64_t rows = h.height < 0 ? -int64_t(h.height) : h.height;
  int64_t rowBytes = int64_t(h.width) * 4;
  if (rows > 65535 || h.width > 65535 || int64_t(h.size) + rowBytes * rows > bytes.size()) return {};
  QImage image(h.width, int(rows), QImage::Format_ARGB32);
  if (image.isNull()) return {};
  const char* pixels = bytes.constData() + h.size;
  for (int64_t r = 0; r < rows; ++r) {
    int64_t src = h.height < 0 ? r : rows - 1 - r;
    std::memcpy(image.scanLine(int(r)), pixels + src * rowBytes, size_t(rowBytes));
  }
  if (h.xPelsPerMeter > 0) image.setDotsPerMeterX(h.xPelsPerMeter);
  if (h.yPelsPerMeter > 0) image.setDotsPerMeterY(h.yPelsPerMeter);
  return image;
}

QByteArray PngBytes(const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return png;
}

QByteArray PackedDibFromImage(const QImage& source) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  uint32_t header[10] = {40, uint32_t(image.width()), uint32_t(image.height()), 1u | (32u << 16), 0,
                         uint32_t(image.width() * 4 * image.height()), uint32_t(image.dotsPerMeterX()),
                         uint32_t(image.dotsPerMeterY()), 0, 0};
  QByteArray out(reinterpret_cast<const char*>(header), sizeof header);
  for (int y = image.height() - 1; y >= 0; --y)
    out.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4);
  return out;
}

// The MIME type that carries a format; empty for one we do not carry. CF_TEXT and
// CF_UNICODETEXT both travel as text.
QString MimeTypeForFormat(ClipboardState& s, UINT format) {
  if (IsTextFormat(format)) return QStringLiteral("text/plain");
  if (format == CF_DIB) return kDibMime;
  if (format == CF_ENHMETAFILE) return kSvgMime;
  if (format >= kFirstRegisteredFormat && format - kFirstRegisteredFormat < s.registeredNames.size())
    return MimeTypeForName(s.registeredNames[format - kFirstRegisteredFormat]);
  return {};
}

bool OpenedByThisThread(ClipboardState& s) { return s.open && s.openThread == std::this_thread::get_id(); }

void FreeOwnedBlocks(ClipboardState& s) {
  for (HGLOBAL mem : s.ownedBlocks) GlobalFree(mem);
  s.ownedBlocks.clear();
  if (s.metafileExport.release)
    for (HANDLE emf : s.ownedMetafiles) s.metafileExport.release(emf);
  s.ownedMetafiles.clear();
}

QByteArray BlockBytes(HANDLE mem, bool* ok) {
  SIZE_T size = GlobalSize(mem);
  const void* data = GlobalLock(mem);
  *ok = data != nullptr;
  if (!data) return {};
  QByteArray bytes(static_cast<const char*>(data), static_cast<qsizetype>(size));
  GlobalUnlock(mem);
  return bytes;
}

HGLOBAL NewBlock(const void* data, size_t size) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!mem) return nullptr;
  if (size) {
    std::memcpy(GlobalLock(mem), data, size);
    GlobalUnlock(mem);
  }
  return mem;
}

}  // namespace

BOOL OpenClipboard(HWND newOwner) {
  if (!GuiClipboard()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (newOwner && !IsWindow(newOwner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  if (s.heldElsewhere || (s.open && s.openThread != std::this_thread::get_id())) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!s.open) {
    s.placed.clear();
    s.placing = false;
  }
  s.open = true;
  s.openThread = std::this_thread::get_id();
  s.owner = newOwner;
  return TRUE;
}

BOOL CloseClipboard() {
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  if (!OpenedByThisThread(s)) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  s.open = false;
  s.owner = nullptr;
  s.placed.clear();
  s.placing = false;
  FreeOwnedBlocks(s);
  return TRUE;
}

BOOL EmptyClipboard() {
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  QClipboard* clipboard = GuiClipboard();
  if (!clipboard || !OpenedByThisThread(s)) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  clipboard->clear();
  s.placed.clear();
  s.placing = true;
  FreeOwnedBlocks(s);
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE mem) {
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  QClipboard* clipboard = GuiClipboard();
  if (!clipboard || !OpenedByThisThread(s)) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  QString mime = MimeTypeForFormat(s, format);
  // A null block asks for rendering on demand, which we do not offer.
  if (mime.isEmpty() || !mem) {
    SetLastError(mime.isEmpty() ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::map<QString, QByteArray> extra;
  QByteArray bytes;
  if (format == CF_ENHMETAFILE) {
    std::vector<std::pair<std::string, std::string>> rendered;
    if (!s.metafileExport.render || !s.metafileExport.render(mem, rendered)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    for (auto& [type, content] : rendered)
      extra[QString::fromStdString(type)] = QByteArray(content.data(), qsizetype(content.size()));
    bytes = extra[kSvgMime];
    extra.erase(kSvgMime);
  } else {
    bool ok = false;
    bytes = BlockBytes(mem, &ok);
    if (!ok) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
  if (format == CF_DIB) {
    QImage image = ImageFromPackedDib(bytes);
    if (image.isNull()) {
      SetLastError(ERROR_INVALID_DATA);
      return nullptr;
    }
    extra[kPngMime] = PngBytes(image);
  } else if (format == CF_UNICODETEXT) {
    // UTF-16 up to the terminator, or to the end of a block that has none.
    const auto* units = reinterpret_cast<const char16_t*>(bytes.constData());
    size_t count = static_cast<size_t>(bytes.size()) / 2;
    size_t length = 0;
    while (length < count && units[length] != 0) ++length;
    bytes = QString::fromUtf16(units, static_cast<qsizetype>(length)).toUtf8();
  } else if (format == CF_TEXT) {
    qsizetype end = bytes.indexOf('\0');
    if (end >= 0) bytes.truncate(end);
  }
  if (!s.placing) {
    // Without EmptyClipboard the new format joins what is already there.
    if (const QMimeData* current = clipboard->mimeData())
      for (const QString& type : current->formats()) s.placed[type] = current->data(type);
    s.placing = true;
  }
  s.placed[mime] = bytes;
  for (auto& [type, content] : extra) s.placed[type] = content;
  auto* data = new QMimeData;
  for (const auto& [type, content] : s.placed) {
    if (type == QLatin1String("text/plain"))
      data->setText(QString::fromUtf8(content));
    else
      data->setData(type, content);
  }
  clipboard->setMimeData(data);
  if (format == CF_ENHMETAFILE) s.ownedMetafiles.push_back(mem);
  else s.ownedBlocks.push_back(mem);
  return mem;
}

HANDLE GetClipboardData(UINT format) {
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  QClipboard* clipboard = GuiClipboard();
  if (!clipboard || !OpenedByThisThread(s)) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  QString mime = MimeTypeForFormat(s, format);
  const QMimeData* data = clipboard->mimeData();
  if (!MimeDataHas(data, format, mime)) {
    SetLastError(ERROR_NOT_FOUND);
    return nullptr;
  }
  HGLOBAL mem = nullptr;
  if (format == CF_UNICODETEXT) {
    QString text = data->text();
    mem = NewBlock(text.utf16(), (static_cast<size_t>(text.size()) + 1) * sizeof(char16_t));
  } else if (format == CF_TEXT) {
    QByteArray text = data->text().toUtf8();
    mem = NewBlock(text.constData(), static_cast<size_t>(text.size()) + 1);
  } else if (format == CF_DIB && !data->hasFormat(kDibMime)) {
    // Another program's image: its PNG as a packed DIB.
    QByteArray dib = PackedDibFromImage(QImage::fromData(data->data(kPngMime)));
    mem = NewBlock(dib.constData(), static_cast<size_t>(dib.size()));
  } else if (format == CF_ENHMETAFILE) {
    // Metafiles are offered, not taken back as handles.
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  } else {
    QByteArray bytes = data->data(mime);
    mem = NewBlock(bytes.constData(), static_cast<size_t>(bytes.size()));
  }
  if (mem) s.ownedBlocks.push_back(mem);
  return mem;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  QClipboard* clipboard = GuiClipboard();
  if (!clipboard) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  QString mime = MimeTypeForFormat(s, format);
  const QMimeData* data = clipboard->mimeData();
  return MimeDataHas(data, format, mime) ? TRUE : FALSE;
}

UINT RegisterClipboardFormatW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  QString key = FoldedName(name);
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  for (size_t i = 0; i < s.registeredNames.size(); ++i)
    if (FoldedName(s.registeredNames[i]) == key) return kFirstRegisteredFormat + static_cast<UINT>(i);
  if (s.registeredNames.size() > kLastRegisteredFormat - kFirstRegisteredFormat) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  s.registeredNames.emplace_back(name);
  return kFirstRegisteredFormat + static_cast<UINT>(s.registeredNames.size() - 1);
}

namespace qlw {
void SetMetafileClipboardExport(const MetafileClipboardExport& exporter) {
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  s.metafileExport = exporter;
}
}  // namespace qlw

namespace qlw::testing {
void FailNextGlobalAllocations(int count, int after) {
  g_allocationsBeforeFailing = after;
  g_failAllocations = count;
}

void SetClipboardHeldElsewhere(bool held) {
  ClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  s.heldElsewhere = held;
}
}  // namespace qlw::testing
