// CurvedPatch: bicubic evaluation, the checked file section, and the tool-side builders.
#include "scene/patch/CurvedPatch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/system/Win32.h"

namespace {

// Section layout: header word, bounds (6 f32), the four counts, then the control vertices
// (20 bytes), patch records (28), faces (8) and per group its 52-byte record followed by
// its 36-byte entries. The group record's words 10-12 are an in-memory array in the original
// layout; the entry count is stored as the difference of words 11 and 10 in 36-byte units.
constexpr size_t kHeaderBytes = 44;
constexpr size_t kVertexBytes = 20;
constexpr size_t kPatchBytes = 28;
constexpr size_t kFaceBytes = 8;
constexpr size_t kGroupBytes = 52;
constexpr size_t kEntryBytes = 36;
// Neighbour fields are 16 bits with the two top values reserved as edge markers.
constexpr uint32_t kMaxPatches = CurvedPatchRecord::kFixedLevel;
constexpr uint32_t kMaxFaces = 0x10000;
constexpr float kCurvatureUnit = 3.14159265f / 256.0f;

bool Fail(const char* message) {
  OutputDebugStringA(message);
  return false;
}

// Little-endian writer; without a buffer it only counts, which is how the size is found,
// so the size and the bytes written cannot drift apart.
class SectionSink {
 public:
  SectionSink(uint8_t* out, size_t capacity) : m_out(out), m_capacity(capacity) {}
  void U8(uint8_t v) { Put(&v, 1); }
  void U16(uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    Put(b, 2);
  }
  void U32(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    Put(b, 4);
  }
  void F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    U32(v);
  }
  void Vec(const Vector3& p) {
    F32(p.x);
    F32(p.y);
    F32(p.z);
  }
  void Bounds(const Box& b) {
    Vec(b.min);
    Vec(b.max);
  }
  size_t Count() const { return m_count; }
  bool Overflowed() const { return m_overflow; }

 private:
  void Put(const uint8_t* bytes, size_t n) {
    if (m_out) {
      if (m_count + n > m_capacity) {
        m_overflow = true;
      } else {
        std::memcpy(m_out + m_count, bytes, n);
      }
    }
    m_count += n;
  }
  uint8_t* m_out;
  size_t m_capacity;
  size_t m_count = 0;
  bool m_overflow = false;
};

