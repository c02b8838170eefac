// Rigid-body step rates: the fourth-order velocity step of one body and of a coupled group, and the explicit step.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "physics/rigid/ForceAccumulatorConstant.h"
#include "physics/rigid/ForceAccumulatorPointConstraint.h"
#include "physics/rigid/RigidBodyIntegrate.h"
#include "physics/rigid/RigidBodyState.h"
#include "physics/rigid/RigidConstMass.h"

namespace {

RigidMassProperties Mass() {
  const RigidPointMass balls[2] = {{Vector3(0.5f, 0, 0), 2.0f, 0.3f}, {Vector3(-0.5f, 0.2f, 0), 1.0f, 0.2f}};
  RigidMassProperties m;
  m.SetFromPointMasses(balls, 2);
  return m;
}

void BM_RK4SingleBody(benchmark::State& state) {
  const RigidMassProperties mass = Mass();
  RigidBodyState body;
  body.Init(COrientation(), Vector3(1, 0, 0), Vector3(0.3f, 0.1f, 2.0f), &mass, nullptr, false);
  CConstantForceAccumulator gravity(&body, Vector3(0, 0, -9.8f * mass.mass), Vector3(0.1f, 0, 0));
  RigidBodyState* bodies[] = {&body};
  CForceAccumulator* accs[] = {&gravity};
  for (auto _ : state) {
    IntegrateRigidBodiesRK4(bodies, 1, accs, 1, 0.01f);
    body.AdvancePose(0.01f);
    body.CommitPose();
    benchmark::DoNotOptimize(body.velocity);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RK4SingleBody);

// A chain of bodies joined by point constraints, as a vehicle body is joined to its parts.
void BM_RK4ConstrainedChain(benchmark::State& state) {
  const RigidMassProperties mass = Mass();
  const int n = static_cast<int>(state.range(0));
  std::vector<RigidBodyState> bodies(n);
  std::vector<RigidBodyState*> pointers;
  std::vector<std::unique_ptr<CForceAccumulator>> owned;
  std::vector<CForceAccumulator*> accs;
  for (int i = 0; i < n; ++i) {
    bodies[i].Init(COrientation(TMatrix(), Vector3(float(i), 0, 0)), Vector3(), Vector3(), &mass, nullptr, false);
    pointers.push_back(&bodies[i]);
    owned.emplace_back(new CConstantForceAccumulator(&bodies[i], Vector3(0, 0, -9.8f * mass.mass), Vector3()));
    if (i > 0)
      owned.emplace_back(new CBodyPairPointConstraintAccumulator(&bodies[i - 1], &bodies[i], Vector3(0.5f, 0, 0),
                                                                 Vector3(-0.5f, 0, 0)));
  }
  for (auto& a : owned) accs.push_back(a.get());
  for (auto _ : state) {
    IntegrateRigidBodiesRK4(pointers.data(), pointers.size(), accs.data(), accs.size(), 0.01f);
    for (RigidBodyState* b : pointers) {
      b->AdvancePose(0.01f);
      b->CommitPose();
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RK4ConstrainedChain)->Arg(5)->Arg(20);

void BM_EulerStep(benchmark::State& state) {
  const RigidMassProperties mass = Mass();
  RigidBodyState body;
  body.Init(COrientation(), Vector3(1, 0, 0), Vector3(0.3f, 0.1f, 2.0f), &mass, nullptr, false);
  for (auto _ : state) {
    body.AddForce(Vector3(0, 0, -9.8f * mass.mass));
    body.Integrate(0.01f);
    body.AdvancePose(0.01f);
    body.CommitPose();
    body.ClearForces();
    benchmark::DoNotOptimize(body.velocity);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EulerStep);

}  // namespace
