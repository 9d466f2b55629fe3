#include "pltsolve.h"

#include <cmath>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void zeroUpperHalves()
{
    _mm256_zeroupper();
}
#endif

// Qt's raster painting can return with the upper halves of the AVX registers
// still in use. While they are, every switch between this SSE code and the
// AVX builds of atan2 and sincos that libm picks costs a register state
// transition, which made the compensation of a large file several times
// slower in the window than in a test. Clearing them touches no value the
// compiler keeps (the halves are scratch across calls).
void leaveAvxState()
{
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx"))
        zeroUpperHalves();
#endif
}

bool isChained(const std::vector<QLineF> &segs)
{
    for (size_t k = 1; k < segs.size(); ++k)
        if (segs[k].p1() != segs[k - 1].p2())
            return false;
    return true;
}

bool isClosedChain(const std::vector<QLineF> &segs)
{
    return !segs.empty() && segs.back().p2() == segs.front().p1() && isChained(segs);
}

// Runs the path again over its first `close` units. The walk also covers the
// segments it appends, so an overcut longer than the path goes round again.
void appendOvercut(std::vector<QLineF> &segs, double close)
{
    double remaining = close;
    for (size_t k = 0; k < segs.size(); ++k) {
        const QLineF s = segs[k];
        if (s.p1() == s.p2())
            continue;
        const double length = s.length();
        if (remaining > length) {
            segs.push_back(s);
            remaining -= length;
        } else if (qFuzzyCompare(length, remaining)) {
            segs.push_back(s);
            return;
        } else {
            segs.push_back(QLineF(s.p1(), s.p1() + (remaining / length) * (s.p2() - s.p1())));
            return;
        }
    }
}

// Both ends moved `knife` units forward along the segment. A zero-length
// segment has no direction and stays where it is.
QLineF knifeShifted(const QLineF &s, double knife)
{
    const double length = s.length();
    if (length == 0)
        return s;
    return s.translated((knife / length) * (s.p2() - s.p1()));
}

// Arc segments for a joint turning by `a` degrees (QLineF::angleTo).
int arcSteps(double a)
{
    if (a < 30 || a >= 330)
        return 0;
    if (a < 60 || a >= 300)
        return 3;
    if (a < 90 || a >= 270)
        return 4;
    if (a < 120 || a >= 240)
        return 5;
    if (a < 150 || a >= 210)
        return 6;
    return 7;
}

// A knife-shifted segment with what its joints need of it. Its angle (atan2,
// most of the cost of a joint) is worked out at most once, and only when a
// joint next to it may get an arc.
struct Shifted
{
    QLineF line;
    bool null;                // line.isNull()
    bool hasAngle = false;
    double angle = 0;         // line.angle() once hasAngle
};

Shifted shiftedSegment(const QLineF &s, double knife)
{
    const QLineF line = knifeShifted(s, knife);
    return {line, line.isNull()};
}

double angleOf(Shifted &s)
{
    if (!s.hasAngle) {
        s.angle = s.line.angle();
        s.hasAngle = true;
    }
    return s.angle;
}

// True when the directions of A and B are less than 29.9 degrees apart, so
// that A.angleTo(B) lies below 30 or at or above 330 whatever its last bits:
// the joint is straight and needs no angle. Lengths far from plotter sizes
// (where the squares below would lose precision) and NaN give false, and the
// exact test decides.
bool clearlyStraight(const QLineF &a, const QLineF &b)
{
    constexpr double cosLimitSquared = 0.7515; // cos(29.9 degrees) squared, to four places
    const double ux = a.dx(), uy = a.dy(), vx = b.dx(), vy = b.dy();
    const double uu = ux * ux + uy * uy;
    const double vv = vx * vx + vy * vy;
    const auto plotterSized = [](double squared) { return squared > 1e-100 && squared < 1e100; };
    const double dot = ux * vx + uy * vy;
    return plotterSized(uu) && plotterSized(vv) && dot > 0 && dot * dot > cosLimitSquared * (uu * vv);
}

// A.angleTo(B) from the two lines' angles: the turn from A's direction to
// B's, normalised to [0, 360), 0 when either is null.
double turnAngle(Shifted &a, Shifted &b)
{
    if (a.null || b.null)
        return 0;
    const double delta = angleOf(b) - angleOf(a);
    if (qFuzzyCompare(delta, 360.0))
        return 0;
    return delta < 0 ? delta + 360 : delta;
}

// What one joint adds after A: its arc step count and, with an arc, its angle.
struct Joint
{
    int steps = 0;   // arcSteps(A.angleTo(B))
    double turn = 0; // A.angleTo(B) when steps > 0
};

