#pragma once

#include <QList>

#include <cstdint>

namespace kestrel::demo {

// splitmix64: the same sequence on every compiler and library, unlike the
// distributions of <random>, so a seed always gives the same stores.
class DemoRandom {
public:
    explicit DemoRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // In [0, bound).
    std::int64_t below(std::int64_t bound)
    {
        return bound <= 0 ? 0 : std::int64_t(next() % std::uint64_t(bound));
    }
    // In [low, high].
    std::int64_t between(std::int64_t low, std::int64_t high)
    {
        return low + below(high - low + 1);
    }
    bool chance(int percent) { return below(100) < percent; }

    template <typename T> const T& pick(const QList<T>& list)
    {
        return list.at(below(list.size()));
    }

private:
    std::uint64_t m_state;
};

} // namespace kestrel::demo
