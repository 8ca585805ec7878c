#include "cli/cli_settings.hpp"

#include "shell/session/session.hpp"
#include "shell/setup/settings_file.hpp"
#include "shell/setup/user_places.hpp"

namespace brisko::cli {

CliSettings PlanSettings(const Arguments& args, bool simulated, std::FILE* err) {
  CliSettings settings{UserPlaces(), args.saveSettings};
  // A simulated run leaves the user's saved port, rate and crystal alone.
  settings.places.keepSettings = !simulated || args.saveSettings;
  settings.places.setupWritesSettings = false;
  const std::string problem = SettingsFileProblem(settings.places.SettingsFile());
  if (problem.empty()) return settings;
  std::fprintf(err, "brisko-cli: %s\n", problem.c_str());
  if (settings.save && !args.port && !args.baud && !args.crystal) {
    std::fprintf(err, "brisko-cli: it is kept: --save-settings replaces it only with --port, --baud or --crystal\n");
    settings.save = false;
  }
  return settings;
}

bool SaveProvenSettings(const CliSettings& settings, Session& session, std::FILE* err) {
  if (!settings.save || !session.Record()) return true;
  const std::string whyNot = SaveSessionSettings(settings.places, *session.Record());
  if (whyNot.empty()) return true;
  std::fprintf(err, "brisko-cli: the settings were not saved: %s\n", whyNot.c_str());
  return false;
}

}  // namespace brisko::cli
