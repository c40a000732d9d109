// Break-up into shrapnel: a part's model cut into pieces that fly apart,
// each piece a model of its own with the inner ("carbon") skin showing.
//
// Two forms. kqzBreakNearest hangs the pieces as drifting child parts
// under one new debris item; kqzBreakNearestIntoSceneItems makes every
// piece a free-flying scene item (cut around seeds, or in two halves along
// a plane). Both end the broken item with a deletion message to itself.
//
// Seeds, corner choices, colours and spins come from system/crand, so a
// break-up with the same seed gives the same pieces. Every piece model is
// registered under a name of its own ("Shrapnel.<serial>") and owned by
// its TDP (kTdpOwnsModels): deleting the item, or resetting the world,
// removes and frees it. This module does not own the collision responses
// that call it, nor the view layer that draws the pieces.
#pragma once

#include <cstdint>
#include <vector>

#include "world/records.h"

struct hx_model;

// At most this many pieces come out of one break-up; more are cut back
// with a debug message.
constexpr int kMaxShrapnelPieces = 32;
// Piece models are named this, with a serial after a dot.
inline constexpr char kShrapnelName[] = "Shrapnel";

// One row of a face assignment.
struct ShrapnelFace {
    uint16_t face;
    uint16_t piece; // kNoShrapnelPiece for a degenerate face
    uint8_t border; // 0: all three corners in the piece; 255 otherwise
};
constexpr uint16_t kNoShrapnelPiece = 0xFFFF;

// Which piece each face of a model goes to.
struct ShrapnelAssignment {
    uint16_t pieces;
    uint16_t faces;
    std::vector<ShrapnelFace> rows;    // one per face of the model
    std::vector<uint16_t> vertexPiece; // the piece of each model vertex
};

// The record of the scene-item form's entry point.
struct ShrapnelBreak {
    SceneItem* item;
    TDP* tdp;
    int32_t pieces;
    float x, y, z; // seed centre, model space
    float exponent;
    uint8_t split;          // non-zero: two halves along a plane
    uint8_t delayedMessage; // non-zero: each piece posts itself a hit later
};

// Cuts the TDP's full-detail model into `pieces` pieces around seeds
// crowding toward (x, y, z) and hangs them under a new debris item, which
// is returned. Null when the item is null ("kqzBreakNearest" through the
// fatal stop), the TDP is not in the item's tree, or nothing could be cut.
SceneItem* kqzBreakNearest(SceneItem* item, TDP* tdp, int32_t pieces, float x, float y, float z,
                           float exponent);
// Cuts the same way, or in two halves, and makes each piece a scene item.
// Returns the number of piece items made, 0 when nothing was broken.
int32_t kqzBreakNearestIntoSceneItems(const ShrapnelBreak* request);

// Every vertex to its nearest seed (first nearest on ties), every face to
// a piece by its corners. Degenerate faces (a repeated corner, a corner
// out of range, no area) go to no piece.
void AssignFacesToNearestSeeds(const hx_model* model, int pieces, const Vector3* seeds,
                               ShrapnelAssignment* out);
// Vertices above the plane (dot with the normal > distance) to piece 0,
// the others to piece 1; faces as above.
void AssignFacesToPlane(const hx_model* model, const Vector3& normal, float distance,
                        ShrapnelAssignment* out);
// Moves the model's vertices so that their mean is the origin; returns
// the old mean in *out (and out).
Vector3* CentreModel(Vector3* out, hx_model* model);
// The holder of kqzBreakNearest's pieces: a drifting item at the broken
// item's place, with its motion, and a bare root part. Null when a pool is
// exhausted (after the pool's message).
SceneItem* MakeDebrisItem(SceneItem* broken);
// Adds -3..+4 to every vertex colour index (wrapping in a byte) of a model
// that is not a shrapnel piece, then refreshes its bounds.
void JitterModelColours(hx_model* model);
// A TDP tree, its children and siblings, through DebugPrint.
void DumpTDPTree(int depth, const TDP* node);

// Removes from the model registry and frees the models of a TDP that owns
// them (kTdpOwnsModels), leaving it without. The scene list calls it as it
// frees a part tree.
void FreeOwnedTDPModels(TDP* node);
