// frmSplash: the splash window shown at start. It gives way to the main
// window at the first tick of its timer (after a pause) or at once when a
// key is pressed.
#pragma once

#include <QWidget>

class QTimer;

namespace norvexa::shell {

class frmSplash : public QWidget {
  Q_OBJECT

 public:
  // The pause after the first tick before the main window comes up.
  static constexpr int kDefaultPauseMs = 4000;

  // MAIN_WINDOW (not owned) is shown when the splash ends; PAUSE_MS is the
  // pause between the first tick and that moment.
  explicit frmSplash(QWidget* main_window, int pause_ms = kDefaultPauseMs, QWidget* parent = nullptr);

  // Ticks every 10 ms from the moment the splash is shown.
  QTimer* Timer1 = nullptr;

  // First tick: stops the timer and ends the splash after the pause.
  void Timer1_Timer();

  // A key press ends the splash at once.
  void Form_KeyPress();

  // True once the splash has given way to the main window.
  bool Ended() const { return ended_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Shows the main window (not modal) and unloads the splash. Runs once.
  void EndSplash();

  QWidget* main_window_;
  QTimer* pause_ = nullptr;
  bool ended_ = false;
};

}  // namespace norvexa::shell
