// Factory contents of the ten programs. Programs 7, 8 and 9 repeat program 6.
// Each value is the shortest decimal that reads back as the stored float.
#include "host/program.h"

namespace {

constexpr Program makeProgram(const float (&param)[kNumParams], const char* name) {
    Program p{};
    for (int i = 0; i < kNumParams; ++i) p.param[i] = param[i];
    for (int i = 0; name[i] != 0 && i < kProgramNameSize - 1; ++i) p.name[i] = name[i];
    return p;
}

constexpr Program withRow(Program p, int param, const std::int8_t (&row)[kNumKeys]) {
    for (int k = 0; k < kNumKeys; ++k) p.keyOffset[param][k] = row[k];
    return p;
}

constexpr std::int8_t brightForce[kNumKeys] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -3,
    -5, -7, -6, -5, -5, -5, -5, -6, -7, -9, -10,
    -12, -12, -13, -13, -14, -15, -16, -18, -20, -21, -22,
    -22, -23, -23, -23, -23, -24, -26, -27, -30, -32, -35,
    -37, -39, -40, -42, -44, -45, -45, -45, -46, -49, -52,
};

constexpr std::int8_t untunedTuning[kNumKeys] = {
    14, 8, -3, 18, -21, -20, -7, -17, -2, 14, 13,
    -27, 4, -21, 4, 3, -26, 1, 10, -5, 30, 9,
    5, -4, -3, -13, 0, 15, -15, 6, 38, 2, -14,
    0, -8, 18, 5, 7, -14, -31, -3, 6, 24, 6,
    9, 11, 33, -27, 20, 0, -1, 1, 18, 10, 36,
    54, 25, 8, 28, -3, 33, 9, -27, 26, -14, 35,
    29, 19, 20, -1, 25, 20, 13, 6, 16, -9, 5,
    19, 1, 11, 11, 28, 54, 23, 27, 81, 21, 13,
};

constexpr std::int8_t plingSoftness[kNumKeys] = {
    103, 101, 97, 94, 94, 93, 93, 91, 88, 88, 86,
    81, 79, 76, 70, 67, 67, 67, 64, 64, 63, 60,
    56, 55, 53, 53, 52, 52, 50, 47, 43, 39, 38,
    38, 38, 36, 33, 31, 29, 25, 22, 21, 15, 14,
    8, 7, 4, 1, 1, -2, -4, -5, -7, -9, -11,
    -11, -11, -14, -14, -15, -16, -19, -23, -26, -26, -28,
    -29, -31, -32, -33, -33, -33, -38, -40, -43, -43, -43,
    -46, -47, -47, -49, -50, -52, -52, -52, -55, -55, -55,
};

constexpr std::int8_t damperSoftness[kNumKeys] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 1, 2, 4, 6, 8, 10, 12, 14, 16,
    18, 20, 22, 23, 24, 25, 26, 27, 29, 30, 31,
    32, 33, 34, 35, 36, 38, 40, 41, 42, 44, 45,
    49, 52, 53, 53, 56, 56, 56, 56, 57, 57, 59,
};

constexpr float brightParams[kNumParams] = {
    0.7009346f, 0.5f, 0.5f, 0.55140185f,
    0.85f, 0.2947196f, 0.20626168f, 0.1688785f,
    0.702243f, 0.86915886f, 0.89719623f, 0.59878504f,
    0.99f, 0.5f, 0.5f, 0.7757009f,
};
constexpr float muffledParams[kNumParams] = {
    0.5f, 0.5f, 0.5f, 0.6f,
    0.8037383f, 0.2990654f, 0.25233644f, 0.12911215f,
    0.81f, 0.7009346f, 0.24299066f, 0.55140185f,
    0.57009345f, 0.49532712f, 0.5f, 0.8f,
};
constexpr float untunedParams[kNumParams] = {
    0.5f, 0.5f, 0.5f, 0.8317757f,
    0.85f, 0.2f, 0.2990654f, 0.1682243f,
    0.44859812f, 0.5f, 0.6728972f, 0.6728972f,
    0.48598132f, 0.5f, 0.5f, 0.8f,
};
constexpr float plingParams[kNumParams] = {
    0.5f, 0.5f, 0.5f, 0.6f,
    0.6168224f, 0.018691588f, 0.8037383f, 0.12f,
    0.81f, 0.5f, 0.40186915f, 0.6542056f,
    0.7757009f, 0.5f, 0.5f, 0.8f,
};
constexpr float xambaParams[kNumParams] = {
    0.5f, 0.5f, 0.5f, 0.6f,
    0.6168224f, 0.2f, 0.7570093f, 0.5f,
    0.8598131f, 0.5f, 0.7943925f, 0.5f,
    0.7570093f, 0.5140187f, 0.5046729f, 0.5046729f,
};
constexpr float damperParams[kNumParams] = {
    0.5f, 0.5f, 0.5f, 0.55140185f,
    0.7570093f, 0.5420561f, 0.22429906f, 0.18691589f,
    0.46728972f, 0.60747665f, 0.49532712f, 0.6542056f,
    0.7757009f, 0.5607477f, 0.5f, 0.8f,
};
constexpr float plainParams[kNumParams] = {
    0.5f, 0.5f, 0.5f, 0.6f,
    0.85f, 0.2f, 0.15f, 0.12f,
    0.81f, 0.5f, 0.17f, 0.8f,
    0.33f, 0.1f, 0.5f, 0.8f,
};

}  // namespace

const Program pminit[kNumPrograms] = {
    withRow(makeProgram(brightParams, "bright"), kForce, brightForce),
    makeProgram(muffledParams, "muffled"),
    withRow(makeProgram(untunedParams, "untuned"), kTuning, untunedTuning),
    withRow(makeProgram(plingParams, "pling"), kSoftness, plingSoftness),
    makeProgram(xambaParams, "xamba"),
    withRow(makeProgram(damperParams, "damper"), kSoftness, damperSoftness),
    makeProgram(plainParams, "-"),
    makeProgram(plainParams, "-"),
    makeProgram(plainParams, "-"),
    makeProgram(plainParams, "-"),
};
