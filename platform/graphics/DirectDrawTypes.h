// DirectDraw and Direct3D vocabulary the hardware back end is written against: result codes,
// capability bits, pixel formats, surface descriptions, device descriptions and the render and
// texture-stage state names. Values are our own except the result codes, which logs, error
// tables and tests key on and so keep their customary numbers.
#pragma once

#include <cstdint>

#include "platform/system/Win32.h"

constexpr HRESULT MakeDDResult(uint32_t code) { return static_cast<HRESULT>(0x88760000u + code); }

constexpr HRESULT DD_OK = 0;
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_ALREADYINITIALIZED = MakeDDResult(5);
constexpr HRESULT DDERR_INVALIDCAPS = MakeDDResult(100);
constexpr HRESULT DDERR_INVALIDMODE = MakeDDResult(120);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDDResult(130);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDDResult(145);
constexpr HRESULT DDERR_INVALIDRECT = MakeDDResult(150);
constexpr HRESULT DDERR_NOTFOUND = MakeDDResult(255);
constexpr HRESULT DDERR_NOZBUFFERHW = MakeDDResult(340);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = MakeDDResult(380);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDDResult(430);
constexpr HRESULT DDERR_SURFACELOST = MakeDDResult(450);
constexpr HRESULT DDERR_SURFACENOTATTACHED = MakeDDResult(460);
constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDDResult(540);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDDResult(582);
constexpr HRESULT DDERR_NOTLOCKED = MakeDDResult(584);
constexpr HRESULT DDERR_NODC = MakeDDResult(586);
constexpr HRESULT D3DERR_INVALID_DEVICE = MakeDDResult(705);
constexpr HRESULT D3DERR_INITFAILED = MakeDDResult(706);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MakeDDResult(760);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MakeDDResult(761);
constexpr HRESULT D3DERR_SCENE_BEGIN_FAILED = MakeDDResult(762);
constexpr HRESULT D3DERR_SCENE_END_FAILED = MakeDDResult(763);
constexpr HRESULT D3DERR_NOCURRENTVIEWPORT = MakeDDResult(775);
constexpr HRESULT D3DERR_ZBUFFER_NOTPRESENT = MakeDDResult(2070);

inline bool SucceededDD(HRESULT result) { return result >= 0; }

// Surface capability bits (DDSCAPS.dwCaps).
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD DDSCAPS_MIPMAP = 0x400000;
constexpr DWORD DDSCAPS_ALLOCONLOAD = 0x4000000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;

// Surface description fields present (DDSURFACEDESC2.dwFlags).
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_MIPMAPCOUNT = 0x20000;
constexpr DWORD DDSD_REFRESHRATE = 0x40000;

// Pixel format kinds (DDPIXELFORMAT.dwFlags).
constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_ZBUFFER = 0x400;

// Render bit depths a device offers (D3DDEVICEDESC.dwDeviceRenderBitDepth and the depth-buffer depths).
constexpr DWORD DDBD_8 = 0x800;
constexpr DWORD DDBD_16 = 0x400;
constexpr DWORD DDBD_24 = 0x200;
constexpr DWORD DDBD_32 = 0x100;

// Driver capability bits (DDCAPS).
constexpr DWORD DDCAPS_3D = 0x1;
constexpr DWORD DDCAPS2_CANRENDERWINDOWED = 0x80000;

// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD DDSCL_FPUSETUP = 0x200;

// Blit and lock flags.
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_WAIT = 0x10;
constexpr DWORD DDFLIP_WAIT = 0x1;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x800;
constexpr DWORD DDSDM_STANDARDVGAMODE = 0x1;

// Enumeration flags for every kind of display device.
constexpr DWORD DDENUM_ATTACHEDSECONDARYDEVICES = 0x1;
constexpr DWORD DDENUM_DETACHEDSECONDARYDEVICES = 0x2;
constexpr DWORD DDENUM_NONDISPLAYDEVICES = 0x4;

struct DDPIXELFORMAT {
  DWORD dwFlags = 0;
  DWORD dwRGBBitCount = 0;  // also the depth of a depth-buffer format
  DWORD dwRBitMask = 0;
  DWORD dwGBitMask = 0;
  DWORD dwBBitMask = 0;
  DWORD dwRGBAlphaBitMask = 0;
};

inline bool SamePixelFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
  return a.dwFlags == b.dwFlags && a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
         a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask && a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

// The formats the memory surfaces hold.
DDPIXELFORMAT PixelFormat565();
DDPIXELFORMAT PixelFormat555();
DDPIXELFORMAT PixelFormat1555();
DDPIXELFORMAT PixelFormat4444();
DDPIXELFORMAT PixelFormat8888();
DDPIXELFORMAT PixelFormatX888();  // 32 bits, no alpha: the 24 colour bits of a 32-bit display
DDPIXELFORMAT PixelFormatZ16();

struct DDSCAPS2 {
  DWORD dwCaps = 0;
};

struct DDSURFACEDESC2 {
  DWORD dwFlags = 0;
  DWORD dwHeight = 0;
  DWORD dwWidth = 0;
  LONG lPitch = 0;
  DWORD dwBackBufferCount = 0;
  DWORD dwMipMapCount = 0;
  DWORD dwRefreshRate = 0;
  void* lpSurface = nullptr;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS2 ddsCaps;
};

struct DDCAPS {
  DWORD dwCaps = 0;
  DWORD dwCaps2 = 0;
  DWORD dwVidMemTotal = 0;
  DWORD dwVidMemFree = 0;
};