// Little-endian reader; callers check Has() before each record, the getters never read past size.
class SectionSource {
 public:
  SectionSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Has(uint64_t n) const { return n <= m_size - m_at; }
  size_t At() const { return m_at; }
  uint8_t U8() { return m_at < m_size ? m_data[m_at++] : 0; }
  uint16_t U16() {
    const uint16_t lo = U8();
    return static_cast<uint16_t>(lo | (U8() << 8));
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  float F32() {
    const uint32_t v = U32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  Vector3 Vec() {
    const float x = F32(), y = F32();
    return Vector3(x, y, F32());
  }
  Box Bounds() {
    const Vector3 lo = Vec();
    return Box(lo, Vec());
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
};

void WritePatch(SectionSink& s, const CurvedPatchRecord& r) {
  s.U32(r.firstVertex);
  s.U16(r.rowStride);
  s.U8(r.flags);
  s.U8(r.edgeMap);
  for (uint16_t n : r.neighbours) s.U16(n);
  for (uint8_t o : r.levelOffsets) s.U8(o);
  s.U16(r.face);
  for (uint8_t c : r.curvature) s.U8(c);
  for (uint8_t p : r.padding) s.U8(p);
}

constexpr uint8_t kMaxLevelOffset = 4;

CurvedPatchRecord ReadPatch(SectionSource& s) {
  CurvedPatchRecord r;
  r.firstVertex = s.U32();
  r.rowStride = s.U16();
  r.flags = s.U8();
  r.edgeMap = s.U8();
  for (uint16_t& n : r.neighbours) n = s.U16();
  // An offset is the exponent of an edge's segment count, which cannot pass 16 (level 4). Files
  // made by older tools carry larger ones; they are clamped here rather than costing the whole
  // mesh its load, and the clamped value is what the level rules would reach anyway.
  for (uint8_t& o : r.levelOffsets) o = std::min<uint8_t>(s.U8(), kMaxLevelOffset);
  r.face = s.U16();
  for (uint8_t& c : r.curvature) c = s.U8();
  for (uint8_t& p : r.padding) p = s.U8();
  return r;
}

// The checks every stored patch must pass; neighbours are checked only when the patch
// count is known (patchCount > 0), since tools add patches before their neighbours exist.
bool RecordValid(const CurvedPatchRecord& r, uint64_t vertexCount, uint64_t faceCount,
                 uint64_t patchCount, const char** why) {
  if (r.VertexIndex(3, 3) >= vertexCount) {
    *why = "CurvedPatch: patch control grid reaches past the control vertices\n";
    return false;
  }
  if (r.face >= faceCount) {
    *why = "CurvedPatch: patch names a missing face\n";
    return false;
  }
  for (int k = 0; k < 4; ++k) {
    const uint16_t n = r.neighbours[k];
    const bool marker = n == CurvedPatchRecord::kOpenEdge || n == CurvedPatchRecord::kFixedLevel;
    if (!marker && patchCount > 0 && n >= patchCount) {
      *why = "CurvedPatch: patch names a missing neighbour\n";
      return false;
    }
    // Offsets are exponents of segment counts that must stay within 1..16.
    if (r.levelOffsets[k] > kMaxLevelOffset) {
      *why = "CurvedPatch: edge level offset above 4\n";
      return false;
    }
  }
  return true;
}

void Bernstein(float t, float w[4]) {
  const float s = 1.0f - t;
  w[0] = s * s * s;
  w[1] = 3.0f * t * s * s;
  w[2] = 3.0f * t * t * s;
  w[3] = t * t * t;
}

Box BoxOfPoints(const std::vector<CurvedPatchControlVertex>& v, size_t begin, size_t end) {
  Box box(v[begin].position, v[begin].position);
  for (size_t i = begin + 1; i < end; ++i) box.ExtendByPoint(v[i].position);
  return box;
}

float AngleBetween(const Vector3& a, const Vector3& b) {
  const float la = a.Length(), lb = b.Length();
  if (la == 0.0f || lb == 0.0f) return 0.0f;
  const float c = std::max(-1.0f, std::min(1.0f, a.Dot(b) / (la * lb)));
  return std::acos(c);
}

}  // namespace

// ---------------------------------------------------------------- file section

size_t CurvedPatch::GetFileSize() const { return Serialize(nullptr, 0); }

size_t CurvedPatch::Write(uint8_t* out, size_t capacity) const {
  if (!out) {
    Fail("CurvedPatch: no output buffer\n");
    return 0;
  }
  return Serialize(out, capacity);
}

size_t CurvedPatch::Serialize(uint8_t* out, size_t capacity) const {
  // Never write what Read would refuse: a dangling index would make the file unloadable.
  const uint64_t patchCount = m_patches.size();
  if (patchCount > kMaxPatches || m_faces.size() > kMaxFaces) {
    Fail("CurvedPatch: too many patches or faces for the 16-bit indices\n");
    return 0;
  }
  for (const CurvedPatchRecord& r : m_patches) {
    const char* why = nullptr;
    if (!RecordValid(r, m_vertices.size(), m_faces.size(), patchCount, &why)) {
      Fail(why);
      return 0;
    }
  }
  for (const CurvedPatchGroup& g : m_groups) {
    if (g.entries.size() > UINT32_MAX / kEntryBytes) {
      Fail("CurvedPatch: group entry count too large\n");
      return 0;
    }
  }
  if (m_vertices.size() > UINT32_MAX || m_groups.size() > UINT32_MAX) {
    Fail("CurvedPatch: count too large for the section\n");
    return 0;
  }

  SectionSink s(out, capacity);
  s.U32(m_header);
  s.Bounds(m_bounds);
  s.U32(static_cast<uint32_t>(m_vertices.size()));
  s.U32(static_cast<uint32_t>(m_patches.size()));
  s.U32(static_cast<uint32_t>(m_faces.size()));
  s.U32(static_cast<uint32_t>(m_groups.size()));
  for (const CurvedPatchControlVertex& v : m_vertices) {
    s.Vec(v.position);
    s.F32(v.u);
    s.F32(v.v);
  }
  for (const CurvedPatchRecord& r : m_patches) WritePatch(s, r);
  for (const CurvedPatchFace& f : m_faces) {
    s.U16(f.first);
    for (uint16_t t : f.textures) s.U16(t);
  }
  for (const CurvedPatchGroup& g : m_groups) {
    s.Bounds(g.bounds);
    s.U32(g.firstPatch);
    s.U32(g.endPatch);
    s.U32(g.firstVertex);
    s.U32(g.endVertex);
    // Array words: start 0, end and capacity at the entries' byte length.
    const uint32_t bytes = static_cast<uint32_t>(g.entries.size() * kEntryBytes);
    s.U32(0);
    s.U32(bytes);
    s.U32(bytes);
    for (const CurvedPatchGroupEntry& e : g.entries) {
      s.Bounds(e.bounds);
      s.U32(e.face);
      s.U32(e.firstPatch);
      s.U32(e.endPatch);
    }
  }
  if (s.Overflowed()) {
    Fail("CurvedPatch: output buffer too small for the section\n");
    return 0;
  }
  return s.Count();
}

namespace {

bool ReadGroup(SectionSource& s, CurvedPatchGroup& g, uint32_t vertexCount, uint32_t patchCount,
               uint32_t faceCount) {
  if (!s.Has(kGroupBytes)) return Fail("CurvedPatch: section truncated\n");
  g.bounds = s.Bounds();
  g.firstPatch = s.U32();
  g.endPatch = s.U32();
  g.firstVertex = s.U32();
  g.endVertex = s.U32();
  const uint32_t arrayStart = s.U32();
  const uint32_t arrayEnd = s.U32();
  s.U32();  // capacity word: meaningless outside the writer's memory
  if (g.firstPatch > g.endPatch || g.endPatch > patchCount || g.firstVertex > g.endVertex ||
      g.endVertex > vertexCount) {
    return Fail("CurvedPatch: group range outside the patches or control vertices\n");
  }
  if (arrayEnd < arrayStart || (arrayEnd - arrayStart) % kEntryBytes != 0) {
    return Fail("CurvedPatch: group entry words are not a whole number of entries\n");
  }
  const uint32_t entryCount = (arrayEnd - arrayStart) / kEntryBytes;
  if (!s.Has(uint64_t(entryCount) * kEntryBytes)) return Fail("CurvedPatch: section truncated\n");
  g.entries.resize(entryCount);
  for (CurvedPatchGroupEntry& e : g.entries) {
    e.bounds = s.Bounds();
    e.face = s.U32();
    e.firstPatch = s.U32();
    e.endPatch = s.U32();
    if (e.face >= faceCount || e.firstPatch > e.endPatch || e.firstPatch < g.firstPatch ||
        e.endPatch > g.endPatch) {
      return Fail("CurvedPatch: group entry outside its group or naming a missing face\n");
    }
  }
  return true;
}

}  // namespace

bool CurvedPatch::Read(const uint8_t* data, size_t size, size_t* used) {
  Clear();
  if (!data || size < kHeaderBytes) return Fail("CurvedPatch: section truncated\n");
  SectionSource s(data, size);
  const uint32_t header = s.U32();
  const Box bounds = s.Bounds();
  const uint32_t vertexCount = s.U32();
  const uint32_t patchCount = s.U32();
  const uint32_t faceCount = s.U32();
  const uint32_t groupCount = s.U32();
  if (patchCount > kMaxPatches) return Fail("CurvedPatch: more patches than 16-bit neighbours address\n");
  if (faceCount > kMaxFaces) return Fail("CurvedPatch: more faces than 16-bit indices address\n");
  const uint64_t fixedBytes = uint64_t(vertexCount) * kVertexBytes + uint64_t(patchCount) * kPatchBytes +
                              uint64_t(faceCount) * kFaceBytes + uint64_t(groupCount) * kGroupBytes;
  if (!s.Has(fixedBytes)) return Fail("CurvedPatch: section truncated\n");

  std::vector<CurvedPatchControlVertex> vertices(vertexCount);
  for (CurvedPatchControlVertex& v : vertices) {
    v.position = s.Vec();
    v.u = s.F32();
    v.v = s.F32();
  }
  std::vector<CurvedPatchRecord> patches(patchCount);
  for (CurvedPatchRecord& r : patches) {
    r = ReadPatch(s);
    const char* why = nullptr;
    if (!RecordValid(r, vertexCount, faceCount, patchCount, &why)) return Fail(why);
  }
  std::vector<CurvedPatchFace> faces(faceCount);
  for (CurvedPatchFace& f : faces) {
    f.first = s.U16();
    for (uint16_t& t : f.textures) t = s.U16();
  }
  std::vector<CurvedPatchGroup> groups(groupCount);
  for (CurvedPatchGroup& g : groups) {
    if (!ReadGroup(s, g, vertexCount, patchCount, faceCount)) return false;
  }

  m_header = header;
  m_bounds = bounds;
  m_vertices.swap(vertices);
  m_patches.swap(patches);
  m_faces.swap(faces);
  m_groups.swap(groups);
  if (used) *used = s.At();
  return true;
}

void CurvedPatch::Clear() {
  m_header = 0;
  m_bounds = Box();
  m_vertices.clear();
  m_patches.clear();
  m_faces.clear();
  m_groups.clear();
}

// ---------------------------------------------------------------- evaluation

const CurvedPatchControlVertex& CurvedPatch::GetControlVertex(uint32_t patch, int column, int row) const {
  return m_vertices[m_patches[patch].VertexIndex(row, column)];
}

Vector3 CurvedPatch::Evaluate(uint32_t patch, float u, float v) const {
  if (!IsGridInside(patch) || m_patches[patch].IsEmpty()) return Vector3();
  // Exact corners keep neighbouring tessellations welded where patches meet.
  if ((u == 0.0f || u == 1.0f) && (v == 0.0f || v == 1.0f)) {
    return GetControlVertex(patch, u == 0.0f ? 0 : 3, v == 0.0f ? 0 : 3).position;
  }
  float wu[4], wv[4];
  Bernstein(u, wu);
  Bernstein(v, wv);
  Vector3 sum;
  for (int r = 0; r < 4; ++r) {
    Vector3 row;
    for (int c = 0; c < 4; ++c) row += GetControlVertex(patch, c, r).position * wu[c];
    sum += row * wv[r];
  }
  return sum;
}

Vector3 CurvedPatch::EvaluateNormal(uint32_t patch, float u, float v) const {
  const Vector3 p = Evaluate(patch, u, v);
  const Vector3 dv = Evaluate(patch, u, v + 0.001f) - p;
  const Vector3 du = Evaluate(patch, u + 0.001f, v) - p;
  Vector3 n = dv.Cross(du);
  n.Normalize();
  return n;
}

void CurvedPatch::EvaluateVertex(uint32_t patch, float u, float v, Vector3& position, Vector3& normal,
                                 Vector2& uv) const {
  position = Evaluate(patch, u, v);
  normal = Vector3();
  uv = Vector2();
  if (!IsGridInside(patch) || m_patches[patch].IsEmpty()) return;
  if ((u == 0.0f || u == 1.0f) && (v == 0.0f || v == 1.0f)) {
    // Finite differences would step off the patch here; the control polygon's edges
    // give the tangent plane at a corner. Both are oriented to increasing u and v so
    // the normal agrees with EvaluateNormal's dv x du.
    const int c = u == 0.0f ? 0 : 3, r = v == 0.0f ? 0 : 3;
    const int cn = c == 0 ? 1 : 2, rn = r == 0 ? 1 : 2;
    const Vector3 p = GetControlVertex(patch, c, r).position;
    Vector3 du = GetControlVertex(patch, cn, r).position - p;
    Vector3 dv = GetControlVertex(patch, c, rn).position - p;
    if (c == 3) du = -du;
    if (r == 3) dv = -dv;
    normal = dv.Cross(du);
    normal.Normalize();
    const CurvedPatchControlVertex& corner = GetControlVertex(patch, c, r);
    uv = Vector2(corner.u, corner.v);
    return;
  }
  normal = EvaluateNormal(patch, u, v);
  float wu[4], wv[4];
  Bernstein(u, wu);
  Bernstein(v, wv);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const CurvedPatchControlVertex& cv = GetControlVertex(patch, c, r);
      uv.x += wu[c] * wv[r] * cv.u;
      uv.y += wu[c] * wv[r] * cv.v;
    }
  }
}

