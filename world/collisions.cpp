// Collision detection: the pair loop, the part trees, the HullBounds test,
// radii and world centres, kqzSpawnScene. See collisions.h.
#include "world/collisions.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "ai/docking.h"
#include "framework/scene.h"
#include "system/errors.h"
#include "view/renderpasses.h"
#include "world/actions.h"
#include "world/behaviours.h"
#include "world/floatingorigin.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/rayqueries.h"
#include "world/scenelist.h"

int32_t gSceneItemCount;

namespace {

constexpr float kNoPartRadius = 13.0f;      // the radius of a missing part or model
constexpr float kFarCloseness = 2000000.0f; // an obstacle's closeness before any is found
constexpr uint32_t kEventCollision = 7;     // Actions fired on both items of a contact
constexpr double kObstacleReach = 5.0;      // obstacles are noted within 5 x the radii
constexpr double kLargeShare = 8.0;         // larger than 8 x the median radius: met by every item

bool gPrefilter = true;
int32_t gPairTests;
// Raised on every contact of two parts: the pair loop looks at what the
// responses changed only when it moved.
uint32_t gContactCount;

// ---- Radii and centres -------------------------------------------------------

// a(3x3) x b(3x3) into out: a part's axes turned into its parent's frame.
Matrix4 CombineRotation(const Matrix4& local, const Matrix4& parent)
{
    Matrix4 out{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out.m[r * 4 + c] = local.m[r * 4 + 0] * parent.m[0 * 4 + c] +
                               local.m[r * 4 + 1] * parent.m[1 * 4 + c] +
                               local.m[r * 4 + 2] * parent.m[2 * 4 + c];
    out.m[15] = 1.0f;
    return out;
}

// Each part hangs at its offset from its parent, in the parent's axes;
// its children take the parent's axes combined with its own local turn.
void PlaceTree(TDP* node, const Vector3d& parentCentre, const Matrix4& parentAxes)
{
    for (; node; node = node->nextSibling) {
        Vector3 turned;
        MatRotateVec(parentAxes, node->offset, turned);
        const Vector3d centre{parentCentre.x + turned.x, parentCentre.y + turned.y,
                              parentCentre.z + turned.z};
        node->worldCentre = {static_cast<float>(centre.x), static_cast<float>(centre.y),
                             static_cast<float>(centre.z)};
        if (node->firstChild)
            PlaceTree(node->firstChild, centre, CombineRotation(node->local, parentAxes));
    }
}

Vector3 ItemPosition(const SceneItem* item)
{
    const WorldPosition& p = item->sim->position;
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

bool IsRootPart(const TDP* part)
{
    return part->owner && part->owner->avatar && part->owner->avatar->root == part;
}

// ---- The narrow phase ----------------------------------------------------------

// The smaller part's points against the larger part's boxes; s is the
// smaller part's centre minus the larger's, in world axes.
bool CollidePointsWithBoxes(TDP* small, const Matrix4& smallMatrix, TDP* large,
                            const Matrix4& largeMatrix, const Vector3& s)
{
    const HullBounds* points = small->hullBounds;
    const HullBounds* boxes = large->hullBounds;
    uint32_t boxBits = 0;
    uint32_t pointBits = 0;
    bool touched = false;
    const int count = std::clamp(points->pointCount, 0, kHullBoundsPoints);
    for (int i = 0; i < count; ++i) {
        Vector3 world;
        MatRotateVec(smallMatrix, points->points[i], world);
        world = {world.x + s.x, world.y + s.y, world.z + s.z};
        Vector3 p;
        VecMulMat3T(p, world, largeMatrix);
        uint32_t holding = 0;
        bool inside = false;
        bool excluded = false;
        for (const HullBox* box = boxes->boxes; box; box = box->next) {
            const bool in = p.x > box->minimum.x && p.x < box->maximum.x && p.y > box->minimum.y &&
                            p.y < box->maximum.y && p.z > box->minimum.z && p.z < box->maximum.z;
            if (!in)
                continue;
            if (box->flags & kBoxExclusion) {
                excluded = true;
            } else {
                inside = true;
                holding |= box->flags & kBoxHitEffects;
            }
        }
        if (inside && !excluded) {
            touched = true;
            boxBits |= holding;
            pointBits |= points->pointFlags[i];
        }
    }
    // A miss leaves the pending effects of an earlier hit alone.
    if (touched) {
        if (SceneItem* owner = large->owner)
            owner->avatar->pendingHitEffects = boxBits;
        if (SceneItem* owner = small->owner)
            owner->avatar->pendingHitEffects = pointBits;
    }
    return touched;
}

// The contact of two touching parts: Actions of the collision event on
// both items, then both responses, the higher order first.
void RespondToContact(TDP* a, TDP* b, const Vector3& contact)
{
    SceneItem* ia = a->owner;
    SceneItem* ib = b->owner;
    ++gContactCount;
    const bool ships = ia->sim->shipInfo && ib->sim->shipInfo;
    if (ships && TryDockOnContact(ia, ib))
        return;
    b->flags |= kTdpHit;
    FireActions(ia, kEventCollision, ib);
    FireActions(ib, kEventCollision, ia);
    int16_t handled = 0;
    const bool aFirst = ia->avatar->responseOrder >= ib->avatar->responseOrder;
    SceneItem* first = aFirst ? ia : ib;
    SceneItem* second = aFirst ? ib : ia;
    TDP* firstPart = aFirst ? a : b;
    TDP* secondPart = aFirst ? b : a;
    if (CollisionResponse response = first->avatar->collision)
        response(first, firstPart, second, secondPart, &handled, &contact);
    if (CollisionResponse response = second->avatar->collision)
        response(second, secondPart, first, firstPart, &handled, &contact);
    for (SceneItem* item : {ia, ib}) {
        const WorldPosition& p = item->sim->position;
        CheckFloatSanity(static_cast<float>(p.x));
        CheckFloatSanity(static_cast<float>(p.y));
        CheckFloatSanity(static_cast<float>(p.z));
    }
}

// Part a against b and, while they miss, against b's children and siblings.
bool CollideTDPNode(TDP* a, TDP* b)
{
    if (!b)
        return false;
    SceneItem* ia = a->owner;
    SceneItem* ib = b->owner;
    // A part of no item (or of an item without a Sim) touches nothing.
    if ((b->flags & kTdpCollides) && ia && ib && ia->sim && ib->sim) {
        bool touching = false;
        Vector3 contact{};
        const SceneItem* smaller = ib->sim->radius < ia->sim->radius ? ib : ia;
        if (b->flags & kTdpTouchesAlways) {
            touching = true;
            contact = ItemPosition(smaller);
        } else if ((a->flags | b->flags) & kTdpMovingPoint) {
            const bool aMoves = (a->flags & kTdpMovingPoint) != 0;
            const bool bMoves = (b->flags & kTdpMovingPoint) != 0;
            if (aMoves != bMoves)
                touching = aMoves ? SweptPointHitsTDP(ia, b, &contact) != nullptr
                                  : SweptPointHitsTDP(ib, a, &contact) != nullptr;
        } else {
            Vector3 s;
            if (IsRootPart(a) && IsRootPart(b)) {
                const WorldPosition& pa = ia->sim->position;
                const WorldPosition& pb = ib->sim->position;
                s = {static_cast<float>(pb.x - pa.x), static_cast<float>(pb.y - pa.y),
                     static_cast<float>(pb.z - pa.z)};
            } else {
                s = {b->worldCentre.x - a->worldCentre.x, b->worldCentre.y - a->worldCentre.y,
                     b->worldCentre.z - a->worldCentre.z};
            }
            if (a->radius + b->radius > VecFastLength(s)) {
                touching = ((a->flags | b->flags) & (kTdpPlanetLayer | kTdpSolid)) ||
                           CollideHullBounds(b, ib->sim->matrix, a, ia->sim->matrix, s);
                contact = ItemPosition(smaller);
            }
        }
        if (touching) {
            RespondToContact(a, b, contact);
            return true;
        }
    }
    const bool child = CollideTDPNode(a, b->firstChild);
    const bool sibling = CollideTDPNode(a, b->nextSibling);
    return child || sibling;
}

// ---- The pair loop ---------------------------------------------------------------

// One pair of the loop: the obstacle bookkeeping, the cheap rejections,
// then the part trees.
void TestPair(SceneItem* a, SceneItem* b)
{
    ++gPairTests;
    if (!a->sim || !b->sim || !a->avatar->root || !b->avatar->root || !IsInSceneList(a) ||
        !IsInSceneList(b))
        return;
    const double r = static_cast<double>(a->sim->radius) + static_cast<double>(b->sim->radius);
    const WorldPosition& pa = a->sim->position;
    const WorldPosition& pb = b->sim->position;
    const double dx = pb.x - pa.x;
    const double dy = pb.y - pa.y;
    const double dz = pb.z - pa.z;
    if ((a->flags | b->flags) & kItemObstacle) {
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (kObstacleReach * r > d) {
            const double q = d / (kObstacleReach * r);
            const float k = d < r ? 0.0f : static_cast<float>(q * q);
            if ((a->flags & kItemObstacle) && k < b->avatar->obstacleCloseness) {
                b->avatar->obstacle = a;
                b->avatar->obstacleCloseness = k;
            }
            if ((b->flags & kItemObstacle) && k < a->avatar->obstacleCloseness) {
                a->avatar->obstacle = b;
                a->avatar->obstacleCloseness = k;
            }
        }
        if (!(d < r))
            return;
    } else if (!(std::fabs(dx) < r && std::fabs(dy) < r && std::fabs(dz) < r)) {
        return;
    }
    if (a->avatar->linkItem == b || b->avatar->linkItem == a)
        return;
    CollideTDPTrees(a->avatar->root, b->avatar->root);
}

bool EndOfOrdinaryItems(const SceneItem* item) { return item == &gSceneList || item == gTailGroup; }

// The plain loop from where it stands: A's pairs from inner.next on, then
// every later ordinary item from outer.next against everything after it.
// The walks keep their place when a response takes items out of the list.
void ContinuePlainPairs(SceneItem* a, SceneListWalk& outer, SceneListWalk& inner)
{
    for (;;) {
        while (inner.next && inner.next != &gSceneList) {
            SceneItem* b = inner.next;
            inner.next = b->next;
            TestPair(a, b);
        }
        if (!outer.next || EndOfOrdinaryItems(outer.next))
            return;
        a = outer.next;
        outer.next = a->next;
        inner.next = a->next;
    }
}

void PlainPairs()
{
    SceneListWalk outer;
    SceneListWalk inner;
    SceneItem* first = gSceneList.next;
    if (EndOfOrdinaryItems(first))
        return;
    outer.next = first->next;
    inner.next = first->next;
    ContinuePlainPairs(first, outer, inner);
}

// The prefilter: the list as it stood when the pairs were picked, and what the
// broad phase read of each item then.
struct ItemState {
    SceneItem* item;
    WorldPosition position;
    float radius;
    int16_t flags;
    bool testable;
};

// The broad phase's grid: cubes of cellSize, numbered from the grid's
// origin. A cell's three numbers are packed 21 bits each, x, y, z from the
// top of one word, so that the words sort as the cells do (by x, then y,
// then z) and a run of cells along z is a run of words. The cells in use
// lie 1 to kCellSpan - 2 on each axis, so that a neighbour's number never
// leaves its field.
struct Cell {
    int64_t x, y, z;
};
constexpr int kCellBits = 21;
constexpr int64_t kCellSpan = int64_t{1} << kCellBits; // cells an axis
constexpr uint64_t kCellMask = kCellSpan - 1;

uint64_t PackCell(int64_t x, int64_t y, int64_t z)
{
    return (static_cast<uint64_t>(x) << (2 * kCellBits)) | (static_cast<uint64_t>(y) << kCellBits) |
           static_cast<uint64_t>(z);
}
Cell UnpackCell(uint64_t c)
{
    return {static_cast<int64_t>(c >> (2 * kCellBits)), static_cast<int64_t>((c >> kCellBits) & kCellMask),
            static_cast<int64_t>(c & kCellMask)};
}

// A small item in its cell of the grid.
struct GridEntry {
    uint64_t cell;
    uint16_t index;
    bool operator<(const GridEntry& o) const { return cell != o.cell ? cell < o.cell : index < o.index; }
};

// A small obstacle and the cells of the grid that its reach covers.
struct ObstacleBox {
    uint16_t index;
    Cell low, high;
};

struct Prefilter {
    ItemState items[kMaxSceneItems];
    int count = 0;
    int ordinary = 0; // items before the tail group
    SceneItem* tailGroup = nullptr;
    double cellSize = 0.0;          // wider than any reach between two small items
    double largestSmall = 0.0;      // the largest radius of a small item
    Cell origin{};                  // the world's cell that is the grid's (0, 0, 0)
    GridEntry grid[kMaxSceneItems]; // the small items by cell, sorted
    int gridCount = 0;
    ObstacleBox obstacles[kMaxSceneItems]; // the small obstacles (in the grid too)
    int obstacleCount = 0;
    uint16_t large[kMaxSceneItems]; // the items met by every other
    int largeCount = 0;
    std::vector<uint32_t> found;       // the pairs as they are found, some twice: the first foundCount
    int foundCount = 0;                //   (the rest is room, see MakeRoom)
    std::vector<uint32_t> pairs;       // (lower index << 16) | higher index, sorted, once each
    int pairsFrom[kMaxSceneItems + 1]; // SortPairs' count of pairs by lower index
    bool dirty[kMaxSceneItems];        // changed by a response: tested with everything
    std::vector<int> dirtyList;        // the same, sorted
};
Prefilter gPicked;

ItemState StateOf(SceneItem* item)
{
    ItemState s{item, {}, 0.0f, static_cast<int16_t>(item->flags & kItemObstacle), false};
    if (item->sim) {
        s.position = item->sim->position;
        s.radius = item->sim->radius;
        s.testable = item->avatar->root != nullptr;
    }
    return s;
}

bool SameState(const ItemState& a, const ItemState& b)
{
    return a.position.x == b.position.x && a.position.y == b.position.y &&
           a.position.z == b.position.z && a.radius == b.radius && a.flags == b.flags &&
           a.testable == b.testable;
}

// The cut of the broad phase, a little wide so that rounding never drops a
// pair the loop would keep: the two centres lie within f x the summed radii
// on each axis (f = 5 when either is an obstacle).
bool WithinReach(const ItemState& a, const ItemState& b, double f)
{
    const double limit =
        f * (std::fabs(static_cast<double>(a.radius)) + std::fabs(static_cast<double>(b.radius))) *
            1.000001 +
        0.002;
    // All three tested, without a branch between them: where the answer
    // goes either way, a wrongly guessed branch costs more than the tests.
    return (std::fabs(a.position.x - b.position.x) <= limit) &
           (std::fabs(a.position.y - b.position.y) <= limit) &
           (std::fabs(a.position.z - b.position.z) <= limit);
}

// Room in p.found for `more` pairs after those found.
void MakeRoom(Prefilter& p, int more)
{
    const size_t wanted = static_cast<size_t>(p.foundCount + more);
    if (p.found.size() < wanted)
        p.found.resize(2 * wanted);
}

// Keeps the pair of items a and b when it is wanted, the loop would test it
// (the earlier one stands before the tail group) and they lie within reach.
// The pair is written whatever the answer and counted only when kept, so
// that the answer costs no branch; MakeRoom has made the room.
[[gnu::always_inline]] inline void Consider(Prefilter& p, uint16_t a, uint16_t b, bool wanted = true)
{
    const uint32_t lo = std::min(a, b);
    const uint32_t hi = std::max(a, b);
    const ItemState& sa = p.items[a];
    const ItemState& sb = p.items[b];
    const double f = ((sa.flags | sb.flags) & kItemObstacle) ? kObstacleReach : 1.0;
    p.found[p.foundCount] = (lo << 16) | hi;
    p.foundCount += wanted & (static_cast<int>(lo) < p.ordinary) & WithinReach(sa, sb, f);
}

// The world's cell of a position in cubes `size` wide; false when the
// position lies outside the range where cells are exact (or is not finite).
bool CellOf(const WorldPosition& position, double size, Cell& cell)
{
    constexpr double kWorldCells = 1e15; // cell numbers stay exact in doubles and int64
    const double q[3] = {position.x / size, position.y / size, position.z / size};
    for (double v : q)
        if (!(std::fabs(v) < kWorldCells))
            return false;
    cell = {static_cast<int64_t>(std::floor(q[0])), static_cast<int64_t>(std::floor(q[1])),
            static_cast<int64_t>(std::floor(q[2]))};
    return true;
}

// The first entry of the sorted grid from `from` on whose cell does not
// come before `cell`: steps that double, then a binary search, so that a
// near entry costs a step or two and a far one a logarithm.
const GridEntry* SeekFrom(const GridEntry* from, const GridEntry* end, uint64_t cell)
{
    if (from == end || from->cell >= cell)
        return from;
    const GridEntry* below = from; // its cell comes before
    std::ptrdiff_t step = 1;
    while (step < end - below && below[step].cell < cell) {
        below += step;
        step *= 2;
    }
    return std::lower_bound(below + 1, step < end - below ? below + step : end, cell,
                            [](const GridEntry& e, uint64_t c) { return e.cell < c; });
}

// The cells round a small obstacle that hold every small item within its
// reach, cut to the grid; false when they leave the world's cells. The box
// is as wide as the longest reach to a small item the way WithinReach
// rounds it, and wider still so that the rounding of its corners never
// loses a cell.
bool ReachBox(const Prefilter& p, const ItemState& s, uint16_t index, ObstacleBox& box)
{
    const double reach =
        kObstacleReach * (std::fabs(static_cast<double>(s.radius)) + p.largestSmall) * 1.000001 +
        0.002;
    const WorldPosition& c = s.position;
    const double w[3] = {reach * 1.001 + std::fabs(c.x) * 1e-12, reach * 1.001 + std::fabs(c.y) * 1e-12,
                         reach * 1.001 + std::fabs(c.z) * 1e-12};
    Cell low;
    Cell high;
    if (!CellOf({c.x - w[0], c.y - w[1], c.z - w[2]}, p.cellSize, low) ||
        !CellOf({c.x + w[0], c.y + w[1], c.z + w[2]}, p.cellSize, high))
        return false;
    const auto cut = [](int64_t v, int64_t origin) { return std::clamp(v - origin, int64_t{0}, kCellSpan - 1); };
    box = {index,
           {cut(low.x, p.origin.x), cut(low.y, p.origin.y), cut(low.z, p.origin.z)},
           {cut(high.x, p.origin.x), cut(high.y, p.origin.y), cut(high.z, p.origin.z)}};
    return true;
}

// Small pairs in neighbouring cells, except those with an obstacle (see
// PickObstaclePairs): each pair once, from the cell that sorts first (the
// item's own cell after it and the next cell along z, then the runs
// (x, y+1) and (x+1, y-1..y+1) over z-1..z+1). The runs' starts rise with
// the item, so four cursors walk the grid once each.
void PickNeighbourPairs(Prefilter& p)
{
    constexpr int64_t kLater[4][2] = {{0, 1}, {1, -1}, {1, 0}, {1, 1}};
    const GridEntry* end = p.grid + p.gridCount;
    const GridEntry* run[4] = {p.grid, p.grid, p.grid, p.grid};
    for (const GridEntry* e = p.grid; e != end; ++e) {
        if (p.items[e->index].flags & kItemObstacle)
            continue;
        MakeRoom(p, p.gridCount);
        const auto meet = [&p, e](const GridEntry* o) {
            Consider(p, e->index, o->index, !(p.items[o->index].flags & kItemObstacle));
        };
        const Cell c = UnpackCell(e->cell);
        const uint64_t nextAlongZ = PackCell(c.x, c.y, c.z + 1);
        for (const GridEntry* o = e + 1; o != end && o->cell <= nextAlongZ; ++o)
            meet(o);
        for (int k = 0; k < 4; ++k) {
            const int64_t x = c.x + kLater[k][0];
            const int64_t y = c.y + kLater[k][1];
            run[k] = SeekFrom(run[k], end, PackCell(x, y, c.z - 1));
            const uint64_t last = PackCell(x, y, c.z + 1);
            for (const GridEntry* o = run[k]; o != end && o->cell <= last; ++o)
                meet(o);
        }
    }
}

// A small obstacle against every small item in the cells of its reach box,
// slab by slab along x: each slab's cells from (low y, low z) to (high y,
// high z) are one run of the grid, whose entries outside the z range are
// passed over. A pair of two small obstacles is taken from the earlier one.
void PickObstaclePairs(Prefilter& p, const ObstacleBox& box)
{
    const GridEntry* end = p.grid + p.gridCount;
    const GridEntry* e = p.grid;
    MakeRoom(p, p.gridCount);
    int64_t x = box.low.x;
    while (x <= box.high.x) {
        e = SeekFrom(e, end, PackCell(x, box.low.y, box.low.z));
        if (e == end || UnpackCell(e->cell).x > box.high.x)
            return;
        if (UnpackCell(e->cell).x != x) { // the slabs before hold nothing of the box
            x = UnpackCell(e->cell).x;
            continue;
        }
        const uint64_t last = PackCell(x, box.high.y, box.high.z);
        for (; e != end && e->cell <= last; ++e) {
            const int64_t z = UnpackCell(e->cell).z;
            const bool inBox = (z >= box.low.z) & (z <= box.high.z);
            const bool once = !(p.items[e->index].flags & kItemObstacle) || e->index > box.index;
            Consider(p, box.index, e->index, inBox & once);
        }
        ++x;
    }
}

// Sorts the pairs found into p.pairs, each once: counted out by their
// lower index, then each index's few sorted by the higher.
void SortPairs(Prefilter& p)
{
    int* from = p.pairsFrom;
    std::fill(from, from + p.ordinary + 1, 0);
    const auto found = std::span(p.found).first(static_cast<size_t>(p.foundCount));
    for (uint32_t pair : found)
        ++from[(pair >> 16) + 1];
    for (int i = 0; i < p.ordinary; ++i)
        from[i + 1] += from[i];
    p.pairs.resize(found.size());
    for (uint32_t pair : found)
        p.pairs[from[pair >> 16]++] = pair;
    // from[i] is now where index i's pairs end.
    auto begin = p.pairs.begin();
    for (int i = 0; i < p.ordinary; ++i) {
        const auto end = p.pairs.begin() + from[i];
        std::sort(begin, end);
        begin = end;
    }
    p.pairs.erase(std::unique(p.pairs.begin(), p.pairs.end()), p.pairs.end());
}

// Places the small items in the grid, centred on their median cell on each
// axis; the items beyond its span, and the obstacles whose reach leaves
// the world's cells, join the large ones.
void FillGrid(Prefilter& p, double largeRadius)
{
    Cell cells[kMaxSceneItems];
    bool small[kMaxSceneItems];
    int64_t along[3][kMaxSceneItems];
    int n = 0;
    for (int i = 0; i < p.count; ++i) {
        const ItemState& s = p.items[i];
        small[i] = s.testable && std::fabs(static_cast<double>(s.radius)) <= largeRadius &&
                   CellOf(s.position, p.cellSize, cells[i]);
        if (small[i]) {
            along[0][n] = cells[i].x;
            along[1][n] = cells[i].y;
            along[2][n] = cells[i].z;
            ++n;
        } else if (s.testable) {
            p.large[p.largeCount++] = static_cast<uint16_t>(i);
        }
    }
    if (n == 0)
        return;
    int64_t middle[3];
    for (int k = 0; k < 3; ++k) {
        std::nth_element(along[k], along[k] + n / 2, along[k] + n);
        middle[k] = along[k][n / 2];
    }
    p.origin = {middle[0] - kCellSpan / 2, middle[1] - kCellSpan / 2, middle[2] - kCellSpan / 2};
    const auto inside = [](int64_t v) { return v >= 1 && v <= kCellSpan - 2; };
    for (int i = 0; i < p.count; ++i) {
        if (!small[i])
            continue;
        const ItemState& s = p.items[i];
        const uint16_t index = static_cast<uint16_t>(i);
        const Cell c{cells[i].x - p.origin.x, cells[i].y - p.origin.y, cells[i].z - p.origin.z};
        if (!inside(c.x) || !inside(c.y) || !inside(c.z) ||
            ((s.flags & kItemObstacle) && !ReachBox(p, s, index, p.obstacles[p.obstacleCount]))) {
            p.large[p.largeCount++] = index;
            continue;
        }
        p.grid[p.gridCount++] = {PackCell(c.x, c.y, c.z), index};
        if (s.flags & kItemObstacle)
            ++p.obstacleCount;
    }
    std::sort(p.grid, p.grid + p.gridCount);
}

// Takes the list as it stands and picks the candidate pairs: those whose
// centres lie within reach on each axis (WithinReach; five times as far
// when either is an obstacle). A uniform grid of cubes as wide as the
// longest reach between two small items finds them: each item meets only
// the items of the neighbouring cubes, so the work grows with the crowd,
// not with its square (a sweep along one axis meets every item whose
// shadow on that axis overlaps). Each obstacle meets the items of the
// cubes its own reach covers, which at a constant density are as many
// however large the crowd. The few items much larger than the median
// (stations, planets) or outside the grid's range meet every item.
bool SnapshotAndPickPairs()
{
    Prefilter& p = gPicked;
    p.count = 0;
    p.ordinary = -1;
    p.tailGroup = gTailGroup;
    for (SceneItem* s = gSceneList.next; s != &gSceneList; s = s->next) {
        if (p.count == kMaxSceneItems)
            return false; // never, with the pool's size; the plain loop copes
        if (s == gTailGroup)
            p.ordinary = p.count;
        p.items[p.count] = StateOf(s);
        p.dirty[p.count] = false;
        ++p.count;
    }
    if (p.ordinary < 0)
        p.ordinary = p.count;
    p.dirtyList.clear();
    p.foundCount = 0;
    p.pairs.clear();
    p.gridCount = p.obstacleCount = p.largeCount = 0;

    // Small and large by the median radius.
    double radii[kMaxSceneItems];
    int testable = 0;
    for (int i = 0; i < p.count; ++i)
        if (p.items[i].testable)
            radii[testable++] = std::fabs(static_cast<double>(p.items[i].radius));
    if (testable == 0)
        return true;
    std::nth_element(radii, radii + testable / 2, radii + testable);
    const double largeRadius = kLargeShare * std::max(radii[testable / 2], 1.0);
    p.largestSmall = 0.0;
    for (int i = 0; i < p.count; ++i) {
        const double r = std::fabs(static_cast<double>(p.items[i].radius));
        if (p.items[i].testable && r <= largeRadius)
            p.largestSmall = std::max(p.largestSmall, r);
    }
    // Wider than any reach between two small items, so that two items in
    // reach lie in the same or neighbouring cells.
    p.cellSize = std::max(2.0 * p.largestSmall * 1.000001 + 0.002, 1.0) * 1.001;

    FillGrid(p, largeRadius);
    PickNeighbourPairs(p);
    for (int k = 0; k < p.obstacleCount; ++k)
        PickObstaclePairs(p, p.obstacles[k]);
    // The large items against everything testable.
    for (int k = 0; k < p.largeCount; ++k) {
        MakeRoom(p, p.count);
        for (int j = 0; j < p.count; ++j)
            if (p.items[j].testable && j != p.large[k])
                Consider(p, p.large[k], static_cast<uint16_t>(j));
    }
    SortPairs(p);
    return true;
}

bool ListStillMatches()
{
    const Prefilter& p = gPicked;
    if (gTailGroup != p.tailGroup)
        return false;
    int i = 0;
    for (SceneItem* s = gSceneList.next; s != &gSceneList; s = s->next, ++i)
        if (i >= p.count || p.items[i].item != s)
            return false;
    return i == p.count;
}

// After a contact: every item from `from` on whose broad-phase state the
// responses changed is tested with everything from now on.
void MarkChangedItems(int from)
{
    Prefilter& p = gPicked;
    for (int i = from; i < p.count; ++i) {
        if (p.dirty[i] || SameState(p.items[i], StateOf(p.items[i].item)))
            continue;
        p.dirty[i] = true;
        p.dirtyList.insert(std::upper_bound(p.dirtyList.begin(), p.dirtyList.end(), i), i);
    }
}

void PrefilteredPairs()
{
    Prefilter& p = gPicked;
    if (!SnapshotAndPickPairs()) {
        PlainPairs();
        return;
    }
    SceneListWalk outer;
    SceneListWalk inner;
    size_t cursor = 0;
    for (int a = 0; a < p.ordinary; ++a) {
        SceneItem* itemA = p.items[a].item;
        outer.next = itemA->next;
        while (cursor < p.pairs.size() && static_cast<int>(p.pairs[cursor] >> 16) < a)
            ++cursor;
        int b = a;
        for (;;) {
            // The next B: the next item when A changed, else the nearer of
            // A's next candidate and the next changed item.
            int next = p.count;
            if (p.dirty[a]) {
                next = b + 1;
            } else {
                while (cursor < p.pairs.size() && static_cast<int>(p.pairs[cursor] >> 16) == a &&
                       static_cast<int>(p.pairs[cursor] & 0xFFFF) <= b)
                    ++cursor;
                if (cursor < p.pairs.size() && static_cast<int>(p.pairs[cursor] >> 16) == a)
                    next = static_cast<int>(p.pairs[cursor] & 0xFFFF);
                auto d = std::upper_bound(p.dirtyList.begin(), p.dirtyList.end(), b);
                if (d != p.dirtyList.end())
                    next = std::min(next, *d);
            }
            if (next >= p.count)
                break;
            b = next;
            SceneItem* itemB = p.items[b].item;
            inner.next = itemB->next;
            const uint32_t contacts = gContactCount;
            TestPair(itemA, itemB);
            if (contacts == gContactCount)
                continue;
            if (!ListStillMatches()) {
                ContinuePlainPairs(itemA, outer, inner);
                return;
            }
            MarkChangedItems(a);
        }
    }
}

} // namespace

// ---- Frame ------------------------------------------------------------------------

void PrepareCollisionFrame()
{
    gSceneItemCount = 0;
    for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next) {
        item->avatar->flags &= ~kAvatarTouched;
        item->flags &= ~(kItemJumpCheck | kItemNearPlanet | kItemNearSurface);
        if (Sim* sim = item->sim) {
            if (item->perFrame != UpdateCoupledShip)
                sim->flags &= ~kSimTowed;
        }
        UpdateTDPWorldCentres(item);
        ++gSceneItemCount;
    }
}

void TestAllCollisions()
{
    gPairTests = 0;
    for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next) {
        item->avatar->obstacle = nullptr;
        item->avatar->obstacleCloseness = kFarCloseness;
    }
    if (gPrefilter)
        PrefilteredPairs();
    else
        PlainPairs();
}

