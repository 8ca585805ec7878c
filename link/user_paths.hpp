#pragma once
#include <string>

namespace brisko {

// Writes one registry value ("COMMPORT", "BAUDRATE") into `file`; the text is
// already cut to its length.
using RegistryWriter = bool (*)(const std::string& file, const std::string& name, const std::string& text);

// The folders one session keeps its files in. A front end makes it once per
// session (see shell/setup/user_places.hpp); nothing below the shell reads the
// environment. An empty folder means that nothing of that kind is kept.
struct SessionPlaces {
  std::string configDir;  // settings file, port map
  std::string cacheDir;   // nothing today; kept for caches a front end may add
  std::string dataDir;    // recovery files of displaced block-0 areas
  // False: the settings file is neither read nor written (a simulated run
  // leaves the user's saved port, rate and crystal alone).
  bool keepSettings = true;
  // True: confirming the communication set-up writes the settings (the
  // window). The command line reads them as its defaults and writes them
  // itself, only when asked and once a detection has proved them.
  bool setupWritesSettings = true;
  // How the registry values are written: null for the plain file writer; the
  // desktop window passes its toolkit's settings store (same file, same form).
  RegistryWriter registryWriter = nullptr;

  std::string SettingsFile() const;  // <config>/OrvexBslComDft.txt, or ""
  std::string PortMapFile() const;   // <config>/ports.conf, or ""
};

// Creates every missing folder of `path`, each private to the user (0700).
// False with the reason in `whyNot` when it cannot.
bool EnsureDir(const std::string& path, std::string& whyNot);

// The text after the last '/' or '\' of a path.
std::string BaseName(const std::string& path);

}  // namespace brisko