Joint jointOf(Shifted &a, Shifted &b)
{
    if (a.null || b.null || clearlyStraight(a.line, b.line))
        return {};
    const double turn = turnAngle(a, b);
    return {arcSteps(turn), turn};
}

// Writes cornerArc(a, b, n) from `out` on and returns the end of what it
// wrote; `turn` is a.angleTo(b).
QLineF *writeCornerArc(QLineF *out, const QLineF &a, const QLineF &b, int n, double turn,
                       double pi)
{
    QPointF corner;
    QPointF meet;
    if (a.intersects(b, &meet) != QLineF::NoIntersection && QLineF(meet, a.p2()).length() <= 400)
        corner = meet;
    else
        corner = (a.p2() + b.p1()) / 2;

    const double step = turn < 180 ? -turn / n : (360 - turn) / n;
    const QPointF start = a.p2();
    const double dx = start.x() - corner.x();
    const double dy = start.y() - corner.y();

    QPointF previous = start;
    for (int i = 1; i <= n - 1; ++i) {
        const double theta = i * step * pi / 180;
        const double c = std::cos(theta);
        const double s = std::sin(theta);
        const QPointF q(corner.x() + dx * c - dy * s, corner.y() + dx * s + dy * c);
        *out++ = QLineF(previous, q);
        previous = q;
    }
    *out++ = QLineF(previous, b.p1());
    return out;
}

// Segments joint j adds: a straight joint one (two at the last joint), an
// arc its n segments and then B.
int jointSize(const Joint &joint, bool last)
{
    if (joint.steps == 0)
        return last ? 2 : 1;
    return joint.steps + 1;
}

// Works out the joints of the shifted segments and returns how many segments
// joining them gives (0 for none), counted in 64 bits: a path that turns
// back at every segment grows eightfold.
qint64 planJoints(std::vector<Shifted> &shifted, std::vector<Joint> &joints)
{
    joints.clear();
    if (shifted.empty())
        return 0;
    const size_t last = shifted.size() - 1;
    qint64 size = 1;
    for (size_t j = 1; j <= last; ++j) {
        joints.push_back(jointOf(shifted[j - 1], shifted[j]));
        size += jointSize(joints.back(), j == last);
    }
    return size;
}

// The knife stage: the shifted segments joined by straight joints and arcs,
// as planJoints planned them, so the output is allocated once at its final
// size and written in place.
QVector<QLineF> joinShifted(const std::vector<Shifted> &shifted, const std::vector<Joint> &joints, int size,
                            double pi)
{
    if (shifted.empty())
        return {};
    const size_t last = shifted.size() - 1;
    QVector<QLineF> segments(size);
    QLineF *out = segments.data();
    *out++ = shifted[0].line;
    for (size_t j = 1; j <= last; ++j) {
        const QLineF &a = shifted[j - 1].line;
        const QLineF &b = shifted[j].line;
        const Joint &joint = joints[j - 1];
        if (joint.steps == 0 && j != last) {
            *out++ = QLineF(a.p2(), b.p2());
        } else if (joint.steps == 0) {
            *out++ = QLineF(a.p2(), b.p1());
            *out++ = b;
        } else {
            out = writeCornerArc(out, a, b, joint.steps, joint.turn, pi);
            *out++ = b;
        }
    }
    Q_ASSERT(out == segments.data() + size);
    return segments;
}

} // namespace

QVector<QLineF> PltSolve::cornerArc(const QLineF &a, const QLineF &b, int n) const
{
    QVector<QLineF> arc(n);
    writeCornerArc(arc.data(), a, b, n, a.angleTo(b), pi);
    return arc;
}

PlotPathList PltSolve::compensateKnife(const PlotPathList &paths, double knife, double close, bool *tooLarge,
                                       qint64 maxSegments) const
{
    if (tooLarge)
        *tooLarge = false;
    if (knife == 0 && close == 0)
        return paths;
    leaveAvxState();
    PlotPathList result;
    result.reserve(paths.size());
    // Scratch reused for every path.
    std::vector<QLineF> segs;
    std::vector<Shifted> shifted;
    std::vector<Joint> joints;
    qint64 total = 0;
    for (const PlotPath &path : paths) {
        segs.assign(path.segments.cbegin(), path.segments.cend());
        if (close > 0 && isClosedChain(segs))
            appendOvercut(segs, close);

        shifted.clear();
        for (const QLineF &s : segs)
            shifted.push_back(shiftedSegment(s, knife));

        // Counted before anything of that size is allocated.
        const qint64 size = planJoints(shifted, joints);
        total += size;
        if (total > qMin(maxSegments, kMaxCutSegments)) {
            if (tooLarge)
                *tooLarge = true;
            return {};
        }
        PlotPath out = path;
        out.segments = joinShifted(shifted, joints, int(size), pi);
        result.append(out);
    }
    return result;
}
