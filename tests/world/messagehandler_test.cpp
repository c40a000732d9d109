// The default message handler: every kind from the body sent to the state
// after handling (fields, flags, follow-up messages and their delays), the
// end of handling after kinds 0 and 21, the repair chain run by its own
// messages, the destruction bookkeeping, and items that died meanwhile.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ai/combat.h"
#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "screens/bridge.h"
#include "screens/vesselorders.h"
#include "system/calltrace.h"
#include "system/crand.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "tests/support/effects_probe.h"
#include "tests/support/sound_fixture.h"
#include "tests/support/universe_fixture.h"
#include "tests/support/world_fixture.h"
#include "ui/dialogue.h"
#include "ui/shiplog.h"
#include "ui/contacts.h"
#include "view/cameras.h"
#include "world/actions.h"
#include "world/behaviours.h"
#include "world/damage.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/tally.h"
#include "world/universe.h"

using worldtest::FatalStops;
using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

// The items of a handler test: the player's ship, a ship, a second ship
// and a rock (no ShipInfo), all handled by the real handler.
struct Scene {
    SceneItem* player;
    SceneItem* ship;
    SceneItem* other;
    SceneItem* rock;
};

Scene BuildScene()
{
    Scene s{};
    s.player = MakeItem(nullptr, nullptr, HandleItemMessages);
    MakeShip(s.player)->name = "Player";
    gPlayerItem = gControlledItem = s.player;
    s.ship = MakeItem(nullptr, nullptr, HandleItemMessages);
    MakeShip(s.ship)->name = "Raider";
    s.other = MakeItem(nullptr, nullptr, HandleItemMessages);
    MakeShip(s.other)->name = "Escort";
    s.rock = MakeItem(nullptr, nullptr, HandleItemMessages);
    s.rock->sim->hull = 100;
    return s;
}

using Bytes = std::vector<uint8_t>;

template <typename Body>
Bytes BodyBytes(const Body& body)
{
    Bytes bytes(sizeof body);
    std::memcpy(bytes.data(), &body, sizeof body);
    return bytes;
}

Bytes ItemBytes(const SceneItem* item)
{
    return BodyBytes(ItemBody{ItemHandle(item)});
}

HitPayload HitFrom(const SceneItem* attacker, int32_t amount)
{
    HitPayload hit{};
    hit.point[0] = 5.0f;
    hit.amount = amount;
    hit.armour = 1000; // goes through any armour
    hit.attacker = ItemHandle(attacker);
    return hit;
}

// Posts to the item from `from` (delay 0) and runs its handler once.
void Deliver(SceneItem* item, uint16_t kind, const Bytes& body, const SceneItem* from = nullptr)
{
    const uint32_t sender = from ? from->receiver : item->receiver;
    ASSERT_TRUE(PostItemMessage(sender, item->receiver, 0, kind, static_cast<int32_t>(body.size()),
                                body.empty() ? nullptr : body.data()));
    HandleItemMessages(item);
}

// The messages now waiting for a receiver, by kind with ticks until due;
// they stay queued.
struct Pending {
    uint16_t kind;
    int32_t delay;
    Bytes body;
    bool operator==(const Pending& o) const { return kind == o.kind && delay == o.delay && body == o.body; }
};

std::vector<Pending> Queued(uint32_t receiver)
{
    // Read them by moving the clock forward, then put everything back.
    std::vector<Pending> found;
    const uint32_t now = gFrameClock.gameClock;
    std::vector<ItemMessage> taken;
    for (int32_t ahead = 0; ahead <= 1000; ++ahead) {
        gFrameClock.gameClock = now + static_cast<uint32_t>(ahead);
        ItemMessage m;
        while (FetchItemMessage(receiver, &m)) {
            found.push_back({m.kind, ahead, Bytes(m.body, m.body + m.BodyLength())});
            taken.push_back(m);
        }
    }
    gFrameClock.gameClock = now;
    for (const ItemMessage& m : taken)
        PostItemMessage(m.sender, receiver, m.due - static_cast<int32_t>(now), m.kind, m.BodyLength(), m.body);
    return found;
}

int gHitResponses = 0;
HitPayload gLastHit{};
void RecordHit(SceneItem*, const void* record)
{
    ++gHitResponses;
    std::memcpy(&gLastHit, record, sizeof gLastHit);
}
void AnyCollision(SceneItem*, TDP*, SceneItem*, TDP*, int16_t*, const Vector3*) {}

struct KindCase {
    const char* name;
    uint16_t kind;
    // Sets the scene up and gives the body to send to the ship (or to
    // `target` when it sets one).
    std::function<Bytes(Scene&, SceneItem*& target)> arrange;
    std::function<void(Scene&, SceneItem* target)> check;
};

// The handler's sounds: hit, impact, docked.
bool Heard(int slot) { return CapturedSound::TakePlay(slot); }

