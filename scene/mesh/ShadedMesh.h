// ShadedMesh: the shared data of one model - shaded triangles, frames, normals, textures by name, attach points, children.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/math/Color.h"
#include "core/math/Orientation.h"
#include "core/data/ResourceOwner.h"
#include "core/math/Vector2.h"
#include "scene/mesh/TriMesh.h"
#include "platform/files/FileMapping.h"
#include "scene/mesh/AttachPoint.h"
#include "scene/mesh/MeshAttachedObject.h"
#include "scene/mesh/TextureProperties.h"

class CResourceTable;
class CurvedPatch;
class ControllerSet;
class Skin;
class VertexSharingTable;
class RayInfo;
class MeshFileReader;
class MeshFileWriter;

struct MeshCorner {
  uint32_t uv;      // index into the UVs, kNone for none
  uint32_t normal;  // index of the normal record, kNone for none
  Color color;
};

struct MeshFaceRecord {
  uint32_t textureSlot;  // kNone = untextured
  MeshCorner corners[3];
};

// The corners of normal i are cornerList[first .. end - 1]; each is 3 * face + corner.
struct MeshNormalRecord {
  uint32_t vertex;
  uint32_t first;
  uint32_t end;
};

static_assert(sizeof(MeshFaceRecord) == 40 && sizeof(MeshNormalRecord) == 12, "file record sizes");

// The TriMesh part holds the current frame (positions and face normals point at it); its
// header word is the file version. Arrays are owned unless a mapped load left them in the file.
class ShadedMesh : public TriMesh {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  static constexpr uint32_t kVersion = 52;
  static constexpr size_t kNameSize = 32;
  static constexpr size_t kTextureNameSize = 32;
  // Texture paths are cut to this length: the path limit the mesh files were authored against.
  static constexpr size_t kMaxTexturePath = 260;

  // Kind bits.
  static constexpr uint32_t kKindLod = 0x1;
  static constexpr uint32_t kKindOrdinary = 0x2;
  static constexpr uint32_t kKindInternal = 0x4;
  static constexpr uint32_t kKindMask = 0x7;
  // File-format bits.
  static constexpr uint32_t kFlagCompressedNormals = 0x400;
  static constexpr uint32_t kFlagNeedsRewrite = 0x800;
  static constexpr uint32_t kFlagVertexNormals = 0x1000;
  static constexpr uint32_t kFlagCoverage = 0x2000;
  static constexpr uint32_t kFlagPatches = 0x4000;
  static constexpr uint32_t kFlagAnimation = 0x8000;
  static constexpr uint32_t kFlagSkin = 0x10000;

  uint32_t flags = 0;
  char name[kNameSize] = {};  // zero-padded, not necessarily terminated

  MeshFaceRecord* faceRecords = nullptr;
  uint32_t uvCount = 0;
  Vector2* uvs = nullptr;
  uint32_t normalCount = 0;
  uint32_t* cornerList = nullptr;          // 3 F entries, grouped by normal
  MeshNormalRecord* normalRecords = nullptr;
  uint16_t* compressedNormals = nullptr;   // current frame, N entries
  std::unique_ptr<VertexSharingTable> sharingTable;
  uint32_t* faceAttributes = nullptr;      // F words or null, carried unchanged

  std::vector<AttachPoint> attachPoints;
  std::vector<std::vector<COrientation>> animatedAttach;  // per point: empty, or T transforms

  std::vector<std::unique_ptr<ShadedMesh>> children;
  std::vector<uint32_t> childAttach;       // attach point each child hangs on
  ShadedMesh* parent = nullptr;
  ShadedMesh* textureOwner = this;

  uint32_t frameCount = 1;
  uint32_t currentFrame = 0;
  Vector3* allPositions = nullptr;          // T x V
  Vector3* allFaceNormals = nullptr;        // T x F, or null
  uint16_t* allCompressedNormals = nullptr; // T x N

