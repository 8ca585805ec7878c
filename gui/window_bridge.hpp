#pragma once
#include <QObject>
#include <mutex>

#include "shell/session/window_state.hpp"

namespace brisko::gui {

// Which aspects of the window state changed, one bit per WindowAspect.
using AspectMask = unsigned;
inline AspectMask BitOf(WindowAspect aspect) { return 1u << static_cast<unsigned>(aspect); }

// Carries the shell's window changes to the UI thread. The shell calls
// WindowChanged on whatever thread made the change (mostly the command
// thread); the bridge copies the changed part and posts one queued delivery
// for any number of changes made before the UI thread gets to it, so a
// command stepping the progress bar per sector cannot flood the event loop.
class WindowBridge final : public QObject, public WindowObserver {
  Q_OBJECT
 public:
  explicit WindowBridge(QObject* parent = nullptr) : QObject(parent) {}

  void WindowChanged(WindowAspect aspect, const WindowState& state) override;

 signals:
  // On the UI thread: the aspects in `changed` hold their newest values in
  // `state` (the other fields are stale).
  void Changed(unsigned changed, const brisko::WindowState& state);

 private:
  void Deliver();

  std::mutex mutex_;
  WindowState pending_;
  AspectMask dirty_ = 0;
};

}  // namespace brisko::gui
