// CSettings: "settings.bin" reading and writing, defaults from the performance test, key bindings
// and the registry values under the key path.
#include "core/input/Settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/input/InputMan.h"
#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/LittleEndian.h"
#include "platform/files/FileWrite.h"
#include "platform/system/SystemInfo.h"
#include "platform/system/Win32.h"

using le::PutF32;
using le::PutU32;

namespace {

CSettings* g_settings = nullptr;

// Offsets in "settings.bin" of the fields after the option words.
constexpr size_t kOptionWordsOffset = 4;
constexpr size_t kLevelAOffset = 56;
constexpr size_t kMouseFlagOffset = 64;
constexpr size_t kMouseScaleOffset = 68;
constexpr size_t kActionCountOffset = 76;

// Display modes a file may ask for; beyond these the back buffers would not fit in memory.
constexpr uint32_t kMaxDisplaySide = 16384;

uint32_t ReadU32(const char* data, size_t offset) {
  return le::ReadU32(reinterpret_cast<const uint8_t*>(data) + offset);
}

float ReadF32(const char* data, size_t offset) {
  return le::ReadF32(reinterpret_cast<const uint8_t*>(data) + offset);
}

// Clamps to [0, 1]; NaN becomes the fallback. True when the value changed.
bool ClampUnit(float* value, float fallback) {
  const float before = *value;
  if (std::isnan(*value)) *value = fallback;
  *value = std::min(1.0f, std::max(0.0f, *value));
  return std::memcmp(&before, value, sizeof(before)) != 0;
}

// Formats the timing text 200 times: a fixed amount of work whose duration ranks the machine.
uint32_t TimeWorkload() {
  const DWORD start = timeGetTime();
  char text[64];
  volatile char sink = 0;
  for (int i = 0; i < 200; ++i) {
    std::snprintf(text, sizeof(text), "Timer Ctr = %i, %f", i, i * 0.357);
    sink = sink + text[0];
  }
  return timeGetTime() - start;
}

void LogRegistryError(LONG error) {
  char text[256];
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(error),
                     0, text, sizeof(text), nullptr) == 0) {
    std::snprintf(text, sizeof(text), "Registry error %ld\n", static_cast<long>(error));
  }
  OutputDebugStringA(text);
}

}  // namespace

CSettings* GetSettings() { return g_settings; }

void SetSettings(CSettings* settings) { g_settings = settings; }

CSettings::CSettings() {
  // Only the table here: the full defaults run the performance test and write the file, which a
  // constructed object must not do behind its owner's back (Load does it when the file asks).
  SetDefaultBindings();
}

void CSettings::ApplyBindings(CInputMan* input) const {
  if (!input) return;
  input->ClearBindings();
  input->SetMouseScales(mouseScale, negativeVerticalScale ? -mouseScale : mouseScale);
  const uint32_t rows = static_cast<uint32_t>(keyTable.size() / kDevices);
  // Row 0 is skipped: action 0 would raise events of code 0, which the layers read as typed keys.
  for (uint32_t action = 1; action < rows; ++action) {
    for (uint32_t device = 0; device < kDevices; ++device) {
      const uint32_t code = keyTable[static_cast<size_t>(action) * kDevices + device];
      if (code != 0) input->AddBinding(device, code, action);
    }
  }
}

uint32_t CSettings::GetBinding(uint32_t device, uint32_t action) const {
  if (device >= kDevices || action >= keyTable.size() / kDevices) return 0;
  return keyTable[static_cast<size_t>(action) * kDevices + device];
}

bool CSettings::SetBinding(uint32_t device, uint32_t action, uint32_t code, bool swap) {
  if (device >= kDevices || action >= keyTable.size() / kDevices) return false;
  const size_t target = static_cast<size_t>(action) * kDevices + device;
  // Swapping in code 0 (unbinding) would hand the old code to every unbound action of the device.
  if (swap && code != 0) {
    const uint32_t old = keyTable[target];
    for (size_t cell = device; cell < keyTable.size(); cell += kDevices)
      if (keyTable[cell] == code) keyTable[cell] = old;
  }
  keyTable[target] = code;
  return true;
}

bool CSettings::ProbeDirect3D8() {
  HMODULE library = LoadLibraryA("d3d8.dll");
  if (!library) return false;
  // Adapters could only be asked through the library's own interface, which this build does not
  // speak; a library that is there is treated like one without a usable adapter.
  GetProcAddress(library, "Direct3DCreate8");
  FreeLibrary(library);
  return false;
}