// Couples the ship (follower) to the other item at a port each.
void DockShipToOther(Scene& s)
{
    AddDockPoint(s.ship, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    AddDockPoint(s.other, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    ASSERT_EQ(CoupleAtDockPoints(s.ship, s.other, NthDockPoint(s.ship, 0, nullptr), NthDockPoint(s.other, 0, nullptr), 0), 1);
}

class HandlerTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        sound_.LoadSlots({10, 20, 30});
        CRandSeed(11);
        ClearTally();
        gHitResponses = 0;
        gTargetSearchIgnoredItem = nullptr;
        gPendingJumpSystem = 0;
        gPendingJumpBody = nullptr;
        gDockingAligned = 0;
        gRemoteLinkItem = nullptr;
    }
    void TearDown() override
    {
        gTargetSearchIgnoredItem = nullptr;
        gPendingJumpSystem = 0;
        gPendingJumpBody = nullptr;
        gRemoteLinkItem = nullptr;
        WorldTest::TearDown();
    }

    void RunCases(const std::vector<KindCase>& cases)
    {
        for (const KindCase& c : cases) {
            SCOPED_TRACE(c.name);
            ResetSimulation();
            ClearTally();
            ClearCallTrace();
            gLoopFlags = LoopFlags{};
            SoundStopAll();
            gHitResponses = 0;
            gLastHit = {};
            gFrameClock.gameClock = 1000;
            Scene scene = BuildScene();
            SceneItem* target = scene.ship;
            const Bytes body = c.arrange(scene, target);
            Deliver(target, c.kind, body);
            c.check(scene, target);
        }
    }

    CapturedSound sound_;
};

Bytes None(Scene&, SceneItem*&) { return {}; }

} // namespace

