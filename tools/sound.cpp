#include "sound.h"
#include "littleendian.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace squibbo::sound {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kPeakDbfs = -3.0;

// Xorshift noise with a fixed seed: the same hiss on every run.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_ / 2147483648.0 - 1.0;
    }

private:
    uint32_t state_;
};

// Two-pole filter whose centre or cut-off may move from sample to sample.
class Biquad {
public:
    void bandPass(double freq, double q)
    {
        const double w = 2 * kPi * freq / kSampleRate;
        const double alpha = std::sin(w) / (2 * q);
        set(alpha, 0, -alpha, 1 + alpha, -2 * std::cos(w), 1 - alpha);
    }
    void lowPass(double freq, double q)
    {
        const double w = 2 * kPi * freq / kSampleRate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        set((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
    }
    double run(double x)
    {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    void set(double b0, double b1, double b2, double a0, double a1, double a2)
    {
        b0_ = b0 / a0;
        b1_ = b1 / a0;
        b2_ = b2 / a0;
        a1_ = a1 / a0;
        a2_ = a2 / a0;
    }
    double b0_ = 0, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// Scales the mix so its loudest sample sits at the target peak level.
std::vector<int16_t> normalise(const std::vector<double> &mix)
{
    double peak = 0;
    for (double v : mix)
        peak = std::max(peak, std::abs(v));
    const double gain = peak > 0 ? std::pow(10.0, kPeakDbfs / 20) * 32767.0 / peak : 0.0;
    std::vector<int16_t> out;
    out.reserve(mix.size());
    for (double v : mix)
        out.push_back(int16_t(std::lround(v * gain)));
    return out;
}

// Raised-cosine ramps at both ends so playback never starts or stops on a step.
void softEdges(std::vector<double> &mix, double inSeconds, double outSeconds)
{
    const size_t in = size_t(inSeconds * kSampleRate);
    const size_t out = size_t(outSeconds * kSampleRate);
    for (size_t i = 0; i < in && i < mix.size(); ++i)
        mix[i] *= 0.5 - 0.5 * std::cos(kPi * double(i) / double(in));
    for (size_t i = 0; i < out && i < mix.size(); ++i)
        mix[mix.size() - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * double(i) / double(out));
}

} // namespace

std::vector<int16_t> whoosh()
{
    const size_t n = size_t(0.42 * kSampleRate);
    // The swell peaks a little before the middle, like something flying past.
    const double skew = std::log(0.5) / std::log(0.42);
    Noise noise(0x5eed1234u);
    Biquad air1, air2, body;
    std::vector<double> mix(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / double(n - 1);
        const double swell = std::sin(kPi * std::pow(t, skew));
        const double freq = 380.0 * std::pow(2600.0 / 380.0, swell);
        air1.bandPass(freq, 1.4);
        air2.bandPass(freq, 1.4);
        body.bandPass(freq * 0.45, 0.8);
        const double x = noise.next();
        mix[i] = swell * swell * (air2.run(air1.run(x)) + 0.35 * body.run(x));
    }
    softEdges(mix, 0.01, 0.02);
    return normalise(mix);
}

std::vector<int16_t> splat()
{
    const size_t n = size_t(0.45 * kSampleRate);
    Noise noise(0x0badf00du);
    Biquad burst, squelch;
    std::vector<double> mix(n);
    double phase = 0;
    // Little air bubbles popping in the cream: start times in seconds.
    const double bubbles[] = {0.15, 0.215, 0.28};
    constexpr double kBubbleLength = 0.03;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kSampleRate;

        // Low thump: a sine dropping quickly in pitch.
        const double thumpFreq = 48 + 120 * std::exp(-t / 0.03);
        phase += 2 * kPi * thumpFreq / kSampleRate;
        const double thump = std::sin(phase) * (1 - std::exp(-t / 0.002)) * std::exp(-t / 0.07);

        // Wet burst: noise through a low-pass that closes as it dies away.
        burst.lowPass(500 + 4200 * std::exp(-t / 0.04), 0.9);
        const double burstEnv = (1 - std::exp(-t / 0.0015)) * (0.9 * std::exp(-t / 0.045) + 0.2 * std::exp(-t / 0.14));
        const double x = noise.next();
        const double wet = burst.run(x) * burstEnv;

        // Squelch: a narrow band of noise sliding down and wobbling.
        double slime = 0;
        if (t > 0.05 && t < 0.34) {
            const double u = (t - 0.05) / 0.29;
            const double centre = (260 + 900 * std::exp(-u * 2.5)) * (1 + 0.25 * std::sin(2 * kPi * 23 * t));
            squelch.bandPass(centre, 7);
            const double window = std::sin(kPi * u);
            slime = squelch.run(x) * window * window * 1.3;
        }

        double pops = 0;
        for (double start : bubbles) {
            const double tau = t - start;
            if (tau > 0 && tau < kBubbleLength) {
                const double f = 350 + 550 * tau / kBubbleLength;
                const double w = std::sin(kPi * tau / kBubbleLength);
                pops += 0.12 * w * w * std::sin(2 * kPi * f * tau);
            }
        }
        mix[i] = thump + 1.1 * wet + slime + pops;
    }
    softEdges(mix, 0.001, 0.04);
    return normalise(mix);
}

QByteArray wavFile(const std::vector<int16_t> &samples, int sampleRate)
{
    const int64_t dataBytes = int64_t(samples.size()) * 2;
    QByteArray out;
    out.append("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.append("WAVE", 4);
    out.append("fmt ", 4);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, sampleRate);
    put32(out, int64_t(sampleRate) * 2);
    put16(out, 2);
    put16(out, 16);
    out.append("data", 4);
    put32(out, dataBytes);
    for (int16_t s : samples)
        put16(out, s);
    return out;
}

} // namespace squibbo::sound
