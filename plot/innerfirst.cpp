#include "pltsolve.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
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
//   paths just before it that strictly contain it) reaches it directly, with
//   a treap when the runs are long.
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

// The settled list built by insertion in a treap keyed by position, for
// lists with long runs to move (deep nesting given outermost first): each
// subtree knows the loosest box edges and the number of boxes that contain
// nothing, so the run of strict containers before the end is found in
// logarithmic time.
class SettledSequence
{
public:
    explicit SettledSequence(const std::vector<Box> &boxes)
        : m_boxes(boxes)
    {
        m_nodes.reserve(boxes.size());
    }

    void insert(int item)
    {
        const Box &e = m_boxes[item];
        int position = size(m_root);
        if (e.comparable) {
            position = afterLastNonContainer(e);
            const auto equal = m_lastWithBox.find(keyOf(e));
            if (equal != m_lastWithBox.end())
                position = std::max(position, rank(equal->second) + 1);
        }
        const int node = newNode(item);
        int left, right;
        split(m_root, position, left, right);
        m_root = merge(merge(left, node), right);
        m_nodes[m_root].parent = -1;
        if (e.comparable)
            m_lastWithBox[keyOf(e)] = node; // equal boxes never pass each other
    }

    std::vector<int> items() const
    {
        std::vector<int> out;
        out.reserve(m_nodes.size());
        std::vector<int> stack;
        int node = m_root;
        while (node >= 0 || !stack.empty()) {
            while (node >= 0) {
                stack.push_back(node);
                node = m_nodes[node].left;
            }
            node = stack.back();
            stack.pop_back();
            out.push_back(m_nodes[node].item);
            node = m_nodes[node].right;
        }
        return out;
    }

private:
    struct Node
    {
        int item;
        unsigned priority;
        int left = -1, right = -1, parent = -1;
        int size = 1;
        int flat; // boxes that contain nothing
        double maxL, minR, maxT, minB;
    };
    using Key = std::array<double, 4>;

    static Key keyOf(const Box &b) { return {b.l + 0.0, b.r + 0.0, b.t + 0.0, b.b + 0.0}; }
    int size(int node) const { return node < 0 ? 0 : m_nodes[node].size; }

    int newNode(int item)
    {
        Node n;
        n.item = item;
        m_seed ^= m_seed << 13;
        m_seed ^= m_seed >> 17;
        m_seed ^= m_seed << 5;
        n.priority = m_seed;
        const Box &b = m_boxes[item];
        const double inf = std::numeric_limits<double>::infinity();
        n.flat = b.comparable ? 0 : 1;
        n.maxL = b.comparable ? b.l : -inf;
        n.minR = b.comparable ? b.r : inf;
        n.maxT = b.comparable ? b.t : -inf;
        n.minB = b.comparable ? b.b : inf;
        m_nodes.push_back(n);
        return int(m_nodes.size()) - 1;
    }

    void pull(int node)
    {
        Node &n = m_nodes[node];
        const Box &b = m_boxes[n.item];
        const double inf = std::numeric_limits<double>::infinity();
        n.size = 1;
        n.flat = b.comparable ? 0 : 1;
        n.maxL = b.comparable ? b.l : -inf;
        n.minR = b.comparable ? b.r : inf;
        n.maxT = b.comparable ? b.t : -inf;
        n.minB = b.comparable ? b.b : inf;
        for (int child : {n.left, n.right}) {
            if (child < 0)
                continue;
            const Node &c = m_nodes[child];
            n.size += c.size;
            n.flat += c.flat;
            n.maxL = std::max(n.maxL, c.maxL);
            n.minR = std::min(n.minR, c.minR);
            n.maxT = std::max(n.maxT, c.maxT);
            n.minB = std::min(n.minB, c.minB);
        }
    }

    // Every box of the subtree contains e (equal boxes included).
    bool allContain(int node, const Box &e) const
    {
        const Node &n = m_nodes[node];
        return n.flat == 0 && n.maxL <= e.l && n.minR >= e.r && n.maxT <= e.t && n.minB >= e.b;
    }

    // Position just after the last element whose box does not contain e.
    int afterLastNonContainer(const Box &e) const
    {
        int node = m_root;
        int offset = 0;
        while (node >= 0) {
            const Node &n = m_nodes[node];
            if (n.right >= 0 && !allContain(n.right, e)) {
                offset += size(n.left) + 1;
                node = n.right;
            } else if (!contains(m_boxes[n.item], e)) {
                return offset + size(n.left) + 1;
            } else {
                node = n.left;
            }
        }
        return 0;
    }

    int rank(int node) const
    {
        int r = size(m_nodes[node].left);
        while (m_nodes[node].parent >= 0) {
            const int parent = m_nodes[node].parent;
            if (m_nodes[parent].right == node)
                r += size(m_nodes[parent].left) + 1;
            node = parent;
        }
        return r;
    }

    void setChild(int parent, int child, bool right)
    {
        (right ? m_nodes[parent].right : m_nodes[parent].left) = child;
        if (child >= 0)
            m_nodes[child].parent = parent;
    }

    void split(int node, int count, int &left, int &right)
    {
        if (node < 0) {
            left = right = -1;
            return;
        }
        if (count <= size(m_nodes[node].left)) {
            int a, b;
            split(m_nodes[node].left, count, a, b);
            setChild(node, b, false);
            pull(node);
            left = a;
            right = node;
        } else {
            int a, b;
            split(m_nodes[node].right, count - size(m_nodes[node].left) - 1, a, b);
            setChild(node, a, true);
            pull(node);
            left = node;
            right = b;
        }
        if (left >= 0)
            m_nodes[left].parent = -1;
        if (right >= 0)
            m_nodes[right].parent = -1;
    }

    int merge(int a, int b)
    {
        if (a < 0)
            return b;
        if (b < 0)
            return a;
        if (m_nodes[a].priority > m_nodes[b].priority) {
            setChild(a, merge(m_nodes[a].right, b), true);
            pull(a);
            return a;
        }
        setChild(b, merge(a, m_nodes[b].left), false);
        pull(b);
        return b;
    }

    const std::vector<Box> &m_boxes;
    std::vector<Node> m_nodes;
    std::map<Key, int> m_lastWithBox;
    int m_root = -1;
    unsigned m_seed = 2463534242u;
};

// Plain insertion is fastest when little moves, as after grouping in usual
// files; past a budget of moves the treap takes over from the start.
void settle(std::vector<int> &order, const std::vector<Box> &boxes)
{
    const std::vector<int> grouped = order;
    size_t budget = 2 * order.size() + 16;
    for (size_t i = 1; i < order.size(); ++i) {
        const int moving = order[i];
        size_t j = i;
        while (j > 0 && strictlyContains(boxes[order[j - 1]], boxes[moving])) {
            order[j] = order[j - 1];
            --j;
            if (--budget == 0) {
                SettledSequence sequence(boxes);
                for (int item : grouped)
                    sequence.insert(item);
                order = sequence.items();
                return;
            }
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