void SetCollisionPrefilter(bool on) { gPrefilter = on; }

int32_t CollisionPairTests() { return gPairTests; }

void CollideTDPTrees(TDP* a, TDP* b)
{
    for (; a; a = a->nextSibling) {
        if ((a->flags & kTdpCollides) && CollideTDPNode(a, b)) {
            a->flags |= kTdpHit;
            return;
        }
        CollideTDPTrees(a->firstChild, b);
    }
}

bool CollideHullBounds(TDP* p, const Matrix4& pMatrix, TDP* q, const Matrix4& qMatrix, Vector3 s)
{
    if (!p->hullBounds || !q->hullBounds)
        return false;
    const Matrix4* pm = &pMatrix;
    const Matrix4* qm = &qMatrix;
    if (p->hullBounds->radius > q->hullBounds->radius) {
        std::swap(p, q);
        std::swap(pm, qm);
        s = {-s.x, -s.y, -s.z};
    }
    if (!q->hullBounds->boxes)
        return false;
    return CollidePointsWithBoxes(p, *pm, q, *qm, s);
}

// ---- Radii and centres ------------------------------------------------------------

void InitSceneItemRadii()
{
    for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next) {
        UpdateTDPWorldCentres(item);
        SetSceneItemRadius(item);
    }
}

