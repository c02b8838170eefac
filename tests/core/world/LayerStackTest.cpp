// The layer stack: input from the top down to the first modal layer, ticks, drawing from the
// bottom, and changes made to the stack while it is being walked.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/world/GameActionLayer.h"
#include "core/world/GameWorld.h"
#include "core/input/InputMan.h"
#include "render/view/RenderView.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

struct Journal {
  std::vector<std::string> lines;
  int live = 0;
  void Add(const std::string& s) { lines.push_back(s); }
};

class Layer : public CGameActionLayer {
 public:
  Layer(Journal* journal, std::string name, bool modal = false) : m_journal(journal), m_name(std::move(name)), m_modal(modal) {
    ++m_journal->live;
  }
  ~Layer() override {
    --m_journal->live;
    m_journal->Add("delete " + m_name);
  }
  void Init(bool) override { m_journal->Add("init " + m_name); }
  bool IsModal() const override { return m_modal; }
  void HandleInputEvent(const InputEvent&) override { m_journal->Add("input " + m_name); }
  void Update(float) override {
    m_journal->Add("tick " + m_name);
    if (onTick) onTick();
  }
  void Draw(CRenderView*, PixelBufferDesc**) override { m_journal->Add("draw " + m_name); }
  std::function<void()> onTick;

 private:
  Journal* m_journal;
  std::string m_name;
  bool m_modal;
};

class LayerWorld : public ::testing::Test {
 protected:
  LayerWorld() : world(nullptr, nullptr) { world.SetInputManager(&input); }
  // What the layers do in one tick (after one button press when asked), from a cleared journal.
  std::vector<std::string> Pass(bool withInput = false) {
    j.lines.clear();
    if (withInput) {
      InputEvent e;
      e.code = InputEvent::kButtonPress;
      input.QueueEvent(e);
    }
    world.Tick(0.033f);
    return j.lines;
  }
  Layer* Add(const char* name, bool modal = false) {
    Layer* layer = new Layer(&j, name, modal);
    world.AddLayerOnTop(std::unique_ptr<CGameActionLayer>(layer));
    return layer;
  }
  DebugCapture quiet;
  Journal j;  // outlives the world, whose destructor deletes the layers that write to it
  CInputMan input;
  CGameWorld world;
};

TEST_F(LayerWorld, ModalLayerStopsInputButEveryActiveLayerTicks) {
  Layer* bottom = Add("bottom");
  Layer* middle = Add("middle", true);
  Add("top");
  EXPECT_EQ(Pass(true), (std::vector<std::string>{"input top", "tick top", "input middle", "tick middle", "tick bottom"}));
  EXPECT_TRUE(bottom->IsInputBlocked());
  // With the modal layer inactive the events reach the bottom; the inactive layer does nothing.
  middle->SetActive(false);
  EXPECT_EQ(Pass(true), (std::vector<std::string>{"input top", "tick top", "input bottom", "tick bottom"}));
  EXPECT_FALSE(bottom->IsInputBlocked());
  middle->SetActive(true);
  j.lines.clear();
  CRenderView view;
  world.Render(&view);
  EXPECT_EQ(j.lines, (std::vector<std::string>{"draw bottom", "draw middle", "draw top"}));
}

TEST_F(LayerWorld, MarkedLayersAreNotDrawnAndAreDeletedByTheNextTick) {
  Add("a");
  Layer* b = Add("b");
  b->onTick = [&] { world.RemoveCurrentLayer(); };  // b marks itself while it ticks
  world.Tick(0.033f);
  EXPECT_EQ(world.GetLayerCount(), 2u);
  j.lines.clear();
  CRenderView view;
  world.Render(&view);
  EXPECT_EQ(j.lines, std::vector<std::string>{"draw a"});
  world.Tick(0.033f);
  EXPECT_EQ(world.GetLayerCount(), 1u);
  world.RemoveAllLayers();
  world.RemoveAllLayers();  // twice: still deleted once
  world.Tick(0.033f);
  EXPECT_FALSE(world.HasLayers());
  EXPECT_EQ(j.live, 0);
}

TEST_F(LayerWorld, EmptyStackAndStaleIndicesAreHarmless) {
  world.Tick(0.033f);
  world.RemoveTopLayer();
  world.RemoveCurrentLayer();
  world.SetCurrentLayerIndex(7);
  EXPECT_FALSE(world.BringCurrentLayerToTop());
  world.RemoveCurrentLayer();
  world.DeactivateAllLayers();
  CRenderView view;
  world.Render(&view);

  for (const char* name : {"a", "b", "c", "d"}) Add(name);
  CGameActionLayer* first = world.GetLayer(0);
  // The top layer cannot be brought higher; the bottom one can, without the index wrapping.
  world.SetCurrentLayerIndex(3);
  EXPECT_FALSE(world.BringCurrentLayerToTop());
  world.SetCurrentLayerIndex(0);
  EXPECT_TRUE(world.BringCurrentLayerToTop());
  EXPECT_EQ(world.GetCurrentLayerIndex(), 0u);
  EXPECT_EQ(world.GetLayer(3), first);
  world.RemoveTopLayer();
  world.Tick(0.033f);
  EXPECT_EQ(world.GetLayerCount(), 3u);
}

