// GameHooks: what the interface asks of the in-game controller and the program shell, which live
// above it or are still being written. The program fills these in at start-up
// (app/ControllerHooks.cpp, RegisterGameHooks); each empty entry has the fallback named beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CGameActionLayer;
class CVerezIvor;
struct ObjectDefinition;

struct GameHooks {
  // THE place the in-game controller is wired in: makes the controller layer for the park and
  // registers it as the park's controller (CVerezIvor::SetController). Empty: a game runs
  // without a controller layer (nothing steps the park).
  std::unique_ptr<CGameActionLayer> (*createController)(CVerezIvor& park) = nullptr;
  // The renderer switches of the shell. Empty: the renderer stays as it is.
  void (*switchToGameRenderer)() = nullptr;
  void (*switchToMenuRenderer)() = nullptr;
  // Makes the front end's renderer again after the settings changed (full screen). Empty: it
  // stays as it is until the next switch.
  void (*renewMenuRenderer)() = nullptr;
  // Saving and loading through the controller, which carries its own figures in the file.
  // Empty: the saved-game file is written and read with the controller's figures at their defaults.
  // freshRecord: the file's park block is read over a reset park record, as a game started by
  // loading has, rather than over the running park's.
  bool (*saveGame)(CVerezIvor& park, const char* path) = nullptr;
  // The load takes the file's bytes, read once by the caller for its checks too.
  bool (*loadGame)(CVerezIvor& park, const uint8_t* data, size_t size, bool freshRecord) = nullptr;
  // The controller's purchase, which takes the piece in hand: the new piece's ID, 0 when nothing
  // was bought. Empty: BuyPieceForPlayer makes the piece itself, held where it was made.
  uint32_t (*buyPiece)(CVerezIvor& park, const ObjectDefinition& definition, int sponsorSlot) = nullptr;
  // The piece the controller holds for placing, 0 when its hand is free. Empty: nothing is held.
  uint32_t (*heldPiece)(const CVerezIvor& park) = nullptr;
  // The controller's sale (grid squares, selection). Empty: the park's own sale (SellPiece).
  void (*sellPiece)(CVerezIvor& park, uint32_t id) = nullptr;
  // The controller's take and give up control of a skater, and its leaving of the
  // view-from-a-piece or control mode. Empty: nothing happens.
  void (*takeSkaterControl)(CVerezIvor& park, uint32_t skaterId) = nullptr;
  void (*leavePerspective)(CVerezIvor& park) = nullptr;
  // A pop-up closed by its own CLOSE button: the controller lets go of the skater or piece it
  // showed, as Escape does. Empty: nothing more happens.
  void (*releaseSelection)(CVerezIvor& park, uint32_t objectId) = nullptr;
};

GameHooks& GetGameHooks();

// Buys a piece of the definition through the controller, or, without one: refused (0) when the
// park's money is below the cost or the piece cannot be made; otherwise the cost is charged and
// booked as spent on building, and the new piece (held, half transparent, at the grid's centre)
// is registered with the park. sponsorSlot is 0 to 3 for a sponsor piece, else -1. Returns its
// object ID.
uint32_t BuyPieceForPlayer(CVerezIvor& park, const ObjectDefinition& definition, int sponsorSlot);
// The piece in the player's hand (see GameHooks::heldPiece), 0 none. The hand holds one piece:
// nothing else can be bought until it is placed or sold.
uint32_t GetHeldPiece(const CVerezIvor& park);
// What the interface says when it refuses something because the hand is full.
constexpr const char* kHandFullText = "PLACE THE PIECE IN YOUR HAND FIRST";
// Sells a section or facility through the controller, or, without one, with the park's own sale
// (SellPiece: lifted, refunded, marked for removal). False when the ID names no piece.
bool SellPieceForPlayer(CVerezIvor& park, uint32_t id);
