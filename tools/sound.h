// The two sound effects, synthesised from a fixed-seed noise source and
// simple filters, and the WAV container they are stored in.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace squibbo::sound {

inline constexpr int kSampleRate = 22050;

// The pie leaving the hand: a breathy whoosh that swells and fades.
std::vector<int16_t> whoosh();

// The pie arriving: a soft thump, a wet burst and a little squelch.
std::vector<int16_t> splat();

// 16-bit mono PCM in a RIFF/WAVE container.
QByteArray wavFile(const std::vector<int16_t> &samples, int sampleRate);

} // namespace squibbo::sound
