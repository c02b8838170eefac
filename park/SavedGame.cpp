#include "park/SavedGame.h"

bool CSavedGame::Save(CVerezIvor&, const ControllerSaveFields&, std::vector<uint8_t>&) { return false; }
bool CSavedGame::SaveToFile(CVerezIvor&, const ControllerSaveFields&, const char*) { return false; }
bool CSavedGame::Load(CVerezIvor&, ControllerSaveFields&, const uint8_t*, size_t) { return false; }
bool CSavedGame::LoadFromFile(CVerezIvor&, ControllerSaveFields&, const char*) { return false; }
