// CSkateSettings: the park game's default key table.
#include "core/input/SkateSettings.h"

#include "platform/system/Win32.h"

namespace {

// Device slot 1 is the keyboard (virtual-key codes), 2 the mouse, 3 the first joystick.
constexpr uint32_t kKeyboard = 1;
constexpr uint32_t kMouse = 2;
constexpr uint32_t kJoystick = 3;

}  // namespace

CSkateSettings::CSkateSettings() {
  // The base constructor could only reach the base table.
  SetDefaultBindings();
}

void CSkateSettings::SetDefaultBindings() {
  static const DefaultCell kCells[] = {
      {18, kKeyboard, 'Z'},
      {49, kKeyboard, VK_RETURN},   {49, kMouse, 1},
      {50, kKeyboard, 'R'},         {50, kMouse, 2},
      {51, kKeyboard, VK_DELETE},   {51, kMouse, 3},
      {52, kKeyboard, VK_NUMPAD0 + 4},
      {53, kKeyboard, VK_NUMPAD0 + 6},
      {54, kKeyboard, VK_NUMPAD0 + 8},
      {55, kKeyboard, VK_NUMPAD0 + 2},
      {56, kKeyboard, VK_ADD},
      {57, kKeyboard, VK_SUBTRACT},
      {58, kKeyboard, VK_PRIOR},
      {59, kKeyboard, VK_NEXT},
      {60, kKeyboard, VK_DIVIDE},
      {61, kKeyboard, VK_MULTIPLY},
      {62, kKeyboard, VK_UP},       {62, kJoystick, 0x23},
      {63, kKeyboard, VK_DOWN},     {63, kJoystick, 0x24},
      {64, kKeyboard, VK_LEFT},     {64, kJoystick, 0x21},
      {65, kKeyboard, VK_RIGHT},    {65, kJoystick, 0x22},
      {66, kKeyboard, VK_CONTROL},  {66, kJoystick, 1},
      {67, kKeyboard, VK_SHIFT},    {67, kJoystick, 2},
      {68, kKeyboard, VK_RETURN},
      {69, kKeyboard, 'Z'},         {69, kJoystick, 3},
      {70, kKeyboard, 'X'},         {70, kJoystick, 4},
      {71, kKeyboard, VK_ESCAPE},
      {72, kKeyboard, VK_SPACE},
      {73, kKeyboard, 'H'},
  };
  FillKeyTable(kActionCount, kCells, sizeof(kCells) / sizeof(kCells[0]));
}
