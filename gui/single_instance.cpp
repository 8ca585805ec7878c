#include "gui/single_instance.hpp"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

namespace brisko::gui {
namespace {

constexpr int kWaitMs = 1000;  // a copy that does not answer within this is taken for gone
const QByteArray kRaise = "raise\n";

}  // namespace

QString SingleInstance::DefaultName() { return QStringLiteral("brisko-%1").arg(::getuid()); }

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? DefaultName() : std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::BecomePrimary() {
  // Two copies started together settle it one after the other.
  QLockFile lock(QDir::temp().filePath(name_ + QStringLiteral(".lock")));
  lock.tryLock(5 * kWaitMs);

  QLocalSocket socket;
  socket.connectToServer(name_);
  if (socket.waitForConnected(kWaitMs)) {
    socket.write(kRaise);
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return false;
  }
  // Nobody answers: a socket left by a copy that crashed is in the way.
  QLocalServer::removeServer(name_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) return true;  // cannot guard, but this copy may run
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
        if (peer->readAll().contains("raise")) emit Activated();
      });
    }
  });
  return true;
}

void BringToFront(QWidget* window) {
  if (!window) return;
  if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  window->show();
  window->raise();
  window->activateWindow();
  if (QWidget* dialog = QApplication::activeModalWidget(); dialog && dialog != window) {
    dialog->raise();
    dialog->activateWindow();
  }
}

}  // namespace brisko::gui