TEST_F(HandlerTest, EveryKindActsOnItsBody)
{
    const std::vector<KindCase> cases = {
        {"0 deletes the item and drops every reference to it", kMsgDelete,
         [](Scene& s, SceneItem*&) {
             s.other->sim->target = s.ship;
             s.other->avatar->escort = s.ship;
             s.other->sim->shipInfo->leader = s.ship;
             s.player->sim->target = s.ship;
             s.ship->sim->shipInfo->flags |= kShipGroupLeader;
             gLastGroupNumber = 60;
             gContacts.playerTarget = s.other; // replaced by what lies ahead: nothing
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             EXPECT_FALSE(s.ship->flags & kItemInUse);
             EXPECT_FALSE(IsInSceneList(s.ship));
             EXPECT_EQ(s.other->sim->target, nullptr);
             EXPECT_EQ(s.other->avatar->escort, nullptr);
             EXPECT_EQ(s.other->sim->shipInfo->leader, nullptr);
             EXPECT_EQ(s.player->sim->target, nullptr);
             // A new target was looked for ahead, and nothing lies there.
             EXPECT_EQ(gContacts.playerTarget, nullptr);
             EXPECT_EQ(gContacts.navTarget, nullptr);
             EXPECT_EQ(gLastGroupNumber, 61); // the leader left its group
         }},
        {"1 marks the parts in the scene breakable", kMsgMarkBreakable,
         [](Scene& s, SceneItem*&) {
             TDP* root = s.ship->avatar->root;
             root->flags = kTdpInUse | kTdpInScene;
             AddChildTDP(root, nullptr, 0, 0, 0)->flags = kTdpInUse;
             AddChildTDP(root, nullptr, 0, 0, 0)->flags = kTdpInUse | kTdpInScene;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             const TDP* root = s.ship->avatar->root;
             EXPECT_TRUE(root->flags & kTdpBreakable);
             int marked = 0;
             for (const TDP* t = root->firstChild; t; t = t->nextSibling)
                 marked += (t->flags & kTdpBreakable) ? 1 : 0;
             EXPECT_EQ(marked, 1);
         }},
        {"2 copies hooks of exactly the hooks' size", kMsgSetResponses,
         [](Scene&, SceneItem*&) { return BodyBytes(ResponseHooksBody{AnyCollision, RecordHit}); },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.ship->avatar->collision, AnyCollision);
             EXPECT_EQ(s.ship->avatar->hitResponse, RecordHit);
         }},
        {"2 refuses a body of another size", kMsgSetResponses,
         [](Scene&, SceneItem*&) {
             Bytes b = BodyBytes(ResponseHooksBody{AnyCollision, RecordHit});
             b.resize(b.size() - 4);
             return b;
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.ship->avatar->collision, nullptr);
             EXPECT_EQ(s.ship->avatar->hitResponse, nullptr);
         }},
        {"5 sets the target", kMsgSetTarget, [](Scene& s, SceneItem*&) { return ItemBytes(s.other); },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->target, s.other); }},
        {"5 leaves a ship that keeps its target alone", kMsgSetTarget,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimKeepsTarget;
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->target, nullptr); }},
        {"5 ignores the item the target searches skip", kMsgSetTarget,
         [](Scene& s, SceneItem*&) {
             gTargetSearchIgnoredItem = s.other;
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->target, nullptr); }},
        {"6 records the player's kill, fires key 0 and calls the hit response", kMsgHit,
         [](Scene& s, SceneItem*&) {
             AddTallyItem(s.ship);
             const int16_t cycle = kActionColourCycle;
             AddAction(s.ship, kEventHit, kActionCallback, &cycle);
             s.ship->avatar->hitResponse = RecordHit;
             return BodyBytes(HitFrom(s.player, 40));
         },
         [](Scene& s, SceneItem*) {
             const TallyEntry* row = FindTallyEntry(s.ship->avatar->params[kParamTallySerial]);
             ASSERT_NE(row, nullptr);
             EXPECT_EQ(row->destroyed, 255);
             EXPECT_EQ(s.ship->avatar->colour, 9); // the Action fired
             EXPECT_EQ(gHitResponses, 1);
             EXPECT_EQ(gLastHit.amount, 40);
             EXPECT_EQ(effectsprobe::Count(s.ship, effectsprobe::kDestruction), 0);
             EXPECT_TRUE(Heard(10));
         }},
        {"6 from another ship counts no kill and breaks off by default", kMsgHit,
         [](Scene& s, SceneItem*&) {
             AddTallyItem(s.ship);
             return BodyBytes(HitFrom(s.other, 40));
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(FindTallyEntry(s.ship->avatar->params[kParamTallySerial])->destroyed, 0);
             EXPECT_EQ(effectsprobe::Count(s.ship, effectsprobe::kDestruction), 1);
         }},
        {"7 on a ship goes to the combat code, which wears the hull down by 50 to 149 %", kMsgImpact,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->shipInfo->damage.maximumHull = 1000;
             return BodyBytes(HitFrom(s.other, 40));
         },
         [](Scene& s, SceneItem*) {
             const int32_t taken = s.ship->sim->shipInfo->damage.hullDamage;
             EXPECT_GE(taken, 20);
             EXPECT_LE(taken, 59);
             EXPECT_EQ(s.ship->sim->hull, 100 - taken * 100 / 1000);
             EXPECT_TRUE(Heard(20));
             EXPECT_FALSE(Heard(10));
         }},
        {"7 on an object wears its hull down", kMsgImpact,
         [](Scene& s, SceneItem*& target) {
             target = s.rock;
             return BodyBytes(HitFrom(s.other, 40));
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.rock->sim->hull, 60);
             EXPECT_EQ(effectsprobe::Count(s.rock, effectsprobe::kHitBurst), 1);
             EXPECT_TRUE(Queued(s.rock->receiver).empty());
         }},
        {"7 takes at least 1", kMsgImpact,
         [](Scene& s, SceneItem*& target) {
             target = s.rock;
             return BodyBytes(HitFrom(s.other, 0));
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.rock->sim->hull, 99); }},
        {"7 past the hull destroys the object: the hit follows at once, in the same handling", kMsgImpact,
         [](Scene& s, SceneItem*& target) {
             target = s.rock;
             s.other->sim->target = s.rock;
             return BodyBytes(HitFrom(s.other, 150));
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.rock->sim->hull, -50);
             EXPECT_EQ(s.other->sim->target, nullptr);
             EXPECT_EQ(effectsprobe::Count(s.rock, effectsprobe::kDestruction), 1);
             EXPECT_TRUE(Queued(s.rock->receiver).empty());
         }},
        {"7 on an object already destroyed destroys nothing more", kMsgImpact,
         [](Scene& s, SceneItem*& target) {
             target = s.rock;
             s.rock->sim->hull = -5;
             return BodyBytes(HitFrom(s.other, 10));
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.rock->sim->hull, -15);
             EXPECT_EQ(effectsprobe::Count(s.rock, effectsprobe::kDestruction), 0);
         }},
        {"7 never wraps the hull around", kMsgImpact,
         [](Scene& s, SceneItem*& target) {
             target = s.rock;
             s.rock->sim->hull = -2000000000;
             return BodyBytes(HitFrom(s.other, 2000000000));
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.rock->sim->hull, INT32_MIN); }},
        {"7 on an object that takes no damage only flashes", kMsgImpact,
         [](Scene& s, SceneItem*& target) {
             target = s.rock;
             s.rock->sim->flags |= kSimNoDamage;
             return BodyBytes(HitFrom(s.other, 150));
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.rock->sim->hull, 100);
             EXPECT_EQ(effectsprobe::Count(s.rock, effectsprobe::kHitBurst), 1);
         }},
        {"7 on the player while the director runs is skipped", kMsgImpact,
         [](Scene& s, SceneItem*& target) {
             target = s.player;
             gDirectorOn = 1;
             return BodyBytes(HitFrom(s.other, 40));
         },
         [](Scene& s, SceneItem*) {
             gDirectorOn = 0;
             EXPECT_EQ(s.player->sim->shipInfo->damage.hullDamage, 0);
             EXPECT_FALSE(Heard(20));
         }},
        {"8 clears the link that names the sender's item", kMsgUnlink,
         [](Scene& s, SceneItem*&) {
             s.ship->avatar->linkItem = s.other;
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->avatar->linkItem, nullptr); }},
        {"8 keeps a link to another item", kMsgUnlink,
         [](Scene& s, SceneItem*&) {
             s.ship->avatar->linkItem = s.rock;
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->avatar->linkItem, s.rock); }},
        {"9 undocks", kMsgUndock,
         [](Scene& s, SceneItem*&) {
             DockShipToOther(s);
             return Bytes{};
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(FindDockedItem(s.ship, nullptr), nullptr); }},
        {"10 far from its target: a hit from itself", kMsgBlast,
         [](Scene& s, SceneItem*&) {
             s.ship->avatar->hitResponse = RecordHit;
             s.ship->sim->target = s.other;
             s.other->avatar->matrix.m[12] = 1e6f;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(gHitResponses, 1);
             EXPECT_EQ(gLastHit.attacker, ItemHandle(s.ship));
             EXPECT_EQ(gLastHit.amount, 0);
             EXPECT_TRUE(Heard(10));
         }},
        {"10 within 300,000 of its target's surface: nothing", kMsgBlast,
         [](Scene& s, SceneItem*&) {
             s.ship->avatar->hitResponse = RecordHit;
             s.ship->sim->target = s.other;
             s.other->avatar->matrix.m[12] = 200000.0f;
             return Bytes{};
         },
         [](Scene&, SceneItem*) {
             EXPECT_EQ(gHitResponses, 0);
             EXPECT_FALSE(Heard(10));
         }},
        {"11 enables the dock point", kMsgEnableDockPoint,
         [](Scene& s, SceneItem*&) {
             for (int n = 0; n < 3; ++n)
                 AddDockPoint(s.ship, 0, 1, 0, 0, 0, 0, 0, 0, 50);
             return BodyBytes(DockPointBody{2});
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(NthDockPoint(s.ship, 1, nullptr)->flags & kDockFree, 0u);
             EXPECT_EQ(NthDockPoint(s.ship, 2, nullptr)->flags & kDockFree, kDockFree);
         }},
        {"13 docks at the first points and fires key 5 with the other item", kMsgDock,
         [](Scene& s, SceneItem*&) {
             const int16_t cycle = kActionColourCycle;
             AddAction(s.ship, kEventDocked, kActionCallback, &cycle);
             StartDirector();
             AddDockPoint(s.ship, 0, 1, 0, 0, 0, 0, 0, 0, 50);
             AddDockPoint(s.other, 0, 1, 0, 0, 0, 0, 0, 0, 50);
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(FindDockedItem(s.ship, s.other), s.other);
             EXPECT_EQ(s.ship->avatar->colour, 9);
             // The director cuts to the docking pair.
             EXPECT_EQ(gCameras.director.event, kShotDocking);
             EXPECT_EQ(gCameras.director.subject.Get(), s.ship);
             EXPECT_EQ(gCameras.director.target.Get(), s.other);
             ResetCameras();
             EXPECT_TRUE(Heard(30));
         }},
        {"14 a ship without a side takes any escort", kMsgEscort,
         [](Scene& s, SceneItem*&) {
             s.other->sim->shipInfo->side = 3;
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->avatar->escort, s.other); }},
        {"14 a ship of a side takes an escort of its own side", kMsgEscort,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->shipInfo->side = s.other->sim->shipInfo->side = 2;
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->avatar->escort, s.other); }},
        {"14 but never one of another side", kMsgEscort,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->shipInfo->side = 2;
             s.other->sim->shipInfo->side = 3;
             return ItemBytes(s.other);
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->avatar->escort, nullptr); }},
        {"15 with a positive system takes the docked ships and jumps after 70", kMsgJumpStart,
         [](Scene& s, SceneItem*&) {
             DockShipToOther(s);
             return BodyBytes(JumpStartBody{4});
         },
         [](Scene& s, SceneItem*) {
             const std::vector<Pending> along = {{kMsgJumpStart, 6, BodyBytes(JumpStartBody{-4})}};
             EXPECT_EQ(Queued(s.other->receiver), along);
             EXPECT_TRUE(s.ship->sim->flags & kSimJumpUnderWay);
             EXPECT_EQ(effectsprobe::Sweeps(s.ship, -1), 1);
             const std::vector<Pending> expected = {{kMsgCapsuleJump, 70, BodyBytes(CapsuleJumpBody{4})}};
             EXPECT_EQ(Queued(s.ship->receiver), expected);
         }},
        {"15 with a negated system (a docked ship) only jumps", kMsgJumpStart,
         [](Scene& s, SceneItem*&) {
             DockShipToOther(s);
             return BodyBytes(JumpStartBody{-4});
         },
         [](Scene& s, SceneItem*) {
             EXPECT_TRUE(Queued(s.other->receiver).empty());
             const std::vector<Pending> expected = {{kMsgCapsuleJump, 70, BodyBytes(CapsuleJumpBody{4})}};
             EXPECT_EQ(Queued(s.ship->receiver), expected);
         }},
        {"16 parks another ship in the destination's group", kMsgCapsuleJump,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimJumpUnderWay;
             s.player->sim->target = s.ship;
             return BodyBytes(CapsuleJumpBody{4});
         },
         [](Scene& s, SceneItem*) {
             EXPECT_FALSE(IsInSceneList(s.ship));
             EXPECT_TRUE(s.ship->flags & kItemInUse);
             EXPECT_EQ(s.ship->sceneGeneration, 4);
             EXPECT_FALSE(s.ship->sim->flags & kSimJumpUnderWay);
             EXPECT_TRUE(s.ship->sim->flags & kSimPlaceNearL4);
             EXPECT_EQ(s.player->sim->target, nullptr);
         }},
        {"16 to its own group leaves a ship where it is", kMsgCapsuleJump,
         [](Scene& s, SceneItem*&) { return BodyBytes(CapsuleJumpBody{s.ship->sceneGeneration}); },
         [](Scene& s, SceneItem*) {
             EXPECT_TRUE(IsInSceneList(s.ship));
         }},
        {"16 on the player plays the capsule film and asks the frame for the jump", kMsgCapsuleJump,
         [](Scene& s, SceneItem*& target) {
             target = s.player;
             gFilmName.clear();
             gDialogue.commsState = 0;
             worldtest::LoadTestUniverse("id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n"
                                         "300,Vessa,300,S,0,0,0,0,0,0,0,0,0\n"
                                         "301,L4,300,L4,0,0,0,0,0,0,0,0,0\n",
                                         {{"Vessa", 4, 0, {0, 0, 0}}});
             return BodyBytes(CapsuleJumpBody{4});
         },
         [](Scene& s, SceneItem*) {
             EXPECT_TRUE(IsInSceneList(s.player));
             EXPECT_EQ(gLoopFlags.jumpArrivalRequest, 1);
             EXPECT_EQ(gPendingJumpSystem, 4);
             EXPECT_EQ(gFilmName, "zqk\\resource\\video\\hyper.smk"); // asked for; not on disc here
             ASSERT_NE(gPendingJumpBody, nullptr);                    // system 4's L4, where the ship arrives
             EXPECT_STREQ(gPendingJumpBody->name, "L4");
             EXPECT_EQ(gPendingJumpBody->id, 301);
             ResetUniverse();
             EXPECT_EQ(gDialogue.commsState, -1) << "the conversations were stopped";
             gDialogue.commsState = 0;
         }},
        {"17 elects a leader", kMsgElectLeader, None,
         [](Scene& s, SceneItem*) {
             // Alone in its group: it leads, with the "FixedAttack" order.
             EXPECT_NE(s.ship->sim->shipInfo->flags & kShipGroupLeader, 0u);
             EXPECT_STREQ(s.ship->sim->shipInfo->orders[1].name, "FixedAttack");
         }},
        {"18 jolts a ship in LDS, bars the drive and releases it after 250", kMsgInterdiction,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimLdsEngaged;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             const Vector3 kick = s.ship->sim->turnRates; // the jolt
             EXPECT_NE(kick.x * kick.x + kick.y * kick.y + kick.z * kick.z, 0.0f);
             EXPECT_TRUE(s.ship->sim->flags & kSimLdsBarred);
             const std::vector<Pending> expected = {{kMsgLdsRelease, 250, {}}};
             EXPECT_EQ(Queued(s.ship->receiver), expected);
         }},
        {"18 on a barred drive: no jolt", kMsgInterdiction,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimLdsEngaged | kSimLdsBarred;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             const Vector3 rates = s.ship->sim->turnRates;
             EXPECT_EQ(rates.x * rates.x + rates.y * rates.y + rates.z * rates.z, 0.0f);
         }},
        {"18 on a projectile posts no release", kMsgInterdiction,
         [](Scene& s, SceneItem*&) {
             s.ship->avatar->classFlags |= kSenseProjectile;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             EXPECT_TRUE(s.ship->sim->flags & kSimLdsBarred);
             EXPECT_TRUE(Queued(s.ship->receiver).empty());
         }},
        {"19 lifts the bar", kMsgLdsRelease,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimLdsBarred | kSimLdsEngaged;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->flags & (kSimLdsBarred | kSimLdsEngaged), kSimLdsEngaged); }},
        {"20 turns the item by the impact", kMsgImpactTorque,
         [](Scene&, SceneItem*&) { return BodyBytes(ImpactTorqueBody{{1, 2, 3}, {4, 5, 6}, 7, {0, 0}}); },
         [](Scene& s, SceneItem*) {
             const Vector3& r = s.ship->sim->turnRates;
             EXPECT_TRUE(r.x != 0.0f && r.y != 0.0f && r.z != 0.0f);
         }},
        {"21 repairs another ship and schedules the next step", kMsgRepair,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->shipInfo->damage.maximumHull = 1000;
             // Two to mend: one step mends at most one, and the chain goes on.
             s.ship->sim->shipInfo->damage.capabilities = kCapMainThrust | kCapLdsDrive;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             const auto queued = Queued(s.ship->receiver);
             ASSERT_EQ(queued.size(), 1u);
             EXPECT_EQ(queued[0].kind, kMsgRepair);
         }},
        {"21 never repairs the player's ship", kMsgRepair,
         [](Scene& s, SceneItem*& target) {
             target = s.player;
             s.player->sim->shipInfo->damage.maximumHull = 1000;
             s.player->sim->shipInfo->damage.capabilities = kCapMainThrust;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.player->sim->shipInfo->damage.capabilities, kCapMainThrust);
             EXPECT_TRUE(Queued(s.player->receiver).empty());
         }},
        {"22 makes collisions bounce hard for 200", kMsgHardBounce, None,
         [](Scene& s, SceneItem*) {
             EXPECT_TRUE(s.ship->sim->flags & kSimHardBounce);
             const std::vector<Pending> expected = {{kMsgHardBounceEnd, 200, {}}};
             EXPECT_EQ(Queued(s.ship->receiver), expected);
         }},
        {"23 ends it", kMsgHardBounceEnd,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimHardBounce;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) { EXPECT_FALSE(s.ship->sim->flags & kSimHardBounce); }},
        {"24 a ship lets go of a dead leader its order aimed at", kMsgShipDied,
         [](Scene& s, SceneItem*&) {
             AddTallyItem(s.other);
             s.ship->sim->shipInfo->orderTarget = s.other;
             return BodyBytes(ShipDiedBody{s.other->avatar->params[kParamTallySerial]});
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->shipInfo->orderTarget, nullptr); }},
        {"24 keeps an order aimed elsewhere", kMsgShipDied,
         [](Scene& s, SceneItem*&) {
             AddTallyItem(s.other);
             s.ship->sim->shipInfo->orderTarget = s.rock;
             return BodyBytes(ShipDiedBody{s.other->avatar->params[kParamTallySerial]});
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->shipInfo->orderTarget, s.rock); }},
        {"25 turns a missile aimed at the protected ship to the flare", kMsgDecoy,
         [](Scene& s, SceneItem*&) {
             s.ship->avatar->classFlags |= kSenseMissile;
             s.ship->sim->target = s.player;
             return BodyBytes(DecoyBody{ItemHandle(s.player), ItemHandle(s.rock)});
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.ship->sim->target, s.rock);
             EXPECT_EQ(s.ship->sim->secondTarget, s.rock);
         }},
        {"25 leaves a missile aimed at another ship alone", kMsgDecoy,
         [](Scene& s, SceneItem*&) {
             s.ship->avatar->classFlags |= kSenseMissile;
             s.ship->sim->target = s.other;
             return BodyBytes(DecoyBody{ItemHandle(s.player), ItemHandle(s.rock)});
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->target, s.other); }},
        {"25 is nothing to a ship that is not a missile", kMsgDecoy,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->target = s.player;
             return BodyBytes(DecoyBody{ItemHandle(s.player), ItemHandle(s.rock)});
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->target, s.player); }},
        {"26 clears the brake and nothing else", kMsgUnbrake,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimBraked | kSimScattering;
             AddDockPoint(s.ship, 0, 1, 0, 0, 0, 0, 0, 0, 50);
             return Bytes{};
         },
         [](Scene& s, SceneItem*) {
             EXPECT_EQ(s.ship->sim->flags & (kSimBraked | kSimScattering), kSimScattering);
             EXPECT_EQ(NthDockPoint(s.ship, 0, nullptr)->flags & kDockFree, 0u);
         }},
        {"27 clears the scattering", kMsgUnscatter,
         [](Scene& s, SceneItem*&) {
             s.ship->sim->flags |= kSimBraked | kSimScattering;
             return Bytes{};
         },
         [](Scene& s, SceneItem*) { EXPECT_EQ(s.ship->sim->flags & (kSimBraked | kSimScattering), kSimBraked); }},
    };
    RunCases(cases);
}