// ---------------------------------------------------------------- building

void CurvedPatch::AddControlVertex(const CurvedPatchControlVertex& vertex) {
  if (m_vertices.empty()) {
    m_bounds = Box(vertex.position, vertex.position);
  } else {
    m_bounds.ExtendByPoint(vertex.position);
  }
  m_vertices.push_back(vertex);
}

int32_t CurvedPatch::AddFace(const CurvedPatchFace& face) {
  if (m_faces.size() >= kMaxFaces) {
    Fail("CurvedPatch: face table full\n");
    return -1;
  }
  m_faces.push_back(face);
  return static_cast<int32_t>(m_faces.size() - 1);
}

bool CurvedPatch::AddPatch(const CurvedPatchRecord& record) {
  if (m_patches.size() >= kMaxPatches) return Fail("CurvedPatch: patch table full\n");
  const char* why = nullptr;
  // Neighbours may name patches not added yet; Write checks them against the final count.
  if (!RecordValid(record, m_vertices.size(), m_faces.size(), 0, &why)) return Fail(why);
  m_patches.push_back(record);
  MeasureCurvature(static_cast<uint32_t>(m_patches.size() - 1));
  return true;
}

void CurvedPatch::MeasureCurvature(uint32_t patch) {
  CurvedPatchRecord& r = m_patches[patch];
  std::fill(std::begin(r.curvature), std::end(r.curvature), uint8_t(0));
  if (r.IsEmpty()) return;
  // Per direction: tangents at thirds along four lines across the patch; bytes 0 and 1
  // (2 and 3 for v) take the largest turn on the first and last two lines.
  for (int dir = 0; dir < 2; ++dir) {
    for (int line = 0; line < 4; ++line) {
      const float across = line * 0.333f;
      Vector3 previous;
      float largest = 0.0f;
      for (int step = 0; step < 4; ++step) {
        const float t = step * 0.333f;
        const Vector3 a = dir == 0 ? Evaluate(patch, t, across) : Evaluate(patch, across, t);
        const Vector3 b = dir == 0 ? Evaluate(patch, t + 0.01f, across) : Evaluate(patch, across, t + 0.01f);
        const Vector3 tangent = b - a;
        if (step > 0) largest = std::max(largest, AngleBetween(previous, tangent));
        previous = tangent;
      }
      const float units = std::ceil(largest / kCurvatureUnit);
      uint8_t& slot = r.curvature[dir * 2 + (line < 2 ? 0 : 1)];
      slot = std::max(slot, static_cast<uint8_t>(std::min(units, 255.0f)));
    }
  }
}

