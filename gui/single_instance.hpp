#pragma once
#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

namespace brisko::gui {

// One running copy of the window per user. The first copy listens on a local
// socket named after the user; a later copy finds it listening, asks it to
// come to the front, and ends.
class SingleInstance final : public QObject {
  Q_OBJECT
 public:
  // `name` empty: "brisko-" and the user's id.
  explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this is the first copy (it now listens); false when another
  // copy runs and was asked to come to the front.
  bool BecomePrimary();

  static QString DefaultName();

 signals:
  // A later copy asked this one to come to the front.
  void Activated();

 private:
  QString name_;
  QLocalServer* server_ = nullptr;
};

// Brings the window to the front, restored if minimised, with its open
// modal dialog, if any, in front of it.
void BringToFront(QWidget* window);

}  // namespace brisko::gui
