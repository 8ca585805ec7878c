#include "gui/command_gate.hpp"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>

namespace brisko::gui {

const char* const CommandGate::kBusyReason =
    "A command is running: wait for its end, or stop it with Cancel (Esc).";

void CommandGate::AddAction(QAction* action, bool available) {
  actions_.push_back({action, available});
  action->setEnabled(available && !busy_);
}

void CommandGate::WatchWidget(QWidget* widget) { widget->installEventFilter(this); }

void CommandGate::WatchMenu(QMenu* menu) { menu->installEventFilter(this); }

void CommandGate::SetBusy(bool busy) {
  busy_ = busy;
  for (const Gated& gated : actions_)
    if (gated.action) gated.action->setEnabled(gated.available && !busy);
}

bool CommandGate::eventFilter(QObject* watched, QEvent* event) {
  if (!busy_ || event->type() != QEvent::MouseButtonRelease) return false;
  if (auto* menu = qobject_cast<QMenu*>(watched)) {
    const QAction* item = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    if (item && !item->isEnabled() && !item->isSeparator() && !item->menu()) emit Refused();
    return false;
  }
  if (auto* widget = qobject_cast<QWidget*>(watched); widget && !widget->isEnabled()) emit Refused();
  return false;
}

}  // namespace brisko::gui