void CSettings::RunPerformanceTest() {
  if (!ProbeDirect3D8()) {
    displayWidth = 640;
    displayHeight = 480;
    renderer = 0;
    displayBits = 16;
    fullScreen = 1;
    adapter = 0;
    detailFlags &= ~7u;
    meshDetail = 0.0f;
  }
  // The first run warms the caches and is not counted.
  uint32_t durations[10];
  TimeWorkload();
  for (uint32_t& duration : durations) duration = TimeWorkload();
  const uint32_t score = ScoreTimings(durations);
  DebugPrintf("%i ms for performance test.  \n", static_cast<int>(score));
  MEMORYSTATUS memory;
  GlobalMemoryStatus(&memory);
  ApplyPerformanceTier(memory.dwTotalPhys, score);
}

uint32_t CSettings::ScoreTimings(const uint32_t (&milliseconds)[10]) {
  uint32_t sorted[10];
  std::copy(std::begin(milliseconds), std::end(milliseconds), sorted);
  std::sort(std::begin(sorted), std::end(sorted));
  uint64_t sum = 0;
  for (int i = 0; i < 8; ++i) sum += sorted[i];  // the two largest are dropped
  return static_cast<uint32_t>(sum / 8);
}

void CSettings::ApplyPerformanceTier(uint64_t memoryBytes, uint32_t score) {
  option1 = 1.0f;
  if (memoryBytes >= 70000000u && score <= 5) {
    meshDetail = option2 = textureDetail = 0.5f;
    option3 = option4 = 1.0f;
    detailFlags |= 1u;
  } else if (memoryBytes >= 36000000u && score <= 9) {
    meshDetail = option2 = option3 = option4 = textureDetail = 0.5f;
    detailFlags &= ~7u;
  } else {
    meshDetail = option2 = option3 = option4 = textureDetail = 0.0f;
    detailFlags &= ~7u;
    levelA = levelB = 0.0f;
  }
}

bool CSettings::Load(HKEY root, const char* keyPath) {
  uint32_t size = 0;
  char* data = LoadFileToBuffer(kFileName, &size);  // logs a missing file and the working directory
  if (!data) {
    SetDefaults();
    return false;
  }
  const bool taken = Parse(data, size);
  FreeFileBuffer(data);
  if (!taken) SetDefaults();
  return taken;
}

HKEY CSettings::OpenKey() const {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, GetKeyPath(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    OutputDebugStringA("Key Path not found!\n");
    return nullptr;
  }
  return key;
}

std::string CSettings::GetTargetDir() const {
  HKEY key = OpenKey();
  if (!key) return std::string();
  std::string value;
  DWORD size = 0;
  LONG error = RegQueryValueExA(key, "TARGETDIR", nullptr, nullptr, nullptr, &size);
  if (error == ERROR_SUCCESS) {
    std::vector<char> bytes(static_cast<size_t>(size) + 1, '\0');  // room for a NUL the value may lack
    error = RegQueryValueExA(key, "TARGETDIR", nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size);
    if (error == ERROR_SUCCESS) value = bytes.data();
  }
  if (error != ERROR_SUCCESS) LogRegistryError(error);
  RegCloseKey(key);
  return value;
}

bool CSettings::DeleteRegistrySettings() {
  HKEY key = OpenKey();
  if (!key) return true;
  if (RegDeleteValueA(key, "Settings") != ERROR_SUCCESS) OutputDebugStringA("Could not delete registry key value!\n");
  RegCloseKey(key);
  return true;
}

void CSettings::SetDefaultBindings() {
  static const DefaultCell kCells[] = {
      {1, 1, 0x1B}, {2, 1, 0x50}, {3, 1, 0x4F}, {4, 1, 0x23}, {5, 1, 0x20},
  };
  FillKeyTable(49, kCells, sizeof(kCells) / sizeof(kCells[0]));
}

void CSettings::FillKeyTable(uint32_t count, const DefaultCell* cells, size_t cellCount) {
  keyTable.assign(static_cast<size_t>(count) * kDevices, 0u);
  for (size_t i = 0; i < cellCount; ++i) SetBinding(cells[i].device, cells[i].action, cells[i].code, false);
}

bool CSettings::Save() const {
  std::vector<uint8_t> image;
  Serialize(image);
  if (plat::ReplaceFileContents(kFileName, image.data(), image.size())) return true;
  OutputDebugStringA("Error Creating File: 'settings.bin' - Check Path and File Attributes!\n");
  return false;
}