TEST_F(HandlerTest, KindsWithoutEffectAndUnknownKindsChangeNothing)
{
    Scene s = BuildScene();
    s.ship->sim->flags |= kSimLdsEngaged;
    const Sim before = *s.ship->sim;
    const Avatar avatarBefore = *s.ship->avatar;
    ClearCallTrace();
    for (uint16_t kind : {uint16_t{3}, uint16_t{4}, uint16_t{12}, uint16_t{28}, uint16_t{200}, uint16_t{0xFFFF}})
        Deliver(s.ship, kind, BodyBytes(int32_t{77}));
    EXPECT_EQ(std::memcmp(&before, s.ship->sim, sizeof before), 0);
    EXPECT_EQ(std::memcmp(&avatarBefore, s.ship->avatar, sizeof avatarBefore), 0);
    EXPECT_TRUE(RecordedCalls().empty());
    // Handling went on past the unknown kinds.
    Deliver(s.ship, 29, {});
    Deliver(s.ship, kMsgHardBounce, {});
    EXPECT_TRUE(s.ship->sim->flags & kSimHardBounce);
}

TEST_F(HandlerTest, MessagesAboutItemsThatDiedMeanwhileDoNothing)
{
    Scene s = BuildScene();
    const Bytes gone = ItemBytes(s.other);
    const Bytes decoy = BodyBytes(DecoyBody{ItemHandle(s.player), ItemHandle(s.other)});
    s.ship->avatar->linkItem = nullptr;
    DeleteSceneItem(s.other);
    s.ship->avatar->classFlags |= kSenseMissile;
    s.ship->sim->target = s.player;
    ClearCallTrace();
    for (uint16_t kind : {kMsgSetTarget, kMsgUnlink, kMsgDock, kMsgEscort})
        Deliver(s.ship, kind, gone);
    Deliver(s.ship, kMsgDecoy, decoy);
    EXPECT_EQ(s.ship->sim->target, s.player);
    EXPECT_EQ(s.ship->avatar->escort, nullptr);
    EXPECT_EQ(FindDockedItem(s.ship, nullptr), nullptr);
    // The slot taken again by a new item does not make the old handle live.
    SceneItem* reused = MakeItem(nullptr, nullptr, HandleItemMessages);
    ASSERT_NE(reused, nullptr);
    Deliver(s.ship, kMsgSetTarget, gone);
    EXPECT_EQ(s.ship->sim->target, s.player);
}

