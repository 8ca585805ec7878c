#pragma once
#include <QDialog>
#include <map>
#include <string>

#include "shell/setup/comm_setup_dialog.hpp"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace brisko::gui {

// "RS232 Configuration and  Detect Target MCU" on the screen. The shell's
// CommSetupDialog holds the lists, the calculator and the checks; this form
// moves the controls into it and back, and shows the messages it collects on
// the UI thread (never through the operator, which belongs to the command
// thread). Next to each "COMn" entry its "Device" box shows the device the
// entry opens (its mapping, else /dev/ttyS<n-1>) and offers the serial
// adapters of this machine or a typed path (a pty, /dev/serial/by-id/...).
// Confirming applies the choice to the session and saves it to the port map;
// a port map that cannot be written is said, and the choice still holds for
// this session.
class CommSetupForm final : public QDialog {
  Q_OBJECT
 public:
  CommSetupForm(QWidget* parent, CommSetupDialog& dialog, std::vector<std::string> adapters,
                std::string portMapPath);

  QComboBox* PortCombo() const { return port_; }
  QComboBox* DeviceCombo() const { return device_; }
  QComboBox* RateCombo() const { return rate_; }
  QLineEdit* CrystalField() const { return crystal_; }
  QLineEdit* RecommendedField() const { return recommended_; }
  QPushButton* ComputeButton() const { return compute_; }
  QPushButton* NextBaudButton() const { return nextBaud_; }
  QPushButton* DetectButton() const { return detect_; }

  void accept() override;

 private:
  void ShowMessages();
  void ReadControls();
  void ShowFields();
  void FocusField(CommSetupDialog::Field field);
  void Calculate(void (CommSetupDialog::*step)());
  void ShowDevice();
  // Takes the device box's text as the choice for the port it shows.
  void TakeDevice();
  void SaveChangedMappings();

  CommSetupDialog& dialog_;
  std::string portMapPath_;
  std::map<int, std::string> portMap_;
  std::map<int, std::string> changedMappings_;
  int shownPort_ = 0;  // the port number whose device the box shows
  QComboBox* port_;
  QComboBox* device_;
  QComboBox* rate_;
  QLineEdit* crystal_;
  QLineEdit* recommended_;
  QPushButton* compute_;
  QPushButton* nextBaud_;
  QPushButton* detect_;
};

}  // namespace brisko::gui