// Triangle capabilities of a device.
constexpr DWORD D3DPRASTERCAPS_ANTIALIASSORTINDEPENDENT = 0x400;
constexpr DWORD D3DPRASTERCAPS_ZBUFFERLESSHSR = 0x8000;
constexpr DWORD D3DPRASTERCAPS_WBUFFER = 0x40000;
constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x4;
constexpr DWORD D3DPTFILTERCAPS_LINEARMIPLINEAR = 0x20;
constexpr DWORD D3DPTFILTERCAPS_MIPFLINEAR = 0x20000;
constexpr DWORD D3DDD_COLORMODEL = 0x1;  // a set flag marks a hardware description
constexpr DWORD D3DCOLOR_RGB = 0x2;

struct D3DPRIMCAPS {
  DWORD dwRasterCaps = 0;
  DWORD dwTextureCaps = 0;
  DWORD dwTextureFilterCaps = 0;
};

struct D3DDEVICEDESC {
  DWORD dwFlags = 0;
  DWORD dcmColorModel = 0;
  D3DPRIMCAPS dpcTriCaps;
  DWORD dwDeviceRenderBitDepth = 0;
  DWORD dwDeviceZBufferBitDepth = 0;
  DWORD dwMinTextureWidth = 0;
  DWORD dwMinTextureHeight = 0;
  DWORD dwMaxTextureWidth = 0;
  DWORD dwMaxTextureHeight = 0;
};

struct D3DVIEWPORT2 {
  DWORD dwX = 0;
  DWORD dwY = 0;
  DWORD dwWidth = 0;
  DWORD dwHeight = 0;
  float dvMinZ = 0.0f;
  float dvMaxZ = 1.0f;
};

struct D3DMATRIX {
  float m[4][4] = {};
};

struct D3DRECT {
  LONG x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct DDGAMMARAMP {
  WORD red[256];
  WORD green[256];
  WORD blue[256];
};

// Render states (the names the back end sets).
enum D3DRENDERSTATETYPE : uint32_t {
  D3DRENDERSTATE_ANTIALIAS = 2,
  D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
  D3DRENDERSTATE_ZENABLE = 7,
  D3DRENDERSTATE_FILLMODE = 8,
  D3DRENDERSTATE_SHADEMODE = 9,
  D3DRENDERSTATE_ZWRITEENABLE = 14,
  D3DRENDERSTATE_TEXTUREMAG = 17,
  D3DRENDERSTATE_TEXTUREMIN = 18,
  D3DRENDERSTATE_SRCBLEND = 19,
  D3DRENDERSTATE_DESTBLEND = 20,
  D3DRENDERSTATE_CULLMODE = 22,
  D3DRENDERSTATE_DITHERENABLE = 26,
  D3DRENDERSTATE_ALPHABLENDENABLE = 27,
  D3DRENDERSTATE_FOGENABLE = 28,
  D3DRENDERSTATE_SPECULARENABLE = 29,
  D3DRENDERSTATE_FOGCOLOR = 34,
  D3DRENDERSTATE_COLORKEYENABLE = 41,
  D3DRENDERSTATE_RANGEFOGENABLE = 48,
  D3DRENDERSTATE_COUNT = 64,
};

enum D3DTEXTURESTAGESTATETYPE : uint32_t {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_TEXCOORDINDEX = 11,
  D3DTSS_ADDRESSU = 13,
  D3DTSS_ADDRESSV = 14,
  D3DTSS_MAGFILTER = 16,
  D3DTSS_MINFILTER = 17,
  D3DTSS_MIPFILTER = 18,
  D3DTSS_MIPMAPLODBIAS = 19,
  D3DTSS_COUNT = 24,
};

// State values.
enum : uint32_t { D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_MODULATE = 4 };
enum : uint32_t { D3DTA_DIFFUSE = 0, D3DTA_CURRENT = 1, D3DTA_TEXTURE = 2 };
enum : uint32_t { D3DTADDRESS_WRAP = 1, D3DTADDRESS_MIRROR = 2, D3DTADDRESS_CLAMP = 3 };
enum : uint32_t { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum : uint32_t { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 };
enum : uint32_t { D3DTFP_NONE = 1, D3DTFP_POINT = 2, D3DTFP_LINEAR = 3 };
enum : uint32_t { D3DFILTER_NEAREST = 1, D3DFILTER_LINEAR = 2, D3DFILTER_MIPNEAREST = 3, D3DFILTER_MIPLINEAR = 4 };
enum : uint32_t {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
};
enum : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum : uint32_t { D3DANTIALIAS_NONE = 0, D3DANTIALIAS_SORTINDEPENDENT = 2 };

enum D3DPRIMITIVETYPE : uint32_t { D3DPT_LINELIST = 2, D3DPT_TRIANGLELIST = 4 };
enum D3DTRANSFORMSTATETYPE : uint32_t { D3DTRANSFORMSTATE_PROJECTION = 3 };

// Vertex format of the pre-transformed screen vertex: position with rhw, diffuse, specular, two uv sets.
constexpr DWORD D3DFVF_XYZRHW = 0x4;
constexpr DWORD D3DFVF_DIFFUSE = 0x40;
constexpr DWORD D3DFVF_SPECULAR = 0x80;
constexpr DWORD D3DFVF_TEX2 = 0x200;
constexpr DWORD D3DDP_DONOTUPDATEEXTENTS = 0x1;
constexpr DWORD D3DDP_DONOTLIGHT = 0x8;

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
