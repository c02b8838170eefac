// SphereTree: copies, bounds, the flat-box and cube builders, and the flat image writer and reader.
#include "physics/collision/SphereTree.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/data/LittleEndian.h"
#include "platform/system/Win32.h"

using le::ReadF32;
using le::ReadU32;
using le::WriteF32;
using le::WriteU32;

namespace {

void Log(const char* text) { OutputDebugStringA(text); }

void CopySubtree(const SphereTreeNode& src, const COrientation* orientation, SphereTreeNode& dst) {
  dst.centre = orientation != nullptr ? orientation->LocalToWorldPoint(src.centre) : src.centre;
  dst.radius = src.radius;
  if (src.childCount == 0 || src.children == nullptr) return;
  if (!dst.AllocateChildren(src.childCount)) {
    Log("SphereTree: out of memory copying a tree, subtree left a leaf\n");
    return;
  }
  for (uint32_t i = 0; i < src.childCount; ++i) CopySubtree(src.children[i], orientation, dst.children[i]);
}

uint8_t* WriteNode(const SphereTreeNode& node, uint8_t* out) {
  WriteF32(out + 0, node.centre.x);
  WriteF32(out + 4, node.centre.y);
  WriteF32(out + 8, node.centre.z);
  WriteF32(out + 12, node.radius);
  const uint32_t count = node.children != nullptr ? node.childCount : 0;
  WriteU32(out + 16, count);
  WriteU32(out + 20, 0);  // the reader ignores this word; 0 keeps images reproducible
  WriteU32(out + 24, node.stamp);
  out += SphereTree::kImageRecordSize;
  for (uint32_t i = 0; i < count; ++i) out = WriteNode(node.children[i], out);
  return out;
}

class ImageReader {
 public:
  ImageReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ReadNode(SphereTreeNode& node, uint32_t depth) {
    if (depth > SphereTree::kMaxImageDepth) return Fail("tree deeper than %zu levels", SphereTree::kMaxImageDepth);
    if (size_ - offset_ < SphereTree::kImageRecordSize) return Fail("truncated at byte %zu", offset_);
    const uint8_t* p = data_ + offset_;
    const size_t at = offset_;
    offset_ += SphereTree::kImageRecordSize;
    --promised_;  // this record was one of them
    node.centre = Vector3(ReadF32(p), ReadF32(p + 4), ReadF32(p + 8));
    node.radius = ReadF32(p + 12);
    node.stamp = 0;
    const uint32_t count = ReadU32(p + 16);
    if (!std::isfinite(node.centre.x) || !std::isfinite(node.centre.y) || !std::isfinite(node.centre.z) ||
        !std::isfinite(node.radius) || node.radius < 0.0f) {
      return Fail("bad centre or radius in the node at byte %zu", at);
    }
    // Each child needs a record of its own, and so does every child an ancestor announced
    // and that is still unread: a count those records leave no room for is refused before
    // anything is allocated, so all levels together allocate no more nodes than the image holds.
    if (count > (size_ - offset_) / SphereTree::kImageRecordSize - promised_) {
      return Fail("child count too large in the node at byte %zu", at);
    }
    promised_ += count;
    if (!node.AllocateChildren(count)) return Fail("out of memory at byte %zu", at);
    for (uint32_t i = 0; i < count; ++i) {
      if (!ReadNode(node.children[i], depth + 1)) return false;
    }
    return true;
  }

  bool AtEnd() const { return offset_ == size_; }
  size_t Offset() const { return offset_; }

 private:
  bool Fail(const char* format, size_t value) {
    char message[128];
    std::snprintf(message, sizeof message, format, value);
    char line[192];
    std::snprintf(line, sizeof line, "SphereTree: image rejected: %s\n", message);
    Log(line);
    return false;
  }

  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  size_t promised_ = 1;  // records announced but not read yet; the root is announced by the image
};

}  // namespace

