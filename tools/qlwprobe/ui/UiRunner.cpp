// `ui SCRIPT [--shots DIR] [--show]`: starts the program's main window as the program does and
// runs the script's lines one by one, each once the event queue is empty. Alerts that come up
// are printed and answered here; the line commands are in the other Ui*.cpp files.
#include "UiApi.h"
#include "UiRunnerState.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "Controls.h"
#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "LXAlertDialog.h"
#include "LXApp.h"
#include "NumberLocale.h"
#include "Probe.h"
#include "QlwApp.h"
#include "WndQt.h"
#include "testing/TimerQuery.h"

namespace fs = std::filesystem;

namespace qlwui {
namespace {
constexpr long kShortTimerMs = 200;
constexpr std::chrono::seconds kTimerPatience(3);
constexpr std::chrono::seconds kIdlePatience(60);

std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}

std::vector<bool (*)()>& SettledChecks() {
  static std::vector<bool (*)()> checks;
  return checks;
}

std::string g_shots;

// ---- script lines ----

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// Words split at blanks; "a b" is one word. `quoted` tells which words were in quotes.
void Split(const std::string& text, std::vector<std::string>& words, std::vector<size_t>& starts,
           std::vector<bool>& quoted) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    starts.push_back(i);
    std::string word;
    const bool inQuotes = text[i] == '"';
    if (inQuotes) {
      const size_t close = text.find('"', i + 1);
      if (close == std::string::npos) throw Failure("unclosed quote");
      word = text.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      while (i < text.size() && text[i] != ' ' && text[i] != '\t') word += text[i++];
    }
    words.push_back(word);
    quoted.push_back(inQuotes);
  }
}

// Where alerts and popups find what the current line asked of them.
RunnerState g_state;
}  // namespace

RunnerState& State() { return g_state; }

void Abort(const std::string& why) {
  Print("error: " + why);
  if (g_state.finish) g_state.finish(1);
  _exit(1);
}

std::string Line::Rest(size_t index) const {
  if (index >= starts.size()) return {};
  std::string rest = Trim(body.substr(starts[index]));
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"' && rest.find('"', 1) == rest.size() - 1)
    rest = rest.substr(1, rest.size() - 2);
  return rest;
}

const std::string& Line::Word(size_t index, const char* what) const {
  if (index >= words.size()) throw Failure(std::string("missing ") + what);
  return words[index];
}

Line ParseLine(const std::string& raw, MenuChoice& choice) {
  Line line;
  line.text = Trim(raw);
  std::vector<std::string> words;
  std::vector<size_t> starts;
  std::vector<bool> quoted;
  Split(line.text, words, starts, quoted);
  line.body = line.text;
  choice = MenuChoice();
  const size_t n = words.size();
  if (n >= 3 && words[n - 2] == "menu" && !quoted[n - 2]) {
    choice.given = true;
    choice.byText = quoted[n - 1];
    choice.text = words[n - 1];
    if (!choice.byText) {
      char* end = nullptr;
      const long id = std::strtol(words[n - 1].c_str(), &end, 10);
      if (end && *end == '\0' && id > 0) choice.id = static_cast<UINT>(id);
      else choice.byText = true;
    }
    line.body = Trim(line.text.substr(0, starts[n - 2]));
    words.resize(n - 2);
    starts.resize(n - 2);
  }
  line.words = std::move(words);
  line.starts = std::move(starts);
  return line;
}

void AddCommand(const Command& command) { Table().push_back(command); }
const std::vector<Command>& Commands() { return Table(); }

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

const std::string& ShotsFolder() { return g_shots; }

CDiffractWnd* MainWindow() {
  CQlwApp* app = CQlwApp::GetApp();
  auto* window = app ? dynamic_cast<CDiffractWnd*>(app->GetDocWindow()) : nullptr;
  if (!window) throw Failure("the main window is not open");
  return window;
}

CQlwDoc* Document() {
  CQlwDoc* doc = MainWindow()->GetDocument();
  if (!doc) throw Failure("the main window has no document");
  return doc;
}

void WaitBeforeNextLine(int ms) {
  g_state.waitUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

void AddSettledCheck(bool (*settled)()) { SettledChecks().push_back(settled); }

namespace {
// ---- alerts ----

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += "\n";
    text += part;
  }
  std::string out;
  for (char c : text) out += c == '\n' ? std::string(" | ") : std::string(1, c);
  return out;
}

std::string LabelText(QWidget* dialog, int id) {
  HWND item = GetDlgItem(qlw::HwndOf(dialog), id);
  QWidget* w = item ? qlw::WidgetOf(item) : nullptr;
  auto* label = qobject_cast<QLabel*>(w);
  return label && !label->isHidden() ? label->text().toStdString() : std::string();
}

