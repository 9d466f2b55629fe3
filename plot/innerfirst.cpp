#include "pltsolve.h"

#include <algorithm>
#include <cmath>
#include <vector>

// orderInnerFirst in two phases. Grouping takes the first waiting path, puts
// the waiting paths its box contains just before it and those whose box
// contains it just after it, and repeats. Settling then swaps neighbours
// while the first one's box strictly contains the second one's.
//
// Both phases give exactly the list of the plain list-based procedure, but
// in about n log n for usual files:
// - grouping finds the paths related to the current one with a 4-d tree over
//   the boxes (left, right, top, bottom) instead of scanning every waiting
//   path each round;
// - the settling passes only ever swap neighbours ordered by strict
//   containment, a strict partial order, so every sequence of such swaps ends
//   in the same list; one insertion pass (each path moves left past the run of
//   paths just before it that strictly contain it) reaches it directly.
// Identical non-flat boxes contain each other; they are never swapped, which
// keeps such pairs in their order and lets the settling end.

namespace {

struct Box
{
    double l, r, t, b;
    bool comparable; // not flat, no NaN: the only boxes containment applies to
};

Box boxOf(const QRectF &rect)
{
    // Right and bottom as QRectF::contains forms them (x + width), so the
    // comparisons below give its very answers.
    Box box{rect.x(), rect.x() + rect.width(), rect.y(), rect.y() + rect.height(), false};
    const bool nan = std::isnan(box.l) || std::isnan(box.r) || std::isnan(box.t) || std::isnan(box.b);
    box.comparable = !nan && box.l != box.r && box.t != box.b;
    return box;
}

bool contains(const Box &outer, const Box &inner)
{
    return outer.comparable && inner.comparable && inner.l >= outer.l && inner.r <= outer.r
        && inner.t >= outer.t && inner.b <= outer.b;
}

bool strictlyContains(const Box &outer, const Box &inner)
{
    return contains(outer, inner) && !contains(inner, outer);
}

double coordinate(const Box &box, int dim)
{
    switch (dim) {
    case 0: return box.l;
    case 1: return box.r;
    case 2: return box.t;
    default: return box.b;
    }
}

// Static 4-d tree over the comparable boxes, with a count of the boxes still
// waiting in every node so that finished parts of the tree are skipped.
class BoxTree
{
public:
    BoxTree(const std::vector<Box> &boxes, std::vector<char> &taken)
        : m_boxes(boxes)
        , m_taken(taken)
    {
        for (int i = 0; i < int(boxes.size()); ++i)
            if (boxes[i].comparable)
                m_ids.push_back(i);
        if (!m_ids.empty())
            build(0, int(m_ids.size()), 0);
    }

    // Takes every waiting path related to `cur` (and cur itself) out of the
    // tree. Found paths go to `found` as (index, inner?).
    void takeRelated(int cur, std::vector<std::pair<int, bool>> &found)
    {
        if (!m_nodes.empty())
            take(0, cur, m_boxes[cur], found);
    }

private:
    struct Node
    {
        double lo[4], hi[4];
        int first, last; // range in m_ids
        int left = -1, right = -1;
        int waiting;
    };

