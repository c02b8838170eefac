// VclipMatrixTransform: products and the rigid inverse.
#include "physics/polymath/VclipMatrixTransform.h"

const VclipMatrixTransform VclipMatrixTransform::kIdentity;

VclipMatrixTransform VclipMatrixTransform::Product(const VclipMatrixTransform& a, const VclipMatrixTransform& b) {
  VclipMatrixTransform r(VclipMatrix3::Product(a.R, b.R), a.R.Apply(b.t));
  r.t.Add(a.t);
  return r;
}

void VclipMatrixTransform::Invert(VclipMatrixTransform& out) const {
  const VclipMatrix3 rt = R.Transposed();
  const VclipVector3 back = rt.Apply(t).Scaled(-1.0f);
  out.R = rt;
  out.t = back;
}
