// The game's vector and matrix maths on single-precision floats.
//
// Points and directions are row vectors multiplied on the left (p' = p x M);
// rows 0 to 2 of a Matrix4 are the local X, Y, Z axes and elements 12 to 14
// the translation. Angles are degrees. The 3D framework has its own maths;
// the two are never mixed.
#pragma once

struct Vector3 {
    float x, y, z;
};

struct Matrix4 {
    float m[16];
};
