// The program's entry: its one application object, theApp, run on Qt under the program's own name
// and icon, so that the desktop matches its windows to the installed desktop entry.
#include <QApplication>
#include <QIcon>

#include "AfxApp.h"
#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "QlwApp.h"

CQlwApp theApp;

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("Quillonographic"));
  QGuiApplication::setDesktopFileName(QStringLiteral("quillonographic"));
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/ico1000.svg")));
  theApp.SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
  return AfxWinMain(argc, argv);
}
