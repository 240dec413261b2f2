#include "render/particles/ParticleEmitter.h"

#include <cmath>
#include <limits>

#include "render/pictures/Sprite.h"

namespace particle_math {

float Reciprocal(int32_t n)
{
    constexpr int32_t kTableSize = 513;
    struct Table {
        float values[kTableSize];
        Table()
        {
            values[0] = std::numeric_limits<float>::infinity();
            for (int32_t i = 1; i < kTableSize; ++i)
                values[i] = 1.0f / static_cast<float>(i);
        }
    };
    static const Table table;
    if (n >= 0 && n < kTableSize)
        return table.values[n];
    return 1.0f / static_cast<float>(n);
}

}  // namespace particle_math

namespace {

// More subtractions than this would mean a step far below the tick: the remainder is then taken
// at once, since a step under the accumulator's precision would never bring it down.
constexpr float kMostSubtractions = 64.0f;

}  // namespace

void ParticleEmitter::Advance(float t)
{
    if (!(fUpdSpeed > 0.0f)) {
        Step(t);
        return;
    }
    accumulator += t;
    if (!(accumulator >= fUpdSpeed))
        return;
    Step(fUpdSpeed);
    if (accumulator / fUpdSpeed > kMostSubtractions) {
        accumulator = std::fmod(accumulator, fUpdSpeed);
        return;
    }
    while (accumulator >= fUpdSpeed)
        accumulator -= fUpdSpeed;
}

void ParticleEmitter::Step(float dt)
{
    if (age >= 0.0f) {
        age += dt;
        if (age >= info.fLifetime)
            age = kStopped;
    }

    // Ages first: a dying particle takes the last one's place, and that one is aged in its turn.
    // Nothing in the motion below depends on another particle or on an age, so moving the
    // survivors in a second pass gives what one pass would, in a loop the compiler can keep tight.
    for (int32_t i = 0; i < count;) {
        Particle& p = pool[i];
        p.age += dt;
        if (p.age >= p.terminalAge) {
            --count;
            p = pool[count];
        } else {
            ++i;
        }
    }
    // Locals: the stores below are floats and could otherwise be taken for these members.
    const float centreX = current.x;
    const float centreY = current.y;
    const float factor = scale;
    const int32_t live = count;
    for (int32_t i = 0; i < live; ++i) {
        Particle& p = pool[i];
        // The unit vector from the emitter to the particle; none for a particle on the emitter.
        float dx = p.x - centreX;
        float dy = p.y - centreY;
        const float length = std::sqrt(dx * dx + dy * dy);
        dx = length != 0.0f ? dx / length : 0.0f;
        dy = length != 0.0f ? dy / length : 0.0f;
        const float radialX = dx * p.radialAccel;
        const float radialY = dy * p.radialAccel;
        const float tangentialX = -dy * p.tangentialAccel;
        const float tangentialY = dx * p.tangentialAccel;
        p.velocityX += (radialX + tangentialX) * dt;
        p.velocityY += (radialY + tangentialY) * dt;
        p.velocityY += p.gravity * dt;
        // Speeds are pixels per step: the elapsed time does not enter here.
        p.x += p.velocityX * factor;
        p.y += p.velocityY * factor;
        p.spin += p.spinDelta * dt;
        p.size += p.sizeDelta * dt;
        p.red += p.redDelta * dt;
        p.green += p.greenDelta * dt;
        p.blue += p.blueDelta * dt;
        p.alpha += p.alphaDelta * dt;
    }

    if (age != kStopped) {
        const float wanted = residue + static_cast<float>(info.nEmission) * dt;
        int32_t n = TruncateToInt(wanted);
        residue = wanted - static_cast<float>(n);
        // The pool is full at 200: the rest are never made.
        if (n > kPoolSize - count)
            n = kPoolSize - count;
        for (int32_t k = 0; k < n; ++k)
            Emit(pool[count++]);
    }
    previous = current;
}

