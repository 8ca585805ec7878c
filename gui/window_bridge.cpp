#include "gui/window_bridge.hpp"

namespace brisko::gui {
namespace {

void CopyAspect(WindowAspect aspect, const WindowState& from, WindowState& to) {
  switch (aspect) {
    case WindowAspect::Caption: to.caption = from.caption; break;
    case WindowAspect::ChipInfo: to.chipInfo = from.chipInfo; break;
    case WindowAspect::Status: to.statusText = from.statusText; break;
    case WindowAspect::Security: to.securityText = from.securityText; break;
    case WindowAspect::Buttons: to.buttons = from.buttons; break;
    case WindowAspect::Progress: to.progress = from.progress; break;
    case WindowAspect::Panes:
      to.messagePane = from.messagePane;
      to.doubleClockPane = from.doubleClockPane;
      to.portPane = from.portPane;
      to.baudPane = from.baudPane;
      to.clockPane = from.clockPane;
      break;
    case WindowAspect::Tab: to.selectedTab = from.selectedTab; break;
    case WindowAspect::Views:
      to.sectorTable = from.sectorTable;
      to.hotSectorRow = from.hotSectorRow;
      to.dumpHeader = from.dumpHeader;
      to.dump = from.dump;
      break;
    case WindowAspect::Closed: break;
  }
}

}  // namespace

void WindowBridge::WindowChanged(WindowAspect aspect, const WindowState& state) {
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    CopyAspect(aspect, state, pending_);
    post = dirty_ == 0;
    dirty_ |= BitOf(aspect);
  }
  if (post) QMetaObject::invokeMethod(this, &WindowBridge::Deliver, Qt::QueuedConnection);
}

void WindowBridge::Deliver() {
  WindowState state;
  AspectMask changed = 0;
  {
    std::lock_guard lock(mutex_);
    changed = dirty_;
    dirty_ = 0;
    // Only the changed aspects: the views' rows are copied once per fill,
    // not once per progress step.
    for (unsigned a = 0; a <= static_cast<unsigned>(WindowAspect::Closed); ++a)
      if (changed & (1u << a)) CopyAspect(static_cast<WindowAspect>(a), pending_, state);
  }
  if (changed) emit Changed(changed, state);
}

}  // namespace brisko::gui
