// Model, material and actor files: golden bytes of a tiny binary model,
// hand-written text files with every chunk kind (the older ones included),
// round trips in both forms, and the failures.
#include "framework/file.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "tests/scene/scene_files.h"

namespace {

hx_model* Tiny()
{
    hx_model* m = HxModelAllocate("t", 3, 1);
    m->flags = HX_MODF_UPDATEABLE;
    m->vertices[1].p = {1, 0, 0};
    m->vertices[2].p = {0, 1, 0};
    m->faces[0].vertices[1] = 1;
    m->faces[0].vertices[2] = 2;
    m->faces[0].smoothing = 1;
    return m;
}

// The bytes of a tiny model: chunks of big-endian id and length; FILE_INFO
// with the model file type 0xFACE and version 2; MODEL with its flags
// (u16) and name (zero-terminated); VERTICES with a count and three
// big-endian floats each; FACES with a count, three u16 vertex numbers,
// u16 smoothing and u8 flags each; END.
const std::vector<uint8_t> kTinyModel = {
    0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0xFA, 0xCE, 0x00, 0x00, 0x00, 0x02, // FILE_INFO
    0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 't', 0x00,                          // MODEL
    0x00, 0x00, 0x00, 0x17, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0x03,                         // VERTICES
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                         //  (0, 0, 0)
    0x3F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                         //  (1, 0, 0)
    0x00, 0x00, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                         //  (0, 1, 0)
    0x00, 0x00, 0x00, 0x35, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x00, 0x00, 0x01,                         // FACES
    0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x01, 0x00,                                           //  0 1 2, 1, 0
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                                                 // END
};

std::string Chunk(const char* name, int lines)
{
    char line[64];
    std::snprintf(line, sizeof line, "*%-16s %d\n", name, lines);
    return line;
}

} // namespace

TEST_F(HxSceneFiles, ATinyBinaryModelIsWrittenAsTheFormatsBytesAndReadBack)
{
    HxFileModeSet(0);
    ASSERT_EQ(HxModelSave("tiny.dat", Tiny()), 1);
    EXPECT_EQ(ReadBytes("tiny.dat"), kTinyModel);

    WriteBytes("golden.dat", kTinyModel);
    hx_model* m = HxModelLoad("golden.dat");
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->identifier, "t");
    ASSERT_EQ(m->nvertices, 3);
    EXPECT_EQ(m->vertices[2].p.y, 1);
    ASSERT_EQ(m->nfaces, 1);
    EXPECT_EQ(m->faces[0].vertices[2], 2);
    EXPECT_EQ(m->faces[0].smoothing, 1);
    EXPECT_EQ(m->vertices[1].map.x, 0) << "no VERTEX_UV: no map coordinates";
    uint16_t count = 9;
    EXPECT_EQ(HxModelFileCount("golden.dat", &count), HX_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(HxModelFileCount("missing.dat", &count), HXE_FAIL);
    EXPECT_EQ(count, 0);
}

TEST_F(HxSceneFiles, ArraysThatEndBeforeTheirCountKeepOnlyWhatTheFileHolds)
{
    // FACES claims three faces, the file ends after the first: the model
    // holds one face, not two made-up ones on vertex 0 (which a count of
    // thousands made into one vertex shared by thousands of faces).
    std::vector<uint8_t> faces(kTinyModel.begin(), kTinyModel.end() - 8);
    faces[87] = 3;
    WriteBytes("short_faces.dat", faces);
    hx_model* m = HxModelLoad("short_faces.dat");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->nvertices, 3);
    ASSERT_EQ(m->nfaces, 1);
    EXPECT_EQ(m->faces[0].vertices[2], 2);

    // VERTICES claims five, the file ends after the third.
    std::vector<uint8_t> vertices(kTinyModel.begin(), kTinyModel.begin() + 76);
    vertices[39] = 5;
    WriteBytes("short_vertices.dat", vertices);
    m = HxModelLoad("short_vertices.dat");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->nvertices, 3);
    EXPECT_EQ(m->vertices[2].p.y, 1);
    EXPECT_EQ(m->nfaces, 0);
}