void InitTDPRadii()
{
    for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next)
        InitTDPRadius(item->avatar->root);
}

void SetSceneItemRadius(SceneItem* item)
{
    Sim* sim = item->sim;
    if (!sim || sim->radius != 0.0f)
        return;
    sim->radius = TDPTreeRadius(item->avatar->root, ItemPosition(item));
}

float TDPTreeRadius(const TDP* part, const Vector3& point)
{
    if (!part)
        return kNoPartRadius;
    const Vector3 d{part->worldCentre.x - point.x, part->worldCentre.y - point.y,
                    part->worldCentre.z - point.z};
    const float own = VecLength(d) + part->radius;
    return std::max({own, TDPTreeRadius(part->firstChild, point),
                     TDPTreeRadius(part->nextSibling, point)});
}

void InitTDPRadius(TDP* part)
{
    for (; part; part = part->nextSibling) {
        if (part->radius == 0.0f) {
            if (!part->hullBounds && part->model)
                part->hullBounds = FindHullBounds(part->model);
            if (part->hullBounds)
                part->radius = part->hullBounds->radius;
            else
                ComputeTDPModelRadius(part);
        }
        InitTDPRadius(part->firstChild);
    }
}

void ComputeTDPModelRadius(TDP* part)
{
    if (part->flags & kTdpNoModelRadius)
        return;
    const hx_model* model = part->model;
    if (!model || !model->vertices) {
        part->radius = kNoPartRadius;
        return;
    }
    float longest = 0.0f;
    for (int i = 0; i < model->nvertices; ++i) {
        const hx_vector3& v = model->vertices[i].p;
        longest = std::max(longest, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
    }
    part->radius = longest;
}

void UpdateTDPWorldCentres(SceneItem* item)
{
    if (!item->sim || !item->avatar->root)
        return;
    Matrix4 axes = item->sim->matrix;
    axes.m[12] = axes.m[13] = axes.m[14] = 0.0f;
    const WorldPosition& p = item->sim->position;
    PlaceTree(item->avatar->root, Vector3d{p.x, p.y, p.z}, axes);
}

void SetTDPTreeOwner(TDP* node, SceneItem* owner)
{
    for (; node; node = node->nextSibling) {
        node->owner = owner;
        SetTDPTreeOwner(node->firstChild, owner);
    }
}

void AddHullBoundsPoint(TDP* part, const Vector3& point)
{
    HullBounds* bounds = part->hullBounds;
    if (!bounds)
        return;
    const int count = std::clamp(bounds->pointCount, 0, kHullBoundsPoints);
    for (int i = 0; i < count; ++i) {
        const Vector3& q = bounds->points[i];
        if (q.x == point.x && q.y == point.y && q.z == point.z)
            return;
    }
    if (count == kHullBoundsPoints)
        return;
    bounds->points[count] = point;
    bounds->pointCount = count + 1;
}

void ScaleHullBounds(HullBounds* bounds, float radius)
{
    // Without a radius there is nothing to scale from: only the new one is kept.
    if (bounds->radius > 0.0f) {
        const float f = radius / bounds->radius;
        for (HullBox* box = bounds->boxes; box; box = box->next) {
            box->minimum = {box->minimum.x * f, box->minimum.y * f, box->minimum.z * f};
            box->maximum = {box->maximum.x * f, box->maximum.y * f, box->maximum.z * f};
        }
    }
    bounds->radius = radius;
}

// ---- kqzSpawnScene ------------------------------------------------------------------

SceneItem* kqzSpawnScene(SceneItem* item, TDP* part)
{
    if (!part) {
        FatalError("kqzSpawnScene - TDPPtr==NULL");
        return item;
    }
    TDP* root = item->avatar->root;
    if ((part == root && !root->nextSibling) || (part->flags & kTdpPlaceholder))
        return item;
    TDP** link = nullptr;
    if (part != root && !FindTDPLink(item, part, &link))
        return item;
    TDP* placeholder = NewTDP();
    if (!placeholder)
        return item;
    placeholder->flags = (placeholder->flags & ~kTdpCollides) | kTdpPlaceholder;
    placeholder->owner = item;
    placeholder->nextSibling = part->nextSibling;
    part->nextSibling = nullptr;
    if (part == root)
        item->avatar->root = placeholder;
    else
        *link = placeholder;

    SceneItem* piece = NewSceneItem();
    if (!piece)
        return item;
    InsertSceneItem(piece, item->flags);
    Sim* sim = AttachSim(piece, DriftStep);
    if (!sim)
        return item;
    SetControlFunction(piece, nullptr);
    SetAvatarCallbacks(piece, CopySimToAvatar, SyncAvatarTdps);
    if (item->message)
        SetMessageFunction(piece, item->message);
    else
        piece->receiver = AllocReceiver();
    piece->avatar->collision = item->avatar->collision;
    piece->avatar->root = part;
    SetTDPTreeOwner(part, piece);
    sim->matrix = part->local;
    MatIdentity(part->local);
    sim->matrix.m[12] = part->worldCentre.x;
    sim->matrix.m[13] = part->worldCentre.y;
    sim->matrix.m[14] = part->worldCentre.z;
    // The double position too, so that the piece starts where the part was.
    sim->position = {part->worldCentre.x, part->worldCentre.y, part->worldCentre.z};
    piece->avatar->matrix = sim->matrix;
    sim->previousMatrix = sim->matrix;
    part->offset = {0.0f, 0.0f, 0.0f};
    UpdateTDPWorldCentres(piece);
    SetSceneItemRadius(piece);
    return piece;
}
