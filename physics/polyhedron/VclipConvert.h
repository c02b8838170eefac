// VclipConvert: the one bridge between the engine's row-vector math and the polyhedron library.
#pragma once

#include "core/math/Matrix4.h"
#include "core/math/Orientation.h"
#include "core/math/Quaternion.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"
#include "physics/polymath/Se3.h"
#include "physics/polymath/VclipMatrix3.h"
#include "physics/polymath/VclipMatrixTransform.h"
#include "physics/polymath/VclipQuaternion.h"
#include "physics/polymath/VclipVector3.h"

// The engine multiplies row vectors (p' = p M, a frame's rows are its axes); the
// polyhedron code multiplies column vectors (p' = M p, a rotation's columns are the
// images of the axes). The same rotation is therefore a transposed matrix on the other
// side, while a quaternion means the same rotation on both sides (only the field order
// differs). Every conversion keeps the mapping of points: a point sent through the
// engine object and through its converted form lands in the same place.

VclipVector3 ToVclip(const Vector3& v);
Vector3 ToEngine(const VclipVector3& v);

VclipMatrix3 ToVclip(const TMatrix& m);
TMatrix ToEngine(const VclipMatrix3& m);

VclipQuaternion ToVclip(const Quaternion& q);
Quaternion ToEngine(const VclipQuaternion& q);

// Frame (axis rows, position) <-> R p + t. Any 3x3 part converts exactly.
VclipMatrixTransform ToVclip(const COrientation& frame);
COrientation ToEngine(const VclipMatrixTransform& x);

// Frame <-> quaternion and translation; the frame's rows must form a rotation (a
// scaled or sheared frame loses its scale through the quaternion).
Se3 ToVclipSe3(const COrientation& frame);
COrientation ToEngine(const Se3& x);

// Affine 4x4 (rows 0-2 axes, row 3 translation; column 3 is ignored) <-> R p + t.
VclipMatrixTransform ToVclip(const Matrix4& m);
Matrix4 ToEngineMatrix4(const VclipMatrixTransform& x);