  // Root meshes only: texture objects and names. An entry is either one the mesh loaded itself
  // (kept alive by ownedTextures) or one a builder lent it.
  std::vector<CTextureProperties*> textures;
  std::vector<std::unique_ptr<CTextureProperties>> ownedTextures;
  std::vector<std::string> textureNames;
  uint32_t slotCount = 0;         // K, also for a child (whose slot table lives with its owner)
  std::vector<CTextureProperties*> slots;   // K entries on a root; faces name slots
  std::vector<float> coverage;    // K entries

  uint16_t* allVertexNormals = nullptr;  // T x V, or null
  uint16_t* vertexNormals = nullptr;     // current frame

  // Hung on the mesh by the resource loader that built it; released with the mesh.
  std::unique_ptr<MeshAttachedObject> attachedObject;
  std::unique_ptr<CurvedPatch> patches;
  std::unique_ptr<ControllerSet> animation;
  std::unique_ptr<Skin> skin;

  std::string path;
  bool texturesLoaded = false;
  uint32_t resourceId = 0;

  ShadedMesh();
  ~ShadedMesh();
  ShadedMesh(const ShadedMesh&) = delete;
  ShadedMesh& operator=(const ShadedMesh&) = delete;

  void Release();
  // Release for a mesh about to be filled again: its place under a parent and the mesh
  // whose textures it uses stay.
  void ReleaseContent();

  // An empty version-52 mesh: zero positions and face indices, untextured faces whose corners
  // have no UV or normal and a white colour, unnamed null textures, null slots. The kind
  // comes from the name ("_LOD", else "_INTERNAL", else ordinary). False (logged) for vertex
  // counts the 16-bit face indices cannot address, or no frames.
  bool Create(const char* meshName, uint32_t vertices, uint32_t faces, uint32_t textureCount, uint32_t slotTotal,
              uint32_t uvs, uint32_t frames);
  // n x n vertex grid named "Grid" (positions zero), textured by slot 0.
  bool CreateGrid(uint32_t n, CTextureProperties* const* gridTextures, uint32_t count);

  uint32_t GetKind() const { return flags & kKindMask; }
  // The name as a terminated string.
  std::string GetName() const;
  void SetName(const char* meshName);
  // The number after key in the name read as key/value text; 0 when absent.
  float ReadNamedValue(const char* key) const;

  void SetFrame(uint32_t frame);
  uint32_t GetTextureCount() const { return static_cast<uint32_t>(textureOwner->textures.size()); }
  uint32_t GetSlotCount() const { return slotCount; }
  CTextureProperties* GetTexture(uint32_t slot) const;
  void SetTexture(uint32_t slot, CTextureProperties* texture);
  void ResetSlots();
  void SetTextureName(uint32_t index, CTextureProperties* texture, const char* textureName);
  // Once per mesh: loads every named texture from the folder of the mesh's path through the
  // registered texture factory (a file that does not load leaves its entry null), then slot
  // i = texture i. A texture that had to be repacked to ARGB marks the mesh for rewriting.
  void LoadTextures(bool textureFlag);

  int AddAttachPoint(const COrientation& transform, uint32_t type, uint32_t length, const void* data, bool animated);
  int FindAttachPoint(uint32_t type) const;
  void CollectAttachPoints(uint32_t type, std::vector<int>& out) const;
  const AttachPoint* FindNamedAttachPoint(const char* pointName) const;
  int FindNamedAttachPointIndex(const char* pointName) const;
  void GetMeshKey(uint32_t key[4]) const;

  // Appends a child hung on an existing attach point, taking it from `child`; false (logged,
  // nothing changed, the caller keeps the child) when the index names no attach point or the
  // child is null, this mesh or already has a parent.
  bool AddChildMesh(std::unique_ptr<ShadedMesh>&& child, uint32_t attachIndex);
  int GetIndexInParent() const;

  void SetCurvedPatches(std::unique_ptr<CurvedPatch> curved);
  void SetAnimation(std::unique_ptr<ControllerSet> controllers);
  void SetSkin(std::unique_ptr<Skin> newSkin);

