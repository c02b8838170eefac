// SweepQuery: the query a mover sweeps with - made for the one sweep, or a shared one its creator keeps.
#pragma once

#include <memory>
#include <utility>

#include "core/math/GenericIntersection.h"

class SweepQuery {
 public:
  SweepQuery() = default;
  // A query made for this sweep: it goes with the holder.
  explicit SweepQuery(std::unique_ptr<GenericIntersection> made) : m_made(std::move(made)), m_query(m_made.get()) {}
  // A query its creator keeps and refills for every sweep: the holder only points at it.
  static SweepQuery Shared(GenericIntersection* query) {
    SweepQuery sweep;
    sweep.m_query = query;
    return sweep;
  }
  SweepQuery(SweepQuery&& other) noexcept
      : m_made(std::move(other.m_made)), m_query(std::exchange(other.m_query, nullptr)) {}
  SweepQuery& operator=(SweepQuery&& other) noexcept {
    m_made = std::move(other.m_made);
    m_query = std::exchange(other.m_query, nullptr);
    return *this;
  }

  GenericIntersection* Get() const { return m_query; }
  GenericIntersection* operator->() const { return m_query; }
  explicit operator bool() const { return m_query != nullptr; }
  bool IsShared() const { return m_query != nullptr && m_made == nullptr; }

 private:
  std::unique_ptr<GenericIntersection> m_made;
  GenericIntersection* m_query = nullptr;  // m_made, or the creator's shared query
};
