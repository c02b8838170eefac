// Texts of the display layer's result codes: the generic system codes and every DirectDraw and
// Direct3D code the display layer can report, each a line of its own that callers print as it
// is after their own line.
#include "render/hardware/DDErrorText.h"

#include <algorithm>
#include <iterator>

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
    {MakeDDResult(5), "This object is already initialized.\n"},
    {MakeDDResult(10), "This surface can not be attached to the requested surface.\n"},
    {MakeDDResult(20), "This surface can not be detached from the requested surface.\n"},
    {MakeDDResult(40), "Support is currently not available.\n"},
    {MakeDDResult(55), "An exception was encountered while performing the requested operation.\n"},
    {MakeDDResult(90), "Height of rectangle provided is not a multiple of reqd alignment.\n"},
    {MakeDDResult(95), "Unable to match primary surface creation request with existing primary surface.\n"},
    {MakeDDResult(100), "One or more of the caps bits passed to the callback are incorrect.\n"},
    {MakeDDResult(110), "DirectDraw does not support provided Cliplist.\n"},
    {MakeDDResult(120), "DirectDraw does not support the requested mode.\n"},
    {MakeDDResult(130), "DirectDraw received a pointer that was an invalid DIRECTDRAW object.\n"},
    {MakeDDResult(145), "The pixel format was invalid as specified.\n"},
    {MakeDDResult(150), "Rectangle provided was invalid.\n"},
    {MakeDDResult(160), "Operation could not be carried out because one or more surfaces are locked.\n"},
    {MakeDDResult(170), "There is no 3D present.\n"},
    {MakeDDResult(180),
     "Operation could not be carried out because there is "
     "no alpha accleration hardware present or available.\n"},
    {MakeDDResult(205), "No cliplist available.\n"},
    {MakeDDResult(210),
     "Operation could not be carried out because there is "
     "no color conversion hardware present or available.\n"},
    {MakeDDResult(212),
     "Create function called without DirectDraw "
     "object method SetCooperativeLevel being called.\n"},
    {MakeDDResult(215), "Surface doesn't currently have a color key\n"},
    {MakeDDResult(220),
     "Operation could not be carried out because there "
     "is no hardware support of the destination color key.\n"},
    {MakeDDResult(225),
     "Operation requires the application to have exclusive "
     "mode but the application does not have exclusive mode.\n"},
    {MakeDDResult(230), "Flipping visible surfaces is not supported.\n"},
    {MakeDDResult(240), "There is no GDI present.\n"},
    {MakeDDResult(250), "Operation could not be carried out because there is no hardware present or available.\n"},
    {MakeDDResult(255), "Requested item was not found.\n"},
    {MakeDDResult(260),
     "Operation could not be carried out because "
     "there is no overlay hardware present or available.\n"},
    {MakeDDResult(280),
     "Operation could not be carried out because there is "
     "no appropriate raster op hardware present or available.\n"},
    {MakeDDResult(290),
     "Operation could not be carried out because "
     "there is no rotation hardware present or available.\n"},
    {MakeDDResult(310), "Operation could not be carried out because there is no hardware support for stretching.\n"},
    {MakeDDResult(316),
     "DirectDrawSurface is not in 4 bit color palette and "
     "the requested operation requires 4 bit color palette.\n"},
    {MakeDDResult(317),
     "DirectDrawSurface is not in 4 bit color index palette and "
     "the requested operation requires 4 bit color index palette.\n"},
    {MakeDDResult(320),
     "DirectDraw Surface is not in 8 bit color mode "
     "and the requested operation requires 8 bit color.\n"},
    {MakeDDResult(330),
     "Operation could not be carried out because there "
     "is no texture mapping hardware present or available.\n"},
    {MakeDDResult(335),
     "Operation could not be carried out because there is no "
     "hardware support for vertical blank synchronized operations.\n"},
    {MakeDDResult(340),
     "Operation could not be carried out because "
     "there is no hardware support for zbuffer blitting.\n"},
    {MakeDDResult(350),
     "Overlay surfaces could not be z layered based on their "
     "BltOrder because the hardware does not support z layering of overlays.\n"},
    {MakeDDResult(360), "The hardware needed for the requested operation has already been allocated.\n"},
    {MakeDDResult(380), kOutOfMemory},
    {MakeDDResult(382), "The hardware does not support clipped overlays.\n"},
    {MakeDDResult(384), "Can only have ony color key active at one time for overlays.\n"},
    {MakeDDResult(387),
     "Access to this palette is being refused because "
     "the palette is already locked by another thread.\n"},
    {MakeDDResult(400), "No src color key specified for this operation.\n"},
    {MakeDDResult(410), "This surface is already attached to the surface it is being attached to.\n"},
    {MakeDDResult(420), "This surface is already a dependency of the surface it is being made a dependency of.\n"},
    {MakeDDResult(430),
     "Access to this surface is being refused because "
     "the surface is already locked by another thread.\n"},
    {MakeDDResult(440), "Access to surface refused because the surface is obscured.\n"},
    {MakeDDResult(450),
     "Access to this surface is being refused because the surface memory is gone. The "
     "DirectDrawSurface object representing this surface should have Restore called on it.\n"},
    {MakeDDResult(460), "The requested surface is not attached.\n"},
    {MakeDDResult(470), "Height requested by DirectDraw is too large.\n"},
    {MakeDDResult(480), "Size requested by DirectDraw is too large, but the individual height and width are OK.\n"},
    {MakeDDResult(490), "Width requested by DirectDraw is too large.\n"},
    {MakeDDResult(510), "FOURCC format requested is unsupported by DirectDraw.\n"},
    {MakeDDResult(520), "Bitmask in the pixel format requested is unsupported by DirectDraw.\n"},
    {MakeDDResult(537), "Vertical blank is in progress.\n"},
    {MakeDDResult(540),
     "Informs DirectDraw that the previous Blt which is "
     "transfering information to or from this Surface is incomplete.\n"},
    {MakeDDResult(560), "Rectangle provided was not horizontally aligned on required boundary.\n"},
    {MakeDDResult(561), "The GUID passed to DirectDrawCreate is not a valid DirectDraw driver identifier.\n"},
    {MakeDDResult(562), "A DirectDraw object representing this driver has already been created for this process.\n"},
    {MakeDDResult(563),
     "A hardware-only DirectDraw object creation was "
     "attempted but the driver did not support any hardware.\n"},
    {MakeDDResult(564), "This process already has created a primary surface.\n"},
    {MakeDDResult(565), "Software emulation not available.\n"},
    {MakeDDResult(566), "Region passed to Clipper::GetClipList is too small.\n"},
    {MakeDDResult(567),
     "An attempt was made to set a cliplist for a "
     "clipper object that is already monitoring an hwnd.\n"},
    {MakeDDResult(568), "No clipper object attached to surface object.\n"},
    {MakeDDResult(569),
     "Clipper notification requires an HWND or no HWND "
     "has previously been set as the CooperativeLevel HWND.\n"},
    {MakeDDResult(570),
     "HWND used by DirectDraw CooperativeLevel has been "
     "subclassed, this prevents DirectDraw from restoring state.\n"},
    {MakeDDResult(571),
     "The CooperativeLevel HWND has already been set. It can not "
     "be reset while the process has surfaces or palettes created.\n"},
    {MakeDDResult(572), "No palette object attached to this surface.\n"},
    {MakeDDResult(573), "No hardware support for 16 or 256 color palettes.\n"},
    {MakeDDResult(574), "If a clipper object is attached to the source surface passed into a BltFast call.\n"},
    {MakeDDResult(575), "No blitter.\n"},
    {MakeDDResult(576), "No DirectDraw ROP hardware.\n"},
    {MakeDDResult(577), "Returned when GetOverlayPosition is called on a hidden overlay.\n"},
    {MakeDDResult(578),
     "Returned when GetOverlayPosition is called on an overlay that "
     "UpdateOverlay has never been called on to establish a destination.\n"},
    {MakeDDResult(579),
     "Returned when the position of the overlay on the "
     "destination is no longer legal for that destination.\n"},
    {MakeDDResult(580), "Returned when an overlay member is called for a non-overlay surface.\n"},
    {MakeDDResult(581), "An attempt was made to set the cooperative level when it was already set to exclusive.\n"},
    {MakeDDResult(582), "An attempt has been made to flip a surface that is not flippable.\n"},
    {MakeDDResult(583), "Can't duplicate primary & 3D surfaces, or surfaces that are implicitly created.\n"},
    {MakeDDResult(584),
     "Surface was not locked.  An attempt to unlock a surface that "
     "was not locked at all, or by this process, has been attempted.\n"},
    {MakeDDResult(585), "Windows can not create any more DCs.\n"},
    {MakeDDResult(586), "No DC was ever created for this surface.\n"},
    {MakeDDResult(587), "This surface can not be restored because it was created in a different mode.\n"},
    {MakeDDResult(588), "This surface can not be restored because it is an implicitly created surface.\n"},
    {MakeDDResult(589), "The surface being used is not a palette-based surface.\n"},
    {MakeDDResult(700), "Bad major version.\n"},
    {MakeDDResult(701), "Bad minor version.\n"},
    {MakeDDResult(705), "The requested device type is not valid.\n"},
    {MakeDDResult(706), "Initialization of the object failed.\n"},
    {MakeDDResult(707), "SetRenderTarget attempted on a device that was QI'd off the render target.\n"},
    {MakeDDResult(710), "Execute buffer could not be created.\n"},
    {MakeDDResult(711), "Execute buffer could not be destroyed.\n"},
    {MakeDDResult(712), "Execute buffer could not be locked.\n"},
    {MakeDDResult(713), "Execute buffer could not be unlocked.\n"},
    {MakeDDResult(714), "Operation cannot be performed while the execute buffer is locked.\n"},
    {MakeDDResult(715), "Execute buffer is not locked.\n"},
    {MakeDDResult(716), "Execute buffer execution failed.\n"},
    {MakeDDResult(717), "Execute buffer clipped execution failed.\n"},
    {MakeDDResult(720), "Texture is not supported.\n"},
    {MakeDDResult(721), "Texture could not be created.\n"},
    {MakeDDResult(722), "Texture could not be destroyed.\n"},
    {MakeDDResult(723), "Texture could not be locked.\n"},
    {MakeDDResult(724), "Texture could not be unlocked.\n"},
    {MakeDDResult(725), "Texture could not be loaded.\n"},
    {MakeDDResult(726), "Textures could not be swapped.\n"},
    {MakeDDResult(727), "Operation cannot be performed while the texture is locked.\n"},
    {MakeDDResult(728), "Texture is not locked.\n"},
    {MakeDDResult(729), "The surface of the texture could not be retrieved.\n"},
    {MakeDDResult(730), "Matrix could not be created.\n"},
    {MakeDDResult(731), "Matrix could not be destroyed.\n"},
    {MakeDDResult(732), "Matrix data could not be set.\n"},
    {MakeDDResult(733), "Matrix data could not be retrieved.\n"},
    {MakeDDResult(734), "Viewport data could not be set.\n"},
    {MakeDDResult(735), "The current viewport is not valid.\n"},
    {MakeDDResult(736), "The primitive type is not valid.\n"},
    {MakeDDResult(737), "The vertex type is not valid.\n"},
    {MakeDDResult(738), "The dimensions of the texture are not valid.\n"},
    {MakeDDResult(739), "Ramp mode is in use and the texture is not a palettized texture.\n"},
    {MakeDDResult(740), "Material could not be created.\n"},
    {MakeDDResult(741), "Material could not be destroyed.\n"},
    {MakeDDResult(742), "Material data could not be set.\n"},
    {MakeDDResult(743), "Material data could not be retrieved.\n"},
    {MakeDDResult(744), "The palette attached to the surface is not valid.\n"},
    {MakeDDResult(745), "The z-buffer for a software device must be in system memory.\n"},
    {MakeDDResult(746), "The z-buffer for a hardware device must be in video memory.\n"},
    {MakeDDResult(747), "The device could not be created because the render target is not in display memory.\n"},
    {MakeDDResult(750), "Light data could not be set.\n"},
    {MakeDDResult(751), "The light is already attached to a viewport.\n"},
    {MakeDDResult(752), "The light is not attached to this viewport.\n"},
    {MakeDDResult(760), "A scene is already in progress.\n"},
    {MakeDDResult(761), "No scene is in progress.\n"},
    {MakeDDResult(762), "The scene could not be begun.\n"},
    {MakeDDResult(763), "The scene could not be ended.\n"},
    {MakeDDResult(770), "The requested operation cannot be completed while scene rendering is taking place.\n"},
    {MakeDDResult(771),
     "The requested rendering operation could not be "
     "completed because scene rendering has not begun.\n"},
    {MakeDDResult(772),
     "The requested operation failed because the "
     "device currently has no viewports associated with it.\n"},
    {MakeDDResult(773),
     "The requested operation could not be completed "
     "because viewport parameters have not yet been set.\n"},
    {MakeDDResult(774),
     "The requested operation could not be completed because "
     "the viewport has not yet been associated with a device.\n"},
    {MakeDDResult(775), "The requested operation could not be completed because there is no current viewport.\n"},
    {MakeDDResult(2048), "The combination of flexible vertex format flags is not valid.\n"},
    {MakeDDResult(2050), "The texture has a color key attached and cannot be used as a render target.\n"},
    {MakeDDResult(2060), "The vertex buffer has been optimized and its contents cannot be accessed.\n"},
    {MakeDDResult(2061), "The vertex buffer could not be created.\n"},
    {MakeDDResult(2062), "The vertex buffer is locked.\n"},
    {MakeDDResult(2070), "The render target has no z-buffer attached.\n"},
    {MakeDDResult(2071), "The render target has no stencil buffer attached.\n"},
    {MakeDDResult(2072), "The pixel format of the texture surface is not valid.\n"},
    {MakeDDResult(2073), "The device does not support a texture-blending operation for color values.\n"},
    {MakeDDResult(2074), "The device does not support a texture-blending argument for color values.\n"},
    {MakeDDResult(2075), "The device does not support a texture-blending operation for the alpha channel.\n"},
    {MakeDDResult(2076), "The device does not support a texture-blending argument for the alpha channel.\n"},
    {MakeDDResult(2077),
     "The application is requesting more "
     "texture-filtering operations than the device supports.\n"},
    {MakeDDResult(2078), "The current texture filters cannot be used together.\n"},
    {MakeDDResult(2079), "The device does not support the specified texture factor value.\n"},
    {MakeDDResult(2081), "The currently set render states cannot be used together.\n"},
    {MakeDDResult(2082), "The device does not support the specified texture filter.\n"},
    {MakeDDResult(2083), "The device is unable to render the provided number of primitives in a single pass.\n"},
    {MakeDDResult(2084), "The combination of the currently set world, view and projection matrices is not valid.\n"},
    {MakeDDResult(2086), "The current textures cannot be used at the same time.\n"},
};

}  // namespace

const char* DDErrorToString(HRESULT code) {
  for (const ErrorText& entry : kTexts)
    if (entry.code == code) return entry.text;
  return "Unrecognized error value.\n";
}

size_t DDErrorTextCount() { return std::size(kTexts); }