  // Bounds over every frame (or the first fixed-bounds attach point), centre and radii.
  void ComputeBounds();
  // The triangle part's adjacency. Where the faces would need split vertices, the split would
  // renumber one frame's vertices only, so such a mesh is refused (logged) and left unchanged.
  bool BuildEdgeAdjacency();
  // Unit face normals of every frame, stored with the mesh (and so written to its file).
  void ComputeAllFaceNormals();
  // Drops the stored face normals (the file then has no face-normal section).
  void RemoveFaceNormals();
  // Copies F words (null removes the section); the words are carried unchanged.
  void SetFaceAttributes(const uint32_t* words);
  // Per-vertex normal-table indices for every frame; sets the vertex-normal flag.
  void ComputeVertexNormals();
  // Rebuilds the shared normal records with the given smoothing angle, then the bounds.
  bool ComputeNormalsAndBounds(float smoothingAngle);
  // The render groups of a mesh that has none (the vertex-sharing table over its face records);
  // true when the mesh has a table afterwards. Needs the edge adjacency, which it builds.
  bool BuildVertexSharing();
  // Texture coverage of the whole family, run from its texture owner: the largest world length
  // per texture unit of any face edge, and of any control-net edge of a curved patch (for each
  // texture its face shows), per slot.
  void ResolveTextures();

  // Appends, for the first texture-list point driving the slot, the owner's texture of every
  // listed index (null past the owner's textures), then the slot's own texture (or null).
  void GetAttachPointTextures(uint32_t slot, std::vector<CTextureProperties*>& out) const;
  // Clears an owner texture's pointer and name and every slot that shows it; a texture the
  // mesh loaded itself stays alive until the mesh is released.
  void DetachTexture(uint32_t index);
  void DetachTextures();

  // Re-expresses the mesh in the given frame: positions, normals (unless the rotation is
  // exactly the identity), attach points and bounds.
  void Transform(const COrientation& frame);
  // Moves the mesh by (dx, dy, dz).
  void Translate(float dx, float dy, float dz);
  // Box of one frame's vertices expressed in the orientation's frame; with originOnly the box
  // starts from the mesh origin instead of the first vertex. An empty mesh gives a zero box.
  void GetFrameBounds(Box& out, const COrientation& orientation, uint32_t frame, bool originOnly) const;
  // The same over every frame; null means the identity.
  Box GetTransformedBounds(const COrientation* orientation) const;

  // Tool clean-up: merges texture coordinates (and, for single-frame meshes, positions) that
  // lie closer than sqrt(0.00001) to an earlier kept one, remapping what refers to them.
  void WeldUVs();
  bool WeldVertices();
  // Logs every face whose normal is zero, then the count; returns the count.
  uint32_t ReportDegenerateFaces() const;

  // Nearest hit of the segment query with the current frame's faces; the face index goes to
  // `face` (-1 without a hit) and the query keeps the best hit. With skipTranslucent, faces whose
  // slot texture is of a translucent kind are left out; without it, a query asking for the texel
  // alpha (QueryMode::kTexelAlpha) passes through texels below 64 alpha on a texture with an
  // alpha channel and below 128 on a translucent kind.
  bool IntersectRay(RayInfo& query, bool skipTranslucent, int& face) const;
  // Texture coordinate at the face point with weight u for corner 0, v for corner 2 and
  // 1 - u - v for corner 1; false when a corner has no texture coordinate.
  bool GetFaceUV(uint32_t face, float u, float v, Vector2& out) const;
  // The face's slot texture at that face point (weights as GetFaceUV); false for an untextured
  // face, a corner without a texture coordinate or a texture with no picture.
  bool SampleFaceTexel(uint32_t face, float u, float v, Color& out) const;

  // ---- file form (MeshFile*.cpp) ----
  // Reads a whole file image. In place, arrays that are suitably aligned point into the
  // image (which must outlive the mesh); everything else is copied. On failure (logged)
  // the mesh is released and left empty.
  bool Parse(const uint8_t* data, size_t size, bool inPlace);
  // Exact byte count that Serialize writes.
  size_t GetFileSize() const;
  // Writes header and sections; returns the bytes written, 0 when the buffer is too small
  // or the mesh cannot be stored (logged).
  size_t Serialize(uint8_t* buffer, size_t capacity) const;
  bool Load(const char* filePath, ShadedMesh* parentMesh, uint32_t resource, bool mapped, bool loadTextures,
            bool textureOption);
  // Writes a root's textures beside the file, the file (through a new file renamed over the old
  // one, so a mapped reader keeps its view) and then the children. False when any mesh file of
  // the family was not written; a texture not written is logged.
  bool Save(const char* filePath, ShadedMesh* parentMesh);
  // False for a mesh whose load failed: such a mesh is never written.
  bool IsLoaded() const { return m_loaded; }
  bool IsMapped() const { return m_view != nullptr; }
  // True when every array lives in memory the mesh owns (a copied load or a built mesh).
  bool OwnsAllData() const { return m_view == nullptr; }