bool CurvedPatch::RemapNeighbours(const uint16_t* table, size_t count) {
  auto remappable = [](uint16_t n) { return n < CurvedPatchRecord::kFixedLevel; };
  for (const CurvedPatchRecord& r : m_patches) {
    for (uint16_t n : r.neighbours) {
      if (!remappable(n)) continue;
      if (!table || n >= count) return Fail("CurvedPatch: neighbour outside the remap table\n");
      const uint16_t to = table[n];
      if (remappable(to) && to >= m_patches.size()) {
        return Fail("CurvedPatch: remap table names a missing patch\n");
      }
    }
  }
  for (CurvedPatchRecord& r : m_patches) {
    for (uint16_t& n : r.neighbours) {
      if (remappable(n)) n = table[n];
    }
  }
  return true;
}

bool CurvedPatch::BuildGroups(uint32_t limit) {
  for (uint32_t p = 0; p < m_patches.size(); ++p) {
    if (!IsGridInside(p)) return Fail("CurvedPatch: patch grid outside the control vertices\n");
  }
  m_groups.clear();
  if (m_patches.empty()) return true;
  limit = std::max<uint32_t>(limit, 1);
  std::vector<std::vector<uint32_t>> done;
  std::vector<std::vector<uint32_t>> pending(1);
  for (uint32_t p = 0; p < m_patches.size(); ++p) pending[0].push_back(p);
  // Depth-first with the first half on top keeps the groups in spatial split order.
  while (!pending.empty()) {
    std::vector<uint32_t> group = std::move(pending.back());
    pending.pop_back();
    std::vector<uint32_t> first, second;
    if (group.size() > limit) SplitGroup(group, first, second);
    if (first.empty() || second.empty()) {
      // Either small enough, or every patch lies on one side of the mean (coincident
      // patches): splitting again would never end, so the group stays as it is.
      done.push_back(std::move(group));
      continue;
    }
    pending.push_back(std::move(second));
    pending.push_back(std::move(first));
  }
  RewriteGroups(done);
  return true;
}

