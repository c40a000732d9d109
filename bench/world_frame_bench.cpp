// One whole simulation frame with 400 items, the later passes standing in.
#include <benchmark/benchmark.h>

#include "system/frameclock.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"

namespace {

void Drift(SceneItem* item) {
    Sim* sim = item->sim;
    float dt = gFrameClock.frameSeconds;
    sim->position.x += sim->velocity.x * dt;
    sim->position.y += sim->velocity.y * dt;
    sim->position.z += sim->velocity.z * dt;
    sim->matrix.m[12] = static_cast<float>(sim->position.x);
    sim->matrix.m[13] = static_cast<float>(sim->position.y);
    sim->matrix.m[14] = static_cast<float>(sim->position.z);
}

void Steer(SceneItem* item) {
    item->pitchDemand = static_cast<float>(ShiftRegisterRandom() % 201) - 100.0f;
    // Every item pings the next one now and then.
    if (ShiftRegisterRandom() % 32 == 0 && item->next && item->next->receiver)
        PostItemMessage(item->receiver, item->next->receiver, 5, 12, 8, &item->sim->position);
}

void Fetch(SceneItem* item) {
    ItemMessage m;
    while (FetchItemMessage(item->receiver, &m))
        item->sim->hull -= 1;
}

void CopyToAvatar(SceneItem* item) {
    item->avatar->matrix = item->sim->matrix;
    item->avatar->velocity = item->sim->velocity;
}

void BM_SimulationFrame400(benchmark::State& state) {
    gFrameClock = FrameClock{};
    ResetSimulation();
    for (int i = 0; i < kMaxSceneItems; ++i) {
        SceneItem* item = NewSceneItem();
        InsertSceneItem(item, i % 5 == 4 ? kItemTailGroup : 0);
        Sim* sim = AttachSim(item, Drift);
        SetControlFunction(item, Steer);
        SetMessageFunction(item, Fetch);
        SetAvatarCallbacks(item, CopyToAvatar, nullptr);
        AttachRootTDP(item);
        sim->velocity = {static_cast<float>(i), 100.0f, -50.0f};
    }
    gPlayerItem = gControlledItem = gSceneList.next;
    for (auto _ : state) {
        gFrameClock.frameTicks = 5;
        gFrameClock.frameSeconds = 0.05f;
        gFrameClock.gameClock += 5;
        RunSimulationFrame();
    }
    state.SetItemsProcessed(state.iterations() * kMaxSceneItems);
}
BENCHMARK(BM_SimulationFrame400);

} // namespace
