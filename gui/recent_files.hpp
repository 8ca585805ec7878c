#pragma once
#include <QObject>
#include <QStringList>

class QMenu;
class QSettings;

namespace brisko::gui {

// The files last chosen for a download or a compare, newest first, without
// repeats, at most kMax. Kept in the window's settings when there are any.
class RecentFiles final : public QObject {
  Q_OBJECT
 public:
  static constexpr int kMax = 8;

  // `settings` may be null: the list then lives as long as the window.
  explicit RecentFiles(QSettings* settings, QObject* parent = nullptr);

  void Add(const QString& path);
  const QStringList& Files() const { return files_; }

  // Fills `menu` with one item per file ("&1 name", the full path as its
  // tool tip); choosing one emits Chosen. Refilled whenever the list changes.
  void AttachMenu(QMenu* menu);

 signals:
  void Chosen(const QString& path);

 private:
  void Refill();

  QSettings* settings_;
  QStringList files_;
  QMenu* menu_ = nullptr;
};

}  // namespace brisko::gui
