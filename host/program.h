// One program of the bank: sixteen parameter values, a row of per-key offsets
// for every parameter and a name. The record is also the state chunk's format,
// so its layout is fixed byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kNumKeys = 88;
constexpr int kNumParams = 16;
constexpr int kNumPrograms = 10;
constexpr int kProgramNameSize = 24;

enum ParameterIndex {
    kVolume = 0,
    kTranspose,
    kTuning,
    kUnison,
    kSustain,
    kDamper,
    kSoftness,
    kHammerPos,
    kBridgePos,
    kForce,
    kSharpness,
    kHardness,
    kMaterial,
    kRoundness,
    kVeloSoft,
    kVeloDynamics,
};

struct Program {
    float param[kNumParams];                  // nominally 0..1
    std::int8_t keyOffset[kNumParams][kNumKeys];  // o stands for o * 0.5 / 127
    char name[kProgramNameSize];              // NUL-terminated when written by us
};

static_assert(sizeof(Program) == 1496, "Program record is the 1496-byte program chunk");
static_assert(offsetof(Program, keyOffset) == 64, "chunk layout");
static_assert(offsetof(Program, name) == 1472, "chunk layout");

// The ten factory programs, copied into every new bank.
extern const Program pminit[kNumPrograms];
