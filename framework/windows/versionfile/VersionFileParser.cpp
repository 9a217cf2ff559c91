// irrXML pulls the file node by node; the nodes become a small tree first, so that every search
// stays inside the element it belongs to.
#include "VersionFileParser.h"

#include <irrXML.h>

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

namespace {
// irrXML's read callback over the bytes received: exactly those, nothing past them.
class CUpdateCheckReader : public irr::io::IFileReadCallBack {
 public:
  CUpdateCheckReader(const char* data, size_t size) : m_start(data), m_position(data), m_size(static_cast<long>(size)) {}
  int read(void* buffer, int sizeToRead) override {
    const long left = m_size - static_cast<long>(m_position - m_start);
    const long count = std::min<long>(sizeToRead, left);
    if (count <= 0) return 0;
    std::memcpy(buffer, m_position, static_cast<size_t>(count));
    m_position += count;
    return static_cast<int>(count);
  }
  long getSize() const override { return m_size; }

 private:
  const char* m_start;
  const char* m_position;
  long m_size;
};

// irrXML reads past the end of malformed markup (a "<<", a comment holding "<", a tag left open,
// a control character where it looks for space) and takes a byte-order mark for UTF-16 of any
// length. It is given only well-formed XML of the plain kind a version file is: elements with
// quoted attributes, text, comments, CDATA and the XML declaration, every element closed by its
// own end tag, in UTF-8, with no control character but tab, line feed and carriage return. Space
// is XML's four characters, the only ones irrXML takes for space.
class CMarkupCheck {
 public:
  CMarkupCheck(const char* data, size_t size) : m_data(data), m_size(size) {}

  bool Run() {
    for (size_t i = 0; i < m_size; ++i) {
      const unsigned char c = static_cast<unsigned char>(m_data[i]);
      if ((c < 0x20 && !IsSpace(c)) || c == 0xFE || c == 0xFF) return false;
    }
    if (m_size >= 3 && std::memcmp(m_data, "\xEF\xBB\xBF", 3) == 0) m_pos = 3;
    std::vector<std::string> open;
    bool hadRoot = false;
    while (m_pos < m_size) {
      const unsigned char c = static_cast<unsigned char>(m_data[m_pos]);
      if (c == '>') return false;
      if (c != '<') {
        if (open.empty() && !IsSpace(c)) return false;  // text outside the root
        ++m_pos;
        continue;
      }
      if (Starts("<?")) {
        if (!SkipTo(2, "?>")) return false;
      } else if (Starts("<!--")) {
        if (!SkipTo(4, "-->")) return false;
      } else if (Starts("<![CDATA[")) {
        if (open.empty() || !SkipTo(9, "]]>")) return false;
      } else if (Starts("</")) {
        m_pos += 2;
        std::string name;
        if (!Name(name) || open.empty() || open.back() != name) return false;
        open.pop_back();
        SkipSpace();
        if (!Take('>')) return false;
      } else {
        ++m_pos;
        std::string name;
        if (!Name(name) || (open.empty() && hadRoot)) return false;
        hadRoot = true;
        for (;;) {
          const bool spaced = SkipSpace();
          if (Take('>')) {
            open.push_back(name);
            break;
          }
          if (Starts("/>")) {
            m_pos += 2;
            break;
          }
          std::string attribute;
          if (!spaced || !Name(attribute)) return false;
          SkipSpace();
          if (!Take('=')) return false;
          SkipSpace();
          if (m_pos >= m_size || (m_data[m_pos] != '"' && m_data[m_pos] != '\'')) return false;
          const char quote = m_data[m_pos++];
          while (m_pos < m_size && m_data[m_pos] != quote) {
            if (m_data[m_pos] == '<' || m_data[m_pos] == '>') return false;
            ++m_pos;
          }
          if (!Take(quote)) return false;
        }
      }
    }
    return hadRoot && open.empty();
  }

 private:
  static bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  bool Starts(const char* text) const {
    const size_t n = std::strlen(text);
    return m_pos + n <= m_size && std::memcmp(m_data + m_pos, text, n) == 0;
  }
  // Past the opening (start bytes) and the end marker; between them no markup, no quotes and no
  // "--", so that no reader can take any of it for something else.
  bool SkipTo(size_t start, const char* end) {
    const size_t n = std::strlen(end);
    m_pos += start;
    for (; m_pos + n <= m_size; ++m_pos) {
      if (std::memcmp(m_data + m_pos, end, n) == 0) {
        m_pos += n;
        return true;
      }
      const char c = m_data[m_pos];
      if (c == '<' || c == '>' || c == '\'' || (c == '-' && m_data[m_pos + 1] == '-')) return false;
    }
    return false;
  }
  bool SkipSpace() {
    const size_t start = m_pos;
    while (m_pos < m_size && IsSpace(static_cast<unsigned char>(m_data[m_pos]))) ++m_pos;
    return m_pos > start;
  }
  bool Take(char c) {
    if (m_pos >= m_size || m_data[m_pos] != c) return false;
    ++m_pos;
    return true;
  }
  bool Name(std::string& out) {
    const size_t start = m_pos;
    while (m_pos < m_size) {
      const unsigned char c = static_cast<unsigned char>(m_data[m_pos]);
      const bool first = m_pos == start;
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      const bool digit = c >= '0' && c <= '9';
      if (letter || c == '_' || c == ':' || (!first && (digit || c == '-' || c == '.')))
        ++m_pos;
      else
        break;
    }
    out.assign(m_data + start, m_pos - start);
    return !out.empty();
  }

