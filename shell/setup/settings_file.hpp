#pragma once
#include <string>

#include "chip/session_record.hpp"
#include "link/user_paths.hpp"
#include "shell/setup/settings_text.hpp"

namespace brisko {

class Session;

// The settings file "COM%d$BAUD%d$CRYSTAL%f$$": port number, baud rate and
// crystal frequency in MHz, kept between runs (text and limits in
// shell/setup/settings_text.hpp).
//
// What front ends do with it:
//  - at start-up ApplySavedSettings() applies a valid file and returns, in one
//    sentence naming the file, why a file that is there was ignored ("" when
//    it was applied or there is none); SettingsFileProblem() tells the same
//    without applying, for a front end that reports it once;
//  - before saving, SettingsProblem() checks the values the operator gave
//    ("" when they may be saved); WriteSettingsFile() refuses anything the
//    reader would refuse, so a file it writes always reads back.

// Replaces the settings file at `path` with the text, without a line end,
// through a new file renamed over the old one, so that no half-written file
// is left. Writes nothing and returns false when `path` is empty, the reader
// would refuse the text, or the file cannot be written.
bool WriteSettingsFile(const std::string& path, const std::string& text);
// The same, saying why it wrote nothing.
bool WriteSettingsFile(const std::string& path, const std::string& text, std::string& whyNot);

// Applies a valid settings file to the record's port and crystal; a missing
// or invalid file changes nothing. Returns what SettingsFileProblem() says.
std::string ApplySettingsFile(SessionRecord& record, const std::string& path);
// The same for a session's own settings file, shown in its port and rate
// panes: what a front end does once at start-up.
std::string ApplySavedSettings(Session& session);
// "<path> is ignored: <why>" for a settings file that is there but not
// valid; "" when it is valid or missing. Reads only.
std::string SettingsFileProblem(const std::string& path);

// What a confirmed communication set-up saves (the settings file, then
// "COMMPORT" and "BAUDRATE"), from the record's port number, rate and
// crystal: for a front end that saves them itself once a detection has
// proved them. "" when everything was written, else why not.
std::string SaveSessionSettings(const SessionPlaces& places, const SessionRecord& record);

// The two string values "COMMPORT" and "BAUDRATE", written only, kept under
// the organisation "Orvex" in the same place the desktop toolkit's settings
// would put them (<config home>/Orvex/Brisko.conf, section [General]).
// Kept beside the configuration folder, written by the places' writer when
// they have one; nothing is written (and true is returned) for a session that
// keeps no settings.
bool SaveRegistryValue(const SessionPlaces& places, const std::string& name, const std::string& text);

}  // namespace brisko
