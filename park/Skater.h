// CSkater: a visitor of the park. This is the part the park world needs - arrival set-up, name,
// skill and happiness, and the global skater list; motion, needs and routes come with the skater.
#pragma once

#include <vector>

#include "core/GameObject.h"
#include "core/math/Orientation.h"

class CSkater : public CGameObject {
 public:
  static constexpr int kNameSize = 30;

  CSkater();
  ~CSkater() override;

  // Joins the skater list once the world has filed the skater.
  void Init(bool created) override;
  const char* GetInfoString() const override { return "Skater"; }

  // Places the body at the arrival frame.
  void LoadBody(const COrientation& frame) { m_frame = frame; }
  void PickAppearance(bool randomise) { m_appearancePicked = randomise ? 1 : 2; }
  void SetName(const char* name);
  const char* GetName() const { return m_name; }
  const COrientation& GetFrame() const { return m_frame; }
  bool HasAppearance() const { return m_appearancePicked != 0; }

  // The mean of the ollie, air and grind skill values.
  float GetSkill() const { return (ollieSkill + airSkill + grindSkill) / 3.0f; }
  float GetHappiness() const { return happiness; }

  float ollieSkill = 0.0f;
  float airSkill = 0.0f;
  float grindSkill = 0.0f;
  float happiness = 0.0f;
  float heightOffset = 0.0f;  // of the body's origin above the ground

 private:
  COrientation m_frame;
  char m_name[kNameSize] = {};
  int m_appearancePicked = 0;
  bool m_listed = false;
};

// Every live skater, in order of joining the park.
std::vector<CSkater*>& GetSkaterList();
