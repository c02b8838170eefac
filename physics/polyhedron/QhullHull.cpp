// The only file that talks to qhull. qhull's headers define short macros ("qh",
// "FORALLfacets"...) and qhull leaves its routines by longjmp on any error, so the
// call that arms the jump runs in a function that owns no C++ object with a
// destructor, and hands its results out through plain malloc'ed arrays.
#include "physics/polyhedron/QhullHull.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include "libqhull/libqhull.h"
#include "libqhull/mem.h"
#include "libqhull/poly.h"
#include "libqhull/qset.h"
}

namespace {

// Plain result buffers written by RunQhull; static so that a longjmp cannot leak them.
struct RawFacets {
  int* corners;
  int cornerCount;
  int cornerCapacity;
  int* counts;
  double* normals;
  int facetCount;
  int facetCapacity;
};

RawFacets g_raw = {nullptr, 0, 0, nullptr, nullptr, 0, 0};

bool ReserveCorners(int needed) {
  if (needed <= g_raw.cornerCapacity) return true;
  int capacity = g_raw.cornerCapacity > 0 ? g_raw.cornerCapacity : 256;
  while (capacity < needed) capacity *= 2;
  void* grown = std::realloc(g_raw.corners, sizeof(int) * static_cast<size_t>(capacity));
  if (!grown) return false;
  g_raw.corners = static_cast<int*>(grown);
  g_raw.cornerCapacity = capacity;
  return true;
}

bool ReserveFacets(int needed) {
  if (needed <= g_raw.facetCapacity) return true;
  int capacity = g_raw.facetCapacity > 0 ? g_raw.facetCapacity : 64;
  while (capacity < needed) capacity *= 2;
  void* counts = std::realloc(g_raw.counts, sizeof(int) * static_cast<size_t>(capacity));
  if (!counts) return false;
  g_raw.counts = static_cast<int*>(counts);
  void* normals = std::realloc(g_raw.normals, sizeof(double) * 3 * static_cast<size_t>(capacity));
  if (!normals) return false;
  g_raw.normals = static_cast<double*>(normals);
  g_raw.facetCapacity = capacity;
  return true;
}

// Copies every facet's ordered corner indices into g_raw. Called only after qhull
// succeeded, still inside the armed jump (qh_facet3vertex may raise an error).
int CollectFacets() {
  facetT* facet;
  FORALLfacets {
    setT* vertices = qh_facet3vertex(facet);
    const int size = qh_setsize(vertices);
    if (!ReserveFacets(g_raw.facetCount + 1) || !ReserveCorners(g_raw.cornerCount + size)) {
      qh_settempfree(&vertices);
      return qh_ERRmem;
    }
    vertexT* vertex;
    vertexT** vertexp;
    FOREACHvertex_(vertices) { g_raw.corners[g_raw.cornerCount++] = qh_pointid(vertex->point); }
    qh_settempfree(&vertices);
    g_raw.counts[g_raw.facetCount] = size;
    for (int k = 0; k < 3; ++k) g_raw.normals[3 * g_raw.facetCount + k] = facet->normal[k];
    ++g_raw.facetCount;
  }
  return 0;
}

int RunQhull(double* points, int count) {
  // "Tv" with qh_check_output verifies the finished hull's structure and convexity once. "Tc"
  // would check every facet list after each added point, quadratic in the corners (a piece of
  // 65,536 points took minutes). Tv's point-inclusion pass (qh_check_points) is left out: it
  // writes a note on the error stream for every hull.
  static char options[] = "qhull Qx i s Tv C-0";
  g_raw.cornerCount = 0;
  g_raw.facetCount = 0;
  qh_init_A(stdin, stdout, stderr, 0, nullptr);
  int exitcode = setjmp(qh errexit);
  if (!exitcode) {
    qh NOerrexit = False;
    qh_initflags(options);
    qh_init_B(points, count, 3, False);
    qh_qhull();
    qh_checkflipped_all(qh facet_list);
    qh_check_output();
    exitcode = CollectFacets();
  }
  qh NOerrexit = True;
  qh_freeqhull(qh_ALL);
  int curlong = 0;
  int totlong = 0;
  qh_memfreeshort(&curlong, &totlong);
  return exitcode;
}

}  // namespace

int QhullConvexHull(double* points, int count, QhullFacetList& out) {
  out.corners.clear();
  out.counts.clear();
  out.normals.clear();
  if (!points || count <= 0) return qh_ERRinput;
  const int exitcode = RunQhull(points, count);
  if (exitcode != 0) return exitcode;
  out.corners.assign(g_raw.corners, g_raw.corners + g_raw.cornerCount);
  out.counts.assign(g_raw.counts, g_raw.counts + g_raw.facetCount);
  out.normals.assign(g_raw.normals, g_raw.normals + 3 * g_raw.facetCount);
  return 0;
}
