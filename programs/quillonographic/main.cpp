// The program's entry: its one application object, theApp, run on Qt under the program's own name
// and icon, so that the desktop matches its windows to the installed desktop entry.
#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QThreadPool>

#include "AfxApp.h"
#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "QlwApp.h"

CQlwApp theApp;

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("Quillonographic"));
  QGuiApplication::setDesktopFileName(QStringLiteral("quillonographic"));
  theApp.PrepareRegistrationWithoutDisplay(argc, argv);
  QApplication application(argc, argv);
  // Reading the system's fonts takes a few milliseconds before the first text is measured: read
  // them beside the start's other work. The application waits for its pool's work as it ends.
  QThreadPool::globalInstance()->start([] { QFontDatabase::families(); });
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/ico1000.svg")));
  theApp.SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
  return AfxWinMain(argc, argv);
}
