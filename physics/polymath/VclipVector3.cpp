// VclipVector3: constants, length and the text form.
#include "physics/polymath/VclipVector3.h"

#include <cmath>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <string>

const VclipVector3 VclipVector3::kZero(0.0f, 0.0f, 0.0f);
const VclipVector3 VclipVector3::kI(1.0f, 0.0f, 0.0f);
const VclipVector3 VclipVector3::kJ(0.0f, 1.0f, 0.0f);
const VclipVector3 VclipVector3::kK(0.0f, 0.0f, 1.0f);
const VclipVector3 VclipVector3::kMinusI(-1.0f, 0.0f, 0.0f);
const VclipVector3 VclipVector3::kMinusJ(0.0f, -1.0f, 0.0f);
const VclipVector3 VclipVector3::kMinusK(0.0f, 0.0f, -1.0f);

float VclipVector3::Length() const { return std::sqrt(Dot(*this)); }

std::ostream& operator<<(std::ostream& out, const VclipVector3& v) {
  // The sign is forced only while the vector prints; the caller's flags come back.
  const std::ios_base::fmtflags saved = out.flags();
  out.setf(std::ios_base::showpos);
  out << '(' << v.x << ' ' << v.y << ' ' << v.z << ')';
  out.flags(saved);
  return out;
}

namespace {

// "i", "+j", "-k" ... -> the unit vector; false for any other word.
bool ParseUnitWord(const std::string& word, VclipVector3& out) {
  size_t pos = 0;
  float sign = 1.0f;
  if (word.size() == 2 && (word[0] == '+' || word[0] == '-')) {
    sign = word[0] == '-' ? -1.0f : 1.0f;
    pos = 1;
  } else if (word.size() != 1) {
    return false;
  }
  switch (word[pos]) {
    case 'i': out = VclipVector3::kI.Scaled(sign); return true;
    case 'j': out = VclipVector3::kJ.Scaled(sign); return true;
    case 'k': out = VclipVector3::kK.Scaled(sign); return true;
    default: return false;
  }
}

}  // namespace

std::istream& operator>>(std::istream& in, VclipVector3& v) {
  std::string word;
  if (!(in >> word)) return in;
  VclipVector3 result;
  if (ParseUnitWord(word, result)) {
    v = result;
    return in;
  }
  // Not a unit name: the word is the first of three numbers and must be one whole.
  char* end = nullptr;
  const float first = std::strtof(word.c_str(), &end);
  float second = 0.0f, third = 0.0f;
  if (end == word.c_str() || *end != '\0' || !(in >> second >> third)) {
    in.setstate(std::ios_base::failbit);
    return in;
  }
  v.Set(first, second, third);
  return in;
}
