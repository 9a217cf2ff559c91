// The recently-used list in the desktop bookmark format: read, changed in place and replaced whole.
#include "RecentDocuments.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QString>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "AfxApp.h"
#include "KernelObjects.h"
#include "Process.h"
#include "Utf16.h"

namespace {
const QString kBookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString kMimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
const QString kMetadataOwner = QStringLiteral("http://freedesktop.org");

std::atomic<qlw::RecentMimeTypeResolver> g_resolver{nullptr};

QString Escape(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '&': out += QLatin1String("&amp;"); break;
      case '<': out += QLatin1String("&lt;"); break;
      case '>': out += QLatin1String("&gt;"); break;
      case '"': out += QLatin1String("&quot;"); break;
      case '\'': out += QLatin1String("&apos;"); break;
      case '\n': out += QLatin1String("&#10;"); break;
      case '\t': out += QLatin1String("&#9;"); break;
      default: out += c;
    }
  }
  return out;
}

// A text replacing [pos, pos + length) of the list.
struct Splice {
  qsizetype pos;
  qsizetype length;
  QString text;
};

// An element of the list as read: where its tags are and how it was written.
struct Element {
  QString qualifiedName;
  QXmlStreamNamespaceDeclarations namespaces;
  QXmlStreamAttributes attributes;
  qsizetype tagStart = 0, tagEnd = 0;  // the start tag
  qsizetype endTagStart = -1;          // -1 while open, or when written as one empty-element tag
  bool empty = false;                  // written as "<name/>"
  bool found = false;
};

// A start tag as read, with some attributes given new values (added when missing).
QString StartTag(const Element& e, const std::vector<std::pair<QString, QString>>& changes, bool empty) {
  QString tag = QLatin1Char('<') + e.qualifiedName;
  for (const QXmlStreamNamespaceDeclaration& ns : e.namespaces) {
    tag += ns.prefix().isEmpty() ? QStringLiteral(" xmlns") : QStringLiteral(" xmlns:") + ns.prefix().toString();
    tag += QStringLiteral("=\"") + Escape(ns.namespaceUri().toString()) + QLatin1Char('"');
  }
  std::vector<bool> used(changes.size(), false);
  for (const QXmlStreamAttribute& a : e.attributes) {
    QString value = a.value().toString();
    for (size_t i = 0; i < changes.size(); ++i)
      if (a.namespaceUri().isEmpty() && a.name() == changes[i].first) {
        value = changes[i].second;
        used[i] = true;
      }
    tag += QLatin1Char(' ') + a.qualifiedName().toString() + QStringLiteral("=\"") + Escape(value) + QLatin1Char('"');
  }
  for (size_t i = 0; i < changes.size(); ++i)
    if (!used[i]) tag += QLatin1Char(' ') + changes[i].first + QStringLiteral("=\"") + Escape(changes[i].second) + QLatin1Char('"');
  return tag + (empty ? QStringLiteral("/>") : QStringLiteral(">"));
}

// Puts text inside an element just before its end: before its end tag, or by writing an
// empty-element tag out as a start tag, the text and an end tag.
Splice InsertInto(const Element& e, const QString& text) {
  if (!e.empty) return {e.endTagStart, 0, text};
  return {e.tagStart, e.tagEnd - e.tagStart,
          StartTag(e, {}, false) + text + QStringLiteral("</") + e.qualifiedName + QLatin1Char('>')};
}

// The prefixes the root declares for the two namespaces; empty when it declares none.
struct Prefixes {
  QString bookmark, mime;
};

// The parts of a new entry, each complete with the namespace declarations it needs.
QString ApplicationTag(const Prefixes& p, const qlw::RecentUse& use, const QString& now, int count) {
  const QString b = p.bookmark.isEmpty() ? QStringLiteral("bookmark") : p.bookmark;
  QString tag = QLatin1Char('<') + b + QStringLiteral(":application");
  if (p.bookmark.isEmpty()) tag += QStringLiteral(" xmlns:bookmark=\"") + kBookmarkNs + QLatin1Char('"');
  return tag + QStringLiteral(" name=\"") + Escape(QString::fromStdString(use.appName)) + QStringLiteral("\" exec=\"") +
         Escape(QString::fromStdString(use.exec)) + QStringLiteral("\" modified=\"") + now + QStringLiteral("\" count=\"") +
         QString::number(count) + QStringLiteral("\"/>");
}

