// IDirectSound and IDirectSoundBuffer: the sound device interface the engine is written against,
// with the result codes, flags and ranges it uses, served by the software mixer (SoftwareSound.h).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/system/Win32.h"


// Result codes. Numeric values are part of the interface: logs and tables key on them.
constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DSERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DSERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082u);
constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096u);
constexpr HRESULT DSERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x887800A0u);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);

// Cooperative levels.
constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;
constexpr DWORD DSSCL_EXCLUSIVE = 3;
constexpr DWORD DSSCL_WRITEPRIMARY = 4;

// Buffer capability flags.
constexpr DWORD DSBCAPS_STATIC = 0x02;
constexpr DWORD DSBCAPS_LOCHARDWARE = 0x04;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x08;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;

// GetStatus bits.
constexpr DWORD DSBSTATUS_PLAYING = 0x1;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
constexpr DWORD DSBSTATUS_LOOPING = 0x4;

constexpr DWORD DSBPLAY_LOOPING = 0x1;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;

// Ranges. Volume and pan are in hundredths of a decibel; frequency 0 means the format's own rate.
constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_CENTER = 0;
constexpr LONG DSBPAN_RIGHT = 10000;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 100000;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

constexpr WORD WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};

// dwSize must be kDsBufferDescSize, the size the interface was defined with on its original
// 32-bit platform; the check catches a description left unfilled.
constexpr DWORD kDsBufferDescSize = 36;
struct DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  const WAVEFORMATEX* lpwfxFormat;
};

struct DSBCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwUnlockTransferRate;
  DWORD dwPlayCpuOverhead;
};

// One sound buffer: its own play state, volume, pan and frequency over sample memory that
// duplicates share. Counted: the last Release deletes it.
class IDirectSoundBuffer {
 public:
  virtual ULONG AddRef() = 0;
  // The count left; the buffer is gone when it is 0.
  virtual ULONG Release() = 0;
  virtual HRESULT GetCaps(DSBCAPS* caps) = 0;
  // Byte offsets of the play and write cursors; either pointer may be null.
  virtual HRESULT GetCurrentPosition(DWORD* play, DWORD* write) = 0;
  virtual HRESULT GetFormat(WAVEFORMATEX* format) = 0;
  virtual HRESULT GetVolume(LONG* volume) = 0;
  virtual HRESULT GetPan(LONG* pan) = 0;
  virtual HRESULT GetFrequency(DWORD* frequency) = 0;
  virtual HRESULT GetStatus(DWORD* status) = 0;
  // Two regions because a range that runs past the end wraps to the start; the second is
  // null and 0 bytes when it does not.
  virtual HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                       DWORD* secondBytes, DWORD flags) = 0;
  virtual HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) = 0;
  virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT SetCurrentPosition(DWORD offset) = 0;
  virtual HRESULT SetVolume(LONG volume) = 0;
  virtual HRESULT SetPan(LONG pan) = 0;
  virtual HRESULT SetFrequency(DWORD frequency) = 0;
  virtual HRESULT Stop() = 0;
  // Gives a lost buffer its memory back; the contents must be written again.
  virtual HRESULT Restore() = 0;

 protected:
  virtual ~IDirectSoundBuffer() = default;
};

// The sound device: buffer creation and duplication.
class IDirectSound {
 public:
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) = 0;
  virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;

 protected:
  virtual ~IDirectSound() = default;
};

// Opens the default output device through SDL audio (16-bit stereo at 44,100 Hz); device must be
// null. DSERR_NODRIVER when no audio output can be opened.
HRESULT DirectSoundCreate(const GUID* device, IDirectSound** sound, void* outer);

// Holders that Release instead of deleting, so ownership of a counted object shows in its type.
struct DirectSoundRelease {
  void operator()(IDirectSound* sound) const { sound->Release(); }
  void operator()(IDirectSoundBuffer* buffer) const { buffer->Release(); }
};
using DirectSoundPtr = std::unique_ptr<IDirectSound, DirectSoundRelease>;
using DirectSoundBufferPtr = std::unique_ptr<IDirectSoundBuffer, DirectSoundRelease>;
