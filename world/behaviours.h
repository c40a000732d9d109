// Object behaviours: the per-frame routines of free bodies, rocks,
// flares, plasma balls and the like.
#pragma once

struct SceneItem;

void BallisticStep(SceneItem* item);
// Holds a tethered item at the tether length (Avatar value 4) from its
// anchor (Avatar value 3), on the line between them.
void KeepTetherDistance(SceneItem* item);
// Sends LDS interdiction to every item within the radius, every 200
// hundredths (counted in Avatar value 4).
void EmitLdsInhibitorPulse(SceneItem* item, float radius);
// Sparks at random hull points of a damaged ship.
void SparkStep(SceneItem* item);
// A ship interdicted in LDS (message kind 18): random kicks to its turn
// rates, harder the faster it flew.
void InterdictionJolt(SceneItem* item);
// The per-frame routine of a plasma ball: it grows, shimmers and lives out
// its countdown.
void PlasmaBallStep(SceneItem* item);