void ParticleEmitter::Emit(Particle& p) const
{
    using namespace particle_math;
    const ParticleInfo& in = info;
    p.age = 0.0f;
    p.terminalAge = Random(in.fParticleLifeMin, in.fParticleLifeMax);
    const float rate = 100.0f * Reciprocal(TruncateToInt(p.terminalAge * 100.0f));

    // Spread along the way the emitter went since the last step, then jittered.
    const float along = Random(0.0f, 1.0f);
    p.x = previous.x + (current.x - previous.x) * along;
    p.y = previous.y + (current.y - previous.y) * along;
    p.x += Random(-2.0f, 2.0f) * scale;
    p.y += Random(-2.0f, 2.0f) * scale;

    float direction = in.fDirection - kEmissionQuarterTurn + Random(0.0f, in.fSpread) - in.fSpread / 2.0f;
    if (in.bRelative != 0)
        direction += std::atan2(previous.y - current.y, previous.x - current.x) + kEmissionQuarterTurn;
    const float cosine = FastCos(direction);
    const float sine = FastSin(direction);
    const float speed = Random(in.fSpeedMin, in.fSpeedMax);
    p.velocityX = cosine * speed;
    p.velocityY = sine * speed;

    p.gravity = Random(in.fGravityMin, in.fGravityMax);
    p.radialAccel = Random(in.fRadialAccelMin, in.fRadialAccelMax);
    p.tangentialAccel = Random(in.fTangentialAccelMin, in.fTangentialAccelMax);

    p.size = Random(in.fSizeStart, in.fSizeStart + (in.fSizeEnd - in.fSizeStart) * in.fSizeVar);
    p.sizeDelta = (in.fSizeEnd - p.size) * rate;
    p.spin = Random(in.fSpinStart, in.fSpinStart + (in.fSpinEnd - in.fSpinStart) * in.fSpinVar);
    p.spinDelta = (in.fSpinEnd - p.spin) * rate;
    p.angle = std::atan2(p.velocityY, p.velocityX) + fInitAngleDelta;

    const ParticleColor& from = in.colorStart;
    const ParticleColor& to = in.colorEnd;
    p.red = Random(from.red, from.red + (to.red - from.red) * in.fColorVar);
    p.green = Random(from.green, from.green + (to.green - from.green) * in.fColorVar);
    p.blue = Random(from.blue, from.blue + (to.blue - from.blue) * in.fColorVar);
    p.alpha = Random(from.alpha, from.alpha + (to.alpha - from.alpha) * in.fAlphaVar);
    p.redDelta = (to.red - p.red) * rate;
    p.greenDelta = (to.green - p.green) * rate;
    p.blueDelta = (to.blue - p.blue) * rate;
    p.alphaDelta = (to.alpha - p.alpha) * rate;
}

void ParticleEmitter::MoveTo(float x, float y, bool moveParticles)
{
    if (moveParticles) {
        const float dx = x - current.x;
        const float dy = y - current.y;
        for (int32_t i = 0; i < count; ++i) {
            pool[i].x += dx;
            pool[i].y += dy;
        }
        previous.x += dx;
        previous.y += dy;
    } else if (age == kStopped) {
        previous = Point{x, y};
    } else {
        previous = current;
    }
    current = Point{x, y};
}

void ParticleEmitter::Fire()
{
    age = info.fLifetime == kEndless ? kEndless : 0.0f;
    accumulator = 0.0f;
}

void ParticleEmitter::KeepAlive()
{
    const float collected = accumulator;
    Fire();
    accumulator = collected;
}

void ParticleEmitter::Stop(bool killParticles)
{
    age = kStopped;
    if (killParticles) {
        count = 0;
        residue = 0.0f;
        accumulator = 0.0f;
    }
}

void ParticleEmitter::FireAt(float x, float y)
{
    Stop(false);
    MoveTo(x, y, false);
    previous = Point{x, y};
    Fire();
}
