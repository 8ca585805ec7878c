#include "gui/outcome_text.hpp"

namespace brisko::gui {
namespace {

QString Hex(std::uint32_t address) {
  return QString::asprintf(address > 0xFFFF ? "%05Xh" : "%04Xh", address);
}

QString Done(const CommandOutcome& o) {
  QString text = o.action.empty() ? QStringLiteral("done") : QString::fromStdString(o.action);
  if (o.bytes == 0) return text;
  text += QStringLiteral(" %1 bytes").arg(o.bytes);
  if (o.block >= 0) text += QStringLiteral(", block %1").arg(o.block);
  text += QStringLiteral(" at ") + Hex(o.address);
  text += o.verified ? QStringLiteral(", verified") : QStringLiteral(", not verified");
  return text;
}

QString Step(const CommandOutcome& o) { return QString::fromStdString(o.step.empty() ? std::string("?") : o.step); }

}  // namespace

QString OutcomeText(const QString& command, const CommandOutcome& o) {
  QString text;
  switch (o.kind) {
    case OutcomeKind::Succeeded: text = Done(o); break;
    case OutcomeKind::Declined: text = QStringLiteral("declined"); break;
    case OutcomeKind::Refused: {
      const QString why = QString::fromUtf8(RefusalText(o.refusal));
      text = why.isEmpty() ? QStringLiteral("refused") : QStringLiteral("refused: ") + why;
      break;
    }
    case OutcomeKind::Failed:
      text = QStringLiteral("failed at step \"%1\" (code %2)").arg(Step(o)).arg(o.code);
      break;
    case OutcomeKind::Cancelled:
      text = o.step.empty() ? QStringLiteral("cancelled")
                            : QStringLiteral("cancelled during step \"%1\"").arg(Step(o));
      if (!o.completed.empty()) text += QStringLiteral(" (completed: %1)").arg(QString::fromStdString(o.completed));
      break;
  }
  return command.isEmpty() ? text : command + QStringLiteral(": ") + text;
}

}  // namespace brisko::gui
