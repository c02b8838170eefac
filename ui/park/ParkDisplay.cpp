// CParkDisplay: the lines of the park's heads-up panel.
#include "ui/park/ParkDisplay.h"

#include <cctype>
#include <cstdio>

#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"

namespace {
constexpr int kTopMargin = 8;
constexpr int kRightMargin = 8;

std::string Figure(const char* name, double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof(text), "%s %.*f", name, decimals, value);
  return text;
}

// The panel's alphabet has capitals only.
std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
}  // namespace

CParkDisplay::CParkDisplay() { SetRightAligned(kRightMargin, kTopMargin); }

void CParkDisplay::Refresh(const CVerezIvor& park) {
  SetTitle(Title(park));
  SetLines(Lines(park));
}

std::string CParkDisplay::Title(const CVerezIvor& park) {
  const char* name = park.GetParkState().parkName;
  return name[0] != '\0' ? Upper(name) : "PARK";
}

std::vector<std::string> CParkDisplay::Lines(const CVerezIvor& park) {
  const CSimClock& clock = park.GetClock();
  const ParkState& s = park.GetParkState();
  char time[16];
  clock.FormatTimeOfDay(time, sizeof(time), true);
  std::vector<std::string> lines;
  lines.push_back("WEEK " + std::to_string(clock.GetWeek()) + " DAY " + std::to_string(clock.GetDay()) + " " +
                  Upper(time));
  lines.push_back(Figure("VARIETY", s.variety, 2));
  lines.push_back(Figure("CONNECTIVITY", s.connectivity, 2));
  lines.push_back(Figure("CAPACITY", s.capacity, 1));
  lines.push_back(Figure("AVERAGE SKILL", s.averageSkill, 2));
  lines.push_back(Figure("HAPPINESS", s.averageHappiness, 2));
  const double target = park.GetArrivalTarget();
  lines.push_back("SKATERS " + std::to_string(GetSkaterList().size()) + " OF " +
                  std::to_string(static_cast<long long>(target)));
  if (target <= 0.0) {
    lines.push_back(kNobodyComes);
    lines.push_back(kNobodyComesWhy);
  }
  return lines;
}
