// The LightWave object loader: shapes into framework models (LWO2HXM) with
// one material per surface, textures, smoothing groups and hidden edges
// (kept in a ".smg" cache beside the object) and collision boxes from the
// companion "_BOX.lwo"; shapes into flat wireframes (LWO2WRI); an object's
// points as text (ConvertLwoPoints); remembered textures (LoadTexturePixelmap);
// and the resource manager's size queries of the shape and PCX types.
//
// Failures are message boxes titled "LWOB Loader Error" and a null result;
// the caller decides what a missing model means.
#pragma once

#include <cstddef>
#include <cstdint>

struct hx_model;
struct hx_pixelmap;
struct Resource;
struct HullBounds;

// The framework model of that name: the registered one when the model
// registry has it, else read from the object file. Null when the file is
// missing (*sizeOut then 0), unreadable or holds no face.
hx_model* LWO2HXM(const char* name, Resource* resource, int32_t* sizeOut);

// A flat wireframe of an object (the vector map's segment set): its points
// as (-z, x, part) and one edge per polygon side, grouped into connected
// parts. One block of the general allocator for the record, points and
// edges, and one for the parts (FreeWireShape frees both).
struct SegmentPart {
    float x, y;            // the lower corner
    float width, height;   // of the part's bounds
    const char* labels[3]; // by language, or null
};
struct WireShape {
    int32_t pointCount;
    float (*points)[3]; // x, y and the point's part number (-1: on no edge)
    int32_t edgeCount;
    uint16_t (*edges)[2];
    int32_t partCount;
    SegmentPart* parts;
    int16_t markerX, markerY; // screen position when drawn as a marker
};
// Ends with the set grouped into parts (BuildSegmentParts).
WireShape* LWO2WRI(const char* name, Resource* resource, int32_t* sizeOut);
// Gives a wireframe's blocks back (null is ignored).
void FreeWireShape(WireShape* shape);

// Groups the set's points into connected parts: each point's part slot
// becomes its part number (0, 1, ... in order of first use by an edge;
// -1 for a point no edge uses) and the parts get their bounds. Edges that
// name a point outside the set are passed over. Any previous parts are
// freed first.
void BuildSegmentParts(WireShape* set);

// Size queries at registration: the shapes live outside the resource pool.
int32_t LwoModelResourceSize(const char* name);
int32_t LwoWireResourceSize(const char* name);
// The pool bytes of a "PCX2RAST" picture: the raster header and width x
// height pixels, from the 128-byte header; 0 when it cannot be read.
int32_t PcxRasterResourceSize(const char* path);

// Writes the object's points as "%.0f,%.0f,%.0f, " (x, -y, z), then "\r\n".
void ConvertLwoPoints(const char* path, const char* outputPath);

// Remembers the texture of that name (the map "<base>.pix" of the file's
// base name, from the first of the five texture folders that holds it); a
// surface of that name takes it. ClearTexturePixelmaps forgets them all.
void LoadTexturePixelmap(const char* name, const char* fileName);
void ClearTexturePixelmaps();
hx_pixelmap* FindTexturePixelmap(const char* name);

// The collision boxes of a model, read once per model from the companion
// "<name up to .lwo>_BOX.lwo" (an empty record when there is none).
HullBounds* GetModelHullBounds(const char* name, hx_model* model);

// The ".smg" cache of an object: its name with the first ".lwo" (any case)
// and what follows replaced by ".smg" (".smg" appended when it has none).
void LwoCachePath(const char* name, char* out, std::size_t size);
// The "_BOX.lwo" companion of an object, formed the same way.
void LwoBoxPath(const char* name, char* out, std::size_t size);

// The face picker's reader of a framework model's geometry: its vertex and
// face arrays in the picker's plain form (valid until the next call); false
// for a model without faces.
struct MeshView;
bool ReadModelMesh(const hx_model* model, MeshView* mesh);

// Off: every load computes the smoothing itself and writes no cache.
void SetLwoSmoothingCache(bool on);
