#include "sim/SimImage.h"

#include <algorithm>
#include <cmath>

namespace {

// Small deterministic generator, the same on every platform.
class CFingerRandom {
public:
    explicit CFingerRandom(std::uint64_t seed) : m_State(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi).
    double Range(double lo, double hi) { return lo + (hi - lo) * (double(Next() >> 11) / 9007199254740992.0); }

private:
    std::uint64_t m_State;
};

constexpr double SIM_PI = 3.14159265358979323846;

struct SFingerShape {
    int pattern;      // 0 whorl, 1 loop, 2 arch
    double coreX, coreY;
    double period;    // ridge spacing in pixels
    double warpA, warpB, phaseA, phaseB, squeeze;
};

SFingerShape ShapeOf(int finger) {
    CFingerRandom rnd(static_cast<std::uint64_t>(finger));
    SFingerShape s;
    s.pattern = finger % 3;
    s.coreX = SIM_IMAGE_WIDTH / 2.0 + rnd.Range(-22, 22);
    s.coreY = SIM_IMAGE_HEIGHT * 0.45 + rnd.Range(-25, 25);
    s.period = rnd.Range(8.0, 11.0);
    s.warpA = rnd.Range(2.0, 6.0);
    s.warpB = rnd.Range(2.0, 6.0);
    s.phaseA = rnd.Range(0, 2 * SIM_PI);
    s.phaseB = rnd.Range(0, 2 * SIM_PI);
    s.squeeze = rnd.Range(1.1, 1.5);
    return s;
}

// Ridge phase (in pixels along the ridge normal) at a point.
double RidgePhase(const SFingerShape& s, double x, double y) {
    double dx = x - s.coreX, dy = y - s.coreY;
    double phase;
    switch (s.pattern) {
        case 0:  // whorl: closed rings around the core
            phase = std::sqrt(dx * dx + dy * dy * s.squeeze);
            break;
        case 1: {  // loop: rings above the core that open downwards into slanted lines
            double t = 0.5 * (1.0 + std::tanh(dy / 25.0));  // 0 above the core, 1 below, smooth
            double k = s.squeeze * (1.0 - t) + 0.15 * t;
            phase = std::sqrt(dx * dx + dy * dy * k) + 0.35 * t * dy;
            break;
        }
        default: {  // arch: lines across the finger with a hump over the core
            double t = 0.5 * (1.0 + std::tanh(dy / 30.0));
            phase = y + 26.0 * std::exp(-(dx * dx) / (2 * 45.0 * 45.0)) * (1.0 - 0.4 * t);
            break;
        }
    }
    phase += s.warpA * std::sin(x / 23.0 + s.phaseA) + s.warpB * std::sin(y / 31.0 + s.phaseB);
    return phase;
}

}  // namespace

std::vector<std::uint8_t> SimFingerImage(int finger) {
    std::vector<std::uint8_t> image(SIM_IMAGE_SIZE, 255);
    SFingerShape s = ShapeOf(finger);
    CFingerRandom noise(static_cast<std::uint64_t>(finger) * 7919 + 17);
    const double ovalX = SIM_IMAGE_WIDTH / 2.0, ovalY = SIM_IMAGE_HEIGHT / 2.0 + 6;
    const double radiusX = 108, radiusY = 138;
    for (int y = 0; y < SIM_IMAGE_HEIGHT; ++y) {
        for (int x = 0; x < SIM_IMAGE_WIDTH; ++x) {
            double ex = (x - ovalX) / radiusX, ey = (y - ovalY) / radiusY;
            double edge = 1.0 - std::sqrt(ex * ex + ey * ey);  // > 0 inside the print
            int n = static_cast<int>(noise.Next() % 25) - 12;
            if (edge <= 0) {
                image[y * SIM_IMAGE_WIDTH + x] = static_cast<std::uint8_t>(std::clamp(250 + n / 3, 0, 255));
                continue;
            }
            double ridge = std::cos(2 * SIM_PI * RidgePhase(s, x, y) / s.period);  // -1 valley .. 1 ridge
            double pressure = std::min(1.0, edge * 6.0);  // fades out at the rim
            double grey = 200.0 - 150.0 * pressure * (ridge + 1.0) / 2.0 + n;
            grey = grey * pressure + 250.0 * (1.0 - pressure);
            image[y * SIM_IMAGE_WIDTH + x] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(grey), 0, 255));
        }
    }
    return image;
}

std::vector<std::uint8_t> SimFingerMinutiae(int finger) {
    std::vector<std::uint8_t> record(SIM_MINUTIAE_SIZE, 0);
    SFingerShape s = ShapeOf(finger);
    CFingerRandom rnd(static_cast<std::uint64_t>(finger) * 104729 + 3);
    int count = 24 + static_cast<int>(rnd.Next() % 24);  // 24..47 minutiae
    record[0] = 1;
    record[1] = static_cast<std::uint8_t>(count);
    int period = static_cast<int>(s.period * 10);
    record[2] = static_cast<std::uint8_t>(period >> 8);
    record[3] = static_cast<std::uint8_t>(period);
    std::size_t at = 4;
    for (int i = 0; i < count; ++i) {
        int x = 20 + static_cast<int>(rnd.Next() % (SIM_IMAGE_WIDTH - 40));
        int y = 20 + static_cast<int>(rnd.Next() % (SIM_IMAGE_HEIGHT - 40));
        record[at++] = static_cast<std::uint8_t>(x >> 8);
        record[at++] = static_cast<std::uint8_t>(x);
        record[at++] = static_cast<std::uint8_t>(y >> 8);
        record[at++] = static_cast<std::uint8_t>(y);
        record[at++] = static_cast<std::uint8_t>(rnd.Next());
        record[at++] = static_cast<std::uint8_t>(1 + rnd.Next() % 2);
    }
    while (at < SIM_MINUTIAE_SIZE) record[at++] = static_cast<std::uint8_t>(rnd.Next());
    return record;
}
