#include "broad_phase.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace scrapvolt {

namespace {

// Numbers ascending, NaN last: a strict weak order whatever the keys, so the walk always stops.
bool keyBefore(float a, float b) {
    return a < b || (std::isnan(b) && !std::isnan(a));
}

// Below this the circle test cannot overflow: it passes only for circles overlapping to rounding.
constexpr double ordinaryLimit = 1e18;
constexpr int32_t maxBands = 4096;

}  // namespace

// Walking back from the end of the sorted part passes exactly the keys not below the key.
void insertionSort(std::vector<SortKey>& keys) {
    for (size_t q = 1; q < keys.size(); ++q) {
        const SortKey key = keys[q];
        if (!keyBefore(key.minX, keys[q - 1].minX)) {
            continue;
        }
        size_t k = q;
        for (; k > 0 && !keyBefore(keys[k - 1].minX, key.minX); --k) {
            keys[k] = keys[k - 1];
        }
        keys[k] = key;
    }
}

// An ordinary body joins every band its circle reaches with a margin far above the circle test's
// rounding (monotone, clamped to the ends), so circles that pass the test share a band. The next
// layout, in double (no overflow): bands of four mean radii (a body reaches three), 4096 at most.
void BroadPhase::fillBands() {
    used_ = Layout{height_, low_, bands_};
    const uint32_t n = static_cast<uint32_t>(sorted.size());
    large.clear();
    large.reserve(n + 1);
    bandsOf.resize(n);
    bandStart.reserve(maxBands + 2);
    cursor.reserve(maxBands + 1);
    bandMembers.reserve(3 * static_cast<size_t>(n));
    found.resize(std::max(found.size(), 4 * static_cast<size_t>(n)));  // 3 bands, the large
    bandStart.assign(static_cast<size_t>(bands_) + 1, 0);
    const double scale = 1.0 / height_;
    const auto bandAt = [&](double y) {
        return static_cast<int32_t>(std::clamp((y - low_) * scale, 0.0, bands_ - 1.0));
    };
    double radiusSum = 0.0;
    uint32_t ordinary = 0;
    double low = INFINITY, high = -INFINITY;
    for (uint32_t k = 0; k < n; ++k) {
        const BoundingCircle& b = sorted[k].circle;
        const double r = b.radius;
        const bool bounded = std::fabs(b.centreX) <= ordinaryLimit &&  // false for NaN
                             std::fabs(b.centreY) <= ordinaryLimit && r >= 0.0 &&
                             r <= ordinaryLimit;
        if (bounded) {
            radiusSum += r;
            ++ordinary;
            low = std::min(low, b.centreY - r);
            high = std::max(high, b.centreY + r);
        }
        if (!bounded || r > 0.5 * height_) {
            bandsOf[k] = Bands{1, 0};
            large.push_back(k);
            continue;
        }
        used_.widest = std::max(used_.widest, 2.0 * r);
        const double reach = r + 0.01 * height_ + 1e-5 * (std::fabs(b.centreY) + r);
        bandsOf[k] = Bands{bandAt(b.centreY - reach), bandAt(b.centreY + reach)};
        for (int32_t band = bandsOf[k].low; band <= bandsOf[k].high; ++band) {
            ++bandStart[band + 1];
        }
    }
    large.push_back(n);  // end mark
    std::partial_sum(bandStart.begin(), bandStart.end(), bandStart.begin());
    bandMembers.resize(bandStart[bands_]);
    cursor.assign(bandStart.begin(), bandStart.end() - 1);
    for (uint32_t k = 0; k < n; ++k) {
        for (int32_t band = bandsOf[k].low; band <= bandsOf[k].high; ++band) {
            bandMembers[cursor[band]++] = k;
        }
    }
    cursor.assign(bandStart.begin(), bandStart.end() - 1);
    if (ordinary > 0) {
        height_ = std::max(4.0 * radiusSum / ordinary + 1e-3, (high - low) / maxBands);
        low_ = low;
        bands_ = static_cast<int32_t>((high - low) / height_) + 1;
    }
}

// A large body: a wall's circle takes in about every other body of its interval, near at random.
uint32_t BroadPhase::pairsOfLarge(uint32_t i) {
    uint32_t count = 0;  // candidates in found, which has room for every body
    for (uint32_t j = i + 1; j < sorted.size() && sorted[j].minX < sorted[i].maxX; ++j) {
        found[count] = j;  // written, then kept or not by its test: no branch to mispredict
        count += circlesOverlap(sorted[i].circle, sorted[j].circle) ? 1 : 0;
    }
    return count;
}

// An ordinary body: its bands' members after it, then the large bodies after it. Each list comes
// in sorted order; from two lists on, they are merged (a member of two bands comes up twice).
uint32_t BroadPhase::pairsOfOrdinary(uint32_t i) {
    const StepCircle& a = sorted[i];
    uint32_t count = 0;  // candidates in found
    int32_t sources = 0;
    // Room for every member of the body's bands and every large body. Three bands and the large
    // bodies fit in the room made for a step; far from the origin a body reaches more bands.
    if (bandsOf[i].high - bandsOf[i].low > 2) {
        const size_t room =
            bandStart[bandsOf[i].high + 1] - bandStart[bandsOf[i].low] + large.size();
        found.resize(std::max(room, found.size()));
    }
    const auto take = [&](const uint32_t* m, const uint32_t* end) {
        const uint32_t before = count;
        for (; m != end && sorted[*m].minX < a.maxX; ++m) {
            found[count] = *m;  // written, then kept or not by its test: no branch to mispredict
            count += circlesOverlap(a.circle, sorted[*m].circle) ? 1 : 0;
        }
        sources += count != before;
    };
    for (int32_t band = bandsOf[i].low; band <= bandsOf[i].high; ++band) {
        const uint32_t* m = bandMembers.data() + cursor[band];
        const uint32_t* end = bandMembers.data() + bandStart[band + 1];
        while (m != end && *m <= i) {
            ++m;
        }
        cursor[band] = static_cast<uint32_t>(m - bandMembers.data());
        take(m, end);
    }
    take(large.data() + nextLarge, large.data() + large.size() - 1);  // without the end mark
    if (sources > 1) {
        std::sort(found.begin(), found.begin() + count);
        count = static_cast<uint32_t>(std::unique(found.begin(), found.begin() + count) -
                                      found.begin());
    }
    return count;
}

void BroadPhase::findPairs() {
    pairs.clear();
    pairs.reserve(8 * sorted.size());  // a few per body: later steps rarely need more
    fillBands();
    nextLarge = 0;
    for (uint32_t i = 0; i + 1 < sorted.size(); ++i) {
        while (large[nextLarge] <= i) {
            ++nextLarge;
        }
        const uint32_t count =
            bandsOf[i].low > bandsOf[i].high ? pairsOfLarge(i) : pairsOfOrdinary(i);
        for (uint32_t k = 0; k < count; ++k) {
            pairs.push_back(Pair{i, found[k]});
        }
    }
}

}  // namespace scrapvolt
