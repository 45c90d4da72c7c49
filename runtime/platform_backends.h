#pragma once
// Services whose working differs between Windows and the other platforms.
// Each platform's file defines these factories.

#include "services.h"

namespace rt {

std::unique_ptr<SoundService> makePlatformSound();
std::unique_ptr<ProgramStartService> makePlatformProgramStart();

} // namespace rt
