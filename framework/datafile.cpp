// The datafile format: the primitive tables of both encodings, struct
// templates, blocks, the chunk loop and the typed value stack.
//
// Binary: chunks {id u32, length u32, body}, all big-endian, member by
// member; the first chunk is FILE_INFO, so a file begins 00 00 00 12 00 00
// 00 08. Text: one item a line; a chunk line "*NAME length" where the length
// counts the lines that follow; struct, block and name lines as written
// below. A text file begins "*FILE_IN".
//
// Each member type is described once (kMemberTypes: its name, its bytes in
// a binary file, its kind); the readers and writers switch on the kind.
// Binary reading decodes from a read-ahead block of the file.
#include "framework/datafile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "framework/bswap.h"
#include "framework/diag.h"
#include "framework/file.h"
#include "framework/fw_state.h"
#include "framework/lexer.h"
#include "framework/mem.h"
#include "framework/resource.h"
#include "framework/unaligned.h"

namespace {

// clang-format off
constexpr const char* kChunkNames[] = {
    "END", "IMAGE_PLANE", "RLE_IMAGE_PLANE", "PIXELMAP", "MATERIAL_OLD", "ADD_MATERIAL", "OLD_ACTOR",
    "OLD_ADD_SIBLING", "OLD_ADD_CHILD", "OLD_MATERIAL_INDEX", "OLD_VERTICES", "OLD_VERTICES_UV", "OLD_FACES",
    "OLD_MODEL", "ADD_MODEL", "ANIM", "ANIM_TRANSFORM", "ANIM_RATE", "FILE_INFO", "OLD_LIGHT", "OLD_CAMERA",
    "PIVOT", "MATERIAL_INDEX", "VERTICES", "VERTEX_UV", "OLD_FACES_1", "FACE_MATERIAL", "OLD_MODEL_1",
    "COLOUR_MAP_REF", "OPACITY_MAP_REF", "INDEX_BLEND_REF", "INDEX_SHADE_REF", "SCREENDOOR_REF", "PIXELS",
    "ADD_MAP", "ACTOR", "ACTOR_MODEL", "ACTOR_TRANSFORM", "ACTOR_MATERIAL", "ACTOR_LIGHT", "ACTOR_CAMERA",
    "ACTOR_BOUNDS", "ACTOR_ADD_CHILD", "TRANSFORM_MATRIX34", "TRANSFORM_MATRIX34_LP", "TRANSFORM_QUAT",
    "TRANSFORM_EULER", "TRANSFORM_LOOK_UP", "TRANSFORM_TRANSLATION", "TRANSFORM_IDENTITY", "BOUNDS", "LIGHT",
    "CAMERA", "FACES", "MODEL", "ACTOR_CLIP_PLANE", "PLANE", "SATURN_FACES", "SATURN_MODEL", "INDEX_FOG_REF",
    "MATERIAL_OLD",
};
// clang-format on
static_assert(std::size(kChunkNames) == 61);

// ---- member types ----------------------------------------------------------

// What the readers and writers do with a member: they switch on its kind;
// the rest of a type's character is in its descriptor.
enum class Kind : uint8_t {
    Scaled,  // declared only: held as its fixed or its float form, by the handle's scalar type
    Integer, // `fileBytes` bytes, signed or not: big-endian in binary, a decimal number in text
    Enum,    // an integer of `fileBytes` bytes: its name from the member's enum table in text
    Angle,   // u16, 65536 a turn: big-endian in binary, degrees in text
    Number,  // a `form` value: a 4-byte float in binary, %g in text
    Double,  // 8 bytes big-endian in binary, %g in text
    Vector,  // `components` values of `form`: 4-byte floats in binary, "a,b" in text
    Colour,  // u32 red << 16 | green << 8 | blue: three bytes in binary, "r,g,b" in text
    Asciz,   // char*: up to its zero byte in binary, quoted or NULL in text
    Struct,  // the member's own template, member by member
};

// How a number or a vector component is held in memory.
enum class Form : uint8_t {
    None,
    Fixed,     // 16.16 in an int32
    Fraction,  // int16: value / 32768
    UFraction, // uint16: value / 65536
    Float,
};

struct MemberType {
    uint32_t id = 0;            // the HX_DF_ value: the row's own index
    const char* name = nullptr; // the text keyword
    Kind kind = Kind::Scaled;
    uint8_t fileBytes = 0;  // in a binary file; 0 where it varies (asciz, struct) or for scaled types
    uint8_t components = 1; // a vector's values; 1 otherwise
    bool isSigned = false;  // integers
    Form form = Form::None; // numbers and vectors
    uint32_t fixedType = 0; // scaled: the type held with fixed scalars
    uint32_t floatType = 0; // scaled: the type held with float scalars
};

constexpr MemberType Integer(uint32_t id, const char* name, uint8_t bytes, bool isSigned)
{
    return {.id = id, .name = name, .kind = Kind::Integer, .fileBytes = bytes, .components = 1, .isSigned = isSigned};
}
constexpr MemberType Enum(uint32_t id, const char* name, uint8_t bytes)
{
    return {.id = id, .name = name, .kind = Kind::Enum, .fileBytes = bytes, .components = 1};
}
constexpr MemberType Number(uint32_t id, const char* name, Form form)
{
    return {.id = id, .name = name, .kind = Kind::Number, .fileBytes = 4, .components = 1, .form = form};
}
constexpr MemberType Vector(uint32_t id, const char* name, uint8_t n, Form form)
{
    return {.id = id, .name = name, .kind = Kind::Vector, .fileBytes = uint8_t(4 * n), .components = n, .form = form};
}
constexpr MemberType Scaled(uint32_t id, const char* name, uint32_t fixedType, uint32_t floatType)
{
    return {.id = id, .name = name, .kind = Kind::Scaled, .components = 1, .fixedType = fixedType, .floatType = floatType};
}
constexpr MemberType Other(uint32_t id, const char* name, Kind kind, uint8_t fileBytes)
{
    return {.id = id, .name = name, .kind = kind, .fileBytes = fileBytes, .components = 1};
}

constexpr MemberType kMemberTypes[] = {
    Integer(HX_DF_INT_8, "int_8", 1, true),
    Integer(HX_DF_UINT_8, "uint_8", 1, false),
    Integer(HX_DF_INT_16, "int_16", 2, true),
    Integer(HX_DF_UINT_16, "uint_16", 2, false),
    Integer(HX_DF_INT_32, "int_32", 4, true),
    Integer(HX_DF_UINT_32, "uint_32", 4, false),
    Number(HX_DF_FIXED, "fixed", Form::Fixed),
    Other(HX_DF_ANGLE, "angle", Kind::Angle, 2),
    Number(HX_DF_FLOAT, "float", Form::Float),
    Other(HX_DF_DOUBLE, "double", Kind::Double, 8),
    Scaled(HX_DF_SCALAR, "scalar", HX_DF_FIXED, HX_DF_FLOAT),
    Scaled(HX_DF_FRACTION, "fraction", HX_DF_FIXED_FRACTION, HX_DF_FLOAT_FRACTION),
    Scaled(HX_DF_UFRACTION, "ufraction", HX_DF_FIXED_UFRACTION, HX_DF_FLOAT_UFRACTION),
    Enum(HX_DF_ENUM_8, "enum_8", 1),
    Enum(HX_DF_ENUM_16, "enum_16", 2),
    Enum(HX_DF_ENUM_32, "enum_32", 4),
    Other(HX_DF_STRUCT, "struct", Kind::Struct, 0),
    Other(HX_DF_ASCIZ, "asciz", Kind::Asciz, 0),
    Other(HX_DF_COLOUR, "colour", Kind::Colour, 3),
    Scaled(HX_DF_VECTOR2, "vector2", HX_DF_FIXED_VECTOR2, HX_DF_FLOAT_VECTOR2),
    Scaled(HX_DF_VECTOR3, "vector3", HX_DF_FIXED_VECTOR3, HX_DF_FLOAT_VECTOR3),
    Scaled(HX_DF_VECTOR4, "vector4", HX_DF_FIXED_VECTOR4, HX_DF_FLOAT_VECTOR4),
    Number(HX_DF_FIXED_FRACTION, "fixed_fraction", Form::Fraction),
    Number(HX_DF_FIXED_UFRACTION, "fixed_ufraction", Form::UFraction),
    Number(HX_DF_FLOAT_FRACTION, "float_fraction", Form::Float),
    Number(HX_DF_FLOAT_UFRACTION, "float_ufraction", Form::Float),
    Vector(HX_DF_FIXED_VECTOR2, "fixed_vector2", 2, Form::Fixed),
    Vector(HX_DF_FIXED_VECTOR3, "fixed_vector3", 3, Form::Fixed),
    Vector(HX_DF_FIXED_VECTOR4, "fixed_vector4", 4, Form::Fixed),
    Vector(HX_DF_FLOAT_VECTOR2, "float_vector2", 2, Form::Float),
    Vector(HX_DF_FLOAT_VECTOR3, "float_vector3", 3, Form::Float),
    Vector(HX_DF_FLOAT_VECTOR4, "float_vector4", 4, Form::Float),
};
static_assert(std::size(kMemberTypes) == HX_DF_MEMBER_TYPES);

// The table is indexed by type: each row must sit at its own id, and a
// scaled type must name two stored types that are not scaled themselves.
constexpr bool RowsInPlace()
{
    for (uint32_t i = 0; i < std::size(kMemberTypes); ++i) {
        const MemberType& t = kMemberTypes[i];
        if (t.id != i)
            return false;
        if (t.kind == Kind::Scaled && (kMemberTypes[t.fixedType].kind == Kind::Scaled ||
                                       kMemberTypes[t.floatType].kind == Kind::Scaled))
            return false;
    }
    return true;
}
static_assert(RowsInPlace());

// ---- members ---------------------------------------------------------------

// The descriptor of the stored member type for a declared one (scalars,
// fractions and vectors take the handle's scalar type), or null when the
// member is not stored.
const MemberType* Resolve(hx_datafile* df, uint32_t type)
{
    if (type >= HX_DF_MEMBER_TYPES)
        return nullptr;
    const MemberType& t = kMemberTypes[type];
    if (t.kind != Kind::Scaled)
        return &t;
    if (df->scalarType == HX_DF_SCALAR_FIXED)
        return &kMemberTypes[t.fixedType];
    if (df->scalarType == HX_DF_SCALAR_FLOAT)
        return &kMemberTypes[t.floatType];
    HxFailure("Incorrect scalar type");
    return nullptr;
}

// Float to an integer type: truncated toward zero, saturated, 0 for NaN.
template <typename T>
T Saturate(double v)
{
    if (std::isnan(v))
        return 0;
    v = std::trunc(v);
    if (v <= double(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (v >= double(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return T(v);
}

// Degrees to the 65536-a-turn unit, rounded and taken round the circle.
uint16_t DegreesToAngle(double degrees)
{
    if (!std::isfinite(degrees))
        return 0;
    double turns = std::fmod(std::round(degrees * 65536.0 / 360.0), 65536.0);
    if (turns < 0)
        turns += 65536.0;
    return uint16_t(turns);
}

const hx_enum_table* EnumOf(const hx_struct_member& m)
{
    return static_cast<const hx_enum_table*>(m.extra);
}

const hx_struct_template* SubOf(const hx_struct_member& m)
{
    return static_cast<const hx_struct_template*>(m.extra);
}

// An integer or enum member of 1, 2 or 4 bytes, zero-extended (4: as is).
uint32_t LoadUnsigned(const uint8_t* field, uint8_t bytes)
{
    switch (bytes) {
    case 1: return HxLoad<uint8_t>(field);
    case 2: return HxLoad<uint16_t>(field);
    default: return HxLoad<uint32_t>(field);
    }
}

int32_t LoadSigned(const uint8_t* field, uint8_t bytes)
{
    switch (bytes) {
    case 1: return HxLoad<int8_t>(field);
    case 2: return HxLoad<int16_t>(field);
    default: return HxLoad<int32_t>(field);
    }
}

// Keeps the low `bytes` bytes of v.
void StoreInteger(uint8_t* field, uint8_t bytes, uint32_t v)
{
    switch (bytes) {
    case 1: HxStore(field, uint8_t(v)); break;
    case 2: HxStore(field, uint16_t(v)); break;
    default: HxStore(field, v);
    }
}

// A number or vector component as a double.
double LoadNumber(Form form, const uint8_t* field)
{
    switch (form) {
    case Form::Fixed: return HxFixedToDouble(HxLoad<hx_fixed>(field));
    case Form::Fraction: return double(HxLoad<int16_t>(field)) / 32768.0;
    case Form::UFraction: return double(HxLoad<uint16_t>(field)) / 65536.0;
    case Form::Float: return HxLoad<float>(field);
    default: return 0;
    }
}

inline void StoreNumber(Form form, uint8_t* field, double v)
{
    switch (form) {
    case Form::Fixed: HxStore(field, HxFloatToFixedSaturate(v)); break;
    case Form::Fraction: HxStore(field, Saturate<int16_t>(v * 32768.0)); break;
    case Form::UFraction: HxStore(field, Saturate<uint16_t>(v * 65536.0)); break;
    case Form::Float: HxStore(field, float(v)); break;
    default: break;
    }
}

// The bytes a component of a vector takes in memory.
constexpr size_t kComponentBytes = 4;

// ---- binary ----------------------------------------------------------------

hx_error Put(hx_datafile* df, const void* bytes, size_t n)
{
    return n == 0 || HxFileWrite(bytes, 1, n, df->h) == n ? HX_OK : HXE_FAIL;
}

// Binary reading goes through the handle's read-ahead block, and fields
// are decoded from memory. The block never reaches past the end of the
// chunk being read (a read that needs more takes just what it needs), so
// the file meets its end exactly when an unbuffered reader's would: code
// that reads a handle may still ask HxFileEof of its file, and may position
// the file itself before the first chunk header is read. Large reads past
// the buffered bytes go straight to their destination.
constexpr uint32_t kReadAhead = 1 << 16;

uint32_t Buffered(const hx_datafile* df)
{
    return df->readEnd - df->readAt;
}

// Bytes of the file handed to the decoder so far.
uint64_t Consumed(const hx_datafile* df)
{
    return df->pulled - Buffered(df);
}

// Keeps what is left at the front of the block and reads what is needed
// beyond it and, up to the chunk's end, what lies ahead. False without a
// block (no memory): the handle then reads unbuffered.
bool Refill(hx_datafile* df, uint32_t need)
{
    if (!df->readAhead) {
        df->readAhead = static_cast<uint8_t*>(HxResAllocate(df, kReadAhead, HX_RES_DATAFILE));
        if (!df->readAhead)
            return false;
        df->readAt = df->readEnd = 0;
    }
    uint32_t left = Buffered(df);
    if (left && df->readAt)
        std::memmove(df->readAhead, df->readAhead + df->readAt, left);
    df->readAt = 0;
    df->readEnd = left;
    uint64_t room = kReadAhead - left;
    uint64_t ahead = df->chunkEnd > df->pulled ? df->chunkEnd - df->pulled : 0;
    uint64_t want = std::min(room, std::max<uint64_t>(need > left ? need - left : 0, ahead));
    size_t got = want ? HxFileRead(df->readAhead + left, 1, size_t(want), df->h) : 0;
    df->readEnd += uint32_t(got);
    df->pulled += got;
    return true;
}

// Reads straight from the file.
hx_error GetDirect(hx_datafile* df, uint8_t* to, size_t n)
{
    size_t got = HxFileRead(to, 1, n, df->h);
    df->pulled += got;
    return got == n ? HX_OK : HXE_FAIL;
}

hx_error Get(hx_datafile* df, void* bytes, size_t n)
{
    auto* to = static_cast<uint8_t*>(bytes);
    if (n <= Buffered(df)) {
        if (n)
            std::memcpy(to, df->readAhead + df->readAt, n);
        df->readAt += uint32_t(n);
        return HX_OK;
    }
    uint32_t have = Buffered(df);
    if (have)
        std::memcpy(to, df->readAhead + df->readAt, have);
    df->readAt = df->readEnd;
    to += have;
    n -= have;
    if (n >= kReadAhead / 2 || !Refill(df, uint32_t(n)))
        return GetDirect(df, to, n);
    if (n > Buffered(df)) {
        df->readAt = df->readEnd; // what there was is consumed, as a short read would
        return HXE_FAIL;
    }
    std::memcpy(to, df->readAhead + df->readAt, n);
    df->readAt += uint32_t(n);
    return HX_OK;
}

// The next byte, or -1 at the end of the file.
int GetByte(hx_datafile* df)
{
    if (!Buffered(df)) {
        if (!Refill(df, 1)) {
            int c = HxFileGetChar(df->h);
            df->pulled += c >= 0;
            return c;
        }
        if (!Buffered(df))
            return -1;
    }
    return df->readAhead[df->readAt++];
}

// Whether the reader has met the end of the file.
bool AtEnd(hx_datafile* df)
{
    return Buffered(df) == 0 && HxFileEof(df->h);
}

// An unsigned value, most significant byte first.
template <typename T>
hx_error PutBig(hx_datafile* df, T v)
{
    uint8_t b[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i)
        b[i] = uint8_t(v >> (8 * (sizeof(T) - 1 - i)));
    return Put(df, b, sizeof b);
}

template <typename T>
hx_error GetBig(hx_datafile* df, T* v)
{
    uint8_t b[sizeof(T)];
    if (Get(df, b, sizeof b) != HX_OK)
        return HXE_FAIL;
    T value = 0;
    for (uint8_t byte : b)
        value = T(value << 8 | byte);
    *v = value;
    return HX_OK;
}

hx_error PutU32(hx_datafile* df, uint32_t v)
{
    return PutBig(df, v);
}

hx_error GetU32(hx_datafile* df, uint32_t* v)
{
    return GetBig(df, v);
}

hx_error PutFloat(hx_datafile* df, float f)
{
    return PutU32(df, std::bit_cast<uint32_t>(f));
}

void Invalid()
{
    HxFatal("datafile", 1824, "Invald file primitive call");
}

hx_error BinSkip(hx_datafile* df, uint32_t length)
{
    uint32_t have = Buffered(df);
    if (length <= have) {
        df->readAt += length;
        return HX_OK;
    }
    df->readAt = df->readEnd;
    HxFileAdvance(long(length - have), df->h);
    df->pulled += length - have;
    return HX_OK;
}

hx_error BinChunkWrite(hx_datafile* df, uint32_t id, uint32_t length)
{
    return PutU32(df, id) == HX_OK && PutU32(df, length) == HX_OK ? HX_OK : HXE_FAIL;
}

int BinChunkRead(hx_datafile* df, uint32_t* id, uint32_t* length)
{
    if (GetU32(df, id) != HX_OK || GetU32(df, length) != HX_OK)
        return -1;
    df->chunkEnd = Consumed(df) + *length; // the read-ahead stops there
    return 0;
}

hx_error BinCountWrite(hx_datafile* df, uint32_t n)
{
    return PutU32(df, n);
}

hx_error BinCountRead(hx_datafile* df, uint32_t* n)
{
    if (GetU32(df, n) != HX_OK) {
        HxFailure("no element count for chunk");
        return HXE_FAIL;
    }
    return HX_OK;
}

uint32_t BinCountSize(hx_datafile*)
{
    return 4;
}

hx_error BinMembersWrite(hx_datafile* df, const hx_struct_template* t, const uint8_t* record);

// Puts an integer of 1, 2 or 4 bytes, most significant first.
hx_error PutInteger(hx_datafile* df, uint32_t v, uint8_t bytes)
{
    switch (bytes) {
    case 1: return PutBig(df, uint8_t(v));
    case 2: return PutBig(df, uint16_t(v));
    default: return PutU32(df, v);
    }
}

hx_error BinMemberWrite(hx_datafile* df, const hx_struct_member& m, const uint8_t* record)
{
    const MemberType* type = Resolve(df, m.type);
    const uint8_t* field = record + m.offset;
    if (!type)
        return HX_OK;
    switch (type->kind) {
    case Kind::Integer:
    case Kind::Enum: return PutInteger(df, LoadUnsigned(field, type->fileBytes), type->fileBytes);
    case Kind::Angle: return PutBig(df, HxLoad<uint16_t>(field));
    case Kind::Number:
    case Kind::Vector:
        for (int i = 0; i < type->components; ++i)
            if (PutFloat(df, float(LoadNumber(type->form, field + kComponentBytes * i))) != HX_OK)
                return HXE_FAIL;
        return HX_OK;
    case Kind::Double: return PutBig(df, std::bit_cast<uint64_t>(HxLoad<double>(field)));
    case Kind::Colour: {
        uint32_t c = HxLoad<uint32_t>(field);
        uint8_t b[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
        return Put(df, b, 3);
    }
    case Kind::Asciz: {
        const char* s = HxLoad<const char*>(field);
        return Put(df, s ? s : "", s ? std::strlen(s) + 1 : 1);
    }
    case Kind::Struct: return BinMembersWrite(df, SubOf(m), field);
    case Kind::Scaled: break;
    }
    return HX_OK;
}

hx_error BinMembersWrite(hx_datafile* df, const hx_struct_template* t, const uint8_t* record)
{
    for (uint32_t i = 0; i < t->count; ++i)
        if (BinMemberWrite(df, t->members[i], record) != HX_OK)
            return HXE_FAIL;
    return HX_OK;
}

hx_error BinStructWrite(hx_datafile* df, const hx_struct_template* t, const void* record)
{
    return BinMembersWrite(df, t, static_cast<const uint8_t*>(record));
}

// Reads a string of at most 255 characters up to its zero byte; a longer
// one is cut, and the rest skipped so the stream stays in step. False when
// the file ended before the zero byte.
bool GetString(hx_datafile* df, char* buffer)
{
    uint32_t n = 0;
    // Whole strings usually lie in the read-ahead block.
    if (const void* end = Buffered(df) ? std::memchr(df->readAhead + df->readAt, 0, Buffered(df)) : nullptr) {
        const uint8_t* from = df->readAhead + df->readAt;
        uint32_t length = uint32_t(static_cast<const uint8_t*>(end) - from);
        n = std::min<uint32_t>(length, 255);
        // Eight bytes at a time: for a copy this short the string move the
        // compiler would choose for a bounded memcpy costs more.
        uint32_t i = 0;
        for (; i + 8 <= n; i += 8)
            std::memcpy(buffer + i, from + i, 8);
        for (; i < n; ++i)
            buffer[i] = char(from[i]);
        buffer[n] = 0;
        df->readAt += length + 1;
        return true;
    }
    int c;
    while ((c = GetByte(df)) > 0)
        if (n < 255)
            buffer[n++] = char(c);
    buffer[n] = 0;
    return c == 0;
}

void* ResParent(hx_datafile* df)
{
    return df->res ? df->res : fw.anchor;
}

// A big-endian value of n (1 to 4) bytes.
uint32_t BigEndian(const uint8_t* b, uint8_t n)
{
    switch (n) {
    case 1: return b[0];
    case 2: return uint32_t(b[0]) << 8 | b[1];
    case 3: return uint32_t(b[0]) << 16 | uint32_t(b[1]) << 8 | b[2];
    default: return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    }
}

// The member's file bytes: straight from the read-ahead block when they are
// all there, else gathered into `spare`; null when the file ends first.
const uint8_t* Take(hx_datafile* df, uint8_t n, uint8_t* spare)
{
    if (n <= Buffered(df)) {
        const uint8_t* at = df->readAhead + df->readAt;
        df->readAt += n;
        return at;
    }
    return Get(df, spare, n) == HX_OK ? spare : nullptr;
}

// A member of fixed size in the file, decoded from its bytes.
[[gnu::always_inline]] inline hx_error ReadFixedMember(hx_datafile* df, const MemberType& type, uint8_t* field)
{
    uint8_t spare[16];
    const uint8_t* b = Take(df, type.fileBytes, spare);
    if (!b)
        return HXE_FAIL;
    switch (type.kind) {
    case Kind::Integer:
    case Kind::Enum:
    case Kind::Angle:
        StoreInteger(field, type.fileBytes, BigEndian(b, type.fileBytes));
        break;
    case Kind::Number:
    case Kind::Vector:
        for (int i = 0; i < type.components; ++i)
            StoreNumber(type.form, field + kComponentBytes * i, std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
        break;
    case Kind::Double:
        HxStore(field, std::bit_cast<double>(uint64_t(BigEndian(b, 4)) << 32 | BigEndian(b + 4, 4)));
        break;
    case Kind::Colour: HxStore(field, BigEndian(b, 3)); break;
    default: break;
    }
    return HX_OK;
}

// A string member: a string resource of its characters. A string member
// ends with its zero byte: a file that stops before it is cut short, not a
// shorter string. A whole string in the read-ahead block is copied from
// there into its resource.
hx_error ReadStringMember(hx_datafile* df, uint8_t* field)
{
    char* copy;
    const uint8_t* from = Buffered(df) ? df->readAhead + df->readAt : nullptr;
    if (const void* end = from ? std::memchr(from, 0, Buffered(df)) : nullptr) {
        uint32_t length = uint32_t(static_cast<const uint8_t*>(end) - from);
        uint32_t n = std::min<uint32_t>(length, 255);
        copy = static_cast<char*>(HxResAllocate(ResParent(df), n + 1, HX_RES_STRING));
        if (copy)
            std::memcpy(copy, from, n);
        df->readAt += length + 1;
    } else {
        char text[256];
        if (!GetString(df, text))
            return HXE_FAIL;
        copy = HxResStrDup(ResParent(df), text);
    }
    HxStore(field, copy);
    return copy ? HX_OK : HXE_NO_MEMORY;
}

hx_error BinMembersRead(hx_datafile* df, const hx_struct_template* t, uint8_t* record)
{
    for (uint32_t i = 0; i < t->count; ++i) {
        const hx_struct_member& m = t->members[i];
        const MemberType* type = Resolve(df, m.type);
        if (!type)
            continue;
        uint8_t* field = record + m.offset;
        hx_error e;
        if (type->kind == Kind::Asciz) {
            e = ReadStringMember(df, field);
        } else if (type->kind == Kind::Struct) {
            e = BinMembersRead(df, SubOf(m), field);
        } else {
            e = ReadFixedMember(df, *type, field);
        }
        if (e != HX_OK)
            return HXE_FAIL;
    }
    return HX_OK;
}

hx_error BinStructRead(hx_datafile* df, const hx_struct_template* t, void* record)
{
    if (BinMembersRead(df, t, static_cast<uint8_t*>(record)) != HX_OK) {
        HxFailure("Unexpected EOF in strructure");
        return HXE_FAIL;
    }
    return HX_OK;
}

// A template spread out for reading many records: one step per stored
// member, the members of nested structs in place with their offsets added,
// each step's decoding settled by its operation (type, size and form in one
// code), so each record is one plain walk with no types to resolve. The
// fixed members between two strings make a run: when the read-ahead block
// holds the whole run, its members are decoded from there with no check
// per member.
enum class Op : uint8_t {
    U8, // integers, enums and angles, by their bytes
    U16,
    U32,
    Colour,    // three bytes into a u32
    Double,    // eight bytes
    Fixed,     // `count` floats, each held as 16.16
    Fraction,  // ... as value * 32768 in an int16
    UFraction, // ... as value * 65536 in a uint16
    Float,     // ... as floats
    FixedOne,  // one float held as 16.16 (the commonest number, with no loop)
    FloatOne,  // one float
    String,    // up to its zero byte, into a string resource
};

struct ReadStep {
    Op op;
    uint8_t count;     // floats of a number or vector
    uint8_t fileBytes; // 0 for a string
    uint8_t runSteps;  // fixed steps from this one to the next string (the run's first step only)
    uint32_t runBytes; // their file bytes
    uint32_t offset;   // of the field in the record
};

// The operation of a stored member type other than a struct.
ReadStep StepOf(const MemberType& type, uint32_t offset)
{
    ReadStep step = {Op::String, type.components, type.fileBytes, 0, 0, offset};
    switch (type.kind) {
    case Kind::Integer:
    case Kind::Enum:
    case Kind::Angle:
        step.op = type.fileBytes == 1 ? Op::U8 : type.fileBytes == 2 ? Op::U16
                                                                     : Op::U32;
        break;
    case Kind::Number:
    case Kind::Vector: {
        static constexpr Op kByForm[] = {Op::Float, Op::Fixed, Op::Fraction, Op::UFraction, Op::Float};
        step.op = kByForm[size_t(type.form)];
        if (type.components == 1 && (step.op == Op::Fixed || step.op == Op::Float))
            step.op = step.op == Op::Fixed ? Op::FixedOne : Op::FloatOne;
        break;
    }
    case Kind::Double: step.op = Op::Double; break;
    case Kind::Colour: step.op = Op::Colour; break;
    default: step.fileBytes = 0; break;
    }
    return step;
}

// False when a member needs the handle's scalar type and it has none, or
// structs nest deeper than any real template: the records are then read
// one by one, which reports what is wrong.
bool Spread(hx_datafile* df, const hx_struct_template* t, uint32_t base, int depth, std::vector<ReadStep>& steps)
{
    if (depth > 16)
        return false;
    for (uint32_t i = 0; i < t->count; ++i) {
        const hx_struct_member& m = t->members[i];
        if (m.type >= HX_DF_MEMBER_TYPES)
            continue; // not stored
        if (kMemberTypes[m.type].kind == Kind::Scaled && df->scalarType != HX_DF_SCALAR_FIXED &&
            df->scalarType != HX_DF_SCALAR_FLOAT)
            return false;
        const MemberType* type = Resolve(df, m.type);
        if (type->kind == Kind::Struct) {
            if (!SubOf(m) || !Spread(df, SubOf(m), base + m.offset, depth + 1, steps))
                return false;
        } else {
            steps.push_back(StepOf(*type, base + m.offset));
        }
    }
    return true;
}

// Marks the runs of fixed steps (at most 255 steps a run).
void MarkRuns(std::vector<ReadStep>& steps)
{
    for (size_t i = 0; i < steps.size();) {
        if (steps[i].op == Op::String) {
            ++i;
            continue;
        }
        size_t end = i;
        uint32_t bytes = 0;
        while (end < steps.size() && steps[end].op != Op::String && end - i < 255)
            bytes += steps[end++].fileBytes;
        steps[i].runSteps = uint8_t(end - i);
        steps[i].runBytes = bytes;
        i = end;
    }
}

// Decodes one fixed member from its file bytes, as ReadFixedMember does.
[[gnu::always_inline]] inline void DecodeStep(const ReadStep& step, const uint8_t* b, uint8_t* field)
{
    switch (step.op) {
    case Op::U8: HxStore(field, b[0]); break;
    case Op::U16: HxStore(field, uint16_t(BigEndian(b, 2))); break;
    case Op::U32: HxStore(field, BigEndian(b, 4)); break;
    case Op::Colour: HxStore(field, BigEndian(b, 3)); break;
    case Op::Double: HxStore(field, std::bit_cast<double>(uint64_t(BigEndian(b, 4)) << 32 | BigEndian(b + 4, 4))); break;
    case Op::FixedOne:
    case Op::Fixed:
        for (int i = 0; i < step.count; ++i)
            StoreNumber(Form::Fixed, field + kComponentBytes * i, std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
        break;
    case Op::Fraction:
        for (int i = 0; i < step.count; ++i)
            StoreNumber(Form::Fraction, field + kComponentBytes * i, std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
        break;
    case Op::UFraction:
        for (int i = 0; i < step.count; ++i)
            StoreNumber(Form::UFraction, field + kComponentBytes * i, std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
        break;
    case Op::FloatOne:
    case Op::Float:
        for (int i = 0; i < step.count; ++i)
            HxStore(field + kComponentBytes * i, std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
        break;
    case Op::String: break;
    }
}

// Decodes the run of fixed steps from `step` to `last` from its bytes at b
// and returns `last`. Each operation ends by jumping straight to the next
// one's code, so every operation has its own jump to predict (the order of
// a template's members repeats record after record).
const ReadStep* DecodeRun(const ReadStep* step, const ReadStep* last, const uint8_t* b, uint8_t* record)
{
    static void* const kCode[] = {&&u8, &&u16, &&u32, &&colour, &&dbl, &&fixed,
                                  &&fraction, &&ufraction, &&real, &&fixedOne, &&realOne, &&string};
    static_assert(std::size(kCode) == size_t(Op::String) + 1);
#define KV_NEXT_STEP \
    b += step->fileBytes; \
    if (++step == last) \
        return last; \
    goto* kCode[size_t(step->op)]
    goto* kCode[size_t(step->op)];
u8:
    HxStore(record + step->offset, b[0]);
    KV_NEXT_STEP;
u16:
    HxStore(record + step->offset, uint16_t(BigEndian(b, 2)));
    KV_NEXT_STEP;
u32:
    HxStore(record + step->offset, BigEndian(b, 4));
    KV_NEXT_STEP;
colour:
    HxStore(record + step->offset, BigEndian(b, 3));
    KV_NEXT_STEP;
dbl:
    HxStore(record + step->offset, std::bit_cast<double>(uint64_t(BigEndian(b, 4)) << 32 | BigEndian(b + 4, 4)));
    KV_NEXT_STEP;
fixed:
    for (int i = 0; i < step->count; ++i)
        HxStore(record + step->offset + kComponentBytes * i,
                HxFloatToFixedSaturate(std::bit_cast<float>(BigEndian(b + 4 * i, 4))));
    KV_NEXT_STEP;
fraction:
    for (int i = 0; i < step->count; ++i)
        StoreNumber(Form::Fraction, record + step->offset + kComponentBytes * i, std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
    KV_NEXT_STEP;
ufraction:
    for (int i = 0; i < step->count; ++i)
        StoreNumber(Form::UFraction, record + step->offset + kComponentBytes * i,
                    std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
    KV_NEXT_STEP;
real:
    for (int i = 0; i < step->count; ++i)
        HxStore(record + step->offset + kComponentBytes * i, std::bit_cast<float>(BigEndian(b + 4 * i, 4)));
    KV_NEXT_STEP;
fixedOne:
    HxStore(record + step->offset, HxFloatToFixedSaturate(std::bit_cast<float>(BigEndian(b, 4))));
    KV_NEXT_STEP;
realOne:
    HxStore(record + step->offset, std::bit_cast<float>(BigEndian(b, 4)));
    KV_NEXT_STEP;
string:
    return step; // never in a run
#undef KV_NEXT_STEP
}

hx_error BinStepsRead(hx_datafile* df, const std::vector<ReadStep>& steps, uint8_t* record)
{
    const ReadStep* step = steps.data();
    const ReadStep* const end = step + steps.size();
    while (step < end) {
        if (step->op == Op::String) {
            if (ReadStringMember(df, record + step->offset) != HX_OK)
                return HXE_FAIL;
            ++step;
        } else if (step->runSteps && step->runBytes <= Buffered(df)) {
            const uint8_t* b = df->readAhead + df->readAt;
            df->readAt += step->runBytes;
            step = DecodeRun(step, step + step->runSteps, b, record);
        } else {
            // Member by member: the file may end inside the run.
            uint8_t spare[16];
            const uint8_t* b = Take(df, step->fileBytes, spare);
            if (!b)
                return HXE_FAIL;
            DecodeStep(*step, b, record + step->offset);
            ++step;
        }
    }
    return HX_OK;
}

uint32_t BinMembersSize(hx_datafile* df, const hx_struct_template* t, const uint8_t* record)
{
    uint32_t total = 0;
    for (uint32_t i = 0; i < t->count; ++i) {
        const hx_struct_member& m = t->members[i];
        const MemberType* type = Resolve(df, m.type);
        const uint8_t* field = record + m.offset;
        if (!type)
            continue;
        if (type->kind == Kind::Struct) {
            total += BinMembersSize(df, SubOf(m), field);
        } else if (type->kind == Kind::Asciz) {
            const char* s = HxLoad<const char*>(field);
            total += s ? uint32_t(std::strlen(s)) + 1 : 1;
        } else {
            total += type->fileBytes;
        }
    }
    return total;
}

uint32_t BinStructSize(hx_datafile* df, const hx_struct_template* t, const void* record)
{
    return BinMembersSize(df, t, static_cast<const uint8_t*>(record));
}

// The elements and bytes of a block of rows; false (reported) when the
// block is too large to describe.
bool BlockTotal(uint32_t rowLength, uint32_t rows, uint32_t size, uint32_t* count, uint32_t* bytes)
{
    uint64_t n = uint64_t(rowLength) * rows;
    uint64_t b = n * size;
    if (n > UINT32_MAX || b > UINT32_MAX) {
        HxFailure("block too large: %u x %u elements of %u bytes", rowLength, rows, size);
        return false;
    }
    *count = uint32_t(n);
    *bytes = uint32_t(b);
    return true;
}

// Hands `emit` the block's bytes in big-endian element order, in one piece.
template <typename Emit>
hx_error BlockBytes(const void* base, uint32_t rowLength, int32_t rowStride, uint32_t rows, uint32_t size,
                    Emit emit)
{
    uint32_t count, bytes;
    if (!BlockTotal(rowLength, rows, size, &count, &bytes))
        return HXE_FAIL;
    if (bytes == 0)
        return emit(static_cast<const uint8_t*>(nullptr), 0u);
    bool contiguous = rows == 1 || int64_t(rowLength) * size == rowStride;
    if (contiguous && size == 1)
        return emit(static_cast<const uint8_t*>(base), bytes);
    auto* scratch = static_cast<uint8_t*>(HxScratchAllocate(bytes));
    if (!scratch)
        return HXE_NO_MEMORY;
    const uint8_t* row = static_cast<const uint8_t*>(base);
    uint32_t rowBytes = rowLength * size;
    for (uint32_t r = 0; r < rows; ++r, row += (contiguous ? int64_t(rowBytes) : int64_t(rowStride)))
        std::memcpy(scratch + size_t(r) * rowBytes, row, rowBytes);
    HxSwapBlock(scratch, count, size);
    hx_error error = emit(static_cast<const uint8_t*>(scratch), bytes);
    HxScratchFree(scratch);
    return error;
}

hx_error BinBlockWrite(hx_datafile* df, const void* base, uint32_t rowLength, int32_t rowStride, uint32_t rows,
                       uint32_t size)
{
    uint32_t count, bytes;
    if (!BlockTotal(rowLength, rows, size, &count, &bytes))
        return HXE_FAIL;
    if (PutU32(df, count) != HX_OK || PutU32(df, size) != HX_OK)
        return HXE_FAIL;
    return BlockBytes(base, rowLength, rowStride, rows, size,
                      [&](const uint8_t* data, uint32_t n) { return Put(df, data, n); });
}

uint32_t BinBlockSize(hx_datafile*, uint32_t rowLength, uint32_t rows, uint32_t size)
{
    return rowLength * rows * size + 8;
}

// Checks a block's header against the caller's element size and capacity;
// the bytes then arrive through `fill`, which reads them in pieces. A new
// block of up to kInPlaceBlock bytes is allocated first and read into its
// final place; a larger one is gathered in pieces before it is allocated,
// so a count that the file cannot back never allocates its full size.
constexpr uint64_t kInPlaceBlock = 8u << 20;

template <typename Fill>
hx_error BlockRead(hx_datafile* df, const char* reader, void** block, uint32_t* count, uint32_t size, uint8_t cls,
                   uint32_t n, uint32_t elementSize, Fill fill)
{
    if (elementSize != size) {
        HxFailure("block size mismatch");
        return HXE_FAIL;
    }
    uint64_t bytes = uint64_t(n) * size;
    bool given = *block != nullptr;
    if ((given && n > *count) || bytes > kHxResMaxStored) {
        HxFailure("%s: block too long: %d", reader, int(n));
        return HXE_FAIL;
    }
    uint8_t* to = static_cast<uint8_t*>(*block);
    bool inPlace = given || bytes <= kInPlaceBlock;
    if (!given && inPlace) {
        to = static_cast<uint8_t*>(HxResAllocate(ResParent(df), uint32_t(bytes), cls));
        if (!to)
            return HXE_NO_MEMORY;
    }
    std::vector<uint8_t> data;
    if (!inPlace)
        data.reserve(1 << 16);
    uint64_t done = 0;
    while (done < bytes) {
        uint32_t piece = uint32_t(std::min<uint64_t>(bytes - done, inPlace ? bytes : 1 << 16));
        if (!inPlace)
            data.resize(size_t(done + piece));
        uint8_t* target = inPlace ? to + done : data.data() + done;
        if (fill(target, piece) != HX_OK) {
            // The file ends (or goes wrong) before the count it gave.
            HxFailure("%s: block of %d elements cut short", reader, int(n));
            if (!given && inPlace)
                HxResFree(to);
            return HXE_FAIL;
        }
        done += piece;
    }
    if (!inPlace) {
        to = static_cast<uint8_t*>(HxResAllocate(ResParent(df), uint32_t(bytes), cls));
        if (!to)
            return HXE_NO_MEMORY;
        std::memcpy(to, data.data(), size_t(bytes));
    }
    *block = to;
    if (n > 0 && size > 1)
        HxSwapBlock(to, n, size);
    *count = n;
    return HX_OK;
}

// ---- text ------------------------------------------------------------------

// Reads the next non-blank line into the handle's buffer; returns its first
// non-blank character, or null at the end of the file or on an over-long line
// (reported).
const char* NextLine(hx_datafile* df, bool* tooLong)
{
    *tooLong = false;
    for (;;) {
        int n = HxFileGetLine(df->line, sizeof df->line, df->h);
        if (n == 0 && HxFileEof(df->h))
            return nullptr;
        df->lineNumber++;
        if (uint32_t(n) > kHxDfLineMax) {
            HxFailure("Text line %u too long", df->lineNumber);
            *tooLong = true;
            return nullptr;
        }
        const char* p = df->line;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p)
            return p;
    }
}

// Copies the word at p (up to a blank, tab or the end) into out; returns
// the position after it and any blanks that follow.
const char* Word(const char* p, char* out, size_t outSize)
{
    size_t n = 0;
    while (*p && *p != ' ' && *p != '\t') {
        if (n + 1 < outSize)
            out[n++] = *p;
        ++p;
    }
    out[n] = 0;
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

hx_error TextSkip(hx_datafile* df, uint32_t length)
{
    bool tooLong;
    for (uint32_t i = 0; i < length; ++i) {
        if (!NextLine(df, &tooLong))
            return tooLong ? HXE_FAIL : HX_OK;
    }
    return HX_OK;
}

hx_error TextChunkWrite(hx_datafile* df, uint32_t id, uint32_t length)
{
    // Id 60 repeats the name of id 4, so it is written as a number to read
    // back as itself.
    if (id < HX_CHUNK_NAMED)
        HxFilePrintf(df->h, "*%-16s %d\n", kChunkNames[id], int(length));
    else
        HxFilePrintf(df->h, "*0x%08x %d\n", id, int(length));
    return HX_OK;
}

int TextChunkRead(hx_datafile* df, uint32_t* id, uint32_t* length)
{
    bool tooLong;
    const char* p = NextLine(df, &tooLong);
    if (!p)
        return tooLong ? int(HXE_FAIL) : -1;
    if (*p != '*') {
        HxFailure("Chunk ID not found");
        return int(HXE_FAIL);
    }
    char name[kHxDfLineMax + 1];
    p = Word(p + 1, name, sizeof name);
    if (name[0] == '0') {
        *id = uint32_t(HxStrToUL(name, nullptr, 0));
    } else {
        uint32_t i = 0;
        while (i < std::size(kChunkNames) && std::strcmp(kChunkNames[i], name) != 0)
            ++i;
        if (i == std::size(kChunkNames)) {
            HxFailure("Chunk ID not known: %s", name);
            return int(HXE_FAIL);
        }
        *id = i;
    }
    *length = uint32_t(HxStrToUL(p, nullptr, 10));
    return 0;
}

hx_error TextCountWrite(hx_datafile* df, uint32_t n)
{
    HxFilePrintf(df->h, " count %d\n", int(n));
    return HX_OK;
}

// The next line when its first word is the keyword: what follows the
// keyword; otherwise null, with the failure reported.
const char* KeywordLine(hx_datafile* df, const char* keyword, const char* failure)
{
    bool tooLong;
    const char* p = NextLine(df, &tooLong);
    char word[kHxDfLineMax + 1];
    if (p)
        p = Word(p, word, sizeof word);
    if (!p || std::strcmp(word, keyword) != 0) {
        if (!tooLong)
            HxFailure("%s", failure);
        return nullptr;
    }
    return p;
}

// A line "<keyword> <number>".
bool KeywordNumber(hx_datafile* df, const char* keyword, const char* failure, uint32_t* n)
{
    const char* p = KeywordLine(df, keyword, failure);
    if (!p)
        return false;
    *n = uint32_t(HxStrToUL(p, nullptr, 0));
    return true;
}

hx_error TextCountRead(hx_datafile* df, uint32_t* n)
{
    return KeywordNumber(df, "count", "no element count for chunk", n) ? HX_OK : HXE_FAIL;
}

uint32_t TextCountSize(hx_datafile*)
{
    return 1;
}

// Formats a member's value as the text writer puts it.
hx_error FormatValue(const hx_struct_member& m, const MemberType& type, const uint8_t* field, std::string& out)
{
    char text[512];
    text[0] = 0;
    switch (type.kind) {
    case Kind::Integer:
        if (type.isSigned)
            std::snprintf(text, sizeof text, "%d", int(LoadSigned(field, type.fileBytes)));
        else
            std::snprintf(text, sizeof text, "%u", unsigned(LoadUnsigned(field, type.fileBytes)));
        break;
    case Kind::Enum: {
        // Enums of 1 and 2 bytes are unsigned, those of 4 signed.
        int32_t v = type.fileBytes == 4 ? LoadSigned(field, 4) : int32_t(LoadUnsigned(field, type.fileBytes));
        const hx_enum_table* e = EnumOf(m);
        const char* name = nullptr;
        for (uint32_t i = 0; e && i < e->count && !name; ++i)
            if (e->values[i].value == v)
                name = e->values[i].name;
        if (!name) {
            HxFailure("Unknown enum %d", int(v));
            return HXE_FAIL;
        }
        std::snprintf(text, sizeof text, "%s", name);
        break;
    }
    case Kind::Angle: std::snprintf(text, sizeof text, "%g", HxAngleToDegrees(HxLoad<hx_angle>(field))); break;
    case Kind::Number: std::snprintf(text, sizeof text, "%g", LoadNumber(type.form, field)); break;
    case Kind::Double: std::snprintf(text, sizeof text, "%g", HxLoad<double>(field)); break;
    case Kind::Vector: {
        size_t used = 0;
        for (int i = 0; i < type.components; ++i) {
            double v = LoadNumber(type.form, field + kComponentBytes * i);
            used += size_t(std::snprintf(text + used, sizeof text - used, i ? ",%g" : "%g", v));
        }
        break;
    }
    case Kind::Colour: {
        uint32_t c = HxLoad<uint32_t>(field);
        std::snprintf(text, sizeof text, "%d,%d,%d", int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF));
        break;
    }
    case Kind::Asciz: {
        const char* s = HxLoad<const char*>(field);
        if (s)
            std::snprintf(text, sizeof text, "\"%s\"", s);
        else
            std::snprintf(text, sizeof text, "NULL");
        break;
    }
    case Kind::Struct: std::snprintf(text, sizeof text, "%s", SubOf(m)->name); break;
    case Kind::Scaled: break;
    }
    out = text;
    return HX_OK;
}

hx_error TextMembersWrite(hx_datafile* df, const hx_struct_template* t, const uint8_t* record, int depth)
{
    for (uint32_t i = 0; i < t->count; ++i) {
        const hx_struct_member& m = t->members[i];
        const MemberType* type = Resolve(df, m.type);
        if (!type)
            continue;
        const uint8_t* field = record + m.offset;
        std::string value;
        if (FormatValue(m, *type, field, value) != HX_OK)
            return HXE_FAIL;
        const char* typeName = kMemberTypes[m.type].name;
        // The type name is padded to 10; a longer one still gets a blank
        // before its value.
        const char* gap = std::strlen(typeName) >= 10 ? " " : "";
        if (m.name)
            HxFilePrintf(df->h, "%*s%-10s%s%-40s # %s\n", 4 + 2 * depth, "", typeName, gap, value.c_str(), m.name);
        else
            HxFilePrintf(df->h, "%*s%-10s%s%s\n", 4 + 2 * depth, "", typeName, gap, value.c_str());
        if (type->kind == Kind::Struct && TextMembersWrite(df, SubOf(m), field, depth + 1) != HX_OK)
            return HXE_FAIL;
    }
    return HX_OK;
}

hx_error TextStructWrite(hx_datafile* df, const hx_struct_template* t, const void* record)
{
    HxFilePrintf(df->h, "  struct    %s\n", t->name);
    return TextMembersWrite(df, t, static_cast<const uint8_t*>(record), 0);
}

// Parses up to n comma-separated numbers; false when one is missing.
bool ParseComponents(const char* p, int n, double* out)
{
    for (int i = 0; i < n; ++i) {
        while (*p == ' ' || *p == '\t' || (i > 0 && *p == ','))
            ++p;
        char* end;
        out[i] = HxStrToD(p, &end);
        if (end == p)
            return false;
        p = end;
    }
    return true;
}

hx_error TextMembersRead(hx_datafile* df, const hx_struct_template* t, uint8_t* record);

hx_error TextValueRead(hx_datafile* df, const hx_struct_member& m, const MemberType& type, const char* p,
                       uint8_t* field)
{
    char word[kHxDfLineMax + 1];
    Word(p, word, sizeof word);
    switch (type.kind) {
    case Kind::Integer:
        if (type.fileBytes == 4 && !type.isSigned)
            HxStore(field, uint32_t(HxStrToUL(word, nullptr, 0)));
        else
            StoreInteger(field, type.fileBytes, uint32_t(HxStrToL(word, nullptr, 0)));
        break;
    case Kind::Enum: {
        const hx_enum_table* e = EnumOf(m);
        uint32_t i = 0;
        while (e && i < e->count && std::strcmp(e->values[i].name, word) != 0)
            ++i;
        if (!e || i == e->count) {
            HxFailure("Unknown enum string: %s", word);
            StoreInteger(field, type.fileBytes, 0);
            return HXE_FAIL;
        }
        StoreInteger(field, type.fileBytes, uint32_t(e->values[i].value));
        break;
    }
    case Kind::Angle: HxStore(field, DegreesToAngle(HxStrToD(word, nullptr))); break;
    case Kind::Number: StoreNumber(type.form, field, HxStrToD(word, nullptr)); break;
    case Kind::Double: HxStore(field, HxStrToD(word, nullptr)); break;
    case Kind::Vector: {
        double c[4];
        if (!ParseComponents(p, type.components, c)) {
            HxFailure("Incorrect vector");
            return HXE_FAIL;
        }
        for (int i = 0; i < type.components; ++i)
            StoreNumber(type.form, field + kComponentBytes * i, c[i]);
        break;
    }
    case Kind::Colour: {
        double c[3];
        if (!ParseComponents(p, 3, c)) {
            HxFailure("Incorrect colour");
            return HXE_FAIL;
        }
        auto byte = [](double v) { return uint32_t(Saturate<uint8_t>(v)); };
        HxStore(field, byte(c[0]) << 16 | byte(c[1]) << 8 | byte(c[2]));
        break;
    }
    case Kind::Asciz: {
        if (std::strcmp(word, "NULL") == 0) {
            HxStore(field, static_cast<char*>(nullptr));
            break;
        }
        if (*p != '"') {
            HxFailure("Incorrect string \"%s\"", word);
            return HXE_FAIL;
        }
        const char* close = std::strchr(p + 1, '"');
        std::string text(p + 1, close ? size_t(close - p - 1) : std::strlen(p + 1));
        char* copy = HxResStrDup(ResParent(df), text.c_str());
        HxStore(field, copy);
        if (!copy)
            return HXE_NO_MEMORY;
        break;
    }
    case Kind::Struct:
        if (std::strcmp(word, SubOf(m)->name) != 0) {
            HxFailure("Incorrect structure name \"%s\"", word);
            return HXE_FAIL;
        }
        return TextMembersRead(df, SubOf(m), field);
    case Kind::Scaled: break;
    }
    return HX_OK;
}

// A line of a struct whose first word must be `expected`: what follows
// it, or null with the failure reported (`mismatch` names the word found).
const char* StructLine(hx_datafile* df, const char* expected, const char* mismatch)
{
    bool tooLong;
    const char* p = NextLine(df, &tooLong);
    if (!p) {
        if (!tooLong)
            HxFailure("Unexpected EOF in strructure");
        return nullptr;
    }
    char word[kHxDfLineMax + 1];
    p = Word(p, word, sizeof word);
    if (std::strcmp(word, expected) != 0) {
        HxFailure(mismatch, word);
        return nullptr;
    }
    return p;
}

hx_error TextMembersRead(hx_datafile* df, const hx_struct_template* t, uint8_t* record)
{
    for (uint32_t i = 0; i < t->count; ++i) {
        const hx_struct_member& m = t->members[i];
        const MemberType* type = Resolve(df, m.type);
        if (!type)
            continue;
        const char* p = StructLine(df, kMemberTypes[m.type].name, "Unknown member identifer \"%s\"");
        if (!p)
            return HXE_FAIL;
        if (TextValueRead(df, m, *type, p, record + m.offset) != HX_OK)
            return HXE_FAIL;
    }
    return HX_OK;
}

hx_error TextStructRead(hx_datafile* df, const hx_struct_template* t, void* record)
{
    const char* p = StructLine(df, "struct", "Unknown text identifer \"%s\"");
    if (!p)
        return HXE_FAIL;
    char word[kHxDfLineMax + 1];
    Word(p, word, sizeof word);
    if (std::strcmp(word, t->name) != 0) {
        HxFailure("Incorrect structure name \"%s\"", word);
        return HXE_FAIL;
    }
    return TextMembersRead(df, t, static_cast<uint8_t*>(record));
}

uint32_t TextMemberLines(hx_datafile* df, const hx_struct_template* t)
{
    uint32_t lines = 0;
    for (uint32_t i = 0; i < t->count; ++i) {
        const MemberType* type = Resolve(df, t->members[i].type);
        if (!type)
            continue;
        lines += 1;
        if (type->kind == Kind::Struct)
            lines += TextMemberLines(df, SubOf(t->members[i]));
    }
    return lines;
}

uint32_t TextStructSize(hx_datafile* df, const hx_struct_template* t, const void*)
{
    return 1 + TextMemberLines(df, t);
}

hx_error TextBlockWrite(hx_datafile* df, const void* base, uint32_t rowLength, int32_t rowStride, uint32_t rows,
                        uint32_t size)
{
    uint32_t count, bytes;
    if (!BlockTotal(rowLength, rows, size, &count, &bytes))
        return HXE_FAIL;
    HxFilePrintf(df->h, "  block %d\n", int(count));
    HxFilePrintf(df->h, "  size %d\n", int(size));
    return BlockBytes(base, rowLength, rowStride, rows, size, [&](const uint8_t* data, uint32_t n) {
        static const char kHex[] = "0123456789abcdef";
        for (uint32_t at = 0; at < n; at += 32) {
            char line[16 + 64 + 2];
            int used = std::snprintf(line, sizeof line, "    %08x: ", at);
            for (uint32_t i = at; i < n && i < at + 32; ++i) {
                line[used++] = kHex[data[i] >> 4];
                line[used++] = kHex[data[i] & 15];
            }
            line[used] = 0;
            HxFilePutLine(line, df->h);
        }
        return HX_OK;
    });
}

uint32_t TextBlockSize(hx_datafile*, uint32_t rowLength, uint32_t rows, uint32_t size)
{
    return (rowLength * rows * size + 31) / 32 + 2;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

hx_error NameWrite(hx_datafile* df, const char* name, bool text)
{
    if (text) {
        HxFilePrintf(df->h, "  name \"%s\"\n", name ? name : "NULL");
        return HX_OK;
    }
    return Put(df, name ? name : "", name ? std::strlen(name) + 1 : 1);
}

hx_error BinNameWrite(hx_datafile* df, const char* name)
{
    return NameWrite(df, name, false);
}

hx_error TextNameWrite(hx_datafile* df, const char* name)
{
    return NameWrite(df, name, true);
}

// A name may also end with the file.
hx_error BinNameRead(hx_datafile* df, char* buffer)
{
    GetString(df, buffer);
    return HX_OK;
}

hx_error TextNameRead(hx_datafile* df, char* buffer)
{
    buffer[0] = 0;
    const char* p = KeywordLine(df, "name", "no name");
    if (!p)
        return HXE_FAIL;
    if (*p != '"') {
        HxFailure("no name string");
        return HXE_FAIL;
    }
    ++p;
    size_t n = 0;
    while (p[n] && p[n] != '"' && n < 255) {
        buffer[n] = p[n];
        ++n;
    }
    buffer[n] = 0;
    return HX_OK;
}

uint32_t BinNameSize(hx_datafile*, const char* name)
{
    return name ? uint32_t(std::strlen(name)) + 1 : 1;
}

uint32_t TextNameSize(hx_datafile*, const char*)
{
    return 1;
}

// ---- the invalid slots -----------------------------------------------------

hx_error BadSkip(hx_datafile*, uint32_t) { return Invalid(), HXE_FAIL; }
hx_error BadChunkWrite(hx_datafile*, uint32_t, uint32_t) { return Invalid(), HXE_FAIL; }
int BadChunkRead(hx_datafile*, uint32_t*, uint32_t*) { return Invalid(), int(HXE_FAIL); }
hx_error BadCountWrite(hx_datafile*, uint32_t) { return Invalid(), HXE_FAIL; }
hx_error BadCountRead(hx_datafile*, uint32_t*) { return Invalid(), HXE_FAIL; }
uint32_t BadCountSize(hx_datafile*) { return Invalid(), 0; }
hx_error BadStructWrite(hx_datafile*, const hx_struct_template*, const void*) { return Invalid(), HXE_FAIL; }
hx_error BadStructRead(hx_datafile*, const hx_struct_template*, void*) { return Invalid(), HXE_FAIL; }
uint32_t BadStructSize(hx_datafile*, const hx_struct_template*, const void*) { return Invalid(), 0; }
hx_error BadBlockWrite(hx_datafile*, const void*, uint32_t, int32_t, uint32_t, uint32_t) { return Invalid(), HXE_FAIL; }
hx_error BadBlockRead(hx_datafile*, void**, uint32_t*, uint32_t, uint8_t) { return Invalid(), HXE_FAIL; }
uint32_t BadBlockSize(hx_datafile*, uint32_t, uint32_t, uint32_t) { return Invalid(), 0; }
hx_error BadNameWrite(hx_datafile*, const char*) { return Invalid(), HXE_FAIL; }
hx_error BadNameRead(hx_datafile*, char*) { return Invalid(), HXE_FAIL; }
uint32_t BadNameSize(hx_datafile*, const char*) { return Invalid(), 0; }

int IdentifyForm(const uint8_t* bytes, uint32_t n)
{
    static const uint8_t kBinary[8] = {0, 0, 0, 0x12, 0, 0, 0, 8};
    if (n >= 8 && std::memcmp(bytes, "*FILE_IN", 8) == 0)
        return HX_FILE_MODE_TEXT;
    if (n >= 8 && std::memcmp(bytes, kBinary, 8) == 0)
        return HX_FILE_MODE_BINARY;
    return HX_FILE_MODE_UNKNOWN;
}

constexpr hx_enum_value kFileTypes[] = {
    {HX_FILE_TYPE_NONE, "FILE_TYPE_NONE"},
    {HX_FILE_TYPE_ACTORS, "FILE_TYPE_ACTORS"},
    {HX_FILE_TYPE_PIXELMAP, "FILE_TYPE_PIXELMAP"},
    {HX_FILE_TYPE_LIGHT, "FILE_TYPE_LIGHT"},
    {HX_FILE_TYPE_CAMERA, "FILE_TYPE_CAMERA"},
    {HX_FILE_TYPE_MATERIAL_OLD, "FILE_TYPE_MATERIAL_OLD"},
    {HX_FILE_TYPE_MATERIAL, "FILE_TYPE_MATERIAL"},
    {HX_FILE_TYPE_MODEL, "FILE_TYPE_MODEL"},
    {HX_FILE_TYPE_ANIMATION, "FILE_TYPE_ANIMATION"},
    {HX_FILE_TYPE_TREE, "FILE_TYPE_TREE"},
};
constexpr hx_enum_table kFileTypeEnum = {uint32_t(std::size(kFileTypes)), kFileTypes};
constexpr hx_struct_member kFileInfoMembers[] = {
    {HX_DF_ENUM_32, offsetof(hx_file_info, type), "type", &kFileTypeEnum},
    {HX_DF_UINT_32, offsetof(hx_file_info, version), "version", nullptr},
};

} // namespace

const hx_struct_template HxFileInfoTemplate = {"file_info", 2, kFileInfoMembers, sizeof(hx_file_info)};

// The five tables, filled by name: a slot that a direction does not have
// holds the routine that reports an invalid call.
const hx_file_primitives HxFilePrimitivesNull = {
    .identifier = "NULL",
    .skip = BadSkip,
    .chunk_write = BadChunkWrite,
    .chunk_read = BadChunkRead,
    .count_write = BadCountWrite,
    .count_read = BadCountRead,
    .count_size = BadCountSize,
    .struct_write = BadStructWrite,
    .struct_read = BadStructRead,
    .struct_size = BadStructSize,
    .block_write = BadBlockWrite,
    .block_read = BadBlockRead,
    .block_size = BadBlockSize,
    .name_write = BadNameWrite,
    .name_read = BadNameRead,
    .name_size = BadNameSize,
};
const hx_file_primitives HxFilePrimitivesReadBinary = {
    .identifier = "Read Binary",
    .skip = BinSkip,
    .chunk_write = BadChunkWrite,
    .chunk_read = BinChunkRead,
    .count_write = BadCountWrite,
    .count_read = BinCountRead,
    .count_size = BinCountSize,
    .struct_write = BadStructWrite,
    .struct_read = BinStructRead,
    .struct_size = BinStructSize,
    .block_write = BadBlockWrite,
    .block_read = DfBlockReadBinary,
    .block_size = BinBlockSize,
    .name_write = BadNameWrite,
    .name_read = BinNameRead,
    .name_size = BinNameSize,
};
const hx_file_primitives HxFilePrimitivesWriteBinary = {
    .identifier = "Write Binary",
    .skip = BinSkip,
    .chunk_write = BinChunkWrite,
    .chunk_read = BadChunkRead,
    .count_write = BinCountWrite,
    .count_read = BadCountRead,
    .count_size = BinCountSize,
    .struct_write = BinStructWrite,
    .struct_read = BadStructRead,
    .struct_size = BinStructSize,
    .block_write = BinBlockWrite,
    .block_read = BadBlockRead,
    .block_size = BinBlockSize,
    .name_write = BinNameWrite,
    .name_read = BadNameRead,
    .name_size = BinNameSize,
};
const hx_file_primitives HxFilePrimitivesReadText = {
    .identifier = "Read Text",
    .skip = TextSkip,
    .chunk_write = BadChunkWrite,
    .chunk_read = TextChunkRead,
    .count_write = BadCountWrite,
    .count_read = TextCountRead,
    .count_size = TextCountSize,
    .struct_write = BadStructWrite,
    .struct_read = TextStructRead,
    .struct_size = TextStructSize,
    .block_write = BadBlockWrite,
    .block_read = DfBlockReadText,
    .block_size = TextBlockSize,
    .name_write = BadNameWrite,
    .name_read = TextNameRead,
    .name_size = TextNameSize,
};
const hx_file_primitives HxFilePrimitivesWriteText = {
    .identifier = "Write Text",
    .skip = TextSkip,
    .chunk_write = TextChunkWrite,
    .chunk_read = BadChunkRead,
    .count_write = TextCountWrite,
    .count_read = BadCountRead,
    .count_size = TextCountSize,
    .struct_write = TextStructWrite,
    .struct_read = BadStructRead,
    .struct_size = TextStructSize,
    .block_write = TextBlockWrite,
    .block_read = BadBlockRead,
    .block_size = TextBlockSize,
    .name_write = TextNameWrite,
    .name_read = BadNameRead,
    .name_size = TextNameSize,
};

const char* HxDfChunkName(uint32_t id)
{
    return id < std::size(kChunkNames) ? kChunkNames[id] : nullptr;
}

const char* HxDfMemberTypeName(uint32_t type)
{
    return type < HX_DF_MEMBER_TYPES ? kMemberTypes[type].name : nullptr;
}

hx_error DfBlockReadBinary(hx_datafile* df, void** block, uint32_t* count, uint32_t size, uint8_t cls)
{
    uint32_t n, elementSize;
    if (GetU32(df, &n) != HX_OK || GetU32(df, &elementSize) != HX_OK) {
        HxFailure("DfBlockReadBinary: block header cut short");
        return HXE_FAIL;
    }
    return BlockRead(df, "DfBlockReadBinary", block, count, size, cls, n, elementSize,
                     [&](uint8_t* to, uint32_t bytes) { return Get(df, to, bytes); });
}

hx_error DfBlockReadText(hx_datafile* df, void** block, uint32_t* count, uint32_t size, uint8_t cls)
{
    uint32_t n, elementSize;
    if (!KeywordNumber(df, "block", "no block", &n) || !KeywordNumber(df, "size", "no size", &elementSize))
        return HXE_FAIL;
    // Bytes arrive 32 to a line; `fill` may ask for any run of them.
    uint8_t pending[32];
    uint32_t pendingAt = 0, pendingCount = 0, address = 0;
    return BlockRead(df, "DfBlockReadText", block, count, size, cls, n, elementSize,
                     [&](uint8_t* to, uint32_t bytes) -> hx_error {
                         while (bytes > 0) {
                             if (pendingAt == pendingCount) {
                                 bool tooLong;
                                 const char* p = NextLine(df, &tooLong);
                                 if (!p)
                                     return HXE_FAIL;
                                 char word[kHxDfLineMax + 1];
                                 p = Word(p, word, sizeof word);
                                 char* end;
                                 unsigned long at = HxStrToUL(word, &end, 16);
                                 if (end == word || *end != ':' || at != address) {
                                     HxFailure("block address mismatch");
                                     return HXE_FAIL;
                                 }
                                 pendingAt = pendingCount = 0;
                                 while (pendingCount < 32 && HexDigit(p[0]) >= 0 && HexDigit(p[1]) >= 0) {
                                     pending[pendingCount++] = uint8_t(HexDigit(p[0]) << 4 | HexDigit(p[1]));
                                     p += 2;
                                 }
                                 if (pendingCount == 0)
                                     return HXE_FAIL;
                                 address += pendingCount;
                             }
                             uint32_t take = std::min(bytes, pendingCount - pendingAt);
                             std::memcpy(to, pending + pendingAt, take);
                             to += take;
                             pendingAt += take;
                             bytes -= take;
                         }
                         return HX_OK;
                     });
}

// ---- handles, the stack and the chunk loop -------------------------------

hx_datafile* DfOpen(const char* name, hx_bool write, int scalarType)
{
    int mode = fw.defaultFileMode;
    hx_file* file = write ? HxFileOpenWrite(name, mode) : HxFileOpenRead(name, 8, IdentifyForm, &mode);
    if (!file)
        return nullptr;
    auto* df = static_cast<hx_datafile*>(HxResAllocate(fw.anchor, sizeof(hx_datafile), HX_RES_DATAFILE));
    if (!df) {
        HxFileClose(file);
        return nullptr;
    }
    HxResAdd(df, file); // closes with the handle
    df->h = file;
    df->readAhead = nullptr;
    df->readAt = df->readEnd = 0;
    df->pulled = df->chunkEnd = 0;
    df->scalarType = scalarType;
    bool text = mode == HX_FILE_MODE_TEXT;
    if (write)
        df->prims = text ? &HxFilePrimitivesWriteText : &HxFilePrimitivesWriteBinary;
    else
        df->prims = text ? &HxFilePrimitivesReadText : &HxFilePrimitivesReadBinary;
    DfPush(kHxDfStackDatafile, df, 1);
    return df;
}

void DfClose(hx_datafile* df)
{
    for (;;) {
        if (fw.datafileStackTop == 0) {
            HxFailure("DatafileStack Underflow");
            break;
        }
        hx_df_stack_entry& top = fw.datafileStack[fw.datafileStackTop - 1];
        if (top.type == kHxDfStackDatafile) {
            if (top.value != df) {
                _HxAssert("df == dfp", "datafile", 1607);
                break;
            }
            --fw.datafileStackTop;
            break;
        }
        --fw.datafileStackTop;
    }
    HxResFree(df);
}

void DfPush(int type, void* value, int count)
{
    HX_CHECK(type >= 1 && type <= 23, "datafile", 1520, );
    HX_CHECK(value != NULL, "datafile", 1521, );
    HX_CHECK(count >= 1, "datafile", 1522, );
    if (fw.datafileStackTop >= kHxDfStackSize) {
        HxFailure("DatafileStack Overflow");
        return;
    }
    fw.datafileStack[fw.datafileStackTop++] = {type, value, count};
}

namespace {
hx_df_stack_entry* Inspect(int type)
{
    if (fw.datafileStackTop == 0) {
        HxFailure("DatafileStack Underflow");
        return nullptr;
    }
    hx_df_stack_entry* top = &fw.datafileStack[fw.datafileStackTop - 1];
    if (top->type != type) {
        HxFailure("DatafileStack type mismatch, wanted %d, got %d", type, top->type);
        return nullptr;
    }
    return top;
}
} // namespace

void* DfPop(int type, int* count)
{
    hx_df_stack_entry* top = Inspect(type);
    if (!top)
        return nullptr;
    if (count)
        *count = top->count;
    --fw.datafileStackTop;
    return top->value;
}

void* DfTop(int type, int* count)
{
    hx_df_stack_entry* top = Inspect(type);
    if (!top)
        return nullptr;
    if (count)
        *count = top->count;
    return top->value;
}

int DfTopType()
{
    return fw.datafileStackTop ? fw.datafileStack[fw.datafileStackTop - 1].type : 0;
}

int DfChunksInterpret(hx_datafile* df, const hx_chunk_table* table)
{
    for (;;) {
        uint32_t id, length;
        int r = df->prims->chunk_read(df, &id, &length);
        if (r == -1)
            return 0;
        if (r != 0)
            return r;
        const hx_chunk_entry* entry = nullptr;
        for (int i = 0; i < table->n && !entry; ++i)
            if (table->entries[i].id == id)
                entry = &table->entries[i];
        if (!entry) {
            if (hx_error e = df->prims->skip(df, length))
                return int(e);
            continue;
        }
        uint32_t count = 0;
        if (entry->hasCount)
            if (hx_error e = df->prims->count_read(df, &count))
                return int(e);
        if (int result = entry->handler(df, id, length, count))
            return result;
    }
}

hx_error DfFileInfoWrite(hx_datafile* df, uint32_t fileType)
{
    hx_file_info info = {fileType, 2};
    hx_error e = df->prims->chunk_write(df, HX_CHUNK_FILE_INFO, df->prims->struct_size(df, &HxFileInfoTemplate, &info));
    return e ? e : df->prims->struct_write(df, &HxFileInfoTemplate, &info);
}

hx_error DfEndWrite(hx_datafile* df)
{
    return df->prims->chunk_write(df, HX_CHUNK_END, 0);
}

int DfStructWriteArray(hx_datafile* df, const hx_struct_template* t, const void* first, int n)
{
    auto* record = static_cast<const uint8_t*>(first);
    for (int i = 0; i < n; ++i, record += t->size)
        if (df->prims->struct_write(df, t, record) != HX_OK)
            return i;
    return n;
}

int DfStructReadArray(hx_datafile* df, const hx_struct_template* t, void* first, int n)
{
    auto* record = static_cast<uint8_t*>(first);
    std::vector<ReadStep> steps;
    if (n > 1 && df->prims == &HxFilePrimitivesReadBinary && Spread(df, t, 0, 0, steps)) {
        MarkRuns(steps);
        for (int i = 0; i < n; ++i, record += t->size) {
            if (AtEnd(df))
                return i;
            if (BinStepsRead(df, steps, record) != HX_OK) {
                HxFailure("Unexpected EOF in strructure");
                return i;
            }
        }
        return n;
    }
    for (int i = 0; i < n; ++i, record += t->size)
        if (AtEnd(df) || df->prims->struct_read(df, t, record) != HX_OK)
            return i;
    return n;
}
