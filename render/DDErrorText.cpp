// Texts of the display layer's result codes. Every message ends in a line feed so callers can
// print it as it is after their own line.
#include "render/DDErrorText.h"

namespace {

struct ErrorText {
  HRESULT code;
  const char* text;
};

const char* const kOutOfMemory = "DirectDraw does not have enough memory to perform the operation.\n";

const ErrorText kTexts[] = {
    {DD_OK, "No error.\n"},
    {DDERR_UNSUPPORTED, "Action not supported.\n"},
    {DDERR_GENERIC, "Generic failure.\n"},
    {DDERR_OUTOFMEMORY, kOutOfMemory},
    {DDERR_INVALIDPARAMS, "One or more of the parameters passed to the function are incorrect.\n"},
    {DDERR_ALREADYINITIALIZED, "The object has already been initialised.\n"},
    {DDERR_INVALIDCAPS, "The capabilities asked for cannot be combined or are not offered.\n"},
    {DDERR_INVALIDMODE, "The display mode is not supported.\n"},
    {DDERR_INVALIDOBJECT, "The object passed in is not a valid display object.\n"},
    {DDERR_INVALIDPIXELFORMAT, "The pixel format is invalid for this operation.\n"},
    {DDERR_INVALIDRECT, "Rectangle provided was invalid.\n"},
    {DDERR_NOTFOUND, "The requested item was not found.\n"},
    {DDERR_NOZBUFFERHW, "No hardware depth buffer is available for this operation.\n"},
    {DDERR_OUTOFVIDEOMEMORY, kOutOfMemory},
    {DDERR_SURFACEBUSY, "The surface is locked or has a device context out and cannot be used now.\n"},
    {DDERR_SURFACELOST,
     "Access to this surface is being refused because the surface memory is gone. The DirectDrawSurface object "
     "representing this surface should have Restore called on it.\n"},
    {DDERR_SURFACENOTATTACHED, "The surface is not attached to the one named.\n"},
    {DDERR_WASSTILLDRAWING, "The previous blit to or from this surface has not finished.\n"},
    {DDERR_NOTFLIPPABLE, "The surface is not the front of a flip chain.\n"},
    {DDERR_NOTLOCKED, "The surface was not locked, so it cannot be unlocked.\n"},
    {DDERR_NODC, "No device context can be made for this surface.\n"},
    {D3DERR_INVALID_DEVICE, "The requested 3D device is not available.\n"},
    {D3DERR_INITFAILED, "The 3D device could not be started.\n"},
    {D3DERR_SCENE_IN_SCENE, "A scene was begun while another one was still open.\n"},
    {D3DERR_SCENE_NOT_IN_SCENE, "A scene was ended that had not been begun.\n"},
    {D3DERR_SCENE_BEGIN_FAILED, "The scene could not be begun.\n"},
    {D3DERR_SCENE_END_FAILED, "The scene could not be ended.\n"},
    {D3DERR_NOCURRENTVIEWPORT, "The device has no current viewport.\n"},
    {D3DERR_ZBUFFER_NOTPRESENT, "The render target has no depth buffer.\n"},
};

}  // namespace

const char* DDErrorToString(HRESULT code) {
  for (const ErrorText& entry : kTexts)
    if (entry.code == code) return entry.text;
  return "Unrecognized error value.\n";
}
