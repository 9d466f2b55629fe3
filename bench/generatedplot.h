#pragma once
// Generated plot files shared by the benchmarks: closed polygons of 8 to 40
// segments on a grid of 2000-unit cells, each cell holding one to four
// concentric polygons (written in random order, so ordering has work to do);
// every fifth polygon goes to the crease section. 1,000 polygons make about
// 0.2 MB, 10,000 about 2 MB. The same count always gives the same text.
#include <QString>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace generatedplot {

inline QString polygon(std::mt19937 &rng, double cx, double cy, double radius)
{
    const int sides = std::uniform_int_distribution<int>(8, 40)(rng);
    std::uniform_real_distribution<double> jitter(0.9, 1.0);
    QString text;
    QString first;
    for (int k = 0; k < sides; ++k) {
        const double a = 2 * M_PI * k / sides;
        const double r = radius * jitter(rng);
        const QString point = QStringLiteral("%1,%2").arg(std::lround(cx + r * std::cos(a)))
                                  .arg(std::lround(cy + r * std::sin(a)));
        if (k == 0) {
            first = point;
            text += QStringLiteral("PU") + point + QStringLiteral(";PD");
        } else {
            text += point + QLatin1Char(',');
        }
    }
    return text + first + QLatin1Char(';');
}

// The whole plot text of `count` polygons: "MD0,0,e,e,4;SP1;" crease "SP2;" cut "!PG;".
inline QString plotText(int count)
{
    std::mt19937 rng(count);
    std::uniform_int_distribution<int> depth(1, 4);
    const int columns = int(std::ceil(std::sqrt(count / 2.5)));
    const double cell = 2000;
    QString crease, cut;
    int made = 0;
    for (int cellIndex = 0; made < count; ++cellIndex) {
        const double cx = (cellIndex % columns) * cell + cell / 2;
        const double cy = (cellIndex / columns) * cell + cell / 2;
        std::vector<double> radii;
        for (int d = depth(rng); d > 0 && made + int(radii.size()) < count; --d)
            radii.push_back(cell * 0.45 * d / 4);
        std::shuffle(radii.begin(), radii.end(), rng);
        for (double r : radii) {
            (made % 5 == 4 ? crease : cut) += polygon(rng, cx, cy, r);
            ++made;
        }
    }
    const int extent = int(columns * cell);
    return QStringLiteral("MD0,0,%1,%1,4;SP1;").arg(extent) + crease + QStringLiteral("SP2;") + cut
        + QStringLiteral("!PG;");
}

} // namespace generatedplot
