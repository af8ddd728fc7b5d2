#include "tavgraphics.h"

#include <algorithm>
#include <limits>

namespace {

// Left + extent without overflow: stored values may be anything.
int32_t clampedSum(int32_t A, int64_t B)
{
    const int64_t sum = int64_t(A) + B;
    return int32_t(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// Distance from a coordinate to the half-open range [Lo, Hi).
int64_t axisDistance(int64_t V, int64_t Lo, int64_t Hi)
{
    if (V < Lo)
        return Lo - V;
    if (V >= Hi)
        return V - Hi + 1;
    return 0;
}

} // namespace

bool RangesOverlap(int32_t A1, int32_t A2, int32_t B1, int32_t B2)
{
    return (A1 <= B1 && B1 <= A2) || (A1 <= B2 && B2 <= A2) || (B1 <= A1 && A1 <= B2)
        || (B1 <= A2 && A2 <= B2);
}

bool RectsOverlap(const TRect &R1, const TRect &R2)
{
    return RangesOverlap(R1.Left, R1.Right, R2.Left, R2.Right)
        && RangesOverlap(R1.Top, R1.Bottom, R2.Top, R2.Bottom);
}

int MonitorFromPoint(int32_t X, int32_t Y)
{
    const QList<TRect> monitors = GetMonitorRects();
    int best = -1;
    // In double: squared distances across the whole 32-bit plane exceed 64 bits.
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < monitors.size(); ++i) {
        const TRect &m = monitors.at(i);
        const double dx = double(axisDistance(X, m.Left, m.Right));
        const double dy = double(axisDistance(Y, m.Top, m.Bottom));
        const double distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
            if (distance == 0)
                break;
        }
    }
    return best;
}

TRect GetMonitorRect(int32_t X, int32_t Y)
{
    const QList<TRect> monitors = GetMonitorRects();
    if (monitors.isEmpty())
        return TRect{};
    const int index = MonitorFromPoint(X, Y);
    return monitors.value(index < 0 ? 0 : index, monitors.first());
}

bool CoversMonitor(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight)
{
    // With no monitor at all there is nothing to cover.
    if (GetMonitorRects().isEmpty())
        return false;
    const int32_t x = clampedSum(ALeft, AWidth / 2);
    const int32_t y = clampedSum(ATop, AHeight / 2);
    const TRect r = GetMonitorRect(x, y);
    return int64_t(AWidth) >= int64_t(r.Right) - r.Left && int64_t(AHeight) >= int64_t(r.Bottom) - r.Top;
}

bool IsOnAnyMonitor(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight)
{
    const TRect f{ALeft, ATop, clampedSum(ALeft, AWidth), clampedSum(ATop, AHeight)};
    const QList<TRect> monitors = GetMonitorRects();
    return std::any_of(monitors.begin(), monitors.end(),
                       [&f](const TRect &m) { return RectsOverlap(f, m); });
}
