#pragma once
// Services whose working differs between Windows and the other platforms.
// Each platform's file defines these factories.

#include "services.h"

namespace rt {

// Plays the wave files of the game folder `folder`.
std::unique_ptr<SoundService> makePlatformSound(const QString &folder);
std::unique_ptr<ProgramStartService> makePlatformProgramStart();

} // namespace rt
