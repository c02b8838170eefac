// PolyTreeLibrary: named polyhedron trees read from a text description.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "physics/polyhedron/PolyTree.h"

// Text form, entries one after another:
//   atomic <name>  { vertex <vname> <x> <y> <z> | face <fname> <vname>... ; }  end
//   compound <name>  { child <library name> { trans ... rot ... } }  end
// A compound's children are copies of earlier entries (sharing their polyhedra), its
// polyhedron the hull of theirs. Each entry's mass properties are computed on reading.
// Messages go to std::cerr with a bell, as for the rest of the polyhedron code.
class PolyTreeLibrary {
 public:
  // Reads entries to the end of the stream; false (after a message) at the first
  // malformed one, keeping the entries read before it.
  bool read(std::istream& in);
  const PolyTree* find(const std::string& name) const;
  size_t size() const { return trees_.size(); }

 private:
  std::unique_ptr<PolyTree> readAtomic(std::istream& in, const std::string& name);
  std::unique_ptr<PolyTree> readCompound(std::istream& in, const std::string& name);

  std::map<std::string, std::unique_ptr<PolyTree>> trees_;
};