TEST_F(HandlerTest, DeletionEndsTheFramesHandlingAndLaterMessagesDieWithTheItem)
{
    Scene s = BuildScene();
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgDelete, 0, nullptr);
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgHardBounce, 0, nullptr);
    HandleItemMessages(s.ship);
    EXPECT_FALSE(s.ship->flags & kItemInUse);
    EXPECT_FALSE(s.ship->sim->flags & kSimHardBounce);
    EXPECT_EQ(ReceiverPendingCount(s.ship->receiver), 0);
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(HandlerTest, ARepairEndsTheFramesHandlingLaterMessagesWait)
{
    Scene s = BuildScene();
    s.ship->sim->shipInfo->damage.maximumHull = 1000;
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgRepair, 0, nullptr);
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgHardBounce, 0, nullptr);
    HandleItemMessages(s.ship);
    EXPECT_FALSE(s.ship->sim->flags & kSimHardBounce);
    HandleItemMessages(s.ship);
    EXPECT_TRUE(s.ship->sim->flags & kSimHardBounce);
}

TEST_F(HandlerTest, AnInterdictionRepeatedWithin300HoldsTheBarFrom300AfterTheLast)
{
    Scene s = BuildScene();
    gFrameClock.gameClock = 1000;
    Deliver(s.ship, kMsgInterdiction, {});
    gFrameClock.gameClock = 1200;
    Deliver(s.ship, kMsgInterdiction, {});
    EXPECT_EQ(ReceiverPendingCount(s.ship->receiver), 1);
    for (uint32_t clock : {1250u, 1499u}) {
        gFrameClock.gameClock = clock;
        HandleItemMessages(s.ship);
        EXPECT_TRUE(s.ship->sim->flags & kSimLdsBarred) << clock;
    }
    gFrameClock.gameClock = 1500;
    HandleItemMessages(s.ship);
    EXPECT_FALSE(s.ship->sim->flags & kSimLdsBarred);
}

