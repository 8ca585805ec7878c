#pragma once
#include <cstdio>

#include "cli/arguments.hpp"
#include "link/user_paths.hpp"

namespace brisko {
class Session;
}

namespace brisko::cli {

// What brisko-cli does with the saved port, rate and crystal: they are the
// defaults of every run on a real port (of a simulated one only with
// --save-settings); they are written only with --save-settings, and only
// once a detection has proved them, so a failed run, a run on a device path
// or one of several scripts at once never changes another run's defaults.
struct CliSettings {
  SessionPlaces places;
  bool save = false;  // write them after a successful detection
};

// The user's places for this run. A settings file that is there but not
// valid is said once on `err` and left as it is, unless the command line
// gives the values to save in its place.
CliSettings PlanSettings(const Arguments& args, bool simulated, std::FILE* err);

// After a successful detection: writes the session's port, rate and crystal
// when planned. False, said on `err`, when they could not be written.
bool SaveProvenSettings(const CliSettings& settings, Session& session, std::FILE* err);

}  // namespace brisko::cli
