// The contact list and targeting.
//
// The refresh walks the scene list every refresh interval: each object with
// a contact class passes the detection test (UpdateContact) or loses its
// row; the rows of the filter class then form the visible list, sorted by
// insertion (CompareContacts is not a strict order: a strength share
// depends on the pair, so a library sort could run off the list's end).
// Selection, stepping and the hostile searches read the rows; targeting
// writes the player's target and the player's Sim targets.
#include "ui/contacts.h"

#include <cmath>
#include <limits>

#include "ai/orders.h"
#include "system/frameclock.h"
#include "ui/hud.h"
#include "ui/hudframe.h"
#include "ui/windows.h"
#include "view/viewstate.h"
#include "view/viewwindows.h"
#include "world/messages.h"
#include "world/rayqueries.h"
#include "world/scenelist.h"
#include "world/simframe.h"

ContactListState gContacts{};

namespace {

constexpr int32_t kRefreshTicks = 50;
constexpr float kRangeFloor = 1e7f;
constexpr double kSignalScale = 1.429e12;
constexpr float kThreatFar = 1e8f;
constexpr uint32_t kClassFilterBits[8] = {0xffffffff, 0x40, 0x80, 0x100, 0x600, 0, 0xffffff, 0xff000000};
// Near range as a share of the detection range, by ShipInfo type.
constexpr float kNearShare[] = {0.15f, 0.5f, 0.15f, 0.1f, 0.1f, 0.5f, 0.5f};
// The relative-strength sort's weight of a ShipInfo kind.
constexpr int32_t kKindWeight[] = {1, 2, 6, 5, 4, 3};

// Contact classes by Avatar class flags, first match winning.
struct ClassRule {
    uint32_t flag;
    int32_t contactClass;
};
constexpr ClassRule kClassRules[] = {{0x4, 0}, {0x10, 1}, {0x8, 0}, {0x1, 2}, {0x400000, 7}, {0x1000000, 4}};

// The filter class a selected item brings, later rules winning; -1 keeps it.
constexpr ClassRule kSelectRules[] = {{0x400000, 7}, {0x30, 1}, {0x4, 0}};

// Classes a picked target must belong to (by Avatar class flag).
constexpr uint32_t kFilterClassFlag[3] = {0x4, 0x10, 0x1};

constexpr uint32_t kSideBits = 0x1fc0;
constexpr uint32_t kOtherSideBits = 0x780;
constexpr uint32_t kHostileExcluded = 0x70;
constexpr uint32_t kWideExcluded = 0x24;
constexpr uint32_t kSimNewTarget = 0x10000;

uint32_t Now() { return gFrameClock.gameClock; }

bool Alive(const SceneItem* item) { return item && (item->flags & kItemInUse); }

Vector3 Translation(const SceneItem* item)
{
    const Matrix4& m = item->sim->matrix;
    return {m.m[12], m.m[13], m.m[14]};
}

template <typename T, std::size_t N>
T TableAt(const T (&table)[N], int32_t index, T fallback)
{
    return index >= 0 && index < int32_t(N) ? table[index] : fallback;
}

// The HUD's bracket closes in on a newly chosen contact from the view's edges.
void StartBracketSlide()
{
    const ViewRect& v = gView.hudViewport;
    gHud.bracketRect[0] = int16_t(v.left);
    gHud.bracketRect[1] = int16_t(v.top);
    gHud.bracketRect[2] = int16_t(v.right);
    gHud.bracketRect[3] = int16_t(v.bottom);
    gHud.contactFlash = 1;
}

// Moves the window top by the least amount that shows the index.
void KeepInWindow(int32_t index)
{
    if (index < gContacts.windowTop)
        gContacts.windowTop = int16_t(index);
    else if (index >= gContacts.windowTop + kContactLines)
        gContacts.windowTop = int16_t(index - (kContactLines - 1));
}

void MakeCurrent(int32_t index)
{
    gContacts.current = gContacts.visible[index];
    gContacts.currentIndex = int16_t(index);
    StartBracketSlide();
    KeepInWindow(index);
}

// The visible index of the current contact, or -1.
int32_t CurrentVisibleIndex()
{
    for (int32_t i = 0; i < kContactRows && gContacts.visible[i]; ++i)
        if (gContacts.visible[i] == gContacts.current)
            return i;
    return -1;
}

Contact* AddContact(int32_t contactClass, SceneItem* item)
{
    if (item == gPlayerItem || (item->avatar->flags & kAvatarNoContact))
        return nullptr;
    Contact* row = FindContactRow(item);
    if (!row)
        for (Contact& r : gContacts.rows)
            if (!(r.rowFlags & kContactUsed)) {
                row = &r;
                break;
            }
    if (!row)
        return nullptr;
    row->contactClass = int16_t(contactClass);
    if (row->item != item) {
        row->highlight = 0;
        row->classFlags = 1024;
        row->rowFlags = kContactUsed;
        row->item = item;
        item->sim->contact = row;
    }
    return row;
}

// The detection test of one object of a contact class.
void UpdateContact(int32_t contactClass, SceneItem* item)
{
    if (item == gPlayerItem) {
        RemoveContact(item);
        return;
    }
    const Sim* sim = item->sim;
    const uint32_t flags = item->avatar->classFlags;
    const float range = std::max(sim->radius * 1000.0f, kRangeFloor);
    const Vector3 a = Translation(item), p = Translation(gPlayerItem);
    const float d = VecFastLength({a.x - p.x, a.y - p.y, a.z - p.z});
    const float nearRange = sim->shipInfo ? range * TableAt(kNearShare, sim->shipInfo->kind, 0.5f) : range * 0.5f;
    float signal = 0;
    if (contactClass != 7 && contactClass != 4) {
        if (!(flags & TableAt(kClassFilterBits, gContacts.classFilterIndex, 0u))) {
            RemoveContact(item);
            return;
        }
        // At distance 0 the signal is the strongest there is.
        const double s = d > 0 ? double(sim->signature) * kSignalScale / (double(d) * d)
                               : double(std::numeric_limits<float>::max());
        signal = float(std::log10(std::max(s, 1.0)));
        if (!gContacts.showAll && d > range && signal == 0) {
            RemoveContact(item);
            return;
        }
    }
    if (contactClass == 7 && !gContacts.showAll) {
        const bool hidden = flags & 0x2000000;
        if (d > 9e12f || hidden || (!(gCockpitDisplayOption & 0x10) && sim->radius >= 6.5e9f)) {
            RemoveContact(item);
            return;
        }
    }
    ++gContacts.classCounts[contactClass];
    Contact* row = AddContact(contactClass, item);
    if (!row)
        return;
    if (row->contactClass == gContacts.filterClass) {
        ++gContacts.visibleCount;
        const Sim* player = gPlayerItem->sim;
        if (gContacts.reselect && player->target.Get() == item)
            gContacts.current = row;
        else if (gContacts.reselect && !gContacts.current && player->navTarget.Get() == item)
            gContacts.current = row;
    }
    // The row keeps the sides and factions; only a real change blinks.
    const uint32_t kept = flags & kContactClassMask;
    if (d < nearRange && kept != row->classFlags) {
        row->classFlags = kept;
        row->highlight = kContactHighlightTicks;
    } else if (gContacts.showAll) {
        row->classFlags = kept;
    }
    row->distance = d;
    row->speed = sim->speed;
    row->signal = signal;
    ++gContacts.rowsUpdated;
    if ((flags & kClassMissile) && !(item->flags & kItemBeltShip) && sim->target.Get() == gPlayerItem)
        AddThreat(item, d);
}

// Sorts the listed rows by insertion: stable, and safe with any comparator.
void SortVisible(int32_t count)
{
    for (int32_t i = 1; i < count; ++i) {
        Contact* row = gContacts.visible[i];
        int32_t j = i;
        for (; j > 0 && CompareContacts(row, gContacts.visible[j - 1]); --j)
            gContacts.visible[j] = gContacts.visible[j - 1];
        gContacts.visible[j] = row;
    }
}

void ShowLine(WindowHandle* window, const Contact* row)
{
    window->subject.kind = WindowSubject::Kind::ContactRow;
    window->subject.row = row ? int32_t(row - gContacts.rows) : -1;
}

void BuildVisibleContacts()
{
    gContacts.windowTop = int16_t(std::max(0, std::min<int32_t>(gContacts.windowTop, gContacts.visibleCount - 7)));
    gContacts.linesInUse = 0;
    int32_t count = 0;
    for (Contact& row : gContacts.rows) {
        row.rowFlags &= ~kContactVisible;
        if ((row.rowFlags & kContactUsed) && row.contactClass == gContacts.filterClass) {
            row.rowFlags |= kContactVisible;
            gContacts.visible[count++] = &row;
            if (gContacts.linesInUse < kContactLines)
                ++gContacts.linesInUse;
        }
    }
    if (gContacts.sortMode != 0 && count > 1)
        SortVisible(count);
    gContacts.visibleCount = int16_t(count);
    gContacts.currentIndex = -1;
    for (int32_t i = 0; i < count; ++i) {
        gContacts.visible[i]->visiblePosition = int16_t(i);
        if (gContacts.visible[i] == gContacts.current)
            gContacts.currentIndex = int16_t(i);
    }
    for (int32_t i = count; i < kContactRows; ++i)
        gContacts.visible[i] = nullptr;
    for (int32_t line = gContacts.linesInUse; line < kContactLines; ++line)
        if (WindowHandle* w = gContacts.lineWindows[line]) {
            ShowLine(w, nullptr);
            guiRedrawOverlapping(w);
        }
    if (gContacts.currentIndex >= 0)
        KeepInWindow(gContacts.currentIndex);
    if (!gContacts.current && count > 0) {
        gContacts.current = gContacts.visible[0];
        gContacts.currentIndex = 0;
        gContacts.windowTop = 0;
    }
    for (WindowHandle* w : gContacts.lineWindows) {
        if (!w)
            continue;
        const int32_t line = int32_t(w->value);
        if (line < 0 || line >= gContacts.linesInUse)
            continue;
        const int32_t index = gContacts.windowTop + line;
        ShowLine(w, index < kContactRows ? gContacts.visible[index] : nullptr);
        guiRedrawWindowAndChildren(w);
    }
}

// Whether a listed item is an enemy under the mask and not one of the
// excluded kinds.
bool Matches(const Contact& row, uint32_t mask, uint32_t excluded)
{
    if (!(row.rowFlags & kContactUsed) || !row.item || !row.item->avatar)
        return false;
    const uint32_t flags = row.item->avatar->classFlags;
    return (flags & mask) && !(flags & excluded);
}

SceneItem* NearestMatching(uint32_t mask, uint32_t excluded)
{
    SceneItem* best = nullptr;
    float bestKey = 1e9f;
    for (const Contact& row : gContacts.rows)
        if (Matches(row, mask, excluded) && row.distance / 100 < bestKey) {
            bestKey = row.distance / 100;
            best = row.item;
        }
    return best;
}

uint32_t HostileMask(SceneItem* item) { return item ? EnemyClassMask(item) & ~uint32_t(4) : 0; }

// Every component of the model: the boxes of the root part's hull bounds.
template <typename Visit>
void ForEachComponent(SceneItem* target, Visit visit)
{
    const TDP* root = target->avatar ? target->avatar->root : nullptr;
    for (const HullBounds* hull = root ? root->hullBounds : nullptr; hull; hull = hull->next)
        for (HullBox* box = hull->boxes; box; box = box->next)
            visit(box);
}

int32_t ComponentKind(const HullBox* box) { return int32_t((box->flags >> 8) & 0x1ff); }

} // namespace

