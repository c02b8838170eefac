// CSettings: the engine's settings record (display, detail, mouse and the key table) and the active-settings registry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CInputMan;

class CSettings {
 public:
  static constexpr uint32_t kVersion = 27;
  static constexpr uint32_t kDevices = 5;  // input-device slots per key-table row

  CSettings();
  virtual ~CSettings() = default;

  virtual uint32_t GetVersion() const { return kVersion; }
  virtual uint32_t GetActionCount() const { return 49; }

  // Loads "settings.bin", resetting to the defaults when it is missing or of another version.
  // The file format comes with the settings work; for now this always resets and returns false.
  bool LoadDefault();
  // Writes "settings.bin". Stand-in until the file format is built: writes nothing, returns true.
  bool Save() const;
  virtual void SetDefaults();
  // Resets the key table to the program's default bindings.
  virtual void SetDefaultBindings();
  // Hands the key table and the mouse scales to the input manager.
  void ApplyBindings(CInputMan* input) const;
  uint32_t GetBinding(uint32_t device, uint32_t action) const;

  // The option words, in file order.
  float meshDetail = 0.5f;
  float option1 = 1.0f;
  float option2 = 0.5f;
  float option3 = 0.5f;    // effect detail
  float option4 = 0.5f;
  float textureDetail = 0.0f;
  uint32_t detailFlags = 1;  // bit 0: "lights.bin" may be loaded
  uint32_t fullScreen = 1;   // low byte used
  uint32_t displayWidth = 640;
  uint32_t displayHeight = 480;
  uint32_t displayBits = 16;
  int32_t adapter = -1;
  uint32_t renderer = 0;  // 0 hardware back end, 1 software back end
  float levelA = 1.0f;
  float levelB = 1.0f;
  uint8_t mouseFlag = 1;
  uint8_t negativeVerticalScale = 0;
  uint8_t spare[2] = {0, 0};
  float mouseScale = 0.5f;
  uint32_t rateLimit = 100000;
  std::vector<uint32_t> keyTable;  // GetActionCount() rows of kDevices codes

  bool IsFullScreen() const { return (fullScreen & 0xFF) != 0; }
  void SetFullScreen(bool on) { fullScreen = on ? 1 : 0; }
};

CSettings* GetSettings();
void SetSettings(CSettings* settings);
