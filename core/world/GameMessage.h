// GameMessage: accessors for the little-endian message record {u32 size, u32 target ID, u8 type, payload}.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

struct GameMessage {
  static constexpr uint32_t kHeaderSize = 9;         // size, target, type
  static constexpr uint32_t kCreateHeaderSize = 18;  // + stamp, type code, owner ID
  static constexpr uint32_t kSizeOffset = 0;
  static constexpr uint32_t kTargetOffset = 4;
  static constexpr uint32_t kTypeOffset = 8;
  static constexpr uint32_t kStampOffset = 9;
  static constexpr uint32_t kTypeCodeOffset = 13;
  static constexpr uint32_t kOwnerOffset = 14;

  // Message types the world interprets itself.
  static constexpr uint8_t kCreateBroadcast = 2;
  static constexpr uint8_t kCreate = 3;
  static constexpr uint8_t kDestroy = 8;

  static uint32_t ReadU32(const uint8_t* m, size_t offset) {
    uint32_t v;
    std::memcpy(&v, m + offset, 4);  // the record is byte-packed, so no aligned loads
    return v;
  }
  static void WriteU32(uint8_t* m, size_t offset, uint32_t v) { std::memcpy(m + offset, &v, 4); }

  static uint32_t Size(const uint8_t* m) { return ReadU32(m, kSizeOffset); }
  static uint32_t Target(const uint8_t* m) { return ReadU32(m, kTargetOffset); }
  static uint8_t Type(const uint8_t* m) { return m[kTypeOffset]; }
  static bool IsCreate(const uint8_t* m) { return Type(m) == kCreate || Type(m) == kCreateBroadcast; }

  static void SetHeader(uint8_t* m, uint32_t size, uint32_t target, uint8_t type) {
    WriteU32(m, kSizeOffset, size);
    WriteU32(m, kTargetOffset, target);
    m[kTypeOffset] = type;
  }
  // Fills the common part of a create message (the caller has room for kCreateHeaderSize bytes).
  static void SetCreateHeader(uint8_t* m, uint32_t size, uint32_t target, uint8_t type, uint32_t stamp,
                              uint8_t typeCode, uint32_t owner) {
    SetHeader(m, size, target, type);
    WriteU32(m, kStampOffset, stamp);
    m[kTypeCodeOffset] = typeCode;
    WriteU32(m, kOwnerOffset, owner);
  }
};
