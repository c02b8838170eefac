// Tests of the polyhedron-tree text reader: atomic and compound entries, and the
// messages for malformed input.
#include <gtest/gtest.h>

#include <sstream>

#include "physics/polyhedron/PolyTreeLibrary.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/support/InputCost.h"

namespace {

const char* kCube =
    "atomic cube\n"
    " vertex c0 0 0 0  vertex c1 1 0 0  vertex c2 0 1 0  vertex c3 1 1 0\n"
    " vertex c4 0 0 1  vertex c5 1 0 1  vertex c6 0 1 1  vertex c7 1 1 1\n"
    " face -x c0 c4 c6 c2 ;  face +x c1 c3 c7 c5 ;  face -y c0 c1 c5 c4 ;\n"
    " face +y c2 c6 c7 c3 ;  face -z c0 c2 c3 c1 ;  face +z c4 c5 c7 c6 ;\n"
    "end\n";

TEST(PolyTreeLibrary, ReadsAtomicAndCompoundEntries) {
  std::istringstream in(std::string(kCube) +
                        "compound pair child cube { } child cube { trans 1 0 0 } end\n");
  PolyTreeLibrary library;
  physics_test::CerrCapture err;
  ASSERT_TRUE(library.read(in)) << err.Text();
  ASSERT_EQ(library.size(), 2u);
  const PolyTree* cube = library.find("cube");
  ASSERT_NE(cube, nullptr);
  EXPECT_NEAR(cube->volume, 1.0f, 1e-6f);
  const PolyTree* pair = library.find("pair");
  ASSERT_NE(pair, nullptr);
  EXPECT_NEAR(pair->volume, 2.0f, 1e-5f);
  EXPECT_EQ(pair->polyhedron()->vertices().size(), 8u);
  EXPECT_EQ(pair->child(0)->polyhedron(), cube->polyhedron());  // shared, not rebuilt
}

TEST(PolyTreeLibrary, MalformedEntriesAreReportedAndStopTheRead) {
  struct Case {
    std::string text;
    const char* message;
    size_t kept;
  };
  const Case cases[] = {
      {"sphere s end", "bad token: sphere\a", 0},
      {std::string(kCube) + "atomic tri vertex a 0 0 0 face f a b ; end", "no vertex b on Polyhedron tri\a", 1},
      {std::string(kCube) + kCube, "warning: PolyTree cube already in library \a", 1},
      {"compound c child nothing { } end", "no PolyTree nothing in library", 0},
      {"atomic open vertex a 0 0 0", "unexpected end of atomic open", 0},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    PolyTreeLibrary library;
    physics_test::CerrCapture err;
    EXPECT_TRUE(testing_support::CostsNearLinear(c.text.size(), [&] { library.read(in); }));
    EXPECT_NE(err.Text().find(c.message), std::string::npos) << c.text << "\n" << err.Text();
    EXPECT_EQ(library.size(), c.kept) << c.text;
  }
}

}  // namespace
