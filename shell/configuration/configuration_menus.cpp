#include "shell/configuration/configuration_menus.hpp"

#include "chip/chip_catalogue.hpp"

namespace brisko {

LockMenu LockMenuFor(int model) {
  switch (FamilyOf(model)) {
    case ChipFamily::KT400:
      return {"C Type Lock Menu",
              "Lock Chip Menu",
              {"L2 Hard Lock Block 0, 1 (PROG-SB1)", "L3 Hard Lock Block 0, 1 (PROG-SB1, SB2)",
               "L3 Hard Lock Block 0, 1 (PROG-SB1, SB3)", "L3 Soft Lock Block 0, 1 (PROG-SB2)",
               "L3 Soft Lock Block 0, Hard Lock Block 1 (PROG-SB3)"},
              0};
    case ChipFamily::KT500:
      return {"Dialog",
              "Lock Chip Menu",
              {"L2 Soft Lock Block 0, 1 (PROG-SB1)", "L3 Hard Lock Block 0, 1 (PROG-SB2, SB3)",
               "L3 Hard Lock Block 0, 1 (PROG-SB1, SB3)", "L3 Soft Lock Block 0, 1 (PROG-SB2)",
               "L3 Soft Lock Block 0, Hard Lock Block 1 (PROG-SB3)",
               "L3 Soft Lock Block 0, Hard Lock Block 1 (PROG-SB1, SB2)"},
              0};
    case ChipFamily::None: break;
  }
  return {};
}

RemapMenu RemapMenuFor(int model) {
  RemapMenu menu{"Memory Remap Menu",
                 "Memory Remap Menu",
                 {{"Remap 1 KByte (PROG-RB0) (KT410/420)", 1, true},
                  {"Remap 2 KByte (PROG-RB1) (KT410/420)", 2, true},
                  {"Remap 4 KByte (PROG-RB0, RB1) (KT410/420)", 3, true},
                  {"PROG-SC0 (KT540, KT530, KT560/570/580, KT550)", 0, true},
                  {"PROG-SC1 (KT530, KT560/570/580, KT550)", 4, true}},
                 0};
  if (!IsKnownModel(model)) return menu;
  const bool kt400 = IsKT400(model);
  const bool sc1 = HasBlock1AtE000(model);  // KT530, KT560, KT570, KT580
  for (RemapRadio& radio : menu.radios) {
    if (radio.value >= 1 && radio.value <= 3) radio.enabled = kt400;
    if (radio.value == 0) radio.enabled = !kt400;
    if (radio.value == 4) radio.enabled = sc1;
  }
  return menu;
}

bool RemapChoiceAllowed(const RemapMenu& menu, int remapOption) {
  for (const RemapRadio& radio : menu.radios)
    if (radio.value == remapOption) return radio.enabled;
  return false;
}

}  // namespace brisko