QString ApplicationsBlock(const Prefixes& p, const qlw::RecentUse& use, const QString& now) {
  const QString b = p.bookmark.isEmpty() ? QStringLiteral("bookmark") : p.bookmark;
  QString open = QLatin1Char('<') + b + QStringLiteral(":applications");
  if (p.bookmark.isEmpty()) open += QStringLiteral(" xmlns:bookmark=\"") + kBookmarkNs + QLatin1Char('"');
  return open + QStringLiteral(">\n          ") + ApplicationTag(p, use, now, 1) + QStringLiteral("\n        </") + b +
         QStringLiteral(":applications>");
}

QString MetadataBlock(const Prefixes& p, const qlw::RecentUse& use, const QString& now) {
  const QString m = p.mime.isEmpty() ? QStringLiteral("mime") : p.mime;
  QString mime = QLatin1Char('<') + m + QStringLiteral(":mime-type");
  if (p.mime.isEmpty()) mime += QStringLiteral(" xmlns:mime=\"") + kMimeNs + QLatin1Char('"');
  mime += QStringLiteral(" type=\"") + Escape(QString::fromStdString(use.mimeType)) + QStringLiteral("\"/>");
  return QStringLiteral("<metadata owner=\"") + kMetadataOwner + QStringLiteral("\">\n        ") + mime +
         QStringLiteral("\n        ") + ApplicationsBlock(p, use, now) + QStringLiteral("\n      </metadata>");
}

QString InfoBlock(const Prefixes& p, const qlw::RecentUse& use, const QString& now) {
  return QStringLiteral("<info>\n      ") + MetadataBlock(p, use, now) + QStringLiteral("\n    </info>");
}

QString BookmarkBlock(const Prefixes& p, const qlw::RecentUse& use, const QString& href, const QString& now) {
  return QStringLiteral("  <bookmark href=\"") + Escape(href) + QStringLiteral("\" added=\"") + now +
         QStringLiteral("\" modified=\"") + now + QStringLiteral("\" visited=\"") + now + QStringLiteral("\">\n    ") +
         InfoBlock(p, use, now) + QStringLiteral("\n  </bookmark>\n");
}

bool SamePath(const QString& href, const QString& path) {
  const QUrl url = QUrl::fromEncoded(href.toUtf8());
  return url.isLocalFile() && QFileInfo(url.toLocalFile()).absoluteFilePath() == path;
}