TEST_F(HxSceneFiles, ModelsRoundTripWithMapsMaterialsAndPivotInBothForms)
{
    hx_material* red = HxMaterialAdd(HxMaterialAllocate("red"));
    hx_material* blue = HxMaterialAdd(HxMaterialAllocate("blue"));
    hx_model* m = HxModelAllocate("pair", 4, 3);
    for (int i = 0; i < 4; ++i) {
        m->vertices[i].p = {float(i), float(i * i), -1};
        m->vertices[i].map = {0.25f * float(i), 1};
    }
    for (int f = 0; f < 3; ++f) {
        m->faces[f].vertices[0] = 0;
        m->faces[f].vertices[1] = uint16_t(f + 1);
        m->faces[f].vertices[2] = uint16_t((f + 2) % 4);
        m->faces[f].flags = uint8_t(f);
    }
    m->faces[0].material = blue;
    m->faces[1].material = red;
    m->flags = HX_MODF_DONT_WELD | HX_MODF_CUSTOM_BOUNDS | HX_MODF_UPDATEABLE;
    for (int mode : {0, 1}) {
        HxFileModeSet(mode);
        ASSERT_EQ(HxModelSave("pair.dat", m), 1);
        hx_model* back = HxModelLoad("pair.dat");
        ASSERT_NE(back, nullptr) << mode;
        EXPECT_EQ(back->flags, HX_MODF_DONT_WELD) << "only flags 0x17 are kept";
        ASSERT_EQ(back->nvertices, 4);
        EXPECT_EQ(back->vertices[3].p.y, 9);
        EXPECT_EQ(back->vertices[3].map.x, 0.75f);
        ASSERT_EQ(back->nfaces, 3);
        EXPECT_EQ(back->faces[0].material, blue);
        EXPECT_EQ(back->faces[1].material, red);
        EXPECT_EQ(back->faces[2].material, nullptr) << "no material reads back as none";
        EXPECT_EQ(back->faces[2].flags, 2);
    }
    const std::string text = ReadText("pair.dat");
    // Materials are listed by allocation order, newest first.
    EXPECT_NE(text.find("name \"blue\"\n  name \"red\""), std::string::npos) << text;
}

TEST_F(HxSceneFiles, SavingAModelStrippedOfItsArraysFailsWithTheFiveLineMessage)
{
    hx_model* m = Tiny();
    m->flags = 0;
    HxModelAdd(m);
    EXPECT_EQ(HxModelSave("stripped.dat", m), 0);
    EXPECT_EQ(HxDiagLog::Warnings(),
              (std::vector<std::string>{"Warning: t", "Warning: Model must have vertex and face information to save.",
                                        "Warning: This information may have neem stripped on addition to",
                                        "Warning: the registry. To prevent this, set the HX_MODF_UPDATEABLE"}));
    EXPECT_TRUE(HxDiagLog::Saw("flag before adding the model to the registry."));
    EXPECT_FALSE(std::filesystem::exists("stripped.dat"));
}

TEST_F(HxSceneFiles, MaterialsKeepTheirFieldsAndFindTheirPixelmapsByName)
{
    hx_pixelmap* tex = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    tex->identifier = HxResStrDup(tex, "tex");
    hx_pixelmap* shade = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    shade->identifier = HxResStrDup(shade, "shade");
    HxMapAdd(tex);
    HxTableAdd(shade);
    hx_material* m = HxMaterialAllocate("hull");
    m->colour = 0x112233;
    m->opacity = 128;
    m->flags = HX_MATF_SMOOTH | HX_MATF_TWO_SIDED;
    m->power = 7.5f;
    m->map_transform.m[2][0] = 0.5f;
    m->colour_map = tex;
    m->index_shade = shade;
    m->index_fog = shade;
    hx_material* plain = HxMaterialAllocate("plain");
    hx_material* both[2] = {m, plain};
    for (int mode : {0, 1}) {
        HxFileModeSet(mode);
        ASSERT_EQ(HxMaterialSaveMany("mats.dat", both, 2), 2);
        hx_material* back[3] = {};
        ASSERT_EQ(HxMaterialLoadMany("mats.dat", back, 3), 2) << mode;
        EXPECT_STREQ(back[0]->identifier, "hull");
        EXPECT_EQ(back[0]->colour, 0x112233u);
        EXPECT_EQ(back[0]->opacity, 128);
        EXPECT_EQ(back[0]->flags, m->flags);
        EXPECT_EQ(back[0]->power, 7.5f);
        EXPECT_EQ(back[0]->map_transform.m[2][0], 0.5f);
        EXPECT_EQ(back[0]->colour_map, tex);
        EXPECT_EQ(back[0]->index_shade, shade);
        EXPECT_EQ(back[0]->index_fog, shade);
        EXPECT_EQ(back[0]->index_blend, nullptr);
        EXPECT_STREQ(back[1]->identifier, "plain");
        uint16_t count = 0;
        EXPECT_EQ(HxMaterialFileCount("mats.dat", &count), HX_OK);
        EXPECT_EQ(count, 2);
    }
    HxMapRemove(tex);
    HxTableRemove(shade);
    HxPixelmapFree(tex);
    HxPixelmapFree(shade);
}

