// 3D Studio ASCII import: meshes, vertices and faces in order, edge flags,
// smoothing lists, materials by name, the limit on models, and malformed
// or over-long lines.
#include "tests/scene/scene_files.h"

namespace {

const char* kScene = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\n"
                     "\n"
                     "Named object: \"Hull\"\n"
                     "Tri-mesh, Vertices: 4     Faces: 2\n"
                     "Vertex list:\n"
                     "Vertex 0:  X: 1     Y: 2     Z: 3     U: 0.5     V: 0.25\n"
                     "Vertex 1:  X: -1     Y: 0     Z: 0\n"
                     "vertex 2:  X: 0     Y: 1     Z: 0\n"
                     "Vertex 3:  X: 5     Y: 5     Z: 5\n"
                     "Face list:\n"
                     "Face 0:    A:0 B:1 C:2 AB:1 BC:0 CA:1\n"
                     "Material:\"steel\"\n"
                     "Smoothing:  1, 3\n"
                     "Face 1:    A:1 B:2 C:3 AB:1 BC:1 CA:1\n"
                     "Smoothing:  17\n"
                     "Material:\"nothing\"\n"
                     "Direct light\n"
                     "Position:  X:1 Y:1 Z:1\n"
                     "Light color:  Red=1 Green=1 Blue=1\n"
                     "Named object: \"0unnamed\"\n"
                     "Tri-mesh, Vertices: 3     Faces: 1\n"
                     "Vertex 0:  X: 1     Y: 0     Z: 0\n"
                     "Vertex 2:  X: 9     Y: 9     Z: 9\n"
                     "Vertex 1:  X: 0     Y: 1     Z: 0\n"
                     "Face 0:    A:0 B:1 C:2 AB:1 BC:1 CA:1\n"
                     "Camera (Camera01)\n"
                     "Target (Target01)\n"
                     "Bank angle: 0\n"
                     "Named object: \"Third\"\n"
                     "Tri-mesh, Vertices: 0     Faces: 0\n";

} // namespace

TEST_F(HxSceneFiles, MeshesVerticesFacesSmoothingAndMaterialsAreRead)
{
    hx_material* steel = HxMaterialAdd(HxMaterialAllocate("steel"));
    WriteText("scene.asc", kScene);
    hx_model* models[4] = {};
    ASSERT_EQ(HxAscModelLoadMany("scene.asc", models, 4), 3);
    hx_model* hull = models[0];
    EXPECT_STREQ(hull->identifier, "Hull");
    ASSERT_EQ(hull->nvertices, 4);
    EXPECT_EQ(hull->vertices[0].p.z, 3);
    EXPECT_EQ(hull->vertices[0].map.y, 0.25f);
    EXPECT_EQ(hull->vertices[1].map.x, 0) << "fields not given stay 0";
    EXPECT_EQ(hull->vertices[2].p.y, 1) << "keywords match in any case";
    EXPECT_EQ(hull->vertices[3].p.x, 5);
    ASSERT_EQ(hull->nfaces, 2);
    EXPECT_EQ(hull->faces[0].flags, 2) << "BC hidden";
    EXPECT_EQ(hull->faces[0].smoothing, 0x0005);
    EXPECT_EQ(hull->faces[0].material, steel);
    EXPECT_EQ(hull->faces[1].vertices[2], 3);
    EXPECT_EQ(hull->faces[1].flags, 0);
    EXPECT_EQ(hull->faces[1].smoothing, 0x0001) << "group 17 wraps to bit 0";
    EXPECT_EQ(hull->faces[1].material, nullptr);

    EXPECT_EQ(models[1]->identifier, nullptr) << "a name beginning with 0 gives none";
    EXPECT_EQ(models[1]->vertices[0].p.x, 1);
    EXPECT_EQ(models[1]->vertices[1].p.x, 0) << "after an index that skips ahead nothing more is taken";
    EXPECT_EQ(models[1]->vertices[2].p.x, 0);
    EXPECT_STREQ(models[2]->identifier, "Third");
}

TEST_F(HxSceneFiles, TheModelLimitStopsAtTheNextMesh)
{
    WriteText("scene.asc", kScene);
    hx_model* models[2] = {};
    EXPECT_EQ(HxAscModelLoadMany("scene.asc", models, 2), 2);
    EXPECT_EQ(HxAscModelLoadMany("missing.asc", models, 2), 0);
    EXPECT_TRUE(HxDiagLog::Saw("Could not open 'missing.asc' for reading"));
}

TEST_F(HxSceneFiles, LongNamesFitAndOverLongLinesAreDroppedWhole)
{
    const std::string name64(64, 'n');
    // An over-long line whose tail would read as a mesh of its own.
    const std::string longLine = "Named object: \"x\"" + std::string(600, ' ') + "Tri-mesh, Vertices: 1 Faces: 0\n";
    WriteText("long.asc", "Named object: \"" + name64 + "\"\nTri-mesh, Vertices: 1     Faces: 1\n" + longLine +
                              "Vertex 0:  X: 7 Y: 0 Z: 0\n"
                              "Face 0: A:0 B:0\n"
                              "Smoothing: -1, 0x2, 9999999999999999999999\n"
                              "Material: no quotes\n"
                              "Tri-mesh, Vertices: 70000 Faces: -3\n"
                              "Vertex 0: X:1\n");
    hx_model* models[4] = {};
    ASSERT_EQ(HxAscModelLoadMany("long.asc", models, 4), 1);
    EXPECT_EQ(std::string(models[0]->identifier), name64);
    EXPECT_EQ(models[0]->vertices[0].p.x, 7);
    EXPECT_EQ(models[0]->faces[0].flags, 7) << "edge fields not found are 0: hidden";
    EXPECT_EQ(models[0]->faces[0].smoothing, uint16_t(0x0002 | 0x4000)) << "-1 and an overflowing number wrap to bit 14";
    EXPECT_EQ(models[0]->faces[0].material, nullptr);
}
