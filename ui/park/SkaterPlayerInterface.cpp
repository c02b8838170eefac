// CSkaterPlayerInterface: the controlled skater's lines, refreshed every tick.
#include "ui/park/SkaterPlayerInterface.h"

#include "core/input/InputMan.h"
#include "core/input/Settings.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterBody.h"
#include "park/world/VerezIvor.h"
#include "ui/park/MoneyText.h"

namespace {
// One line of the panel: the keys of one or two actions and what they do.
struct Group {
  uint32_t actions[2];
  const char* what;
};

std::string Keys(const CSettings* settings, const Group& group) {
  std::string names;
  for (uint32_t action : group.actions) {
    if (action == 0) continue;
    const uint32_t code = settings->GetBinding(CInputMan::kKeyboardSlot, action);
    if (code == 0) continue;
    if (!names.empty()) names += ' ';
    names += CSkaterPlayerInterface::KeyName(code);
  }
  return names;
}
}  // namespace

CSkaterPlayerInterface::CSkaterPlayerInterface() {
  // In the top-right corner whatever the skater is doing: long key names grow the panel
  // leftwards instead of off the screen.
  m_panel->SetRightAligned(8, 8);
  // Only lines to read: the driving keys still reach the skater while the pointer rests on them.
  m_holdsPointer = false;
  Refresh();
}

std::string CSkaterPlayerInterface::KeyName(uint32_t virtualKey) {
  if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
    return std::string(1, static_cast<char>(virtualKey));
  switch (virtualKey) {
    case VK_UP: return "UP";
    case VK_DOWN: return "DOWN";
    case VK_LEFT: return "LEFT";
    case VK_RIGHT: return "RIGHT";
    case VK_CONTROL: return "CTRL";
    case VK_SHIFT: return "SHIFT";
    case VK_RETURN: return "ENTER";
    case VK_SPACE: return "SPACE";
    case VK_TAB: return "TAB";
    case VK_HOME: return "HOME";
    case VK_END: return "END";
    case VK_INSERT: return "INSERT";
    case VK_DELETE: return "DELETE";
    case VK_PRIOR: return "PAGE UP";
    case VK_NEXT: return "PAGE DOWN";
    default: break;
  }
  if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD0 + 9) return "PAD " + std::to_string(virtualKey - VK_NUMPAD0);
  return "KEY " + std::to_string(virtualKey);
}

std::vector<std::string> CSkaterPlayerInterface::DrivingKeyLines(const CSettings* settings) {
  // One group to a line, so that the panel stays narrow at the frame's edge.
  static const Group kGroups[] = {
      {{CSkaterBody::kActionUp, CSkaterBody::kActionDown}, "ROLL"},
      {{CSkaterBody::kActionLeft, CSkaterBody::kActionRight}, "STEER"},
      {{CSkaterBody::kActionJump, 0}, "JUMP"},
      {{CSkaterBody::kActionGrind, 0}, "GRIND"},
      {{CSkaterBody::kActionBoard, 0}, "BOARD"},
      {{CSkaterBody::kActionAirLeft, CSkaterBody::kActionAirRight}, "AIR TURN"},
  };
  std::vector<std::string> lines;
  if (settings == nullptr) return lines;
  for (const Group& group : kGroups) {
    const std::string keys = Keys(settings, group);
    if (!keys.empty()) lines.push_back(keys + ' ' + group.what);
  }
  return lines;
}

void CSkaterPlayerInterface::Refresh() {
  CVerezIvor* park = GetPark();
  const auto* skater = park != nullptr ? dynamic_cast<CSkater*>(park->GetObjectByID(park->GetPlayerSkaterId())) : nullptr;
  if (skater == nullptr) {
    MarkForRemoval();
    return;
  }
  // The skater's own status line would tell what its mind was doing before the player took it.
  std::vector<std::string> lines = DrivingKeyLines(GetSettings());
  lines.push_back("MONEY " + MoneyText(park->GetMoney()));
  m_panel->SetTitle(skater->GetName());
  m_panel->SetLines(lines);
}