TEST_F(HxSceneFiles, ActorTreesRoundTripKeepingChildOrderTransformsAndTypeData)
{
    hx_model* model = HxModelAdd(Tiny());
    hx_material* paint = HxMaterialAdd(HxMaterialAllocate("paint"));
    hx_actor* root = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    root->identifier = HxResStrDup(root, "root");
    root->t.type = HX_TRANSFORM_IDENTITY;
    const char* names[3] = {"third", "second", "first"};
    hx_actor* kids[3];
    for (int i = 0; i < 3; ++i) {
        kids[i] = HxActorAllocate(i == 0 ? HX_ACTOR_LIGHT : i == 1 ? HX_ACTOR_CAMERA
                                                                   : HX_ACTOR_MODEL,
                                  nullptr);
        kids[i]->identifier = HxResStrDup(kids[i], names[i]);
        HxActorAdd(root, kids[i]);
    }
    kids[2]->model = model;
    kids[2]->material = paint;
    kids[2]->render_style = HX_RSTYLE_EDGES;
    kids[2]->t.type = HX_TRANSFORM_EULER;
    kids[2]->t.t.euler.e = {16384, 0, 100, HX_EULER_ZYX_R};
    kids[2]->t.t.euler.t = {1, 2, 3};
    kids[1]->t.type = HX_TRANSFORM_TRANSLATE;
    kids[1]->t.t.translate.t = {0, 0, 9};
    static_cast<hx_camera*>(kids[1]->type_data)->yon_z = 500;
    static_cast<hx_light*>(kids[0]->type_data)->type = HX_LIGHT_SPOT;
    hx_actor* box = HxActorAllocate(HX_ACTOR_BOUNDS_CORRECT, nullptr);
    *static_cast<hx_bounds3*>(box->type_data) = {{1, 1, 1}, {2, 2, 2}};
    HxActorAdd(kids[2], box);
    hx_actor* clip = HxActorAllocate(HX_ACTOR_CLIP_PLANE, nullptr);
    HxActorAdd(kids[2], clip);

    for (int mode : {0, 1}) {
        HxFileModeSet(mode);
        ASSERT_EQ(HxActorSave("tree.dat", root), 1);
        hx_actor* back = HxActorLoad("tree.dat");
        ASSERT_NE(back, nullptr) << mode;
        EXPECT_STREQ(back->identifier, "root");
        EXPECT_EQ(back->t.type, HX_TRANSFORM_IDENTITY);
        std::vector<std::string> order;
        for (hx_actor* c = back->children; c; c = c->next)
            order.push_back(c->identifier);
        EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "third"}));
        hx_actor* first = back->children;
        EXPECT_EQ(first->model, model);
        EXPECT_EQ(first->material, paint);
        EXPECT_EQ(first->render_style, HX_RSTYLE_EDGES);
        EXPECT_EQ(first->t.type, HX_TRANSFORM_EULER);
        EXPECT_EQ(first->t.t.euler.e.a, 16384);
        EXPECT_EQ(first->t.t.euler.e.order, HX_EULER_ZYX_R);
        EXPECT_EQ(first->t.t.euler.t.z, 3);
        EXPECT_EQ(first->depth, 1);
        EXPECT_EQ(first->children->type, HX_ACTOR_CLIP_PLANE);
        EXPECT_EQ(static_cast<hx_plane*>(first->children->type_data)->z, 1);
        EXPECT_EQ(first->children->next->type, HX_ACTOR_BOUNDS_CORRECT);
        EXPECT_EQ(first->children->next->type_data, nullptr) << "a BOUNDS_CORRECT actor is written without its box";
        hx_actor* second = first->next;
        EXPECT_EQ(second->t.t.translate.t.z, 9);
        EXPECT_EQ(static_cast<hx_camera*>(second->type_data)->yon_z, 500);
        EXPECT_EQ(static_cast<hx_light*>(second->next->type_data)->type, HX_LIGHT_SPOT);
        HxActorFree(back);
    }
}