void ResetContactList()
{
    for (Contact& row : gContacts.rows)
        row = Contact{};
    for (int i = 0; i < kContactRows; ++i)
        gContacts.visible[i] = nullptr;
    gContacts.visibleCount = 0;
    gContacts.linesInUse = 0;
    gContacts.filterClass = 0;
    gContacts.sortMode = 1;
    gContacts.refreshInterval = kRefreshTicks;
    gContacts.nextRefresh = Now();
    gContacts.refreshed = 0;
    gContacts.current = nullptr;
    gContacts.currentIndex = 0;
    gContacts.windowTop = 0;
    gContacts.lastSeen = nullptr;
    gContacts.threatCount = 0;
    for (int i = 0; i < kContactThreats; ++i) {
        gContacts.threats[i] = nullptr;
        gContacts.threatDistances[i] = kThreatFar;
    }
    gContacts.selectedComponent = nullptr;
    gContacts.componentSelected = 0;
    ClearIncomingMissiles();
    gHudFrame.damageSeen = 0;
}

void UpdateContactList()
{
    for (Contact& row : gContacts.rows)
        if ((row.rowFlags & kContactUsed) && row.highlight >= 0)
            row.highlight = int16_t(row.highlight - gFrameClock.frameTicks);
    gContacts.refreshed = 0;
    if (int32_t(Now() - gContacts.nextRefresh) < 0)
        return;
    gContacts.nextRefresh = Now() + uint32_t(gContacts.refreshInterval ? gContacts.refreshInterval : kRefreshTicks);
    gContacts.refreshed = 255;
    gContacts.threatCount = 0;
    for (int i = 0; i < kContactThreats; ++i) {
        gContacts.threats[i] = nullptr;
        gContacts.threatDistances[i] = kThreatFar;
    }
    gContacts.rowsUpdated = 0;
    gContacts.visibleCount = 0;
    if (gContacts.current && !Alive(gContacts.current->item))
        gContacts.current = nullptr;
    for (int16_t& c : gContacts.classCounts)
        c = 0;
    if (gPlayerItem && gPlayerItem->sim)
        ForEachSceneItem([](SceneItem* item) {
            const int32_t contactClass = ContactClassOf(item);
            if (contactClass >= 0 && item->sim)
                UpdateContact(contactClass, item);
            return true;
        });
    BuildVisibleContacts();
    if (gContacts.current != gContacts.lastSeen) {
        gContacts.lastSeen = gContacts.current;
        if (gContacts.current && gContacts.current->lineWindow)
            gContacts.current->lineWindow->maximum = 0;
    }
    gContacts.reselect = 0;
}