  const char* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

struct Node {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::unique_ptr<Node>> children;
  std::vector<std::string> texts;  // the text nodes directly inside, in order
};

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

const std::string* Attribute(const Node& node, const std::string& name) {
  for (const auto& a : node.attributes)
    if (SameText(a.first, name)) return &a.second;
  return nullptr;
}

const Node* Child(const Node& node, const std::string& name, const char* attribute = nullptr,
                  const std::string& value = std::string()) {
  for (const auto& child : node.children) {
    if (!SameText(child->name, name)) continue;
    if (!attribute) return child.get();
    const std::string* v = Attribute(*child, attribute);
    if (v && SameText(*v, value)) return child.get();
  }
  return nullptr;
}

// irrXML's reader factory. Its library (a 3-D engine) is loaded on the first version file rather
// than at start-up, where it and the graphics libraries it brings took a part of every start.
using CreateXMLReader = irr::io::IrrXMLReader* (*)(irr::io::IFileReadCallBack*, bool);
CreateXMLReader XMLReaderFactory() {
  static const CreateXMLReader factory = []() -> CreateXMLReader {
    void* library = dlopen(QLW_IRRLICHT_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    return reinterpret_cast<CreateXMLReader>(dlsym(library, "_ZN3irr2io18createIrrXMLReaderEPNS0_17IFileReadCallBackEb"));
  }();
  return factory;
}

// The first element of the file with everything inside it; null when there is none (or no reader).
std::unique_ptr<Node> ReadTree(const char* data, size_t size) {
  // irrXML stops at a NUL wherever it looks for one: its copy ends in ours, whatever it adds.
  std::string copy(data, size);
  copy.append(4, '\0');
  CUpdateCheckReader reader(copy.data(), copy.size());
  const CreateXMLReader create = XMLReaderFactory();
  if (!create) return nullptr;
  std::unique_ptr<irr::io::IrrXMLReader> xml(create(&reader, false));
  if (!xml) return nullptr;
  std::unique_ptr<Node> root;
  std::vector<Node*> open;
  while (xml->read()) {
    switch (xml->getNodeType()) {
      case irr::io::EXN_ELEMENT: {
        if (!root && !open.empty()) return nullptr;
        if (root && open.empty()) return root;  // a second top-level element is not read
        auto node = std::make_unique<Node>();
        node->name = xml->getNodeName() ? xml->getNodeName() : "";
        for (int i = 0; i < static_cast<int>(xml->getAttributeCount()); ++i) {
          const char* n = xml->getAttributeName(i);
          const char* v = xml->getAttributeValue(i);
          node->attributes.emplace_back(n ? n : "", v ? v : "");
        }
        Node* raw = node.get();
        if (!root) {
          root = std::move(node);
        } else {
          open.back()->children.push_back(std::move(node));
        }
        // <versionlist/> has no end tag: an empty element is closed at once.
        if (!xml->isEmptyElement()) open.push_back(raw);
        break;
      }
      case irr::io::EXN_ELEMENT_END:
        if (!open.empty()) open.pop_back();
        break;
      case irr::io::EXN_TEXT:
      case irr::io::EXN_CDATA:
        if (!open.empty() && xml->getNodeData()) open.back()->texts.emplace_back(xml->getNodeData());
        break;
      default:
        break;
    }
  }
  return root;
}
}  // namespace

namespace LXVersionFile {
bool ReadVersionTexts(const char* data, size_t size, const std::string& product, const std::string& platform,
                      std::vector<std::string>& versions) {
  versions.clear();
  if (!data || size == 0 || !CMarkupCheck(data, size).Run()) return false;
  const std::unique_ptr<Node> root = ReadTree(data, size);
  if (!root || !SameText(root->name, "versionfile")) return false;
  const std::string* fileVersion = Attribute(*root, "version");
  if (!fileVersion || *fileVersion != "1") return false;
  const Node* list = Child(*root, "productlist");
  const Node* item = list ? Child(*list, "product", "name", product) : nullptr;
  const Node* system = item ? Child(*item, "platform", "name", platform) : nullptr;
  const Node* versionList = system ? Child(*system, "versionlist") : nullptr;
  if (!versionList) return false;
  for (const auto& child : versionList->children) {
    if (!SameText(child->name, "version")) continue;
    if (child->texts.empty()) return false;
    std::string text;
    for (const std::string& t : child->texts) text += t;
    versions.push_back(text);
  }
  return true;
}
}  // namespace LXVersionFile
