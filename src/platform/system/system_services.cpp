// The current system services and the guard that lets tests replace them.
#include "platform/system/system_services.h"

#include "platform/system/windowless_services.h"

#include <QDir>

namespace norvexa::sys {
namespace {

SystemServices*& Current() {
  // A program with windows installs the services of its dialogs at its
  // start (platform/dialogs/qt_system_services.h).
  static WindowlessServices windowless;
  static SystemServices* current = &windowless;
  return current;
}

}  // namespace

SystemServices& Services() { return *Current(); }

ScopedServices::ScopedServices(SystemServices& services) : previous_(Current()) { Current() = &services; }

ScopedServices::~ScopedServices() { Current() = previous_; }

void ShowNotice(QWidget* owner, const QString& text, const QString& title, Icon icon, const QString& detail) {
  Message message;
  message.text = text;
  message.title = title;
  message.icon = icon;
  message.buttons = Buttons::Ok;
  message.detail = detail;
  Services().ShowMessage(owner, message);
}

QString PathSeparator() { return QString(QDir::separator()); }

}  // namespace norvexa::sys