TEST_F(HxSceneFiles, HandWrittenTextFilesWithTheOlderChunksLoad)
{
    HxMaterialAdd(HxMaterialAllocate("red"));
    HxMaterialAdd(HxMaterialAllocate("blue"));
    auto vertex = [](const char* x, const char* y, const char* z) {
        return std::string("  struct    hx_vertex\n    scalar    ") + x + "\n    scalar    " + y + "\n    scalar    " +
               z + "\n";
    };
    auto oldFace = [](int a, int b, int c, int material, int smoothing) {
        return "  struct    hx_old_face\n    uint_16   " + std::to_string(a) + "\n    uint_16   " + std::to_string(b) +
               "\n    uint_16   " + std::to_string(c) + "\n    uint_16   " + std::to_string(material) +
               "\n    uint_32   " + std::to_string(smoothing) + "\n";
    };
    const std::string info = Chunk("FILE_INFO", 3) +
                             "  struct    file_info\n    enum_32   FILE_TYPE_MODEL\n    uint_32   2\n";
    // An index, vertices, faces (material 5 is out of the index's range),
    // then the model that takes them; then a model of the first older kind.
    std::string text = info + Chunk("OLD_MATERIAL_INDEX", 2) + "  name \"red\"\n  name \"blue\"\n" +
                       Chunk("OLD_VERTICES", 12) + vertex("0", "0", "0") + vertex("1", "0", "0") +
                       vertex("0", "1", "0") + Chunk("OLD_FACES", 12) + oldFace(0, 1, 2, 2, 0) +
                       oldFace(0, 2, 1, 5, 4) + Chunk("OLD_MODEL", 2) +
                       "  struct    hx_old_model_1\n    asciz     \"old\"\n" + Chunk("END", 0) +
                       Chunk("OLD_MODEL_1", 2) + "  struct    hx_old_model_1\n    asciz     \"older\"\n" +
                       Chunk("VERTICES", 5) + " count 1\n" + vertex("2", "3", "4") + Chunk("OLD_FACES_1", 7) +
                       " count 1\n  struct    hx_old_face_1\n    uint_16   0\n    uint_16   0\n    uint_16   0\n"
                       "    uint_8    17\n    uint_8    3\n" +
                       Chunk("PIVOT", 2) + "  struct    hx_pivot\n    vector3   1,2,3\n" + Chunk("END", 0);
    WriteText("old.txt", text);
    hx_model* models[3] = {};
    ASSERT_EQ(HxModelLoadMany("old.txt", models, 3), 2);
    EXPECT_STREQ(models[0]->identifier, "old");
    ASSERT_EQ(models[0]->nfaces, 2);
    EXPECT_EQ(models[0]->nvertices, 3);
    EXPECT_STREQ(models[0]->faces[0].material->identifier, "blue");
    EXPECT_EQ(models[0]->faces[0].smoothing, 0xFFFF);
    EXPECT_EQ(models[0]->faces[1].material, nullptr) << "an index out of range gives no material";
    EXPECT_EQ(models[0]->faces[1].smoothing, 4);
    EXPECT_TRUE(HxResIsChild(models[0], models[0]->faces));
    EXPECT_STREQ(models[1]->identifier, "older");
    EXPECT_EQ(models[1]->vertices[0].p.z, 4);
    EXPECT_EQ(models[1]->faces[0].smoothing, 1u) << "group 17 is bit (17 - 1) mod 16";
    EXPECT_EQ(models[1]->faces[0].flags, 3);
    EXPECT_EQ(models[1]->pivot.y, 2);

    // Older vertices with map coordinates; FACE_MATERIAL with an entry past
    // the index and more entries than faces.
    std::string uv = info + Chunk("OLD_VERTICES_UV", 6) +
                     "  struct    hx_old_vertex_uv\n    scalar    1\n    scalar    2\n    scalar    3\n"
                     "    scalar    0.5\n    scalar    0.25\n" +
                     Chunk("END", 0) + Chunk("MODEL", 3) +
                     "  struct    hx_model\n    uint_16   255\n    asciz     \"m\"\n" + Chunk("FACES", 7) +
                     " count 1\n  struct    hx_face\n    uint_16   0\n    uint_16   0\n    uint_16   0\n"
                     "    uint_16   2\n    uint_8    0\n" +
                     Chunk("MATERIAL_INDEX", 2) + " count 1\n  name \"red\"\n" + Chunk("FACE_MATERIAL", 3) +
                     "  block 2\n  size 2\n    00000000: 00010001\n" + Chunk("END", 0);
    WriteText("uv.txt", uv);
    hx_model* m = HxModelLoad("uv.txt");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->flags, 0x17);
    EXPECT_STREQ(m->faces[0].material->identifier, "red");
    EXPECT_TRUE(HxDiagLog::Saw("Face Materials: too many entries"));
}

