// AnimationScript: the compiler of animation scripts ("sequence = { ... }" blocks) into the
// flat record table that animated meshes carry.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/data/DebugPrintf.h"
#include "core/data/Params.h"
#include "core/data/TextCompare.h"
#include "core/data/Tokenizer.h"
#include "platform/system/Win32.h"
#include "scene/animation/AnimationSet.h"

namespace {

const char* const kMotionWords[AnimationSet::kMotionTypeCount] = {
    "idle",         "forward",       "backward",        "strafeleft",      "straferight",    "runforward",
    "runback",      "sneakforward",  "sneakback",       "sneakleft",       "sneakright",     "evasive",
    "crouch",       "crouchidle",    "rollleft",        "rollright",       "getup",          "jump",
    "fall",         "land",          "hitstand",        "hitsneak",        "hitcrouch",      "surrender",
    "surrenderidle", "hitsurrender", "wave",            "point",           "taunt",          "lob",
    "settrap",      "lookleft",      "lookright",       "crouchlookleft",  "crouchlookright", "crouchleft",
    "crouchright",  "custom1",       "custom2",         "custom3",         "turnleft",       "turnright",
    // The last two entries share a word, so text always yields the first of them.
    "turncrouchleft", "turncrouchleft"};

// Data words in data-type order: vertex 0, xform 1, texture 2, trigger 3, header 4.
const char* const kDataWords[] = {"vertex", "xform", "texture", "trigger", "header"};
const char* const kPlaybackWords[] = {"loop", "mirror", "loopback", "back"};  // modes 1..4
constexpr float kDefaultFrameRate = 24.0f;

void ReportScriptError(const char* text) {
  DebugPrintf("AnimationSet: %s\n", text);
  MessageBoxA(nullptr, text, "Animation Parse Error!", MB_OK);
}

// Script numbers are floats; "nan" or huge values must not reach an integer conversion.
int32_t ToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

uint32_t AtLeastOneFrame(int64_t frames) {
  return frames < 1 ? 1u : static_cast<uint32_t>(std::min<int64_t>(frames, UINT32_MAX));
}

float UsableRate(float rate) { return rate > 0.0f && std::isfinite(rate) ? rate : kDefaultFrameRate; }

// State carried from block to block while a script compiles.
struct ScriptState {
  std::vector<AnimationRecord> records;
  int64_t openHeader = -1;     // index of the header still collecting subsequences
  uint32_t remaining = 0;      // subsequences it still expects
  int32_t lastDataType = -1;   // data type of the block compiled before
  bool hasAnimation = false;   // some record of type vertex, xform or texture exists
};

// A header that ends short of its count (a new header, or the end of the script) keeps only
// the records it received: a count past them would reach records that are not its own or
// beyond the table.
void CloseHeader(ScriptState& s) {
  if (s.openHeader < 0) return;
  if (s.remaining > 0) {
    ReportScriptError("Bad Header/Subsequence Count!");
    s.records[s.openHeader].countOrTrigger -= s.remaining;
  }
  s.openHeader = -1;
  s.remaining = 0;
}

void ReadFrames(const char* block, AnimationRecord& r) {
  r.startFrame = ToInt(Params::ReadFloat(block, "startframe"));
  const int32_t frames = ToInt(Params::ReadFloat(block, "numframes"));
  int64_t count = frames;
  const int32_t endFrame = ToInt(Params::ReadFloat(block, "endframe"));
  if (endFrame != 0) count = static_cast<int64_t>(endFrame) - r.startFrame + 1;
  r.frameRate = UsableRate(Params::ReadFloat(block, "fps"));
  std::vector<float> triple;
  Params::ReadFloatList(block, "frames", triple);
  triple.resize(std::max<size_t>(triple.size(), 3), 0.0f);
  if (triple[0] != 0.0f || triple[1] != 0.0f || triple[2] != 0.0f) {
    r.startFrame = ToInt(triple[0]);
    count = ToInt(static_cast<double>(triple[1]) - triple[0] + 1.0);
    // A rate of 0 here would give an infinite length; it falls back like "fps" does.
    r.frameRate = UsableRate(triple[2]);
  }
  // A count below one (end before start, negative numbers) would wrap as unsigned.
  r.frameCount = AtLeastOneFrame(count);
  r.length = static_cast<float>(r.frameCount) / r.frameRate;
}

uint32_t ReadPlayback(const char* block, const ScriptState& s, bool isHeader) {
  if (!Params::FindKey(block, "playback")) {
    if (!isHeader && s.openHeader >= 0) return s.records[s.openHeader].playback;
    return 0;
  }
  return static_cast<uint32_t>(Params::FindKeyIndex(block, "playback", kPlaybackWords, 4, -1) + 1);
}

void CompileBlock(const char* block, ScriptState& s) {
  AnimationRecord r;
  std::memset(&r, 0, sizeof(r));
  std::string name;
  // Names are normally quoted; a bare word is taken as it stands.
  if (!Params::ReadString(block, "name", name)) {
    if (const std::optional<std::string> word = Params::FindKey(block, "name")) name = *word;
  }
  std::strncpy(r.name, name.c_str(), sizeof(r.name) - 1);

  const int dataType = Params::FindKeyIndex(block, "data", kDataWords, 5, s.lastDataType);
  if (dataType < 0) {
    ReportScriptError("Sequence without a data type skipped!");
    return;
  }
  s.lastDataType = dataType;
  r.dataType = static_cast<uint32_t>(dataType);

  const bool isHeader = r.dataType == AnimationRecord::kHeader;
  if (isHeader) {
    CloseHeader(s);
    const int32_t count = ToInt(Params::ReadFloat(block, "numsequences"));
    r.countOrTrigger = count > 0 ? static_cast<uint32_t>(count) : 0;
  } else {
    if (r.dataType == AnimationRecord::kTrigger) {
      if (!s.hasAnimation) {
        // Kept, it would belong to no sequence and the trigger test would walk before the table.
        ReportScriptError("Trigger must be preceded by an animation sequence!");
        return;
      }
      r.countOrTrigger = static_cast<uint32_t>(ToInt(Params::ReadFloat(block, "triggerID")));
    }
    ReadFrames(block, r);
    if (s.openHeader >= 0) {
      AnimationRecord& header = s.records[s.openHeader];
      header.length = std::max(header.length, r.length);
    }
  }
  r.playback = ReadPlayback(block, s, isHeader);
  const std::optional<std::string> type = Params::FindKey(block, "type");
  r.id = AnimationSet::MotionTypeFromWord(type ? type->c_str() : nullptr);
  if (r.dataType <= AnimationRecord::kTexture) s.hasAnimation = true;
  s.records.push_back(r);
  if (isHeader) {
    if (r.countOrTrigger > 0) {
      s.openHeader = static_cast<int64_t>(s.records.size()) - 1;
      s.remaining = r.countOrTrigger;
    }
  } else if (s.openHeader >= 0 && --s.remaining == 0) {
    s.openHeader = -1;
  }
}

bool SameWord(const char* a, const char* b) { return EqualNoCase(a, b); }

bool IsBlockKeyword(const char* token) { return SameWord(token, "sequence") || SameWord(token, "subsequence"); }

// The matching "}" of every "{" in the script, found in one pass: asking per block would scan
// to the end of the text for each block that never closes. Every place the compiler resumes at
// is a token boundary of this same pass, so the braces are the ones it would have met.
class BlockEnds {
 public:
  explicit BlockEnds(const char* text) {
    CTokenizer tok(text, "{}=", "//", 256);
    std::vector<const char*> open;
    for (const char* token = tok.NextToken(); *token; token = tok.NextToken()) {
      if (!tok.LastWasDelimiter()) continue;
      if (token[0] == '{') open.push_back(tok.GetPosition());
      if (token[0] == '}' && !open.empty()) {
        ends_.emplace_back(open.back(), tok.GetPosition() - 1);
        open.pop_back();
      }
    }
    std::sort(ends_.begin(), ends_.end());
  }