void ForceContactRefresh() { gContacts.nextRefresh = Now(); }

uint8_t IsContact(SceneItem* item) { return item && FindContactRow(item) ? 255 : 0; }

void RemoveContact(SceneItem* item)
{
    if (!item)
        return;
    bool removed = false;
    for (Contact& row : gContacts.rows)
        if ((row.rowFlags & kContactUsed) && row.item == item) {
            row.rowFlags = 0;
            row.item = nullptr;
            if (gContacts.current == &row)
                gContacts.current = nullptr;
            removed = true;
        }
    // A deleted item must not stay behind in the threat list either.
    for (int i = 0; i < kContactThreats; ++i)
        if (gContacts.threats[i] == item)
            gContacts.threats[i] = nullptr;
    if (removed && item->sim)
        item->sim->contact = nullptr;
    if (removed && (item->flags & kItemCounted))
        PostItemMessage(item->receiver, item->receiver, 100, 0, 0, nullptr);
    gContacts.nextRefresh = Now();
}

void FlagContactClassChange(SceneItem* item)
{
    Contact* row = FindContactRow(item);
    if (!row || !item->avatar)
        return;
    const uint32_t kept = item->avatar->classFlags & kContactClassMask;
    if (kept != row->classFlags) {
        row->classFlags = kept;
        row->highlight = kContactHighlightTicks;
    }
}

