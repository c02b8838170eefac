// CGraphNode: a node of a CDirectedGraph with the fields its searches keep on the node itself.
#pragma once

#include <cstdint>

#include "core/spatial/QueueableObject.h"

class CGraphNode : public CQueueableObject {
 public:
  static constexpr uint32_t kNoComponent = 0xFFFFFFFFu;

  CGraphNode() = default;
  // A copy starts outside every search; the search fields describe the original's last search.
  CGraphNode(const CGraphNode&) : CQueueableObject() {}
  CGraphNode& operator=(const CGraphNode&) { return *this; }
  ~CGraphNode() override = default;

  // The open queue takes the node with the smallest total first.
  bool IsBefore(const CQueueableObject* other) const override {
    return total < static_cast<const CGraphNode*>(other)->total;
  }

  uint32_t GetComponentId() const { return componentId; }
  bool SameComponent(const CGraphNode& other) const { return componentId == other.componentId; }

  // Search state, valid only for the search whose stamp the node carries; searches never clear
  // it beforehand, so every field is written before it is read within one search.
  float costSoFar = 0.0f;        // the component computation keeps the low link here
  float estimate = 0.0f;
  float total = 0.0f;            // the component computation keeps the visit index here
  uint32_t closedStamp = 0;
  uint32_t componentId = kNoComponent;
  CGraphNode* parent = nullptr;  // valid only until the next search
  const void* reachedBy = nullptr;
};
