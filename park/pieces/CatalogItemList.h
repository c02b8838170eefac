// CatalogItemList: the entries of a catalog category, read once from its file and shared by every
// category whose list names that file.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "park/pieces/CatalogItem.h"

class CatalogItemList {
 public:
  using const_iterator = std::vector<CatalogItem>::const_iterator;

  CatalogItemList() = default;
  explicit CatalogItemList(std::shared_ptr<const std::vector<CatalogItem>> items) : m_items(std::move(items)) {}

  // Read as a standard container, so that the menus walk the entries as any list.
  size_t size() const { return m_items ? m_items->size() : 0; }
  bool empty() const { return size() == 0; }
  const CatalogItem& operator[](size_t i) const { return (*m_items)[i]; }
  const_iterator begin() const { return m_items ? m_items->begin() : const_iterator(); }
  const_iterator end() const { return m_items ? m_items->end() : const_iterator(); }

 private:
  std::shared_ptr<const std::vector<CatalogItem>> m_items;
};
