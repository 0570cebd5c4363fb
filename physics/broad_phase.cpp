// The broad phase of World::step: the candidate pairs of a step, found once, in sweep order.
#include <algorithm>
#include <cmath>
#include <limits>

#include "step_scratch.h"

namespace scrapvolt {

namespace {

bool circlesOverlap(const StepScratch& s, uint32_t i, uint32_t j) {
    const float dx = s.centreX[j] - s.centreX[i];
    const float dy = s.centreY[j] - s.centreY[i];
    const float rr = s.radius[j] + s.radius[i];
    return dx * dx + dy * dy <= rr * rr;  // as Body::collide tests them
}

// Puts every body with a finite circle of ordinary size into the horizontal bands its circle
// (with a margin far above rounding) reaches, each band listing its bodies in sorted order.
// Others (large, like walls, or not finite) are listed apart and swept against every body.
void fillBands(StepScratch& s, uint32_t n) {
    double radiusSum = 0.0;
    uint32_t finite = 0;
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (uint32_t k = 0; k < n; ++k) {
        if (std::isfinite(s.centreX[k]) && std::isfinite(s.centreY[k]) &&
            std::isfinite(s.radius[k])) {
            radiusSum += s.radius[k];
            ++finite;
        }
    }
    const double average = finite > 0 ? radiusSum / finite : 1.0;
    s.bandHeight = static_cast<float>(4.0 * average) + 1e-3f;
    s.large.clear();
    s.large.reserve(n + 1);
    s.bandOf.resize(n);
    // Room for the most bands and memberships there can be, so that later steps allocate nothing.
    s.bandStart.reserve(4096 + 3);
    s.bandFill.reserve(4096 + 2);
    s.bandMembers.reserve(6 * static_cast<size_t>(n));
    s.found.reserve(n);
    for (uint32_t k = 0; k < n; ++k) {
        const float r = s.radius[k];
        const bool ordinary = std::isfinite(s.centreX[k]) && std::isfinite(s.centreY[k]) &&
                              std::isfinite(r) && r <= 2.0f * s.bandHeight;
        if (!ordinary) {
            s.large.push_back(k);
            s.bandOf[k] = {1, 0};
            continue;
        }
        low = std::min(low, s.centreY[k] - r);
        high = std::max(high, s.centreY[k] + r);
        s.bandOf[k] = {0, 0};
    }
    s.large.push_back(n);  // end mark
    if (!(low <= high)) {
        s.bandStart.assign(2, 0);
        return;
    }
    float height = s.bandHeight;
    while ((high - low) / height > 4096.0f) {
        height *= 2.0f;
    }
    const auto bandAt = [&](float y) {
        return static_cast<int32_t>(std::floor((y - low) / height));
    };
    const int32_t bands = bandAt(high) + 2;
    s.bandStart.assign(static_cast<size_t>(bands) + 1, 0);
    for (uint32_t k = 0; k < n; ++k) {
        if (s.bandOf[k].first != 0 || s.bandOf[k].second != 0) {
            continue;
        }
        const float margin = 0.01f * height + 1e-5f * (std::fabs(s.centreY[k]) + s.radius[k]);
        const int32_t first = std::max(0, bandAt(s.centreY[k] - s.radius[k] - margin));
        const int32_t last = std::min(bands - 1, bandAt(s.centreY[k] + s.radius[k] + margin));
        s.bandOf[k] = {first, last};
        for (int32_t b = first; b <= last; ++b) {
            ++s.bandStart[b + 1];
        }
    }
    for (int32_t b = 0; b < bands; ++b) {
        s.bandStart[b + 1] += s.bandStart[b];
    }
    s.bandMembers.resize(s.bandStart[bands]);
    s.bandFill.assign(s.bandStart.begin(), s.bandStart.end() - 1);
    for (uint32_t k = 0; k < n; ++k) {
        if (s.bandOf[k].first == 1 && s.bandOf[k].second == 0) {
            continue;  // large
        }
        for (int32_t b = s.bandOf[k].first; b <= s.bandOf[k].second; ++b) {
            s.bandMembers[s.bandFill[b]++] = k;
        }
    }
}

// The pairs of large body i: the bodies after it whose intervals start left of its right end and
// whose circles overlap its own. A wall's circle takes in about every other body of its
// interval, as good as at random, so each candidate is written and kept or not by its test
// instead of a branch.
void sweepLarge(StepScratch& s, uint32_t i, uint32_t n) {
    uint32_t end = i + 1;
    while (end < n && s.minX[end] < s.maxX[i]) {
        ++end;
    }
    size_t size = s.pairs.size();
    s.pairs.resize(size + (end - i - 1));
    for (uint32_t j = i + 1; j < end; ++j) {
        s.pairs[size] = StepScratch::Pair{i, j};
        size += circlesOverlap(s, i, j) ? 1 : 0;
    }
    s.pairs.resize(size);
}

}  // namespace

// The pairs a pass tests, in the order it tests them: for each body in sorted order, the bodies
// after it whose interval starts strictly left of its right end and whose circle overlaps or
// touches its own. Intervals and circles keep their integrated values through every pass, so
// this list is the same for all of them; pairs it leaves out would fail the circle pre-test of
// Body::collide, which has no effect. Bodies whose circles overlap share a band, so an
// ordinary body looks only at its bands' members and at the large bodies.
void findPairs(StepScratch& s, uint32_t n) {
    s.pairs.clear();
    fillBands(s, n);
    const float* minX = s.minX.data();
    std::vector<uint32_t>& found = s.found;
    size_t nextLarge = 0;
    // Each band's cursor: its first member after the body at hand (bodies come in sorted order,
    // so the cursors only move forward).
    std::vector<uint32_t>& cursor = s.bandFill;
    cursor.assign(s.bandStart.begin(), s.bandStart.end() - 1);
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const float maxX = s.maxX[i];
        while (s.large[nextLarge] <= i) {
            ++nextLarge;
        }
        const std::pair<int32_t, int32_t> bands = s.bandOf[i];
        if (bands.first == 1 && bands.second == 0) {  // large: against every body
            sweepLarge(s, i, n);
            continue;
        }
        found.clear();
        int32_t sources = 0;  // lists that gave pairs: from two on, sorted and merged
        for (int32_t b = bands.first; b <= bands.second; ++b) {
            const uint32_t* m = s.bandMembers.data() + cursor[b];
            const uint32_t* end = s.bandMembers.data() + s.bandStart[b + 1];
            while (m != end && *m <= i) {
                ++m;
            }
            cursor[b] = static_cast<uint32_t>(m - s.bandMembers.data());
            const size_t before = found.size();
            for (; m != end && minX[*m] < maxX; ++m) {
                if (circlesOverlap(s, i, *m)) {
                    found.push_back(*m);
                }
            }
            sources += found.size() != before;
        }
        const size_t before = found.size();
        for (size_t l = nextLarge; s.large[l] < n && minX[s.large[l]] < maxX; ++l) {
            if (circlesOverlap(s, i, s.large[l])) {
                found.push_back(s.large[l]);
            }
        }
        sources += found.size() != before;
        if (sources > 1) {
            std::sort(found.begin(), found.end());
            found.erase(std::unique(found.begin(), found.end()), found.end());
        }
        for (const uint32_t j : found) {
            s.pairs.push_back(StepScratch::Pair{i, j});
        }
    }
}

}  // namespace scrapvolt