bool CSettings::Parse(const char* data, size_t size) {
  m_sizeRejected = false;
  if (!data || size < kHeaderSize) {
    DebugPrintf("CSettings: %s holds %zu bytes, too few for its header; using the defaults\n", kFileName, size);
    return false;
  }
  const uint32_t fileVersion = ReadU32(data, 0);
  if (fileVersion != GetVersion()) {
    DebugPrintf("CSettings: %s is version %u, not %u; using the defaults\n", kFileName, fileVersion, GetVersion());
    return false;
  }
  const uint32_t count = ReadU32(data, kActionCountOffset);
  const uint64_t expected = kHeaderSize + static_cast<uint64_t>(count) * kRowSize;
  if (count != GetActionCount() || size != expected) {
    DebugPrintf("CSettings: %s claims %u key rows in %zu bytes, expected %u rows; using the defaults\n", kFileName,
                count, size, GetActionCount());
    return false;
  }

  version = fileVersion;
  float* const floats[] = {&meshDetail, &option1, &option2, &option3, &option4, &textureDetail};
  for (size_t i = 0; i < 6; ++i) *floats[i] = ReadF32(data, kOptionWordsOffset + 4 * i);
  uint32_t* const words[] = {&detailFlags, &fullScreen, &displayWidth, &displayHeight, &displayBits};
  for (size_t i = 0; i < 5; ++i) *words[i] = ReadU32(data, kOptionWordsOffset + 24 + 4 * i);
  adapter = static_cast<int32_t>(ReadU32(data, kOptionWordsOffset + 44));
  renderer = ReadU32(data, kOptionWordsOffset + 48);
  levelA = ReadF32(data, kLevelAOffset);
  levelB = ReadF32(data, kLevelAOffset + 4);
  std::memcpy(&mouseFlag, data + kMouseFlagOffset, 1);
  std::memcpy(&negativeVerticalScale, data + kMouseFlagOffset + 1, 1);
  std::memcpy(spare, data + kMouseFlagOffset + 2, 2);
  mouseScale = ReadF32(data, kMouseScaleOffset);
  rateLimit = ReadU32(data, kMouseScaleOffset + 4);
  keyTable.resize(static_cast<size_t>(count) * kDevices);
  for (size_t cell = 0; cell < keyTable.size(); ++cell) keyTable[cell] = ReadU32(data, kHeaderSize + 4 * cell);
  ClampLoadedValues();
  return true;
}

void CSettings::ClampLoadedValues() {
  bool changed = false;
  // The detail values become level-of-detail indices as 2 x (1 - value) and must stay in [0, 1].
  changed |= ClampUnit(&meshDetail, 0.5f);
  changed |= ClampUnit(&option1, 1.0f);
  changed |= ClampUnit(&option2, 0.5f);
  changed |= ClampUnit(&option3, 0.5f);
  changed |= ClampUnit(&option4, 0.5f);
  changed |= ClampUnit(&textureDetail, 0.0f);
  changed |= ClampUnit(&levelA, 1.0f);
  changed |= ClampUnit(&levelB, 1.0f);
  // The input manager limits mouse movement to 40 - 38 x scale pixels: above 1 the limit would
  // reach zero or turn negative.
  changed |= ClampUnit(&mouseScale, 0.5f);
  // Any renderer option but the hardware one runs the software back end: the option says so.
  if (renderer > 1) {
    renderer = 1;
    changed = true;
  }
  if (displayWidth == 0 || displayHeight == 0 || displayWidth > kMaxDisplaySide || displayHeight > kMaxDisplaySide) {
    m_sizeRejected = true;
    m_rejectedWidth = displayWidth;
    m_rejectedHeight = displayHeight;
    displayWidth = 640;
    displayHeight = 480;
    changed = true;
  }
  if (changed) DebugPrintf("CSettings: %s held values out of range; they were brought into range\n", kFileName);
}

void CSettings::Serialize(std::vector<uint8_t>& out) const {
  out.reserve(out.size() + kHeaderSize + keyTable.size() * 4);
  PutU32(out, version);
  for (float value : {meshDetail, option1, option2, option3, option4, textureDetail}) PutF32(out, value);
  for (uint32_t value : {detailFlags, fullScreen, displayWidth, displayHeight, displayBits}) PutU32(out, value);
  PutU32(out, static_cast<uint32_t>(adapter));
  PutU32(out, renderer);
  PutF32(out, levelA);
  PutF32(out, levelB);
  out.push_back(mouseFlag);
  out.push_back(negativeVerticalScale);
  out.push_back(spare[0]);
  out.push_back(spare[1]);
  PutF32(out, mouseScale);
  PutU32(out, rateLimit);
  PutU32(out, static_cast<uint32_t>(keyTable.size() / kDevices));
  for (uint32_t code : keyTable) PutU32(out, code);
}

bool CSettings::TakeRejectedDisplaySize(uint32_t* width, uint32_t* height) {
  if (!m_sizeRejected) return false;
  m_sizeRejected = false;
  *width = m_rejectedWidth;
  *height = m_rejectedHeight;
  return true;
}

void CSettings::SetDefaults() {
  m_sizeRejected = false;
  version = GetVersion();
  levelA = levelB = 1.0f;
  mouseFlag = 1;
  negativeVerticalScale = 0;
  mouseScale = 0.5f;
  rateLimit = 100000;
  fullScreen = 1;
  RunPerformanceTest();
  SetDefaultBindings();
  Save();
}
