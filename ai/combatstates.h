// The AI combat states: the attack-run loop that asks the planner for a
// manoeuvre (CombatState, SelfPreservationState), the manoeuvres
// themselves (tail-biting, facing, fleeing), the fixed close-and-fire cycle,
// the gun runs, and the states that pick, defend against and fight one enemy.
#pragma once

#include "ai/aistate.h"

// 19: pushes off_Close, then off_FireAtWill, for as long as the order lasts.
AIStateResult* GenericOffensiveState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 20: closes on a point behind the target, firing what bears.
AIStateResult* off_Close(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 21: up to four aimed shots at a target in range.
AIStateResult* off_FireAtWill(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 24: turns the best-bearing mount on the target and fires; full thrust from 100000.
AIStateResult* Gun_lead_motion(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 25: fires FireWeaponConstant at the leader, parameter 1 shots at most.
AIStateResult* ConstantFire(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 26: the defended object's attacker becomes the enemy, fought once.
AIStateResult* Retaliation(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 27: retaliates for the defended object, then keeps near it.
AIStateResult* DefendMothership(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 30: keeps parameter 1 (0: the enemy's radius + 150000) behind the enemy, firing.
AIStateResult* TailBitingState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 31: closes to the range, then faces the enemy, firing.
AIStateResult* FaceAttackState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 32: closes on the target (by LDS when far), stopping it from fleeing by LDS.
AIStateResult* CombatAchieveRange(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 33: asks PlanAttackRun for a manoeuvre and pushes it; brakes when there is none.
AIStateResult* CombatState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 34: CombatState with the enemy chosen by PickBestEnemy.
AIStateResult* SelfPreservationState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 35: high-speed passes: aim beside the enemy, fire within the pass
// distance, brake, and round again.
AIStateResult* WeaponsPassState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 40: runs past the enemy, aiming beside it.
AIStateResult* OrbitalAttack(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 44: one CombatState against one enemy.
AIStateResult* CombatOnce(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 45: CombatOnce, then back to following the commander.
AIStateResult* WingmanCombatOnce(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 58: pushes esc_Flee, then stays.
AIStateResult* EscapeState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 59: runs on along its heading, firing what bears; reviews every 2.5 s.
// esc_Flee's third parameter when the caller would rather leave by LDS: the
// flee hands back at once while the ship's drive works.
constexpr int32_t kFleeByLds = 2;
AIStateResult* esc_Flee(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// 60: the nearest item with the include flags and none of the exclude
// flags within the range becomes leader and target.
AIStateResult* AcquireTarget(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
