// Collision detection: once a frame, every pair of parts that touch.
#pragma once

void PrepareCollisionFrame();
void TestAllCollisions();
