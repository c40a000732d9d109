// The datafile format: models, materials, actors, cameras, lights and
// pixelmaps in one chunked format with a big-endian binary and a line-based
// text encoding, written and read through one table of primitives per
// encoding and direction, with records described by struct templates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_types.h"

struct hx_file;
struct hx_datafile;

// Member types of struct templates; their names are the text keywords.
enum : uint32_t {
    HX_DF_INT_8 = 0,
    HX_DF_UINT_8,
    HX_DF_INT_16,
    HX_DF_UINT_16,
    HX_DF_INT_32,
    HX_DF_UINT_32,
    HX_DF_FIXED,
    HX_DF_ANGLE,
    HX_DF_FLOAT,
    HX_DF_DOUBLE,
    HX_DF_SCALAR,    // fixed or float, by the handle's scalar type
    HX_DF_FRACTION,  // fixed_fraction or float_fraction
    HX_DF_UFRACTION, // fixed_ufraction or float_ufraction
    HX_DF_ENUM_8,
    HX_DF_ENUM_16,
    HX_DF_ENUM_32,
    HX_DF_STRUCT,
    HX_DF_ASCIZ,   // a char* member
    HX_DF_COLOUR,  // a u32 member: red bits 16-23, green 8-15, blue 0-7
    HX_DF_VECTOR2, // fixed_vectorN or float_vectorN
    HX_DF_VECTOR3,
    HX_DF_VECTOR4,
    HX_DF_FIXED_FRACTION,  // int16: value / 32768
    HX_DF_FIXED_UFRACTION, // uint16: value / 65536
    HX_DF_FLOAT_FRACTION,
    HX_DF_FLOAT_UFRACTION,
    HX_DF_FIXED_VECTOR2,
    HX_DF_FIXED_VECTOR3,
    HX_DF_FIXED_VECTOR4,
    HX_DF_FLOAT_VECTOR2,
    HX_DF_FLOAT_VECTOR3,
    HX_DF_FLOAT_VECTOR4,
    HX_DF_MEMBER_TYPES
};

// Scalar types of a handle: how scalars are held in memory.
enum : int {
    HX_DF_SCALAR_FIXED = 11,
    HX_DF_SCALAR_FLOAT = 12
};

struct hx_enum_value {
    int32_t value;
    const char* name;
};

struct hx_enum_table {
    uint32_t count;
    const hx_enum_value* values;
};

struct hx_struct_template;

struct hx_struct_member {
    uint32_t type;
    uint32_t offset; // offsetof in our own record
    const char* name;
    const void* extra; // hx_enum_table for enums, hx_struct_template for structs
};

struct hx_struct_template {
    const char* name;
    uint32_t count;
    const hx_struct_member* members;
    uint32_t size; // sizeof the record: the stride of arrays
};

// The 15 primitives of an encoding and direction. Every operation returns
// 0 or an error; a slot that the direction does not have reports "Invald
// file primitive call" as a fatal failure.
struct hx_file_primitives {
    const char* identifier;
    // Passes over `length` (bytes, or text lines) of a chunk not handled.
    hx_error (*skip)(hx_datafile* df, uint32_t length);
    // A chunk header: its id and the length that count/struct/block/name
    // sizes of its body add up to.
    hx_error (*chunk_write)(hx_datafile* df, uint32_t id, uint32_t length);
    // The next chunk header; -1 at the end of the file.
    int (*chunk_read)(hx_datafile* df, uint32_t* id, uint32_t* length);
    // The element count that opens a chunk of records.
    hx_error (*count_write)(hx_datafile* df, uint32_t n);
    hx_error (*count_read)(hx_datafile* df, uint32_t* n);
    uint32_t (*count_size)(hx_datafile* df);
    // One record, member by member as its template describes it; strings
    // read are allocated under the handle's resource parent.
    hx_error (*struct_write)(hx_datafile* df, const hx_struct_template* t, const void* record);
    hx_error (*struct_read)(hx_datafile* df, const hx_struct_template* t, void* record);
    uint32_t (*struct_size)(hx_datafile* df, const hx_struct_template* t, const void* record);
    // Rows of row length elements, row stride bytes apart (negative for
    // bottom-up pictures).
    hx_error (*block_write)(hx_datafile* df, const void* base, uint32_t rowLength, int32_t rowStride,
                            uint32_t rows, uint32_t size);
    // *block: the destination (capacity *count elements) or null for a new
    // resource of the class; *count: the elements read.
    hx_error (*block_read)(hx_datafile* df, void** block, uint32_t* count, uint32_t size, uint8_t cls);
    uint32_t (*block_size)(hx_datafile* df, uint32_t rowLength, uint32_t rows, uint32_t size);
    // A name of up to 255 characters; name_read fills a 256-byte buffer.
    hx_error (*name_write)(hx_datafile* df, const char* name);
    hx_error (*name_read)(hx_datafile* df, char* buffer);
    uint32_t (*name_size)(hx_datafile* df, const char* name);
};