namespace SphereTree {

bool Build(const SphereTreeNode* source, const COrientation* orientation, SphereTreeNode& destination) {
  if (source == nullptr) {
    Log("SphereTree: Build without a source tree\n");
    return false;
  }
  SphereTreeNode copy;
  CopySubtree(*source, orientation, copy);
  copy.stamp = destination.stamp;
  destination = std::move(copy);
  return true;
}

std::unique_ptr<SphereTreeNode> Build(const SphereTreeNode* source, const COrientation* orientation) {
  auto tree = std::make_unique<SphereTreeNode>();
  if (!Build(source, orientation, *tree)) return nullptr;
  return tree;
}

Box ComputeBounds(const SphereTreeNode& node) {
  Box box;
  if (node.childCount == 0 || node.children == nullptr) {
    box.SetFromCenterRadius(node.centre, node.radius);
    return box;
  }
  box = ComputeBounds(node.children[0]);
  for (uint32_t i = 1; i < node.childCount; ++i) box.ExtendByBox(ComputeBounds(node.children[i]));
  return box;
}

size_t CountNodes(const SphereTreeNode& node) {
  size_t count = 1;
  if (node.children == nullptr) return count;
  for (uint32_t i = 0; i < node.childCount; ++i) count += CountNodes(node.children[i]);
  return count;
}

size_t ImageSize(const SphereTreeNode& node) { return CountNodes(node) * kImageRecordSize; }

size_t WriteImage(const SphereTreeNode& node, uint8_t* buffer, size_t capacity) {
  const size_t needed = ImageSize(node);
  if (buffer == nullptr || capacity < needed) {
    char line[128];
    std::snprintf(line, sizeof line, "SphereTree: image needs %zu bytes, buffer holds %zu\n", needed,
                  buffer != nullptr ? capacity : size_t{0});
    Log(line);
    return 0;
  }
  WriteNode(node, buffer);
  return needed;
}

bool ReadImage(SphereTreeNode& node, const uint8_t* data, size_t size) {
  if (data == nullptr) size = 0;
  ImageReader reader(data, size);
  SphereTreeNode tree;
  if (!reader.ReadNode(tree, 0)) return false;
  if (!reader.AtEnd()) {
    char line[128];
    std::snprintf(line, sizeof line, "SphereTree: image rejected: %zu bytes after the tree\n",
                  size - reader.Offset());
    Log(line);
    return false;
  }
  node = std::move(tree);
  return true;
}

void BuildFlatBox(SphereTreeNode& node, const Box& box) {
  node.FreeChildren();
  const Vector3 extent = box.GetSize();
  node.centre = box.GetCenter();
  node.radius = 0.5f * extent.Length();
  // A box without thickness gives spheres of radius 0 and a division by zero
  // in the counts; it stays one sphere.
  if (!(extent.z > 0.0f) || extent.z > extent.x || extent.z > extent.y) return;
  const double nx = std::floor(static_cast<double>(extent.x) / extent.z);
  const double ny = std::floor(static_cast<double>(extent.y) / extent.z);
  if (!(nx * ny <= kMaxFlatBoxChildren)) {
    Log("SphereTree: flat box too thin for its size, kept as one sphere\n");
    return;
  }
  const uint32_t cx = static_cast<uint32_t>(nx);
  const uint32_t cy = static_cast<uint32_t>(ny);
  if (!node.AllocateChildren(cx * cy)) {
    Log("SphereTree: out of memory building a flat box\n");
    return;
  }
  const float r = 0.5f * extent.z;
  // With one sphere along an axis the spacing formula divides by zero; the
  // sphere then sits in the middle of that axis.
  const float stepX = cx > 1 ? (extent.x - 2.0f * r) / static_cast<float>(cx - 1) : 0.0f;
  const float stepY = cy > 1 ? (extent.y - 2.0f * r) / static_cast<float>(cy - 1) : 0.0f;
  const float startX = cx > 1 ? box.min.x + r : node.centre.x;
  const float startY = cy > 1 ? box.min.y + r : node.centre.y;
  for (uint32_t j = 0; j < cy; ++j) {
    for (uint32_t i = 0; i < cx; ++i) {
      SphereTreeNode& child = node.children[i + j * cx];
      child.centre = Vector3(startX + static_cast<float>(i) * stepX, startY + static_cast<float>(j) * stepY,
                             node.centre.z);
      child.radius = r;
    }
  }
}

void BuildCube(float edge, int depth, float x, float y, float z, SphereTreeNode& node) {
  node.centre = Vector3(x, y, z);
  node.radius = edge * 0.866025f;
  node.FreeChildren();
  if (depth <= 0) return;
  if (!node.AllocateChildren(8)) {
    Log("SphereTree: out of memory building a cube tree\n");
    return;
  }
  const float offset = edge * 0.25f;
  for (int i = 0; i < 8; ++i) {
    const float cx = x + ((i & 1) ? -offset : offset);
    const float cy = y + ((i & 2) ? -offset : offset);
    const float cz = z + ((i & 4) ? -offset : offset);
    BuildCube(edge * 0.5f, depth - 1, cx, cy, cz, node.children[i]);
  }
}

std::unique_ptr<SphereTreeNode> BuildCube(float edge, int depth, float x, float y, float z) {
  auto node = std::make_unique<SphereTreeNode>();
  BuildCube(edge, depth, x, y, z, *node);
  return node;
}

}  // namespace SphereTree
