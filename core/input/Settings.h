// CSettings: the engine's settings (display, detail, mouse and the key table), kept in "settings.bin",
// and the active-settings registry (GetSettings / SetSettings).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/Registry.h"

class CInputMan;

class CSettings {
 public:
  static constexpr uint32_t kVersion = 27;
  static constexpr uint32_t kDevices = 5;       // input-device slots per key-table row
  static constexpr uint32_t kHeaderSize = 80;   // file bytes before the key table
  static constexpr uint32_t kRowSize = kDevices * 4;
  static constexpr const char* kFileName = "settings.bin";

  CSettings();
  virtual ~CSettings() = default;

  // Rebuilds the input manager's binding list from the key table and hands over the mouse scales.
  virtual void ApplyBindings(CInputMan* input) const;
  // The code in the cell; 0 for a device slot or action outside the table.
  virtual uint32_t GetBinding(uint32_t device, uint32_t action) const;
  // Stores a code; with swap, every action of the same device already bound to the code gets this
  // action's old code (not for code 0, which only unbinds). False (nothing changed) for a cell
  // outside the table.
  virtual bool SetBinding(uint32_t device, uint32_t action, uint32_t code, bool swap);
  // Looks for a Direct3D 8 adapter to choose display defaults; false when there is none.
  virtual bool ProbeDirect3D8();
  // Chooses the detail defaults from the probe, a timing workload and the memory size.
  virtual void RunPerformanceTest();
  // Reads "settings.bin" from the working directory; a missing or unacceptable file resets to the
  // defaults (which writes a new file). True when the file was taken as it is.
  virtual bool Load(HKEY root, const char* keyPath);
  // The registry value "TARGETDIR" under the key path; empty when there is none.
  virtual std::string GetTargetDir() const;
  // Deletes the registry value "Settings" under the key path; true.
  virtual bool DeleteRegistrySettings();
  virtual void SetDefaultBindings();
  // Writes "settings.bin"; true only when the whole file is in place.
  virtual bool Save() const;
  virtual uint32_t GetVersion() const { return kVersion; }
  virtual bool LoadDefault() { return Load(HKEY_LOCAL_MACHINE, GetKeyPath()); }
  // Takes the fields from a file image; false (fields unchanged) for another version, a size that
  // does not match its own row count or a row count other than this class's.
  virtual bool Parse(const char* data, size_t size);
  // Appends the file image.
  virtual void Serialize(std::vector<uint8_t>& out) const;

  virtual uint32_t GetActionCount() const { return 49; }
  virtual const char* GetKeyPath() const { return "Software\\Brimwell\\Demo"; }

  // Everything but the display mode gets its default; then the performance test, the default
  // bindings and Save.
  void SetDefaults();

  // The performance test in parts. Score of the ten timed runs: the two largest dropped, the rest
  // averaged (integer division).
  static uint32_t ScoreTimings(const uint32_t (&milliseconds)[10]);
  // Sets the detail options for a machine with this much memory and this score.
  void ApplyPerformanceTier(uint64_t memoryBytes, uint32_t score);

  // The display size the last Parse found out of range (a side of 0 or past the largest) and put
  // 640 x 480 in place of, for whoever tells the player; once only. False when there is none.
  bool TakeRejectedDisplaySize(uint32_t* width, uint32_t* height);

  bool IsFullScreen() const { return (fullScreen & 0xFF) != 0; }
  void SetFullScreen(bool on) { fullScreen = on ? 1 : 0; }

  uint32_t version = kVersion;
  // The thirteen option words, in file order.
  float meshDetail = 0.5f;
  float option1 = 1.0f;
  float option2 = 0.5f;
  float option3 = 0.5f;  // effect detail
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

 protected:
  // Replaces the key table by count zeroed rows, then sets the listed cells.
  struct DefaultCell {
    uint32_t action;
    uint32_t device;
    uint32_t code;
  };
  void FillKeyTable(uint32_t count, const DefaultCell* cells, size_t cellCount);

 private:
  // Brings values a hand-edited or damaged file may hold into the ranges their readers divide by or
  // index with.
  void ClampLoadedValues();
  // Opens the key path under HKEY_LOCAL_MACHINE with full access; null (logged) when it is missing.
  HKEY OpenKey() const;

  bool m_sizeRejected = false;
  uint32_t m_rejectedWidth = 0;
  uint32_t m_rejectedHeight = 0;
};

CSettings* GetSettings();
void SetSettings(CSettings* settings);