extern const hx_file_primitives HxFilePrimitivesNull;
extern const hx_file_primitives HxFilePrimitivesReadBinary;
extern const hx_file_primitives HxFilePrimitivesWriteBinary;
extern const hx_file_primitives HxFilePrimitivesReadText;
extern const hx_file_primitives HxFilePrimitivesWriteText;

// The longest text line, without its newline.
inline constexpr uint32_t kHxDfLineMax = 255;

struct hx_datafile {
    hx_file* h;
    const hx_file_primitives* prims;
    int scalarType;              // HX_DF_SCALAR_FIXED or HX_DF_SCALAR_FLOAT
    void* res;                   // parent of strings and blocks read; null: the anchor
    char line[kHxDfLineMax + 2]; // this handle's current text line
    uint32_t lineNumber;
    // Binary reading: bytes read ahead of the decoder (a child resource,
    // made at the first read), the unread ones at readAt .. readEnd; never
    // past the end of the current chunk, so the file's end-of-file mark is
    // set exactly when an unbuffered reader's would be.
    uint8_t* readAhead;
    uint32_t readAt, readEnd;
    uint64_t pulled;   // bytes taken from the file (read or passed over)
    uint64_t chunkEnd; // where the current chunk ends, counted as `pulled`
};

// Chunk ids (the text names are in the chunk table).
enum : uint32_t {
    HX_CHUNK_END = 0,
    HX_CHUNK_PIXELMAP = 3,
    HX_CHUNK_FILE_INFO = 18,
    HX_CHUNK_PIXELS = 33,
    HX_CHUNK_NAMED = 60, // the highest id that has a name
};

// File types of the FILE_INFO chunk.
enum : uint32_t {
    HX_FILE_TYPE_NONE = 0,
    HX_FILE_TYPE_ACTORS = 1,
    HX_FILE_TYPE_PIXELMAP = 2,
    HX_FILE_TYPE_LIGHT = 3,
    HX_FILE_TYPE_CAMERA = 4,
    HX_FILE_TYPE_MATERIAL_OLD = 5,
    HX_FILE_TYPE_MATERIAL = 6,
    HX_FILE_TYPE_MODEL = 0xFACE,
    HX_FILE_TYPE_ANIMATION = 0x0A11,
    HX_FILE_TYPE_TREE = 0x5EED,
};

const char* HxDfChunkName(uint32_t id);
const char* HxDfMemberTypeName(uint32_t type);

// Chunk tables drive a reader: a handler per chunk id.
using hx_chunk_cbfn = int (*)(hx_datafile* df, uint32_t id, uint32_t length, uint32_t count);
struct hx_chunk_entry {
    uint32_t id;
    uint8_t hasCount;
    hx_chunk_cbfn handler;
};
struct hx_chunk_table {
    int n;
    const hx_chunk_entry* entries;
};

// Entry types of the value stack; 21 marks an open datafile.
inline constexpr int kHxDfStackDatafile = 21;
inline constexpr int kHxDfStackSize = 1024;
struct hx_df_stack_entry {
    int type;
    void* value;
    int count;
};

hx_datafile* DfOpen(const char* name, hx_bool write, int scalarType);
void DfClose(hx_datafile* df);
void DfPush(int type, void* value, int count);
void* DfPop(int type, int* count);
void* DfTop(int type, int* count);
int DfTopType();
int DfChunksInterpret(hx_datafile* df, const hx_chunk_table* table);
hx_error DfFileInfoWrite(hx_datafile* df, uint32_t fileType);
hx_error DfEndWrite(hx_datafile* df);
int DfStructWriteArray(hx_datafile* df, const hx_struct_template* t, const void* first, int n);
int DfStructReadArray(hx_datafile* df, const hx_struct_template* t, void* first, int n);
hx_error DfBlockReadBinary(hx_datafile* df, void** block, uint32_t* count, uint32_t size, uint8_t cls);
hx_error DfBlockReadText(hx_datafile* df, void** block, uint32_t* count, uint32_t size, uint8_t cls);

// The FILE_INFO record and its template.
struct hx_file_info {
    uint32_t type;
    uint32_t version;
};
extern const hx_struct_template HxFileInfoTemplate;