// The list with the use added, or a null string when the text is no list to change.
QString AddToList(const QString& text, const qlw::RecentUse& use) {
  const QDateTime when = use.when ? QDateTime::fromSecsSinceEpoch(use.when, Qt::UTC) : QDateTime::currentDateTimeUtc();
  const QString now = when.toString(Qt::ISODateWithMs);
  const QString path = QFileInfo(QString::fromStdString(use.path)).absoluteFilePath();
  const QString href = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());

  QXmlStreamReader reader(text);
  Element root, bookmark, info, metadata, applications, application;
  Prefixes prefixes;
  std::vector<Element*> open;  // the elements of interest enclosing the reader, null for others
  bool inOurs = false;
  auto startTag = [&](Element& e) {
    e.found = true;
    e.qualifiedName = reader.qualifiedName().toString();
    e.namespaces = reader.namespaceDeclarations();
    e.attributes = reader.attributes();
    e.tagEnd = reader.characterOffset();
    e.tagStart = text.lastIndexOf(QLatin1Char('<'), e.tagEnd - 1);
    e.empty = e.tagEnd >= 2 && text.at(e.tagEnd - 2) == QLatin1Char('/');
    e.endTagStart = -1;
  };
  while (!reader.atEnd()) {
    switch (reader.readNext()) {
      case QXmlStreamReader::StartDocument: {
        const QString encoding = reader.documentEncoding().toString();
        if (!encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0) return {};
        break;
      }
      case QXmlStreamReader::StartElement: {
        const size_t depth = open.size();
        const auto parent = depth ? open.back() : nullptr;
        Element* mine = nullptr;
        if (depth == 0) {
          if (reader.name() != QLatin1String("xbel") || !reader.namespaceUri().isEmpty()) return {};
          mine = &root;
          for (const auto& ns : reader.namespaceDeclarations()) {
            if (ns.namespaceUri() == kBookmarkNs) prefixes.bookmark = ns.prefix().toString();
            if (ns.namespaceUri() == kMimeNs) prefixes.mime = ns.prefix().toString();
          }
        } else if (parent == &root && reader.name() == QLatin1String("bookmark") && !bookmark.found &&
                   SamePath(reader.attributes().value(QLatin1String("href")).toString(), path)) {
          mine = &bookmark;
          inOurs = true;
        } else if (inOurs && parent == &bookmark && reader.name() == QLatin1String("info") && !info.found) {
          mine = &info;
        } else if (inOurs && parent == &info && reader.name() == QLatin1String("metadata") && !metadata.found &&
                   reader.attributes().value(QLatin1String("owner")) == kMetadataOwner) {
          mine = &metadata;
        } else if (inOurs && parent == &metadata && reader.namespaceUri() == kBookmarkNs &&
                   reader.name() == QLatin1String("applications") && !applications.found) {
          mine = &applications;
        } else if (inOurs && parent == &applications && reader.namespaceUri() == kBookmarkNs &&
                   reader.name() == QLatin1String("application") && !application.found &&
                   reader.attributes().value(QLatin1String("name")) == QString::fromStdString(use.appName)) {
          mine = &application;
        }
        if (mine) startTag(*mine);
        open.push_back(mine);
        break;
      }
      case QXmlStreamReader::EndElement: {
        if (open.empty()) return {};
        if (Element* e = open.back(); e && !e->empty) {
          e->endTagStart = text.lastIndexOf(QLatin1Char('<'), reader.characterOffset() - 1);
          if (e == &bookmark) inOurs = false;
        } else if (e == &bookmark) {
          inOurs = false;
        }
        open.pop_back();
        break;
      }
      default:
        break;
    }
  }
  if (reader.hasError() || !root.found) return {};

  std::vector<Splice> splices;
  if (!bookmark.found) {
    splices.push_back(InsertInto(root, QLatin1Char('\n') + BookmarkBlock(prefixes, use, href, now)));
  } else {
    const std::vector<std::pair<QString, QString>> times{{QStringLiteral("modified"), now}, {QStringLiteral("visited"), now}};
    if (bookmark.empty) {
      splices.push_back({bookmark.tagStart, bookmark.tagEnd - bookmark.tagStart,
                         StartTag(bookmark, times, false) + QStringLiteral("\n    ") + InfoBlock(prefixes, use, now) +
                             QStringLiteral("\n  </") + bookmark.qualifiedName + QLatin1Char('>')});
    } else {
      splices.push_back({bookmark.tagStart, bookmark.tagEnd - bookmark.tagStart, StartTag(bookmark, times, false)});
      if (application.found) {
        const int count = application.attributes.value(QLatin1String("count")).toInt();
        splices.push_back({application.tagStart, application.tagEnd - application.tagStart,
                           StartTag(application,
                                    {{QStringLiteral("exec"), QString::fromStdString(use.exec)},
                                     {QStringLiteral("modified"), now},
                                     {QStringLiteral("count"), QString::number(std::max(count, 0) + 1)}},
                                    application.empty)});
      } else if (applications.found) {
        Prefixes inner = prefixes;
        inner.bookmark = applications.qualifiedName.section(QLatin1Char(':'), 0, -2);
        splices.push_back(InsertInto(applications, QStringLiteral("  ") + ApplicationTag(inner, use, now, 1) +
                                                       QStringLiteral("\n        ")));
      } else if (metadata.found) {
        splices.push_back(InsertInto(metadata, QStringLiteral("  ") + ApplicationsBlock(prefixes, use, now) +
                                                   QStringLiteral("\n      ")));
      } else if (info.found) {
        splices.push_back(InsertInto(info, QStringLiteral("  ") + MetadataBlock(prefixes, use, now) + QStringLiteral("\n    ")));
      } else {
        splices.push_back(InsertInto(bookmark, QStringLiteral("  ") + InfoBlock(prefixes, use, now) + QStringLiteral("\n  ")));
      }
    }
  }
  std::sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.pos > b.pos; });
  QString out = text;
  for (const Splice& s : splices) out.replace(s.pos, s.length, s.text);
  return out;
}