    int build(int first, int last, int depth)
    {
        const int index = int(m_nodes.size());
        m_nodes.push_back(Node());
        m_nodes[index].first = first;
        m_nodes[index].last = last;
        m_nodes[index].waiting = last - first;
        for (int d = 0; d < 4; ++d) {
            double lo = coordinate(m_boxes[m_ids[first]], d), hi = lo;
            for (int k = first + 1; k < last; ++k) {
                const double v = coordinate(m_boxes[m_ids[k]], d);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            m_nodes[index].lo[d] = lo;
            m_nodes[index].hi[d] = hi;
        }
        if (last - first > kLeafSize) {
            const int dim = depth % 4;
            const int mid = (first + last) / 2;
            std::nth_element(m_ids.begin() + first, m_ids.begin() + mid, m_ids.begin() + last,
                             [this, dim](int a, int b) {
                                 return coordinate(m_boxes[a], dim) < coordinate(m_boxes[b], dim);
                             });
            const int left = build(first, mid, depth + 1);
            const int right = build(mid, last, depth + 1);
            m_nodes[index].left = left;
            m_nodes[index].right = right;
        }
        return index;
    }

    bool mayHold(const Node &node, const Box &c) const
    {
        const bool inner = node.hi[0] >= c.l && node.lo[1] <= c.r && node.hi[2] >= c.t
            && node.lo[3] <= c.b;
        const bool outer = node.lo[0] <= c.l && node.hi[1] >= c.r && node.lo[2] <= c.t
            && node.hi[3] >= c.b;
        return inner || outer;
    }

    int take(int index, int cur, const Box &c, std::vector<std::pair<int, bool>> &found)
    {
        Node &node = m_nodes[index];
        if (node.waiting == 0 || !mayHold(node, c))
            return 0;
        int removed = 0;
        if (node.left < 0) {
            for (int k = node.first; k < node.last; ++k) {
                const int id = m_ids[k];
                if (m_taken[id])
                    continue;
                if (id == cur) {
                    m_taken[id] = 1;
                    ++removed;
                } else if (contains(c, m_boxes[id]) || contains(m_boxes[id], c)) {
                    found.emplace_back(id, contains(c, m_boxes[id]));
                    m_taken[id] = 1;
                    ++removed;
                }
            }
        } else {
            const int left = node.left, right = node.right;
            removed = take(left, cur, c, found) + take(right, cur, c, found);
        }
        m_nodes[index].waiting -= removed;
        return removed;
    }

    static constexpr int kLeafSize = 8;
    const std::vector<Box> &m_boxes;
    std::vector<char> &m_taken;
    std::vector<int> m_ids;
    std::vector<Node> m_nodes;
};

// Fuzzy equal coordinates are exactly equal when all of them are integers of
// moderate size (they always are after parsing); then two equal paths have
// exactly equal boxes, and an earlier copy of the current path can never be
// in the output already: it would have been grouped with the current path.
bool hasExactCoordinates(const PlotPathList &paths)
{
    for (const PlotPath &path : paths)
        for (const QLineF &s : path.segments)
            for (double v : {s.x1(), s.y1(), s.x2(), s.y2()})
                if (!(std::fabs(v) < 1e12) || v != std::floor(v))
                    return false;
    return true;
}

std::vector<int> groupWithTree(const PlotPathList &paths, const std::vector<Box> &boxes)
{
    const int n = paths.size();
    std::vector<char> taken(n, 0);
    BoxTree tree(boxes, taken);
    std::vector<int> out;
    out.reserve(n);
    std::vector<std::pair<int, bool>> found;
    std::vector<int> before, copiesReversed, after;
    for (int cur = 0; cur < n; ++cur) {
        if (taken[cur])
            continue;
        if (!boxes[cur].comparable) {
            taken[cur] = 1;
            out.push_back(cur);
            continue;
        }
        found.clear();
        tree.takeRelated(cur, found);
        std::sort(found.begin(), found.end());
        before.clear();
        copiesReversed.clear();
        after.clear();
        for (const auto &[id, inner] : found) {
            if (!inner)
                after.push_back(id);
            else if (paths.at(id) == paths.at(cur))
                copiesReversed.push_back(id); // becomes the first copy: next ones go before it
            else
                before.push_back(id);
        }
        out.insert(out.end(), before.begin(), before.end());
        out.insert(out.end(), copiesReversed.rbegin(), copiesReversed.rend());
        out.push_back(cur);
        out.insert(out.end(), after.begin(), after.end());
    }
    return out;
}

// The list procedure itself, for paths with fractional coordinates, where a
// fuzzy equal copy of the current path may sit anywhere in the output.
std::vector<int> groupPlainly(const PlotPathList &paths, const std::vector<Box> &boxes)
{
    QList<int> src;
    for (int i = 0; i < paths.size(); ++i)
        src.append(i);
    QList<int> out;
    while (!src.isEmpty()) {
        const int cur = src.takeFirst();
        out.append(cur);
        for (int i = 0; i < src.size();) {
            if (contains(boxes[cur], boxes[src[i]])) {
                int p = 0;
                while (!(paths.at(out[p]) == paths.at(cur)))
                    ++p;
                out.insert(p, src.takeAt(i));
            } else if (contains(boxes[src[i]], boxes[cur])) {
                out.append(src.takeAt(i));
            } else {
                ++i;
            }
        }
    }
    return std::vector<int>(out.cbegin(), out.cend());
}

void settle(std::vector<int> &order, const std::vector<Box> &boxes)
{
    for (size_t i = 1; i < order.size(); ++i) {
        const int moving = order[i];
        size_t j = i;
        while (j > 0 && strictlyContains(boxes[order[j - 1]], boxes[moving])) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = moving;
    }
}

} // namespace

PlotPathList PltSolve::orderInnerFirst(const PlotPathList &paths) const
{
    std::vector<Box> boxes;
    boxes.reserve(paths.size());
    for (const PlotPath &path : paths)
        boxes.push_back(path.segments.isEmpty() ? Box{0, 0, 0, 0, false} : boxOf(boundingRect(path)));

    std::vector<int> order = hasExactCoordinates(paths) ? groupWithTree(paths, boxes)
                                                        : groupPlainly(paths, boxes);
    settle(order, boxes);

    PlotPathList result;
    result.reserve(paths.size());
    for (int index : order)
        result.append(paths.at(index));
    return result;
}
