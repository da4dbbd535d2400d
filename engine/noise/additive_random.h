// A private random generator that yields exactly the sequence of the GNU C
// library's rand() (its default additive feedback generator of degree 31),
// seeded as srand(seed) seeds it. It keeps its state in the object, so the
// instrument's noise never depends on, or disturbs, the process's rand().
#pragma once

#include <cstdint>

class AdditiveRandom {
public:
    explicit AdditiveRandom(std::uint32_t seed = 1) {
        // The C library treats seed 0 as 1.
        if (seed == 0) seed = 1;
        state[0] = seed;
        auto word = static_cast<std::int32_t>(seed);
        // The first 31 words: a Lehmer sequence (16807 * x mod 2^31 - 1),
        // computed with Schrage's method as the library does.
        for (int i = 1; i < kDegree; ++i) {
            const std::int32_t hi = word / 127773;
            const std::int32_t lo = word % 127773;
            word = 16807 * lo - 2836 * hi;
            if (word < 0) word += 2147483647;
            state[i] = static_cast<std::uint32_t>(word);
        }
        front = kSeparation;
        rear = 0;
        // The library discards the first 310 outputs after seeding.
        for (int i = 0; i < 10 * kDegree; ++i) next();
    }

    // The next value, 0 .. 2^31 - 1, as rand() would return it.
    std::int32_t next() {
        state[front] += state[rear];
        const std::uint32_t result = state[front] >> 1;
        front = front + 1 == kDegree ? 0 : front + 1;
        rear = rear + 1 == kDegree ? 0 : rear + 1;
        return static_cast<std::int32_t>(result);
    }

private:
    static constexpr int kDegree = 31;     // words of state
    static constexpr int kSeparation = 3;  // distance between the two taps
    std::uint32_t state[kDegree];
    int front;
    int rear;
};