const char kEmptyList[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    "></xbel>\n";

bool ReadAllFrom(int fd, std::string& out) {
  out.clear();
  char buffer[65536];
  for (off_t at = 0;;) {
    const ssize_t n = pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
    at += n;
  }
}

bool WriteAllTo(int fd, const QByteArray& bytes) {
  for (qsizetype done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// A whole new file beside the list, ready to take its place; "" when it cannot be written.
std::string WriteBeside(const std::string& list, const QByteArray& bytes, mode_t mode) {
  std::string temp = list + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return {};
  const bool ok = fchmod(fd, mode) == 0 && WriteAllTo(fd, bytes) && fsync(fd) == 0;
  if (close(fd) != 0 || !ok) {
    unlink(temp.c_str());
    return {};
  }
  return temp;
}
}  // namespace

void SHAddToRecentDocs(UINT flags, LPCVOID pv) {
  if (!pv) return;
  std::wstring path;
  if (flags == SHARD_PATHW) path = static_cast<const wchar_t*>(pv);
  else if (flags == SHARD_PATHA) path = qlw::FromUtf8(static_cast<const char*>(pv));
  else return;
  if (path.empty()) return;
  qlw::RecentUse use;
  use.path = QFileInfo(QString::fromStdWString(path)).absoluteFilePath().toStdString();
  if (const qlw::RecentMimeTypeResolver resolver = g_resolver.load()) use.mimeType = resolver(path);
  if (use.mimeType.empty()) use.mimeType = QMimeDatabase().mimeTypeForFile(QString::fromStdString(use.path)).name().toStdString();
  const wchar_t* name = AfxGetAppName();
  use.appName = qlw::ToUtf8(name && *name ? std::wstring(name) : std::wstring(L"Quillonographic"));
  wchar_t exe[4096] = {};
  const DWORD length = GetModuleFileNameW(nullptr, exe, 4096);
  std::string quoted = "'";
  for (const char c : qlw::ToUtf8(std::wstring(exe, length))) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  use.exec = quoted + "' %u";
  qlw::AddRecentlyUsed(use);
}

namespace qlw {
void SetRecentMimeTypeResolver(RecentMimeTypeResolver resolver) { g_resolver = resolver; }

std::string RecentlyUsedPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder = data && *data == '/' ? std::string(data) : std::string();
  if (folder.empty()) {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : "") + "/.local/share";
  }
  return folder + "/recently-used.xbel";
}

bool AddRecentlyUsed(const RecentUse& use) {
  const std::string list = RecentlyUsedPath();
  MakeFolders(list.substr(0, list.rfind('/')));
  // A writer that replaced the list while this one waited for the lock leaves it holding the old
  // file: then the new one is read again. Each such turn means another writer got through, so
  // busy moments only make it wait; the bound only guards against a list that never holds still.
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const int fd = open(list.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno != ENOENT) return false;
    if (fd < 0) {
      // No list yet: a whole new one takes its place only while there is still none.
      const QString text = AddToList(QString::fromUtf8(kEmptyList), use);
      const std::string temp = WriteBeside(list, text.toUtf8(), 0600);
      if (temp.empty()) return false;
      const bool placed = link(temp.c_str(), list.c_str()) == 0;
      const int error = errno;
      unlink(temp.c_str());
      if (placed) return true;
      if (error != EEXIST) return false;
      continue;
    }
    struct FdCloser {
      int fd;
      ~FdCloser() { close(fd); }
    } closer{fd};
    while (flock(fd, LOCK_EX) != 0)
      if (errno != EINTR) return false;
    struct stat held {}, named {};
    if (fstat(fd, &held) != 0) return false;
    if (stat(list.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev) continue;
    std::string bytes;
    if (!ReadAllFrom(fd, bytes)) return false;
    QString text;
    if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
      text = QString::fromUtf8(kEmptyList);
    } else {
      QStringDecoder decoder(QStringDecoder::Utf8);
      text = decoder(QByteArray::fromStdString(bytes));
      if (decoder.hasError()) return false;
    }
    const QString changed = AddToList(text, use);
    if (changed.isNull()) return false;
    const std::string temp = WriteBeside(list, changed.toUtf8(), held.st_mode & 07777);
    if (temp.empty()) return false;
    if (rename(temp.c_str(), list.c_str()) != 0) {
      unlink(temp.c_str());
      return false;
    }
    return true;
  }
  return false;
}
}  // namespace qlw