void SelectContact(SceneItem* item)
{
    if (!item || !item->avatar)
        return;
    for (const ClassRule& rule : kSelectRules)
        if (item->avatar->classFlags & rule.flag)
            gContacts.filterClass = rule.contactClass;
    gContacts.nextRefresh = Now();
    UpdateContactList();
    for (int32_t i = 0; i < gContacts.visibleCount; ++i)
        if (gContacts.visible[i] && gContacts.visible[i]->item == item) {
            MakeCurrent(i);
            return;
        }
}

void SelectNextContact()
{
    const int32_t i = CurrentVisibleIndex();
    if (i < 0)
        return;
    MakeCurrent(i + 1 >= gContacts.visibleCount ? 0 : i + 1);
    gContacts.nextRefresh = Now();
}

void SelectPreviousContact()
{
    const int32_t i = CurrentVisibleIndex();
    if (i < 0)
        return;
    int32_t previous = i - 1;
    if (previous < 0 || !gContacts.visible[previous])
        previous = gContacts.visibleCount - 1;
    MakeCurrent(previous);
    gContacts.nextRefresh = Now();
}

void SelectNextOtherSideContact()
{
    Contact* start = gContacts.current;
    if (!start)
        return;
    const uint32_t own = gPlayerItem && gPlayerItem->avatar ? gPlayerItem->avatar->classFlags : 0;
    for (int step = 0; step < kContactRows + 1; ++step) {
        SelectNextContact();
        if (gContacts.current == start || ((gContacts.current->classFlags ^ own) & kOtherSideBits))
            break;
    }
    SceneItem* item = gContacts.current->item;
    gContacts.playerTarget = item;
    if (gPlayerItem && gPlayerItem->sim)
        gPlayerItem->sim->target = item;
    gContacts.nextRefresh = Now();
}