TEST_F(LayerWorld, ChangesDuringThePassFollowTheIndex) {
  Layer* a = Add("a");
  Layer* b = Add("b");
  Layer* c = Add("c");
  // c adds one above and one below itself (neither visited this pass); b brings itself to the top,
  // so a, the layer just below its old slot, is skipped for this pass.
  c->onTick = [&] {
    world.AddLayerAboveCurrent(std::make_unique<Layer>(&j, "n"));
    world.AddLayerBelowCurrent(std::make_unique<Layer>(&j, "m"));
    c->onTick = nullptr;
  };
  b->onTick = [&] {
    EXPECT_TRUE(world.BringCurrentLayerToTop());
    b->onTick = nullptr;
  };
  EXPECT_EQ(Pass(), (std::vector<std::string>{"tick c", "init n", "init m", "tick b"}));
  EXPECT_EQ(Pass(), (std::vector<std::string>{"tick b", "tick n", "tick c", "tick m", "tick a"}));

  // The bottom layer bringing itself to the top ends the pass (nothing lies below it).
  a->onTick = [&] {
    EXPECT_TRUE(world.BringCurrentLayerToTop());
    a->onTick = nullptr;
  };
  EXPECT_EQ(Pass(), (std::vector<std::string>{"tick b", "tick n", "tick c", "tick m", "tick a"}));
  EXPECT_EQ(world.GetLayer(4), a);
  EXPECT_EQ(world.GetCurrentLayerIndex(), 0u);
}

// Random stack operations made by the layers while they tick: no layer is ticked twice in a pass,
// marked layers never tick and are gone after the pass, and the stack owns exactly the live layers.
TEST_F(LayerWorld, RandomChangesDuringPasses) {
  std::mt19937 random(77);
  std::vector<Layer*> all;  // every layer ever made; entries of deleted ones are never touched
  std::vector<int> ticks;
  std::vector<bool> markedAtStart;
  std::function<Layer*()> make = [&]() -> Layer* {
    const size_t index = all.size();
    Layer* l = new Layer(&j, "L" + std::to_string(index), random() % 5 == 0);
    all.push_back(l);
    ticks.push_back(0);
    markedAtStart.push_back(false);
    l->onTick = [&, index] {
      ++ticks[index];
      switch (random() % 12) {
        case 0: if (world.GetLayerCount() < 40) world.AddLayerOnTop(std::unique_ptr<CGameActionLayer>(make())); break;
        case 1: if (world.GetLayerCount() < 40) world.AddLayerAtBottom(std::unique_ptr<CGameActionLayer>(make())); break;
        case 2: if (world.GetLayerCount() < 40) world.AddLayerAboveCurrent(std::unique_ptr<CGameActionLayer>(make())); break;
        case 3: if (world.GetLayerCount() < 40) world.AddLayerBelowCurrent(std::unique_ptr<CGameActionLayer>(make())); break;
        case 4: world.BringCurrentLayerToTop(); break;
        case 5: world.RemoveCurrentLayer(); break;
        case 6: world.RemoveTopLayer(); break;
        case 7: world.GetLayer(random() % world.GetLayerCount())->SetActive(random() % 2 == 0); break;
        default: break;
      }
    };
    return l;
  };
  for (int i = 0; i < 10; ++i) world.AddLayerOnTop(std::unique_ptr<CGameActionLayer>(make()));
  for (int pass = 0; pass < 500; ++pass) {
    if (!world.HasLayers())
      for (int i = 0; i < 5; ++i) world.AddLayerOnTop(std::unique_ptr<CGameActionLayer>(make()));
    std::fill(ticks.begin(), ticks.end(), 0);
    std::fill(markedAtStart.begin(), markedAtStart.end(), false);
    for (size_t i = 0; i < world.GetLayerCount(); ++i)
      for (size_t k = 0; k < all.size(); ++k)
        if (all[k] == world.GetLayer(i)) markedAtStart[k] = world.GetLayer(i)->IsMarkedForRemoval();
    world.Tick(0.033f);
    for (size_t k = 0; k < all.size(); ++k) {
      ASSERT_LE(ticks[k], 1);
      if (markedAtStart[k]) ASSERT_EQ(ticks[k], 0);  // deleted when a pass reaches it
    }
    ASSERT_EQ(static_cast<size_t>(j.live), world.GetLayerCount());
    if (pass % 50 == 0) world.ActivateAllLayers();
  }
  world.RemoveAllLayers();
  world.Tick(0.033f);
  EXPECT_EQ(j.live, 0);
}

}  // namespace