TEST_F(HandlerTest, APlasmaBallDestroysAnObjectButOnlyDamagesThePlayersShip)
{
    Scene s = BuildScene();
    SceneItem* ball = MakeItem(PlasmaBallStep, nullptr, HandleItemMessages);
    const Bytes hit = BodyBytes(HitFrom(ball, 5));
    gFrameClock.gameClock = 1000;
    // The rock's own delete is due at once: it goes in the same handling.
    Deliver(s.rock, kMsgImpact, hit, ball);
    EXPECT_FALSE(s.rock->flags & kItemInUse);
    EXPECT_TRUE(Heard(10));
    EXPECT_TRUE(Heard(20));

    // The player's ship gets the hit from the ball instead: handled in the
    // same pass, it only goes to the hit response.
    ClearCallTrace();
    s.player->avatar->hitResponse = RecordHit;
    s.player->sim->shipInfo->damage.maximumHull = 1000;
    Deliver(s.player, kMsgImpact, hit, ball);
    EXPECT_GT(s.player->sim->shipInfo->damage.hullDamage, 0); // the combat code's damage
    EXPECT_EQ(gHitResponses, 1);
    EXPECT_EQ(gLastHit.attacker, ItemHandle(ball));
    EXPECT_TRUE(s.player->flags & kItemInUse);
    EXPECT_TRUE(Heard(10)); // the hit that followed, not the impact itself
}

