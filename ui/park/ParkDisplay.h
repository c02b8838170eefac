// CParkDisplay: the park's heads-up panel in the top-right corner - the park's day and time of
// day, its piece scores, the skaters' averages and how many skaters it draws. Only lines to read.
#pragma once

#include <string>
#include <vector>

#include "ui/widgets/ButtonPanel.h"

class CVerezIvor;

class CParkDisplay : public CButtonPanel {
 public:
  // Shown while the park draws nobody: arrivals wait for the pieces' scores.
  static constexpr const char* kNobodyComes = "NOBODY COMES: THE PIECES NEED MORE";
  static constexpr const char* kNobodyComesWhy = "VARIETY, CONNECTIVITY AND CAPACITY";

  CParkDisplay();
  // The panel's title and lines from the park's own clock and park record.
  void Refresh(const CVerezIvor& park);
  static std::string Title(const CVerezIvor& park);
  static std::vector<std::string> Lines(const CVerezIvor& park);
};