TEST_F(HxSceneFiles, HandWrittenActorAndMaterialTextFilesLoadEveryChunkKind)
{
    const std::string info = Chunk("FILE_INFO", 3) +
                             "  struct    file_info\n    enum_32   FILE_TYPE_ACTORS\n    uint_32   2\n";
    const std::string actor = info + Chunk("ACTOR", 4) +
                              "  struct    hx_actor\n    enum_8    HX_ACTOR_NONE\n    enum_8    HX_RSTYLE_DEFAULT\n"
                              "    asciz     \"top\"\n" +
                              Chunk("TRANSFORM_QUAT", 6) +
                              "  struct    hx_transform_quat\n    scalar    0\n    scalar    0\n    scalar    0\n"
                              "    scalar    1\n    vector3   4,5,6\n" +
                              Chunk("ACTOR_TRANSFORM", 0) + Chunk("ACTOR", 4) +
                              "  struct    hx_actor\n    enum_8    HX_ACTOR_BOUNDS\n    enum_8    HX_RSTYLE_NONE\n"
                              "    asciz     NULL\n" +
                              Chunk("BOUNDS", 3) + "  struct    hx_bounds3\n    vector3   1,2,3\n    vector3   4,5,6\n" +
                              Chunk("ACTOR_BOUNDS", 0) + Chunk("ACTOR_ADD_CHILD", 0) + Chunk("END", 0);
    WriteText("actor.txt", actor);
    hx_actor* a = HxActorLoad("actor.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->t.type, HX_TRANSFORM_QUAT);
    EXPECT_EQ(a->t.t.quat.t.y, 5);
    ASSERT_NE(a->children, nullptr);
    EXPECT_EQ(a->children->render_style, HX_RSTYLE_NONE);
    EXPECT_EQ(static_cast<hx_bounds3*>(a->children->type_data)->max.z, 6);
    uint16_t count = 0;
    EXPECT_EQ(HxActorFileCount("actor.txt", &count), HX_OK);
    EXPECT_EQ(count, 1);

    hx_pixelmap* blend = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    blend->identifier = HxResStrDup(blend, "blend");
    HxTableAdd(blend);
    const std::string old = Chunk("FILE_INFO", 3) +
                            "  struct    file_info\n    enum_32   FILE_TYPE_MATERIAL_OLD\n    uint_32   2\n" +
                            Chunk("MATERIAL_OLD", 14) +
                            "  struct    hx_material_old\n    colour    1,2,3\n    uint_8    9\n    ufraction 0.5\n"
                            "    ufraction 0.5\n    ufraction 0\n    scalar    3\n    uint_32   4\n    vector2   1,0\n"
                            "    vector2   0,1\n    vector2   0,0\n    uint_8    64\n    uint_8    16\n"
                            "    asciz     \"aged\"\n" +
                            Chunk("INDEX_BLEND_REF", 1) + "  name \"blend\"\n" + Chunk("SCREENDOOR_REF", 1) +
                            "  name \"blend\"\n" + Chunk("END", 0);
    WriteText("old_mat.txt", old);
    hx_material* m = HxMaterialLoad("old_mat.txt");
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->identifier, "aged");
    EXPECT_EQ(m->colour, 0x010203u);
    EXPECT_EQ(m->index_base, 64);
    EXPECT_EQ(m->index_blend, blend);
    EXPECT_EQ(m->screendoor, blend);
    HxTableRemove(blend);
    HxPixelmapFree(blend);
}
