#pragma once
#include <QSettings>
#include <memory>

#include "link/user_paths.hpp"

namespace brisko::gui {

// The window's own remembered choices (recent files, the log pane), kept in
// "window.ini" beside the port and rate settings. None when the session
// keeps no settings: a simulated run leaves the user's files alone.
std::unique_ptr<QSettings> OpenWindowSettings(const SessionPlaces& places);

}  // namespace brisko::gui
