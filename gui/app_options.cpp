#include "gui/app_options.hpp"

#include <QCommandLineParser>

#include "chip/chip_catalogue.hpp"
#include "sim/sim_config_check.hpp"

namespace brisko::gui {

AppOptions ParseAppOptions(const QStringList& arguments) {
  AppOptions options;
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The desktop window of Brisko."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption simulate(QStringLiteral("simulate"),
                                    QStringLiteral("Use the built-in simulated chip of this model "
                                                   "(KT410 KT420 KT530 KT540 KT550 KT560 KT570 KT580)."),
                                    QStringLiteral("MODEL"));
  const QCommandLineOption mode(QStringLiteral("mode"),
                                QStringLiteral("The simulated chip's memory mode: internal (EA#=1) or external."),
                                QStringLiteral("MODE"), QStringLiteral("internal"));
  const QCommandLineOption loader(QStringLiteral("loader"),
                                  QStringLiteral("The simulated chip's loader firmware: 1.1F, or the older 1.1E "
                                                 "(KT410, KT420 only)."),
                                  QStringLiteral("VERSION"), QStringLiteral("1.1F"));
  const QCommandLineOption saveSettings(QStringLiteral("save-settings"),
                                        QStringLiteral("With --simulate: read and save the port, rate and crystal "
                                                       "as a run on a real port does (not done by default)."));
  QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("Save the window to FILE and end."),
                                QStringLiteral("FILE"));
  screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
  QCommandLineOption demoRead(QStringLiteral("demo-read"), QStringLiteral("Detect and read the simulated chip."));
  demoRead.setFlags(QCommandLineOption::HiddenFromHelp);
  QCommandLineOption instance(QStringLiteral("instance"), QStringLiteral("Single-copy name."), QStringLiteral("NAME"));
  instance.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOptions({simulate, mode, loader, saveSettings, screenshot, demoRead, instance});

  if (!parser.parse(arguments)) {
    options.error = parser.errorText();
    return options;
  }
  if (parser.isSet(help) || parser.isSet(version)) {
    options.exitNow = true;
    if (parser.isSet(help))
      parser.showHelp(0);  // ends the program
    else
      parser.showVersion();
    return options;
  }
  if (!parser.positionalArguments().isEmpty()) {
    options.error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
    return options;
  }
  if (parser.isSet(simulate)) {
    const auto model = ModelFromName(parser.value(simulate).toUpper().toStdString());
    if (!model) {
      options.error = QStringLiteral("unknown chip model: %1").arg(parser.value(simulate));
      return options;
    }
    options.simulateModel = *model;
  }
  const QString modeText = parser.value(mode);
  if (modeText == QLatin1String("internal")) {
    options.memoryMode = kInternalMemory;
  } else if (modeText == QLatin1String("external")) {
    options.memoryMode = kExternalMemory;
  } else {
    options.error = QStringLiteral("unknown memory mode: %1 (internal or external)").arg(modeText);
    return options;
  }
  const auto legacy = sim::LegacyLoaderFromText(parser.value(loader).toStdString());
  if (!legacy) {
    options.error = QStringLiteral("unknown loader version: %1 (1.1F or 1.1E)").arg(parser.value(loader));
    return options;
  }
  options.legacyLoader = *legacy;
  if (options.legacyLoader && !options.simulateModel) {
    options.error = QStringLiteral("--loader needs --simulate");
    return options;
  }
  if (options.simulateModel) {
    const std::string problem = sim::SimConfigProblem(SimulatedChipConfig(options));
    if (!problem.empty()) {
      options.error = QString::fromStdString(problem);
      return options;
    }
  }
  options.saveSettings = parser.isSet(saveSettings);
  options.screenshot = parser.value(screenshot);
  options.demoRead = parser.isSet(demoRead);
  options.instanceName = parser.value(instance);
  if (options.demoRead && !options.simulateModel) options.error = QStringLiteral("--demo-read needs --simulate");
  return options;
}

sim::SimConfig SimulatedChipConfig(const AppOptions& options) {
  sim::SimConfig config;
  config.model = options.simulateModel.value_or(kNoModel);
  config.memoryMode = options.memoryMode;
  config.legacyLoader = options.legacyLoader;
  return config;
}

}  // namespace brisko::gui