  // The "}" closing the block whose text starts at blockStart (just after its "{"), or null.
  const char* Find(const char* blockStart) const {
    const auto at = std::lower_bound(ends_.begin(), ends_.end(), std::make_pair(blockStart, static_cast<const char*>(nullptr)));
    return at != ends_.end() && at->first == blockStart ? at->second : nullptr;
  }

 private:
  std::vector<std::pair<const char*, const char*>> ends_;
};

// Line numbers for the log, counted on from the last one asked for (the places only move on).
class LineCounter {
 public:
  explicit LineCounter(const char* text) : counted_(text) {}
  int LineOf(const char* at) {
    for (; counted_ < at; ++counted_) {
      if (*counted_ == '\n') ++line_;
    }
    return line_;
  }

 private:
  const char* counted_;
  int line_ = 0;
};

std::vector<uint8_t> ToTable(std::vector<AnimationRecord>& records) {
  for (AnimationRecord& r : records) r.inverseLength = r.length > 0.0f ? 1.0f / r.length : 0.0f;
  const uint32_t count = static_cast<uint32_t>(records.size());
  std::vector<uint8_t> table(4 + static_cast<size_t>(AnimationSet::kRecordSize) * count);
  std::memcpy(table.data(), &count, 4);
  if (count) std::memcpy(table.data() + 4, records.data(), static_cast<size_t>(AnimationSet::kRecordSize) * count);
  return table;
}

}  // namespace

uint32_t AnimationSet::MotionTypeFromWord(const char* word) {
  if (!word) return 0;
  for (uint32_t i = 0; i < kMotionTypeCount; ++i) {
    const char* w = kMotionWords[i];
    size_t k = 0;
    while (w[k] && word[k] && std::tolower(static_cast<unsigned char>(w[k])) ==
                                  std::tolower(static_cast<unsigned char>(word[k])))
      ++k;
    if (!w[k] && !word[k]) return i + 1;
  }
  return 0;
}

std::vector<uint8_t> AnimationSet::Parse(const char* text) {
  ScriptState state;
  if (text) {
    const BlockEnds ends(text);
    LineCounter lines(text);
    CTokenizer tok(text, "{}=", "//", 256);
    for (;;) {
      const char* token = tok.NextToken();
      if (!*token) break;
      if (tok.LastWasDelimiter() || !IsBlockKeyword(token)) continue;
      const char* afterKeyword = tok.GetPosition();
      tok.NextToken();
      const bool delimited = tok.LastWasDelimiter();
      const char* brace = tok.NextToken();
      if (!delimited || !tok.LastWasDelimiter() || brace[0] != '{') {
        tok.SetPosition(afterKeyword);  // a keyword without "= {" is skipped
        continue;
      }
      const char* blockStart = tok.GetPosition();
      const char* blockEnd = ends.Find(blockStart);
      if (!blockEnd) {
        DebugPrintf("AnimationSet: block at line %d never closes, skipped\n", lines.LineOf(blockStart));
        continue;
      }
      tok.SetPosition(blockEnd + 1);
      const std::string block(blockStart, blockEnd);
      CompileBlock(block.c_str(), state);
    }
  }
  CloseHeader(state);
  return ToTable(state.records);
}