SceneItem* SelectTargetAhead(TDP* aim, int32_t forced)
{
    SceneItem* player = gPlayerItem;
    if (!player || !player->sim || !player->avatar)
        return nullptr;
    Sim* sim = player->sim;
    SceneItem* old = gContacts.playerTarget;
    const int32_t filter = gContacts.filterClass;
    uint32_t bits = filter != 0 ? 2 : 14;
    if (filter == 1)
        bits |= 0x10;
    if (filter == 2)
        bits |= 1;
    uint32_t mask = 0x400000;
    if (!forced) {
        mask = (player->avatar->classFlags & 0x1f80) | 0x400040;
        if (filter == 0)
            bits &= ~uint32_t(0x10);
        if (filter == 1)
            bits &= ~uint32_t(0x0c);
    }
    float offset = 0;
    SceneItem* target = FindNearestItemOnRay(player, aim, bits, mask, &offset, nullptr);
    if (!target && forced)
        target = FindNearestItemOnRay(player, aim, bits, 0, &offset, nullptr);
    if (!target) {
        gContacts.playerTarget = nullptr;
        return nullptr;
    }
    if (!forced) {
        if ((target->avatar->classFlags & kSideBits) == (player->avatar->classFlags & kSideBits))
            target = FindNearestHostileContact(player);
        const uint32_t need = TableAt(kFilterClassFlag, filter, 0u);
        if (!target || (need && !(target->avatar->classFlags & need))) {
            gContacts.playerTarget = nullptr;
            return nullptr;
        }
    }
    if (target != sim->target.Get()) {
        sim->flags &= ~kSimNewTarget;
        sim->target = target;
    }
    gContacts.playerTarget = target;
    SelectContact(target);
    if (CurrentContactItem() != target) {
        gContacts.playerTarget = old;
        sim->target = old;
    }
    if (!(sim->flags & kSimAiControl)) {
        gContacts.navTarget = gContacts.playerTarget.Get();
        sim->navTarget = gContacts.playerTarget.Get();
    }
    if (gContacts.playerTarget.Get() != old)
        gContacts.componentSelected = 0;
    return gContacts.playerTarget;
}

int32_t SelectNextTargetComponent(SceneItem* target)
{
    if (!target)
        return 0;
    HullBox* selected = gContacts.selectedComponent;
    bool selectedListed = false;
    ForEachComponent(target, [&](HullBox* box) { selectedListed |= box == selected; });
    if (!selectedListed)
        selected = nullptr;
    // The first with a kind after the selected one, wrapping to the head;
    // back at the selected one, it stays chosen when it has a kind.
    HullBox* before = nullptr; // first candidate up to the selected one
    HullBox* after = nullptr;  // first candidate after it
    bool passed = selected == nullptr;
    ForEachComponent(target, [&](HullBox* box) {
        if (passed && box != selected && !after && ComponentKind(box))
            after = box;
        if (!passed && !before && ComponentKind(box))
            before = box;
        if (box == selected)
            passed = true;
    });
    HullBox* chosen = after ? after : before;
    if (!chosen)
        return 0;
    gContacts.selectedComponent = chosen;
    gContacts.componentSelected = 1;
    gContacts.aimPoint = {(chosen->minimum.x + chosen->maximum.x) / 2, (chosen->minimum.y + chosen->maximum.y) / 2,
                          (chosen->minimum.z + chosen->maximum.z) / 2};
    return ComponentKind(chosen);
}

