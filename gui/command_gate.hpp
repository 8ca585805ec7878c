#pragma once
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace brisko::gui {

// What cannot start while a command runs. The gate disables the controls
// that start commands for as long as one runs and enables them again after;
// a click on one of them in the meantime, or on a disabled command of a
// menu, is reported as Refused so that the window can say why.
class CommandGate final : public QObject {
  Q_OBJECT
 public:
  static const char* const kBusyReason;

  explicit CommandGate(QObject* parent = nullptr) : QObject(parent) {}

  // An action that starts a command; `available`: it has a command at all.
  void AddAction(QAction* action, bool available = true);
  // A widget that starts commands (a tab bar, a radio button). The window
  // keeps setting whether it is enabled while idle; the gate only watches.
  void WatchWidget(QWidget* widget);
  // A menu whose disabled commands are tried by clicking them.
  void WatchMenu(QMenu* menu);

  void SetBusy(bool busy);
  bool Busy() const { return busy_; }

 signals:
  void Refused();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Gated {
    QPointer<QAction> action;
    bool available;
  };
  std::vector<Gated> actions_;
  QSet<QWidget*> widgets_;
  bool busy_ = false;
};

}  // namespace brisko::gui
