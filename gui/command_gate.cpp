#include "gui/command_gate.hpp"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>

namespace brisko::gui {

const char* const CommandGate::kBusyReason =
    "Busy: wait for the end, or press Cancel (Esc).";

void CommandGate::AddAction(QAction* action, bool available) {
  actions_.push_back({action, available});
  action->setEnabled(available && !busy_);
}

// A press on a disabled widget may reach only the enabled parent under it, so
// the parent is watched too.
void CommandGate::WatchWidget(QWidget* widget) {
  widgets_.insert(widget);
  connect(widget, &QObject::destroyed, this, [this, widget] { widgets_.remove(widget); });
  widget->installEventFilter(this);
  if (QWidget* parent = widget->parentWidget()) parent->installEventFilter(this);
}

void CommandGate::WatchMenu(QMenu* menu) { menu->installEventFilter(this); }

void CommandGate::SetBusy(bool busy) {
  busy_ = busy;
  for (const Gated& gated : actions_)
    if (gated.action) gated.action->setEnabled(gated.available && !busy);
}

bool CommandGate::eventFilter(QObject* watched, QEvent* event) {
  if (!busy_) return false;
  // A menu takes its choice on release; a button is tried by pressing it.
  auto* menu = qobject_cast<QMenu*>(watched);
  if (event->type() != (menu ? QEvent::MouseButtonRelease : QEvent::MouseButtonPress)) return false;
  if (menu) {
    const QAction* item = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    if (item && !item->isEnabled() && !item->isSeparator() && !item->menu()) emit Refused();
    return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget) return false;
  if (!widgets_.contains(widget)) {
    QWidget* child = widget->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    while (child && child != widget && !widgets_.contains(child)) child = child->parentWidget();
    if (!child || child == widget) return false;
    widget = child;
  }
  if (!widget->isEnabled()) emit Refused();
  return false;
}

}  // namespace brisko::gui