void CommitPlayerTarget()
{
    SceneItem* target = gContacts.playerTarget;
    gContacts.navTarget = target;
    if (gPlayerItem && gPlayerItem->sim) {
        gPlayerItem->sim->target = target;
        gPlayerItem->sim->navTarget = target;
    }
}

SceneItem* FindNearestHostileContact(SceneItem* item) { return NearestMatching(HostileMask(item), kHostileExcluded); }

SceneItem* FindNearestHostileContactWide(SceneItem* item)
{
    return NearestMatching(HostileMask(item) | 0x40, kWideExcluded);
}

SceneItem* FindNextHostileContact(SceneItem* item)
{
    const uint32_t mask = HostileMask(item);
    if (!gContacts.current || !Matches(*gContacts.current, mask, kHostileExcluded))
        return nullptr;
    const int32_t start = int32_t(gContacts.current - gContacts.rows);
    for (int32_t k = 1; k < kContactRows; ++k) {
        const Contact& row = gContacts.rows[(start + k) % kContactRows];
        if (Matches(row, mask, kHostileExcluded))
            return row.item;
    }
    return nullptr;
}

SceneItem* CurrentContactItem() { return gContacts.current ? gContacts.current->item : nullptr; }

Contact* FindContactRow(const SceneItem* item)
{
    if (!item)
        return nullptr;
    for (Contact& row : gContacts.rows)
        if ((row.rowFlags & kContactUsed) && row.item == item)
            return &row;
    return nullptr;
}

int32_t ContactClassOf(const SceneItem* item)
{
    if (!item || item->flags == 0 || !item->avatar)
        return -1;
    for (const ClassRule& rule : kClassRules)
        if (item->avatar->classFlags & rule.flag)
            return rule.contactClass;
    return -1;
}

bool CompareContacts(const Contact* a, const Contact* b)
{
    if (gContacts.sortMode != 2 || gContacts.filterClass == 7)
        return a->distance < b->distance;
    const Sim* sa = a->item && a->item->sim ? a->item->sim : nullptr;
    const Sim* sb = b->item && b->item->sim ? b->item->sim : nullptr;
    float va = 0, vb = 0;
    if (sa && sb && sa->shipInfo && sb->shipInfo) {
        const int32_t sum = sa->shipInfo->strength + sb->shipInfo->strength;
        va = float((sum ? sa->shipInfo->strength / sum : 0) + TableAt(kKindWeight, sa->shipInfo->kind, 0));
        vb = float((sum ? sb->shipInfo->strength / sum : 0) + TableAt(kKindWeight, sb->shipInfo->kind, 0));
    } else {
        const float ra = sa ? sa->radius : 0, rb = sb ? sb->radius : 0;
        const float sum = ra + rb;
        va = (sum != 0 ? ra / sum : 0) + 1;
        vb = (sum != 0 ? rb / sum : 0) + 1;
    }
    if (va == vb)
        return a->speed > b->speed;
    return va > vb;
}

void AddThreat(SceneItem* item, float distance)
{
    if (gContacts.threatCount < kContactThreats) {
        gContacts.threats[gContacts.threatCount] = item;
        gContacts.threatDistances[gContacts.threatCount] = distance;
        ++gContacts.threatCount;
        return;
    }
    for (int i = 0; i < kContactThreats; ++i)
        if (gContacts.threatDistances[i] > distance) {
            gContacts.threats[i] = item;
            gContacts.threatDistances[i] = distance;
            return;
        }
}
