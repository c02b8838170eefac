// Se3: composition and the brace-delimited text form.
#include "physics/polymath/Se3.h"

#include <iostream>
#include <sstream>
#include <string>

const Se3 Se3::kIdentity;

namespace {

// Degrees to radians with pi taken as 3.14159, as the stored shape files were written
// with this factor.
constexpr float kDegreesToRadians = 0.017453277777777776f;
constexpr size_t kMaxBodyLength = 1000;

}  // namespace

Se3::Se3(const VclipMatrix3& r, const VclipVector3& t) : translation(t) { rotation.SetFromMatrix(r); }

void Se3::Append(const Se3& step) {
  VclipVector3 moved;
  rotation.Rotate(step.translation, moved);
  translation.Add(moved);
  rotation.PostMultiply(step.rotation);
  rotation.Normalize();
}

bool Se3::Read(std::istream& in) {
  *this = kIdentity;
  in >> std::ws;
  if (in.peek() != '{') {
    std::cerr << "Se3::read : didn't find '{' " << '\a' << std::endl;
    return false;
  }
  in.get();
  std::string body;
  bool closed = false;
  for (char c; body.size() < kMaxBodyLength && in.get(c);) {
    if (c == '}') {
      closed = true;
      break;
    }
    body.push_back(c);
  }
  if (!closed) {
    std::cerr << "Se3::read : didn't find '}' or transform text too long" << '\a' << std::endl;
    return false;
  }

  std::istringstream words(body);
  for (std::string token; words >> token;) {
    Se3 step;
    if (token == "trans") {
      if (!(words >> step.translation)) {
        std::cerr << "Se3::read : bad vector after trans " << '\a' << std::endl;
        return false;
      }
    } else if (token == "rot") {
      float degrees = 0.0f;
      VclipVector3 axis;
      if (!(words >> degrees >> axis)) {
        std::cerr << "Se3::read : bad angle or axis after rot " << '\a' << std::endl;
        return false;
      }
      step.rotation.SetFromAngleAxis(degrees * kDegreesToRadians, axis, true);
    } else {
      std::cerr << "Se3::read : unknown token " << token << ' ' << '\a' << std::endl;
      return false;
    }
    Append(step);
  }
  return true;
}