void CurvedPatch::SplitGroup(const std::vector<uint32_t>& group, std::vector<uint32_t>& first,
                             std::vector<uint32_t>& second) const {
  Box box = Box(GetControlVertex(group[0], 0, 0).position, GetControlVertex(group[0], 0, 0).position);
  double sx = 0.0, sy = 0.0, sz = 0.0;
  for (uint32_t p : group) {
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        const Vector3& q = GetControlVertex(p, c, r).position;
        box.ExtendByPoint(q);
        sx += q.x;
        sy += q.y;
        sz += q.z;
      }
    }
  }
  const double n = 16.0 * group.size();
  const Vector3 mean(float(sx / n), float(sy / n), float(sz / n));
  const Vector3 extent = box.GetSize();
  const int axis = (extent.x >= extent.y && extent.x >= extent.z) ? 0 : (extent.y >= extent.z ? 1 : 2);
  for (uint32_t p : group) {
    const Vector3 mid = (GetControlVertex(p, 0, 0).position + GetControlVertex(p, 3, 3).position) * 0.5f;
    (mid[axis] <= mean[axis] ? second : first).push_back(p);
  }
}

void CurvedPatch::RewriteGroups(const std::vector<std::vector<uint32_t>>& groups) {
  std::vector<CurvedPatchControlVertex> vertices;
  std::vector<CurvedPatchRecord> patches;
  std::vector<uint32_t> newIndex(m_patches.size(), 0);
  vertices.reserve(16 * m_patches.size());
  patches.reserve(m_patches.size());
  for (std::vector<uint32_t> members : groups) {
    std::stable_sort(members.begin(), members.end(),
                     [this](uint32_t a, uint32_t b) { return m_patches[a].face < m_patches[b].face; });
    CurvedPatchGroup g;
    g.firstPatch = static_cast<uint32_t>(patches.size());
    g.firstVertex = static_cast<uint32_t>(vertices.size());
    for (uint32_t old : members) {
      CurvedPatchRecord r = m_patches[old];
      newIndex[old] = static_cast<uint32_t>(patches.size());
      const uint32_t base = static_cast<uint32_t>(vertices.size());
      for (int row = 0; row < 4; ++row) {
        for (int c = 0; c < 4; ++c) vertices.push_back(GetControlVertex(old, c, row));
      }
      r.firstVertex = base;
      r.rowStride = 4;
      if (!g.entries.empty() && g.entries.back().face == r.face) {
        g.entries.back().endPatch++;
      } else {
        CurvedPatchGroupEntry e;
        e.face = r.face;
        e.firstPatch = static_cast<uint32_t>(patches.size());
        e.endPatch = e.firstPatch + 1;
        g.entries.push_back(e);
      }
      patches.push_back(r);
    }
    g.endPatch = static_cast<uint32_t>(patches.size());
    g.endVertex = static_cast<uint32_t>(vertices.size());
    g.bounds = BoxOfPoints(vertices, g.firstVertex, g.endVertex);
    for (CurvedPatchGroupEntry& e : g.entries) e.bounds = BoxOfPoints(vertices, 16 * size_t(e.firstPatch), 16 * size_t(e.endPatch));
    m_groups.push_back(std::move(g));
  }
  // Reordering moved the patches: neighbours follow, and a neighbour that never existed
  // becomes an open edge rather than pointing at whatever landed in its slot.
  for (CurvedPatchRecord& r : patches) {
    for (uint16_t& n : r.neighbours) {
      if (n >= CurvedPatchRecord::kFixedLevel) continue;
      n = n < newIndex.size() ? static_cast<uint16_t>(newIndex[n]) : CurvedPatchRecord::kOpenEdge;
    }
  }
  m_vertices.swap(vertices);
  m_patches.swap(patches);
  m_bounds = BoxOfPoints(m_vertices, 0, m_vertices.size());
}
