#include "gui/demo_read.hpp"

#include <QApplication>
#include <QPixmap>
#include <cstring>

#include "gui/brisko_window.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/flash/read_command.hpp"
#include "sim/sim_target.hpp"

namespace brisko::gui {

void LoadDemoFirmware(sim::SimTarget& chip) {
  FlashImage& flash = chip.Flash(0);
  std::uint8_t* bytes = flash.Data();
  // A reset vector, a short loop and a greeting, as a small program would have.
  const std::uint8_t code[] = {0x02, 0x00, 0x30, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                               0xFF, 0xFF};
  std::memcpy(bytes, code, sizeof code);
  for (int i = 0x30; i < 0x80; ++i) bytes[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0xFF);
  const char greeting[] = "Hello from a Talon51 demo board!";
  std::memcpy(bytes + 0x80, greeting, sizeof greeting);
  for (int i = 0x80 + static_cast<int>(sizeof greeting); i < 0x180; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  std::memset(bytes + 0x180, 0x00, 0x80);  // a sector of zeros
  for (int i = 0x200; i < 0x400; ++i) bytes[i] = static_cast<std::uint8_t>(0x20 + (i % 0x5F));
}

bool DemoOperator::SelectChip(ChipSelection& selection) {
  selection.model = model_;
  selection.memoryMode = memoryMode_;
  return true;
}

bool DemoOperator::ChooseRange(RangeDialog& dialog) {
  dialog.start = 0;
  dialog.range = 0;  // "All Sectors"
  return true;
}

void RunDemoRead(BriskoWindow& window, std::function<void()> done) {
  auto step = std::make_shared<int>(0);
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(&window, &BriskoWindow::CommandEnded, &window, [&window, step, connection, done] {
    if (++*step == 1) {
      window.StartCommand([](Session& session) {
        OnRead(session);
        return CommandOutcome::Success();
      });
      return;
    }
    QObject::disconnect(*connection);
    done();
  });
  window.StartCommand([](Session& session) {
    OnDetectMenu(session);
    return CommandOutcome::Success();
  });
}

bool SaveWindowPicture(BriskoWindow& window, const QString& path) {
  QApplication::processEvents();
  return window.grab().save(path);
}

}  // namespace brisko::gui
