#include "physics/polyhedron/PolyTreeLibrary.h"

#include <iostream>
#include <vector>

namespace {
constexpr char kBell = '\a';
}

const PolyTree* PolyTreeLibrary::find(const std::string& name) const {
  const auto it = trees_.find(name);
  return it == trees_.end() ? nullptr : it->second.get();
}

std::unique_ptr<PolyTree> PolyTreeLibrary::readAtomic(std::istream& in, const std::string& name) {
  auto poly = std::make_shared<Polyhedron>();
  for (std::string token; in >> token;) {
    if (token == "end") {
      auto tree = std::make_unique<PolyTree>(name.c_str());
      tree->setPolyhedron(poly);
      return tree;
    }
    std::string featureName;
    if (token == "vertex") {
      VclipVector3 p;
      if (!(in >> featureName >> p.x >> p.y >> p.z)) break;
      poly->addVertex(featureName.c_str(), p);
    } else if (token == "face") {
      if (!(in >> featureName)) break;
      std::vector<Vertex*> corners;
      for (std::string v; in >> v && v != ";";) {
        Vertex* corner = poly->findVertex(v.c_str());
        if (!corner) {
          std::cerr << "no vertex " << v << " on Polyhedron " << name << kBell << std::endl;
          return nullptr;
        }
        corners.push_back(corner);
      }
      if (!poly->addFace(featureName.c_str(), corners, false)) return nullptr;
    } else {
      std::cerr << "bad token: " << token << kBell << std::endl;
      return nullptr;
    }
  }
  std::cerr << "bad token: unexpected end of atomic " << name << kBell << std::endl;
  return nullptr;
}

std::unique_ptr<PolyTree> PolyTreeLibrary::readCompound(std::istream& in, const std::string& name) {
  auto tree = std::make_unique<PolyTree>(name.c_str());
  for (std::string token; in >> token;) {
    if (token == "end") {
      if (tree->atomic() || tree->compoundHull() != 0) return nullptr;
      return tree;
    }
    std::string childName;
    if (token != "child" || !(in >> childName)) {
      std::cerr << "bad token: " << token << kBell << std::endl;
      return nullptr;
    }
    const PolyTree* source = find(childName);
    if (!source) {
      std::cerr << "no PolyTree " << childName << " in library " << kBell << std::endl;
      return nullptr;
    }
    Se3 pose;
    if (!pose.Read(in)) return nullptr;
    auto child = std::make_unique<PolyTree>(*source);
    child->setPose(pose);
    tree->addChild(std::move(child));
  }
  std::cerr << "bad token: unexpected end of compound " << name << kBell << std::endl;
  return nullptr;
}

bool PolyTreeLibrary::read(std::istream& in) {
  for (std::string keyword; in >> keyword;) {
    std::string name;
    if ((keyword != "atomic" && keyword != "compound") || !(in >> name)) {
      std::cerr << "bad token: " << keyword << kBell << std::endl;
      return false;
    }
    std::unique_ptr<PolyTree> tree = keyword == "atomic" ? readAtomic(in, name) : readCompound(in, name);
    if (!tree) return false;
    tree->computeMassProperties();
    if (trees_.count(name)) {
      // The first entry of a name stays: trees built from it already share its parts.
      std::cerr << "warning: PolyTree " << name << " already in library " << kBell << std::endl;
      continue;
    }
    trees_[name] = std::move(tree);
  }
  return true;
}
