#pragma once
// The particle simulation: an emitter with its parameters (ParticleInfo), a fixed pool of 200
// particles and the arithmetic that moves them. Everything is float and runs in the order
// written here, with the random numbers drawn in a fixed order from one process-wide generator,
// so a run from the same seed gives the same particles to the bit.

#include <cmath>
#include <cstdint>

#include "render/particles/ParticleInfo.h"

namespace particle_math {

constexpr float kPi = 3.14159265f;
constexpr float kTwoPi = 6.28318531f;
constexpr float kHalfPi = 1.57079632f;
// The quarter turn taken off the emission direction.
constexpr float kEmissionQuarterTurn = 1.5707964f;

// The process-wide generator's state. Starts at 0; only the particle emitters draw from it.
inline uint32_t randomSeed = 0;

// A number between a and b from the next state of the generator.
inline float Random(float a, float b)
{
    randomSeed = randomSeed * 214013u + 2531011u;
    const auto k = static_cast<float>((randomSeed >> 16) & 0xFFFFu);
    return a + (k * (1.0f / 65535.0f)) * (b - a);
}

// A parabola through the sine's zeros and peaks, close to within about 0.001.
inline float FastSinWrapped(float x)
{
    const float ax = x < 0.0f ? -x : x;
    const float y = 1.27323954f * x - 0.405284735f * x * ax;
    const float ay = y < 0.0f ? -y : y;
    return y + 0.225f * (y * ay - y);
}

// An angle that one turn does not bring within half a turn of zero is brought there the long
// way: outside it the parabola grows without bound (a "sine" of 3 or more). Angles one turn
// reaches keep the one addition or subtraction, to the bit.
inline float WithinHalfTurn(float x)
{
    if (!(x >= -kPi && x <= kPi) && std::isfinite(x))
        x = std::remainder(x, kTwoPi);
    return x;
}

inline float FastSin(float x)
{
    if (x < -kPi)
        x += kTwoPi;
    else if (x > kPi)
        x -= kTwoPi;
    return FastSinWrapped(WithinHalfTurn(x));
}

inline float FastCos(float x)
{
    x += kHalfPi;
    if (x > kPi)
        x -= kTwoPi;
    return FastSinWrapped(WithinHalfTurn(x));
}

// 1/n, from a table of 513 values for 0 <= n <= 512 (1/0 is infinity).
float Reciprocal(int32_t n);

}  // namespace particle_math

// One particle: 22 floats.
struct Particle {
    float x, y;
    float velocityX, velocityY;
    float gravity;
    float radialAccel;
    float tangentialAccel;
    float spin;
    float spinDelta;
    float angle;
    float size;
    float sizeDelta;
    float red, green, blue, alpha;
    float redDelta, greenDelta, blueDelta, alphaDelta;
    float age;
    float terminalAge;
};

class ParticleEmitter {
public:
    static constexpr int32_t kPoolSize = 200;
    // Emitter ages with a meaning of their own.
    static constexpr float kStopped = -2.0f;
    static constexpr float kEndless = -1.0f;
    static constexpr float kDefaultUpdateSpeed = 1.0f / 30.0f;

    struct Point {
        float x = 0.0f;
        float y = 0.0f;
    };

    // Runs the fixed step once the elapsed time has collected up to it (at most one step per
    // call, the rest of the time dropped); with fUpdSpeed 0 (or not above 0) one step of t.
    void Advance(float t);
    // One step of the simulation: the emitter's age, the live particles, the new ones.
    void Step(float dt);
    // Moves the emitter to (x, y); with moveParticles, the live particles move along.
    void MoveTo(float x, float y, bool moveParticles);
    // Starts the emitter (again); an endless one gets the age -1. The collected time is dropped.
    void Fire();
    // Fire, keeping the time collected towards the next fixed step: drawing keeps an emitter
    // alive this way, and a step longer than the tick must still come round between draws.
    void KeepAlive();
    // Stops emitting; killParticles also removes the live ones and the collected time.
    void Stop(bool killParticles);
    // Stops, moves to (x, y) without the particles, and fires from there.
    void FireAt(float x, float y);

    const Particle* Particles() const { return pool; }
    int32_t Count() const { return count; }

    ParticleInfo info;
    float fInitAngleDelta = 0.0f;  // added to every new particle's angle
    float fUpdSpeed = kDefaultUpdateSpeed;  // the fixed step; 0 for the elapsed time
    float age = kStopped;  // seconds since fired; kStopped, or kEndless
    float accumulator = 0.0f;  // time collected towards the next fixed step
    float residue = 0.0f;  // the part of a particle not yet emitted
    Point previous;
    Point current;
    Point offset;  // added to every particle where it is drawn
    float scale = 1.0f;
    int32_t count = 0;
    Particle pool[kPoolSize]{};

private:
    void Emit(Particle& p) const;
};
