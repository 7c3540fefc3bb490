// frmSplash: the splash window.
#include "shell/frm_splash.h"

#include "shell/svg_picture.h"

#include <QKeyEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace norvexa::shell {

frmSplash::frmSplash(QWidget* main_window, int pause_ms, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), main_window_(main_window) {
  setWindowTitle("Norvexa");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new SvgPicture(":/pictures/splash.svg", this));
  resize(480, 300);
  setFocusPolicy(Qt::StrongFocus);

  Timer1 = new QTimer(this);
  Timer1->setInterval(10);
  connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);

  pause_ = new QTimer(this);
  pause_->setSingleShot(true);
  pause_->setInterval(pause_ms);
  connect(pause_, &QTimer::timeout, this, &frmSplash::EndSplash);
}

void frmSplash::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!ended_) Timer1->start();
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
  Form_KeyPress();
  event->accept();
}

void frmSplash::Timer1_Timer() {
  // Only the first tick counts; the pause runs without blocking so that a
  // key press can still end the splash early.
  Timer1->stop();
  if (!ended_ && !pause_->isActive()) pause_->start();
}

void frmSplash::Form_KeyPress() { EndSplash(); }

void frmSplash::EndSplash() {
  if (ended_) return;
  ended_ = true;
  Timer1->stop();
  pause_->stop();
  if (main_window_) main_window_->show();
  close();
}

}  // namespace norvexa::shell
