#include "broad_phase.h"

#include <algorithm>
#include <cmath>

namespace scrapvolt {

namespace {

// Key order: numbers ascending, NaN after every number and equal to any other NaN. A strict weak
// order whatever the keys are, so the insertion walk always stops.
bool keyBefore(float a, float b) {
    return a < b || (std::isnan(b) && !std::isnan(a));
}

bool circlesOverlap(const StepBody& a, const StepBody& b) {
    const float dx = b.centreX - a.centreX;
    const float dy = b.centreY - a.centreY;
    const float r = b.radius + a.radius;
    return dx * dx + dy * dy <= r * r;  // as Body::collide tests them
}

// Below this magnitude the circle test of two ordinary bodies cannot overflow, so that it passes
// only for circles that overlap to within rounding.
constexpr double ordinaryLimit = 1e18;
constexpr int32_t maxBands = 4096;

}  // namespace

// The place of an out-of-order key is found by walking back from the end of the sorted part: it
// is sorted, so the keys passed are exactly those not below the key.
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

// Band height: four average radii, so that a body spans two bands at most; the bands cover the
// ordinary bodies' circles, 4096 of them at most. Each ordinary body goes into every band its
// circle reaches with a margin far above the circle test's rounding, so that two bodies whose
// circles pass the test share a band. Computed in double: no float overflows here.
void BroadPhase::fillBands() {
    const uint32_t n = static_cast<uint32_t>(sorted.size());
    double radiusSum = 0.0;
    uint32_t finite = 0;
    const auto ordinarySize = [](const StepBody& b) {
        return std::fabs(b.centreX) <= ordinaryLimit && std::fabs(b.centreY) <= ordinaryLimit &&
               b.radius >= 0.0f && b.radius <= ordinaryLimit;  // false for NaN
    };
    for (const StepBody& b : sorted) {
        if (ordinarySize(b)) {
            radiusSum += b.radius;
            ++finite;
        }
    }
    double height = 4.0 * (finite > 0 ? radiusSum / finite : 1.0) + 1e-3;
    double low = INFINITY;
    double high = -INFINITY;
    // Room for the most there can be, so that later steps allocate nothing: a body reaches three
    // bands at most.
    large.clear();
    large.reserve(n + 1);
    bandsOf.resize(n);
    bandStart.reserve(maxBands + 2);
    cursor.reserve(maxBands + 1);
    bandMembers.reserve(3 * static_cast<size_t>(n));
    found.reserve(4 * static_cast<size_t>(n));  // a member of three bands comes up three times
    for (uint32_t k = 0; k < n; ++k) {
        const StepBody& b = sorted[k];
        if (ordinarySize(b) && b.radius <= 0.5 * height) {
            low = std::min(low, static_cast<double>(b.centreY) - b.radius);
            high = std::max(high, static_cast<double>(b.centreY) + b.radius);
            bandsOf[k] = Bands{0, 0};
        } else {
            large.push_back(k);
            bandsOf[k] = Bands{1, 0};
        }
    }
    large.push_back(n);  // end mark
    height = std::max(height, (high - low) / maxBands);
    const int32_t bands = low <= high ? static_cast<int32_t>((high - low) / height) + 1 : 0;
    const auto bandAt = [&](double y) {
        return static_cast<int32_t>(std::clamp(std::floor((y - low) / height), 0.0, bands - 1.0));
    };
    bandStart.assign(static_cast<size_t>(bands) + 1, 0);
    for (uint32_t k = 0; k < n; ++k) {
        if (bandsOf[k].low > bandsOf[k].high) {
            continue;
        }
        const StepBody& b = sorted[k];
        const double reach = b.radius + 0.01 * height + 1e-5 * (std::fabs(b.centreY) + b.radius);
        bandsOf[k] = Bands{bandAt(b.centreY - reach), bandAt(b.centreY + reach)};
        for (int32_t band = bandsOf[k].low; band <= bandsOf[k].high; ++band) {
            ++bandStart[band + 1];
        }
    }
    for (int32_t band = 0; band < bands; ++band) {
        bandStart[band + 1] += bandStart[band];
    }
    bandMembers.resize(bandStart[bands]);
    cursor.assign(bandStart.begin(), bandStart.end() - 1);
    for (uint32_t k = 0; k < n; ++k) {
        for (int32_t band = bandsOf[k].low; band <= bandsOf[k].high; ++band) {
            bandMembers[cursor[band]++] = k;
        }
    }
    cursor.assign(bandStart.begin(), bandStart.end() - 1);
}

// A large body (a wall's circle takes in about every other body of its interval, as good as at
// random): each candidate is written, and kept or not by its test, instead of a branch.
void BroadPhase::pairsOfLarge(uint32_t i) {
    const uint32_t n = static_cast<uint32_t>(sorted.size());
    uint32_t end = i + 1;
    while (end < n && sorted[end].minX < sorted[i].maxX) {
        ++end;
    }
    size_t size = pairs.size();
    pairs.resize(size + (end - i - 1));
    for (uint32_t j = i + 1; j < end; ++j) {
        pairs[size] = Pair{i, j};
        size += circlesOverlap(sorted[i], sorted[j]) ? 1 : 0;
    }
    pairs.resize(size);
}

// An ordinary body: its bands' members after it, then the large bodies after it; merged into
// sorted order when more than one list gave pairs.
void BroadPhase::pairsOfOrdinary(uint32_t i) {
    const StepBody& a = sorted[i];
    found.clear();
    int32_t sources = 0;
    for (int32_t band = bandsOf[i].low; band <= bandsOf[i].high; ++band) {
        const uint32_t* m = bandMembers.data() + cursor[band];
        const uint32_t* end = bandMembers.data() + bandStart[band + 1];
        while (m != end && *m <= i) {
            ++m;
        }
        cursor[band] = static_cast<uint32_t>(m - bandMembers.data());
        const size_t before = found.size();
        for (; m != end && sorted[*m].minX < a.maxX; ++m) {
            if (circlesOverlap(a, sorted[*m])) {
                found.push_back(*m);
            }
        }
        sources += found.size() != before;
    }
    const size_t before = found.size();
    for (size_t l = nextLarge; large[l] < sorted.size() && sorted[large[l]].minX < a.maxX; ++l) {
        if (circlesOverlap(a, sorted[large[l]])) {
            found.push_back(large[l]);
        }
    }
    sources += found.size() != before;
    if (sources > 1) {
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
    }
    for (const uint32_t j : found) {
        pairs.push_back(Pair{i, j});
    }
}

void BroadPhase::findPairs() {
    pairs.clear();
    pairs.reserve(8 *
                  sorted.size());  // a few per body, so that steps after the first rarely need more
    fillBands();
    nextLarge = 0;
    for (uint32_t i = 0; i + 1 < sorted.size(); ++i) {
        while (large[nextLarge] <= i) {
            ++nextLarge;
        }
        if (bandsOf[i].low > bandsOf[i].high) {
            pairsOfLarge(i);
        } else {
            pairsOfOrdinary(i);
        }
    }
}

}  // namespace scrapvolt