// The control id an `answer` word names among the buttons a dialog has; 0 when none fits.
int AnsweredButton(HWND dialog, const std::string& word) {
  auto has = [&](int id) {
    HWND h = GetDlgItem(dialog, id);
    return h && IsWindowVisible(h);
  };
  if (word == "ok") return has(IDOK) ? IDOK : 0;
  if (word == "yes") return has(IDYES) ? IDYES : has(IDOK) ? IDOK : 0;
  if (word == "no") return has(IDNO) ? IDNO : has(IDCANCEL) ? IDCANCEL : 0;
  if (word == "cancel") return has(IDCANCEL) ? IDCANCEL : 0;
  return 0;
}

QAbstractButton* MessageBoxButton(QMessageBox* box, const std::string& word) {
  if (word.empty()) return box->defaultButton() ? box->defaultButton() : box->escapeButton();
  const QMessageBox::StandardButton wanted = word == "ok"    ? QMessageBox::Ok
                                             : word == "yes" ? QMessageBox::Yes
                                             : word == "no"  ? QMessageBox::No
                                                             : QMessageBox::Cancel;
  if (QAbstractButton* b = box->button(wanted)) return b;
  if (word == "yes") return box->button(QMessageBox::Ok);
  if (word == "no") return box->button(QMessageBox::Cancel);
  return nullptr;
}

// Prints and answers an alert or Qt message box that is up; false when none is.
bool AnswerOpenAlert() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    std::string word = g_state.answer;
    if (auto* box = qobject_cast<QMessageBox*>(top)) {
      Print("alert: " + Joined({box->text().toStdString(), box->informativeText().toStdString()}));
      QAbstractButton* button = MessageBoxButton(box, word);
      g_state.answer.clear();
      if (!button) throw Failure("the alert has no button for \"" + word + "\"");
      ClickAt(button, button->rect().center());
      return true;
    }
    HWND hwnd = qlw::HwndOf(top);
    auto* alert = dynamic_cast<CLXAlertDialog*>(CWnd::FromHandlePermanent(hwnd));
    if (!alert) continue;
    Print("alert: " + Joined({LabelText(top, CLXAlertDialog::kIdMessage), LabelText(top, CLXAlertDialog::kIdExplanation)}));
    const int id = word.empty() ? static_cast<int>(alert->GetDefaultButton()) : AnsweredButton(hwnd, word);
    g_state.answer.clear();
    if (id == 0) throw Failure("the alert has no button for \"" + word + "\"");
    QWidget* button = qlw::WidgetOf(GetDlgItem(hwnd, id));
    if (!button) throw Failure("the alert's button is missing");
    ClickAt(button, button->rect().center());
    return true;
  }
  return false;
}

// ---- the driver ----

// Runs the lines on Qt's event loop: a fresh zero-interval timer per step fires once the loop has
// handled what was waiting; a step runs the next line only after two such turns in a row saw no
// event at all, so posted messages, timers due now and idle updates have all been handled, and
// no timer is due within kShortTimerMs (work the program deferred on purpose). A line
// whose command opens a modal loop does not stop the script: the next step fires inside that loop.
class Driver : public QObject {
 public:
  explicit Driver(std::vector<std::string> lines) : m_lines(std::move(lines)) {}

  void Begin() {
    QCoreApplication::instance()->installEventFilter(this);
    Schedule(0);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != this && watched->parent() != this) ++m_events;
    (void)event;
    return false;
  }

  // The exit code once the program ended by itself.
  int Ended() {
    for (size_t i = m_next; i < m_lines.size(); ++i) {
      const std::string line = Trim(m_lines[i]);
      if (line.empty() || line[0] == '#') continue;
      Print("error: the program ended before line " + std::to_string(i + 1));
      return 1;
    }
    return 0;
  }

 private:
  void Schedule(int ms) {
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, timer] {
      timer->deleteLater();
      Step();
    });
    timer->start(ms);
  }

  bool Settled() {
    if (m_events != m_seen) {
      m_seen = m_events;
      m_quietTurns = 0;
      return false;
    }
    for (auto check : SettledChecks())
      if (!check()) return false;
    return ++m_quietTurns >= 2;
  }

  void Step() {
    try {
      const auto now = std::chrono::steady_clock::now();
      if (g_state.waitUntil != std::chrono::steady_clock::time_point{}) {
        if (now < g_state.waitUntil) {
          Schedule(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(g_state.waitUntil - now).count()) + 1);
          return;
        }
        g_state.waitUntil = {};
        m_lineStarted = now;
      }
      // A timer due soon holds work the program deferred (a throttled repaint): it comes first,
      // unless it keeps coming back (a repeating timer), which would hold the script forever.
      const long due = qlw::testing::NextTimerDueMs();
      if (due >= 0 && due <= kShortTimerMs && now - m_lineStarted < kTimerPatience) {
        Schedule(static_cast<int>(due) + 1);
        return;
      }
      if (!Settled()) {
        // Something that never stops posting would hold the script forever.
        if (now - m_lineStarted > kIdlePatience) throw Failure("the program never became idle");
        Schedule(0);
        return;
      }
      m_quietTurns = 0;
      if (AnswerOpenAlert()) {
        Schedule(0);
        return;
      }
      // Long work that lets events through between its steps (showing or reading many patterns)
      // has not finished: a line run now would see it half done, which no user input can.
      if (CLXApp::IsCancellableRunning()) {
        Schedule(0);
        return;
      }
      // Lines wait for the window: start-up may raise an alert before it exists.
      if (!m_started) {
        Schedule(0);
        return;
      }
      if (g_state.choice.given && !g_state.choice.used)
        throw Failure("no popup menu opened for the menu choice");
      if (m_next >= m_lines.size()) Finish(0);
      const std::string raw = m_lines[m_next++];
      const std::string trimmed = Trim(raw);
      m_lineStarted = std::chrono::steady_clock::now();
      Schedule(0);
      if (trimmed.empty() || trimmed[0] == '#') return;
      RunLine(trimmed);
    } catch (const Failure& failure) {
      Print(std::string("error: ") + failure.what());
      Finish(1);
    }
  }

  void RunLine(const std::string& text) {
    Print("> " + text);
    MenuChoice choice;
    const Line line = ParseLine(text, choice);
    g_state.choice = choice;
    if (line.words.empty()) throw Failure("empty line");
    for (const Command& c : Table()) {
      if (line.words[0] == c.name) {
        c.run(line);
        return;
      }
    }
    throw Failure("unknown command \"" + line.words[0] + "\"");
  }

 public:
  // Ends the process at once: the program's own exit is `quit`, and a modal loop may be running.
  [[noreturn]] void Finish(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (m_cleanup) m_cleanup();
    _exit(code);
  }
  void (*m_cleanup)() = nullptr;
  bool m_started = false;

 private:
  std::vector<std::string> m_lines;
  size_t m_next = 0;
  unsigned long m_events = 0;
  unsigned long m_seen = ~0ul;
  int m_quietTurns = 0;
  std::chrono::steady_clock::time_point m_lineStarted = std::chrono::steady_clock::now();
};