  // Plugs the mesh loader into the resource table under the mesh type code (RegisterSceneLoaders
  // does this at start-up); calling it again changes nothing.
  static void RegisterResourceLoader();
  // Subsystems that build their own assets from meshes (rigid-body models, vehicle definitions)
  // see every mesh the table loads. A builder returns its object with its type code and takes
  // the mesh from `mesh`, or returns an empty owner and leaves the mesh a plain mesh.
  typedef ResourceOwner (*ResourceBuilder)(std::unique_ptr<ShadedMesh>& mesh, uint16_t& typeCode);
  static void SetResourceBuilder(ResourceBuilder builder);
  // The table's entry as a plain mesh, loading it on first use; null for a missing table, a bad
  // index or an entry that loaded as something else (a picture, a sound, a rigid body). Every
  // user that wants a mesh from the table goes through this, never a cast of GetResource.
  static ShadedMesh* FromResource(CResourceTable* table, int index);
  // The same for the entry FindByName gives for name.
  static ShadedMesh* FromResource(CResourceTable* table, const char* name);

  // Child i's file: the path cut at its last '.', "-", 'a' + i, then the extension.
  // Empty for a path without an extension or an index past 'z'.
  static std::string ChildFileName(const std::string& parentPath, uint32_t index);
  // The folder of a path ("." without one).
  static std::string FolderOf(const std::string& filePath);
  // Writes every texture of the table that exists to folder, under its name.
  void SaveTextures(const std::string& folder) const;

 private:
  enum OwnedArray : uint32_t {
    kOwnIndices = 1u << 0,
    kOwnPositions = 1u << 1,
    kOwnFaceRecords = 1u << 2,
    kOwnUVs = 1u << 3,
    kOwnFaceNormals = 1u << 4,
    kOwnNormalRecords = 1u << 5,
    kOwnCornerList = 1u << 6,
    kOwnCompressed = 1u << 7,
    kOwnAttributes = 1u << 8,
    kOwnVertexNormals = 1u << 9,
  };

  void FreeOwned();
  void PointAtFrame(uint32_t frame);
  void SetOwnerRecursive(ShadedMesh* owner);
  void CompressNormals();
  bool ParseSections(MeshFileReader& in, bool inPlace, const uint8_t* image, bool& rebuildNormals);
  bool ParseFaces(MeshFileReader& in, bool inPlace);
  bool ParseNormals(MeshFileReader& in, bool inPlace, bool& rebuildNormals);
  bool ValidateCorners(bool rebuildNormals) const;
  bool ParseAttachPoints(MeshFileReader& in, bool inPlace, uint32_t count);
  bool ParseTextures(MeshFileReader& in, uint32_t storedCount);
  void OwnFaceRecords();
  // Copies every array still used in place from a file image, so it may be changed.
  void OwnAllArrays();
  bool ParseOptionalSections(MeshFileReader& in, bool inPlace);
  void WriteTo(MeshFileWriter& out) const;
  bool LoadMapped(const char* filePath);
  bool LoadCopied(const char* filePath);
  void LoadChildren();
  void UnmapFile();
  void LogOpenFailure(const char* filePath) const;

  uint32_t m_owned = 0;
  bool m_loaded = true;  // cleared only by a failed Parse or Load
  // A copied load keeps the file's bytes in one owned block and uses its arrays in place.
  std::unique_ptr<uint8_t[]> m_image;
  HANDLE m_file = nullptr;
  HANDLE m_mapping = nullptr;
  void* m_view = nullptr;
};
