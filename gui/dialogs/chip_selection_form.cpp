#include "gui/dialogs/chip_selection_form.hpp"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "chip/chip_catalogue.hpp"

namespace brisko::gui {
namespace {

template <class Value>
struct RadioEntry {
  const char* text;
  Value value;
};

// The dialog's order, which is not the order of the model codes.
constexpr RadioEntry<ChipModel> kModels[] = {{"KT410", kKT410}, {"KT420", kKT420}, {"KT530", kKT530}, {"KT540", kKT540},
                                  {"KT550", kKT550}, {"KT560", kKT560}, {"KT570", kKT570}, {"KT580", kKT580}};
constexpr RadioEntry<MemoryMode> kModes[] = {{"Internal Memory (EA#=1)", kInternalMemory},
                                             {"External Memory (EA#=0)", kExternalMemory}};

QLabel* Note(const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text));
  label->setWordWrap(true);
  return label;
}

}  // namespace

ChipSelectionForm::ChipSelectionForm(QWidget* parent, ChipSelection& selection)
    : QDialog(parent), selection_(selection) {
  setWindowTitle(kTitle);
  setObjectName("chipSelection");

  auto* chipBox = new QGroupBox("Chip Type");
  auto* chipLayout = new QVBoxLayout(chipBox);
  for (const auto& entry : kModels) {
    auto* radio = new QRadioButton(entry.text);
    radio->setChecked(selection_.model == entry.value);
    const ChipModel model = entry.value;
    connect(radio, &QRadioButton::clicked, this, [this, model] { selection_.model = model; });
    chipLayout->addWidget(radio);
    modelRadios_.push_back(radio);
  }

  auto* modeBox = new QGroupBox("Memory Mode");
  auto* modeLayout = new QVBoxLayout(modeBox);
  for (const auto& entry : kModes) {
    auto* radio = new QRadioButton(entry.text);
    radio->setChecked(selection_.memoryMode == entry.value);
    const MemoryMode mode = entry.value;
    connect(radio, &QRadioButton::clicked, this, [this, mode] { selection_.memoryMode = mode; });
    modeLayout->addWidget(radio);
    modeRadios_.push_back(radio);
  }
  modeLayout->addWidget(
      Note("Please make sure that switch #1 and switch #8 are turned off if you are using BSL Demo Kit V2.0, "
           "otherwise, please ignore this message."));
  modeLayout->addWidget(Note("Please turn on switch #2 if you choose External Memory Mode for BSL Demo Kit v2.0."));
  modeLayout->addStretch();

  auto* familyBox = new QGroupBox("Talon51 MCU (V1.1F and plus)");
  auto* familyLayout = new QHBoxLayout(familyBox);
  familyLayout->addWidget(chipBox);
  familyLayout->addWidget(modeBox, 1);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton("&OK", QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(familyBox);
  layout->addWidget(buttons);
}

QRadioButton* ChipSelectionForm::ModelRadio(int model) const {
  for (std::size_t i = 0; i < std::size(kModels); ++i)
    if (kModels[i].value == model) return modelRadios_.at(static_cast<qsizetype>(i));
  return nullptr;
}

QRadioButton* ChipSelectionForm::ModeRadio(int mode) const {
  for (std::size_t i = 0; i < std::size(kModes); ++i)
    if (kModes[i].value == mode) return modeRadios_.at(static_cast<qsizetype>(i));
  return nullptr;
}

}  // namespace brisko::gui