std::string g_tempFolder;
void RemoveTempFolder() {
  if (g_tempFolder.empty()) return;
  std::error_code ignored;
  fs::remove_all(g_tempFolder, ignored);
}

int Usage() {
  std::fprintf(stderr, "usage: qlwprobe ui SCRIPT [--shots DIR] [--show]\n");
  return 2;
}

int RunUi(const std::vector<std::string>& args) {
  std::string script;
  bool show = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--show") show = true;
    else if (args[i] == "--shots" && i + 1 < args.size()) g_shots = args[++i];
    else if (script.empty() && args[i].rfind("--", 0) != 0) script = args[i];
    else return Usage();
  }
  if (script.empty()) return Usage();
  std::ifstream in(script);
  if (!in) {
    std::fprintf(stderr, "qlwprobe: cannot read %s\n", script.c_str());
    return 2;
  }
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  if (!g_shots.empty()) {
    std::error_code ignored;
    fs::create_directories(g_shots, ignored);
  }

  if (!show) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Alerts come up as boxes, which the runner answers, never as lines on standard error.
  unsetenv("QLW_QUIET");
  // A fresh registry unless one is named; a private runtime folder, so that the window neither
  // hands its start over to a program the user runs nor takes one over from it.
  const bool needRegistry = !std::getenv("QLW_REGISTRY_DIR") || !*std::getenv("QLW_REGISTRY_DIR");
  const bool needRuntime = !std::getenv("QLW_RUNTIME_DIR") || !*std::getenv("QLW_RUNTIME_DIR");
  if (needRegistry || needRuntime) {
    char pattern[] = "/tmp/qlwprobe-ui-XXXXXX";
    if (!mkdtemp(pattern)) {
      std::fprintf(stderr, "qlwprobe: cannot make a temporary folder\n");
      return 1;
    }
    g_tempFolder = pattern;
    if (needRegistry) setenv("QLW_REGISTRY_DIR", (g_tempFolder + "/registry").c_str(), 1);
    if (needRuntime) setenv("QLW_RUNTIME_DIR", (g_tempFolder + "/runtime").c_str(), 1);
  }

  // As the program's entry starts it (programs/quillonographic/main.cpp and AfxWinMain).
  static int argc = 1;
  static char name[] = "quillonographic";
  static char* argv[] = {name, nullptr};
  QCoreApplication::setApplicationName(QStringLiteral("Quillonographic"));
  QGuiApplication::setDesktopFileName(QStringLiteral("quillonographic"));
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/ico1000.svg")));
  CQlwApp app;
  app.SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
  InstallRunnerSeams();

  Driver driver(std::move(lines));
  driver.m_cleanup = &RemoveTempFolder;
  g_state.finish = [&driver](int code) { driver.Finish(code); };
  // The steps start with the window's own start-up: an alert it raises is answered too.
  driver.Begin();
  app.SetArguments(argc, argv);
  qlw::ResetNumericLocale();
  if (!app.InitInstance()) {
    Print("error: the program did not start");
    driver.Finish(1);
  }
  driver.m_started = true;
  app.Run();
  driver.Finish(driver.Ended());
}
}  // namespace
}  // namespace qlwui

QLW_PROBE_COMMAND(ui, "ui", "SCRIPT [--shots DIR] [--show]", qlwui::RunUi);