TEST_F(HandlerTest, TheRepairChainRunsOnItsOwnMessagesUntilTheShipIsWhole)
{
    Scene s = BuildScene();
    ShipInfo& info = *s.ship->sim->shipInfo;
    info.damage.maximumHull = 1000;
    info.damage.hullDamage = 300;
    info.damage.capabilities = kCapMainThrust | kCapLdsDrive | kCapWeapons;
    info.flags |= kShipRepairPending;
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgRepair, 0, nullptr);
    int frames = 0;
    for (; frames < 20000 && (info.flags & kShipRepairPending); ++frames)
        worldtest::RunFrame(10);
    EXPECT_FALSE(info.flags & kShipRepairPending);
    EXPECT_EQ(info.damage.capabilities & kCapKeepRepairing, 0);
    EXPECT_LE(info.damage.hullDamage, 20);
    EXPECT_GT(frames, 100); // one step every several seconds, never all at once
    EXPECT_EQ(ReceiverPendingCount(s.ship->receiver), 0);
}

TEST_F(HandlerTest, ADestructionIsLoggedWithKillerAndVictim)
{
    Scene s = BuildScene();
    SceneItem* missile = MakeItem(nullptr, nullptr, HandleItemMessages);
    missile->avatar->classFlags |= kSenseMissile;
    missile->avatar->params[kParamTetherAnchor] = static_cast<int32_t>(ItemHandle(s.other));
    struct Case {
        const char* name;
        const SceneItem* attacker;
        size_t entries;
    };
    const Case cases[] = {
        {"a ship's kill", s.other, 1},
        {"a missile's kill goes to its launcher", missile, 1},
        {"no hit record", nullptr, 0},
        {"the ship itself", s.ship, 0},
        {"an attacker without a name", s.rock, 0},
    };
    for (const Case& c : cases) {
        ResetShipLog();
        if (c.attacker) {
            const HitPayload hit = HitFrom(c.attacker, 1);
            NoteItemDestroyed(s.ship, &hit);
        } else {
            NoteItemDestroyed(s.ship, nullptr);
        }
        EXPECT_EQ(gShipLog.count, static_cast<int16_t>(c.entries)) << c.name;
    }
}

