#pragma once
// The end of a game: the final score is held against the table of the ten
// best, a qualifying player is asked for a name, the new table replaces the
// old one and the high-score window opens.

#include <cstdint>

class Form2;
class QWidget;

namespace rt {
struct Services;
}

namespace scores {

class FileOps;

// Called by the game tick on the tenth miss, with the game folder's files.
// Opens modal dialogs over `owner` (the main window) and waits for them;
// the caller keeps its tick from running again meanwhile. When the
// high-score file cannot be used it tells the player and changes nothing
// on disk; the game goes on either way.
void GameOverHighScoreStep(rt::Services &services, Form2 &form2, std::int16_t score,
                           FileOps &files, QWidget *owner = nullptr);

} // namespace scores