TEST_F(HandlerTest, ADestroyedItemLeavesNoReferenceBehind)
{
    Scene s = BuildScene();
    CouplingPartner partner{};
    partner.item = s.ship;
    CouplingLink link{2, nullptr, &partner};
    s.other->sim->shipInfo->couplings = &link;
    s.other->sim->towLink = s.ship;
    s.other->sim->flags |= kSimTowed;
    s.other->sim->secondTarget = s.ship;
    s.other->avatar->linkItem = s.ship;
    s.other->avatar->lockedOn = s.ship;
    s.other->avatar->lockedAmount = 9;
    s.other->sim->shipInfo->hardPoints[1].target = s.ship;
    s.other->sim->shipInfo->orders[3].savedTarget = s.ship;
    s.other->sim->shipInfo->orders[7].savedLeader = s.ship;
    s.rock->sim->target = s.ship;
    ParkSceneItem(s.rock, 0, 0, 0);
    s.player->sim->secondTarget = s.ship;
    s.ship->sim->flags |= kSimRemoteControllable;
    ToggleRemoteLink(s.player, s.ship);
    ASSERT_EQ(gRemoteLinkItem, s.ship);
    ResetContactList();
    gContacts.rows[0].item = s.ship;
    gContacts.rows[0].rowFlags = kContactUsed;
    gContacts.playerTarget = s.other;

    NoteItemDestroyed(s.ship, nullptr);

    EXPECT_EQ(partner.item, nullptr);
    EXPECT_EQ(s.other->sim->towLink, nullptr);
    EXPECT_FALSE(s.other->sim->flags & kSimTowed);
    EXPECT_EQ(s.other->sim->secondTarget, nullptr);
    EXPECT_EQ(s.other->avatar->linkItem, nullptr);
    EXPECT_EQ(s.other->avatar->lockedOn, nullptr);
    EXPECT_EQ(s.other->avatar->lockedAmount, 0);
    EXPECT_EQ(s.other->sim->shipInfo->hardPoints[1].target, nullptr);
    EXPECT_EQ(s.other->sim->shipInfo->orders[3].savedTarget, nullptr);
    EXPECT_EQ(s.other->sim->shipInfo->orders[7].savedLeader, nullptr);
    EXPECT_EQ(s.rock->sim->target, nullptr); // parked items too
    EXPECT_EQ(s.player->sim->secondTarget, nullptr);
    EXPECT_EQ(gRemoteLinkItem, nullptr);
    EXPECT_EQ(gCameras.remote.linked, 0); // the link released
    EXPECT_EQ(gControlledItem, s.player);
    EXPECT_EQ(IsContact(s.ship), 0);
    EXPECT_EQ(gContacts.playerTarget, s.other); // the target was another: none looked for
    s.other->sim->shipInfo->couplings = nullptr;
}

TEST_F(HandlerTest, AnEcmFlareDivertsTheMissilesAimedAtTheShipItProtects)
{
    Scene s = BuildScene();
    SceneItem* flare = MakeItem(nullptr, nullptr, HandleItemMessages);
    SceneItem* missiles[2];
    for (SceneItem*& m : missiles) {
        m = MakeItem(nullptr, nullptr, HandleItemMessages);
        m->avatar->classFlags |= kSenseMissile;
    }
    missiles[0]->sim->target = s.player;
    missiles[1]->sim->target = s.other;
    s.player->sim->radius = 1000.0f;

    // Far beyond 12 x (radius + 10,000) the flare never speaks.
    flare->sim->position = {12.5 * 11000.0, 0.0, 0.0};
    AnnounceDecoyToMissiles(flare, s.player);
    for (SceneItem* m : missiles)
        EXPECT_EQ(ReceiverPendingCount(m->receiver), 0);
    EXPECT_EQ(ReceiverPendingCount(s.ship->receiver), 0);

    flare->sim->position = {3.0 * 11000.0, 0.0, 0.0};
    AnnounceDecoyToMissiles(flare, s.player);
    for (SceneItem* m : missiles)
        HandleItemMessages(m);
    EXPECT_EQ(missiles[0]->sim->target, flare);
    EXPECT_EQ(missiles[0]->sim->secondTarget, flare);
    EXPECT_EQ(missiles[1]->sim->target, s.other);
    EXPECT_EQ(ReceiverPendingCount(s.ship->receiver), 0); // ships are not told
}

TEST_F(HandlerTest, HandlingStopsWhenAResponseDeletedTheItem)
{
    Scene s = BuildScene();
    s.ship->avatar->hitResponse = [](SceneItem* item, const void*) { DeleteSceneItem(item); };
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgHit, HitFrom(s.other, 1));
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgDelete, 0, nullptr);
    HandleItemMessages(s.ship);
    EXPECT_FALSE(s.ship->flags & kItemInUse);
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(HandlerTest, AShipsJumpRunsOnTheWorldClockFrameByFrame)
{
    Scene s = BuildScene();
    gFrameClock.gameClock = 1000;
    PostItemMessage(s.ship->receiver, s.ship->receiver, 0, kMsgJumpStart, JumpStartBody{6});
    worldtest::RunFrame(10);
    EXPECT_EQ(effectsprobe::Sweeps(s.ship, -1), 1);
    EXPECT_TRUE(s.ship->sim->flags & kSimJumpUnderWay);
    // The start was handled at 1010; the jump comes 70 later.
    for (int frame = 0; frame < 6; ++frame) {
        worldtest::RunFrame(10);
        ASSERT_TRUE(IsInSceneList(s.ship)) << gFrameClock.gameClock;
    }
    worldtest::RunFrame(10);
    EXPECT_EQ(gFrameClock.gameClock, 1080u);
    EXPECT_FALSE(IsInSceneList(s.ship));
    EXPECT_EQ(s.ship->sceneGeneration, 6);
    EXPECT_TRUE(s.ship->sim->flags & kSimPlaceNearL4);
    EXPECT_EQ(gLoopFlags.jumpArrivalRequest, 0); // only the player's jump asks the frame
}
