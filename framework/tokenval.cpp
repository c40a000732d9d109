// Token-value lists: templates, queries and sets, size rules, comparison,
// dump lines and the text form.
#include "framework/tokenval.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/diag.h"
#include "framework/fw_state.h"
#include "framework/lexer.h"
#include "framework/object.h"
#include "framework/token.h"
#include "framework/unaligned.h"

namespace {

// Words (32-bit) that the wide conversions 4-9 and 16-27 move.
int WideWords(uint32_t conversion)
{
    static constexpr int kWords[] = {2, 3, 4, 6, 12, 16};
    if (conversion >= HX_TVC_WORDS_2 && conversion <= HX_TVC_WORDS_16)
        return kWords[conversion - HX_TVC_WORDS_2];
    if (conversion >= HX_TVC_FLOATS_2_AS_FIXED && conversion <= HX_TVC_FIXED_16_AS_FLOATS)
        return kWords[(conversion - HX_TVC_FLOATS_2_AS_FIXED) / 2];
    return 0;
}

bool FloatsAsFixed(uint32_t conversion)
{
    return conversion >= HX_TVC_FLOATS_2_AS_FIXED && conversion <= HX_TVC_FIXED_16_AS_FLOATS &&
           (conversion - HX_TVC_FLOATS_2_AS_FIXED) % 2 == 0;
}

bool FixedAsFloats(uint32_t conversion)
{
    return conversion >= HX_TVC_FLOATS_2_AS_FIXED && conversion <= HX_TVC_FIXED_16_AS_FLOATS &&
           (conversion - HX_TVC_FLOATS_2_AS_FIXED) % 2 == 1;
}

size_t RoundUp4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

void* FieldOf(void* record, const hx_tv_template_entry* e)
{
    if (e->flags & HX_TV_ABSOLUTE)
        return reinterpret_cast<void*>(e->offset);
    return static_cast<uint8_t*>(record) + e->offset;
}

size_t ListBytes(const uint32_t* list)
{
    size_t n = 0;
    if (list)
        while (list[n])
            ++n;
    return 4 * (n + 1);
}

// Buffer bytes that a query of the entry needs beyond its pair.
size_t EntrySize(void* record, const hx_tv_template_entry* e)
{
    void* field = FieldOf(record, e);
    if (int words = WideWords(e->conversion))
        return size_t(words) * 4;
    switch (e->conversion) {
    case HX_TVC_STRING: {
        const char* s = HxLoad<const char*>(field);
        return s ? RoundUp4(std::strlen(s) + 1) : 0;
    }
    case HX_TVC_LIST:
        return ListBytes(HxLoad<const uint32_t*>(field));
    case HX_TVC_CUSTOM: {
        auto* custom = reinterpret_cast<const hx_tv_custom*>(e->argument);
        return custom && custom->size ? custom->size(field, record, e) : 0;
    }
    default:
        return 0;
    }
}

hx_bool Resolve(hx_tv_template* tpl)
{
    if (tpl->resolved)
        return 1;
    HX_CHECK_AS(tpl->n > 0, "template->n_entries > 0", "tokenval", 212, 0);
    hx_token low = 0, high = 0;
    for (int i = 0; i < tpl->n; ++i) {
        hx_tv_template_entry& e = tpl->entries[i];
        if (e.name)
            e.token = HxTokenCreate(e.name, 0);
        if (!e.token)
            continue;
        if (!low || e.token < low)
            low = e.token;
        if (e.token > high)
            high = e.token;
    }
    HX_CHECK_AS(low != 0, "template->map_base != 0", "tokenval", 226, 0);
    tpl->mapBase = low;
    tpl->mapCount = int(high - low + 1);
    auto** maps = static_cast<hx_tv_template_entry**>(
        HxResAllocate(tpl, uint32_t(2 * tpl->mapCount * sizeof(void*)), HX_RES_TOKEN_MAP));
    if (!maps)
        return 0;
    tpl->queryMap = maps;
    tpl->setMap = maps + tpl->mapCount;
    for (int i = 0; i < tpl->n; ++i) {
        hx_tv_template_entry& e = tpl->entries[i];
        if (!e.token)
            continue;
        HX_CHECK_AS(e.token >= tpl->mapBase, "tp->token >= template->map_base", "tokenval", 240, 0);
        int index = int(e.token - tpl->mapBase);
        if ((e.flags & HX_TV_QUERY) && !tpl->queryMap[index])
            tpl->queryMap[index] = &e;
        if ((e.flags & HX_TV_SET) && !tpl->setMap[index])
            tpl->setMap[index] = &e;
    }
    tpl->resolved = 1;
    return 1;
}

enum class Map {
    Query,
    Set
};

// The template entry for a token, resolving the template on first use.
hx_tv_template_entry* Lookup(hx_tv_template* tpl, Map map, hx_token t)
{
    if (!tpl || !Resolve(tpl) || t < tpl->mapBase || t >= tpl->mapBase + hx_token(tpl->mapCount))
        return nullptr;
    return (map == Map::Query ? tpl->queryMap : tpl->setMap)[t - tpl->mapBase];
}

// One query; wide data is taken from the buffer, which advances.
hx_error QueryEntry(hx_value* value, void** buffer, size_t* bufferSize, void* record,
                    const hx_tv_template_entry* e)
{
    void* field = FieldOf(record, e);
    value->u = 0;
    size_t need = EntrySize(record, e);
    if (e->conversion != HX_TVC_CUSTOM && need > 0) {
        if (*bufferSize < need || !*buffer)
            return HXE_NO_ROOM;
    }
    auto* out = static_cast<uint8_t*>(*buffer);
    switch (e->conversion) {
    case HX_TVC_CONSTANT:
        value->u = e->argument;
        return HX_OK;
    case HX_TVC_CUSTOM: {
        auto* custom = reinterpret_cast<const hx_tv_custom*>(e->argument);
        if (!custom || !custom->query)
            return HXE_UNKNOWN_TOKEN;
        return custom->query(value, buffer, bufferSize, field, record, e);
    }
    case HX_TVC_DIRECT:
        value->u = HxLoad<uint32_t>(field);
        return HX_OK;
    case HX_TVC_DIRECT_PTR:
        value->u = HxLoad<uintptr_t>(field);
        return HX_OK;
    case HX_TVC_INT_8:
        value->i = HxLoad<int8_t>(field);
        return HX_OK;
    case HX_TVC_INT_16:
        value->i = HxLoad<int16_t>(field);
        return HX_OK;
    case HX_TVC_UINT_8:
        value->u = HxLoad<uint8_t>(field);
        return HX_OK;
    case HX_TVC_UINT_16:
        value->u = HxLoad<uint16_t>(field);
        return HX_OK;
    case HX_TVC_FLOAT_AS_FIXED:
        value->x = HxFloatToFixedSaturate(HxLoad<float>(field));
        return HX_OK;
    case HX_TVC_FIXED_AS_FLOAT:
        value->f = HxFixedToFloat(HxLoad<hx_fixed>(field));
        return HX_OK;
    case HX_TVC_STRING: {
        const char* s = HxLoad<const char*>(field);
        if (s)
            std::memcpy(out, s, std::strlen(s) + 1);
        value->p = s ? out : nullptr;
        break;
    }
    case HX_TVC_LIST:
        if (auto* list = HxLoad<const uint32_t*>(field))
            std::memcpy(out, list, need);
        else
            std::memset(out, 0, 4);
        value->p = out;
        break;
    case HX_TVC_BOOLEAN:
        value->u = HxLoad<uint32_t>(field) != 0;
        return HX_OK;
    case HX_TVC_MASK:
        value->u = (HxLoad<uint32_t>(field) & e->argument) != 0;
        return HX_OK;
    case HX_TVC_MASK_NOT:
        value->u = (HxLoad<uint32_t>(field) & e->argument) == 0;
        return HX_OK;
    default: {
        int words = WideWords(e->conversion);
        if (!words)
            return HXE_UNKNOWN_TOKEN;
        auto* from = static_cast<const uint8_t*>(field);
        for (int i = 0; i < words; ++i) {
            if (FloatsAsFixed(e->conversion))
                HxStore(out + 4 * i, HxFloatToFixedSaturate(HxLoad<float>(from + 4 * i)));
            else if (FixedAsFloats(e->conversion))
                HxStore(out + 4 * i, HxFixedToFloat(HxLoad<hx_fixed>(from + 4 * i)));
            else
                std::memcpy(out + 4 * i, from + 4 * i, 4);
        }
        value->p = out;
    }
    }
    *buffer = out + need;
    *bufferSize -= need;
    return HX_OK;
}

hx_error SetEntry(void* record, hx_value value, const hx_tv_template_entry* e)
{
    if (e->flags & HX_TV_ABSOLUTE)
        return HXE_FAIL;
    void* field = FieldOf(record, e);
    switch (e->conversion) {
    case HX_TVC_CUSTOM: {
        auto* custom = reinterpret_cast<const hx_tv_custom*>(e->argument);
        if (!custom || !custom->set)
            return HXE_UNKNOWN_TOKEN;
        return custom->set(field, value, record, e);
    }
    case HX_TVC_DIRECT:
        HxStore(field, uint32_t(value.u));
        return HX_OK;
    case HX_TVC_DIRECT_PTR:
    case HX_TVC_STRING:
    case HX_TVC_LIST:
        HxStore(field, value.u);
        return HX_OK;
    case HX_TVC_INT_8:
    case HX_TVC_UINT_8:
        HxStore(field, uint8_t(value.u));
        return HX_OK;
    case HX_TVC_INT_16:
    case HX_TVC_UINT_16:
        HxStore(field, uint16_t(value.u));
        return HX_OK;
    case HX_TVC_FLOAT_AS_FIXED:
        HxStore(field, HxFixedToFloat(value.x));
        return HX_OK;
    case HX_TVC_FIXED_AS_FLOAT:
        HxStore(field, HxFloatToFixedSaturate(value.f));
        return HX_OK;
    case HX_TVC_BOOLEAN:
        HxStore(field, uint32_t(value.u != 0));
        return HX_OK;
    case HX_TVC_MASK:
    case HX_TVC_MASK_NOT: {
        uint32_t v = HxLoad<uint32_t>(field);
        bool on = (value.u != 0) == (e->conversion == HX_TVC_MASK);
        HxStore(field, on ? uint32_t(v | e->argument) : uint32_t(v & ~e->argument));
        return HX_OK;
    }
    default: {
        int words = WideWords(e->conversion);
        if (!words)
            return HXE_UNKNOWN_TOKEN; // constants are not settable
        if (!value.p)
            return HXE_FAIL;
        auto* to = static_cast<uint8_t*>(field);
        auto* from = static_cast<const uint8_t*>(value.p);
        for (int i = 0; i < words; ++i) {
            if (FloatsAsFixed(e->conversion))
                HxStore(to + 4 * i, HxFixedToFloat(HxLoad<hx_fixed>(from + 4 * i)));
            else if (FixedAsFloats(e->conversion))
                HxStore(to + 4 * i, HxFloatToFixedSaturate(HxLoad<float>(from + 4 * i)));
            else
                std::memcpy(to + 4 * i, from + 4 * i, 4);
        }
        return HX_OK;
    }
    }
}

// Bytes of the data that a vector or matrix value points at; 0 otherwise.
size_t WideTypeBytes(hx_token type)
{
    switch (type) {
    case HXT_VECTOR2_INTEGER:
    case HXT_VECTOR2_FIXED:
    case HXT_VECTOR2_FLOAT:
        return 8;
    case HXT_VECTOR3_INTEGER:
    case HXT_VECTOR3_FIXED:
    case HXT_VECTOR3_FLOAT:
        return 12;
    case HXT_VECTOR4_INTEGER:
    case HXT_VECTOR4_FIXED:
    case HXT_VECTOR4_FLOAT:
        return 16;
    case HXT_MATRIX23_FIXED:
    case HXT_MATRIX23_FLOAT:
        return 24;
    case HXT_MATRIX34_FIXED:
    case HXT_MATRIX34_FLOAT:
        return 48;
    case HXT_MATRIX4_FIXED:
    case HXT_MATRIX4_FLOAT:
        return 64;
    default:
        return 0;
    }
}

bool PointerWide(hx_token type)
{
    switch (type) {
    case HXT_POINTER:
    case HXT_OBJECT:
    case HXT_HANDLE:
    case HXT_TOKEN_VALUE_LIST:
        return true;
    default:
        return false;
    }
}

bool ValuesEqual(hx_token type, hx_value a, hx_value b)
{
    switch (type) {
    case HXT_NONE:
    case HXT_OBJECT_LIST:
    case HXT_TOKEN_LIST:
    case HXT_POINTER_LIST:
        return true;
    case HXT_BOOLEAN:
        return (a.u != 0) == (b.u != 0);
    case HXT_INT_8:
    case HXT_UINT_8:
        return uint8_t(a.u) == uint8_t(b.u);
    case HXT_INT_16:
    case HXT_UINT_16:
        return uint16_t(a.u) == uint16_t(b.u);
    case HXT_STRING:
    case HXT_CONSTANT_STRING:
        if (!a.cstr || !b.cstr)
            return a.cstr == b.cstr;
        return std::strcmp(a.cstr, b.cstr) == 0;
    default:
        break;
    }
    if (size_t bytes = WideTypeBytes(type)) {
        if (!a.p || !b.p)
            return a.p == b.p;
        return std::memcmp(a.p, b.p, bytes) == 0;
    }
    if (PointerWide(type))
        return a.u == b.u;
    return uint32_t(a.u) == uint32_t(b.u);
}

// ---- dump ------------------------------------------------------------------

struct Line {
    std::string text;
    void Add(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char piece[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(piece, sizeof piece, format, args);
        va_end(args);
        text += piece;
    }
};

void DumpWide(Line& line, const std::string& lead, const std::string& continuation, hx_token type,
              const void* data, hx_tv_putline_cbfn callback, void* arg)
{
    int columns = 0, rows = 1;
    bool integer = false, fixed = false;
    // clang-format off
    switch (type) {
    case HXT_VECTOR2_INTEGER: columns = 2; integer = true; break;
    case HXT_VECTOR3_INTEGER: columns = 3; integer = true; break;
    case HXT_VECTOR4_INTEGER: columns = 4; integer = true; break;
    case HXT_VECTOR2_FIXED: columns = 2; fixed = true; break;
    case HXT_VECTOR3_FIXED: columns = 3; fixed = true; break;
    case HXT_VECTOR4_FIXED: columns = 4; fixed = true; break;
    case HXT_VECTOR2_FLOAT: columns = 2; break;
    case HXT_VECTOR3_FLOAT: columns = 3; break;
    case HXT_VECTOR4_FLOAT: columns = 4; break;
    case HXT_MATRIX23_FIXED: columns = 2; rows = 3; fixed = true; break;
    case HXT_MATRIX34_FIXED: columns = 3; rows = 4; fixed = true; break;
    case HXT_MATRIX4_FIXED: columns = 4; rows = 4; fixed = true; break;
    case HXT_MATRIX23_FLOAT: columns = 2; rows = 3; break;
    case HXT_MATRIX34_FLOAT: columns = 3; rows = 4; break;
    case HXT_MATRIX4_FLOAT: columns = 4; rows = 4; break;
    default: break;
    }
    // clang-format on
    auto* words = static_cast<const uint8_t*>(data);
    for (int r = 0; r < rows; ++r) {
        line.text = r == 0 ? lead : continuation;
        line.text += '[';
        for (int c = 0; c < columns; ++c) {
            const uint8_t* w = words + 4 * (r * columns + c);
            if (c)
                line.text += ',';
            if (integer)
                line.Add("%d", HxLoad<int32_t>(w));
            else if (fixed)
                line.Add("%f", HxFixedToDouble(HxLoad<hx_fixed>(w)));
            else
                line.Add("%f", double(HxLoad<float>(w)));
        }
        line.text += ']';
        callback(line.text.c_str(), arg);
    }
}

void DumpPair(int index, const hx_token_value& pair, const char* prefix, hx_tv_putline_cbfn callback, void* arg)
{
    Line line;
    const char* name = HxTokenIdentifier(pair.t);
    if (!name) {
        line.Add("%s  %5d:  ??? (%08x) %016" PRIxPTR, prefix, index, pair.t, pair.v.u);
        callback(line.text.c_str(), arg);
        return;
    }
    char head[64];
    std::snprintf(head, sizeof head, "%5d:  %-32s ", index, name);
    std::string lead = std::string(prefix) + head;
    hx_token type = HxTokenType(pair.t);
    hx_value v = pair.v;
    if (WideTypeBytes(type)) {
        if (!v.p) {
            line.text = lead + "NULL";
            callback(line.text.c_str(), arg);
        } else {
            DumpWide(line, lead, std::string(prefix) + std::string(std::strlen(head), ' '), type, v.p, callback,
                     arg);
        }
        return;
    }
    line.text = lead;
    switch (type) {
    case HXT_NONE:
        break;
    case HXT_BOOLEAN:
        line.Add("%s", v.u ? "TRUE" : "FALSE");
        break;
    case HXT_POINTER:
    case HXT_HANDLE:
        line.Add("%016" PRIxPTR, v.u);
        break;
    case HXT_TOKEN:
        if (const char* t = HxTokenIdentifier(v.t))
            line.Add("%s", t);
        else
            line.Add("??? %d", int(v.t));
        break;
    case HXT_INT_8:
        line.Add("%d", int(int8_t(v.u)));
        break;
    case HXT_INT_16:
        line.Add("%d", int(int16_t(v.u)));
        break;
    case HXT_INT_32:
        line.Add("%d", int32_t(v.u));
        break;
    case HXT_UINT_8:
        line.Add("%u (0x%02x)", unsigned(uint8_t(v.u)), unsigned(uint8_t(v.u)));
        break;
    case HXT_UINT_16:
        line.Add("%u (0x%04x)", unsigned(uint16_t(v.u)), unsigned(uint16_t(v.u)));
        break;
    case HXT_UINT_32:
        line.Add("%u (0x%08x)", uint32_t(v.u), uint32_t(v.u));
        break;
    case HXT_FIXED:
        line.Add("%f", HxFixedToDouble(v.x));
        break;
    case HXT_FLOAT:
        line.Add("%f", double(v.f));
        break;
    case HXT_ANGLE:
        line.Add("%f", HxAngleToDegrees(hx_angle(v.u)));
        break;
    case HXT_COLOUR_RGB:
        line.Add("(%d,%d,%d)", int((v.u >> 16) & 0xFF), int((v.u >> 8) & 0xFF), int(v.u & 0xFF));
        break;
    case HXT_STRING:
    case HXT_CONSTANT_STRING:
        line.Add("%s", v.cstr ? v.cstr : "NULL");
        break;
    case HXT_OBJECT: {
        line.text.clear();
        if (!v.o) {
            line.Add("%s%sNULL OBJECT", prefix, head);
            break;
        }
        const hx_object_dispatch* d = v.o->dispatch;
        using DeviceMethod = hx_object* (*)(hx_object*);
        // Only device pixelmaps have the device method in slot 4.
        bool pixelmap = d && d->type && d->type(v.o) == HXT_DEVICE_PIXELMAP && d->classMethods[1];
        hx_object* device = pixelmap ? reinterpret_cast<DeviceMethod>(d->classMethods[1])(v.o) : nullptr;
        const char* deviceName = device && device->dispatch->identifier ? device->dispatch->identifier(device) : nullptr;
        const char* id = d && d->identifier ? d->identifier(v.o) : nullptr;
        const char* typeName = d && d->type ? HxTokenIdentifier(d->type(v.o)) : nullptr;
        line.Add("%s%s%016" PRIxPTR " %s:%s  %s", prefix, head, v.u, deviceName ? deviceName : "<NULL DEVICE>",
                 id ? id : "<NULL>", typeName ? typeName : "");
        break;
    }
    case HXT_TOKEN_LIST:
    case HXT_POINTER_LIST:
    case HXT_OBJECT_LIST: {
        if (!v.p) {
            line.text += "NULL";
            break;
        }
        bool any = false;
        line.text += '[';
        if (type == HXT_TOKEN_LIST) {
            for (auto* t = static_cast<const uint32_t*>(v.p); *t; ++t, any = true) {
                const char* tn = HxTokenIdentifier(*t);
                line.Add(any ? ",%s" : "%s", tn ? tn : "???");
            }
        } else {
            for (auto* p = static_cast<void* const*>(v.p); *p; ++p, any = true)
                line.Add(any ? ",%016" PRIxPTR : "%016" PRIxPTR, reinterpret_cast<uintptr_t>(*p));
        }
        line.text = any ? line.text + ']' : lead + "Empty List";
        break;
    }
    default:
        line.Add("%08x", uint32_t(v.u));
    }
    callback(line.text.c_str(), arg);
}

// ---- text form -------------------------------------------------------------

constexpr int kKeywordFalse = 128;
constexpr int kKeywordTrue = 129;
constexpr hx_lexer_keyword kKeywords[] = {{"false", kKeywordFalse}, {"true", kKeywordTrue}};

constexpr hx_token kNameTypes[] = {HXT_TOKEN};
constexpr hx_token kStringTypes[] = {HXT_STRING, HXT_CONSTANT_STRING};
constexpr hx_token kUnsignedTypes[] = {HXT_INT_32, HXT_UINT_32, HXT_INT_16, HXT_UINT_16, HXT_INT_8,
                                       HXT_UINT_8, HXT_FLOAT, HXT_FIXED, HXT_BOOLEAN};
constexpr hx_token kSignedTypes[] = {HXT_INT_32, HXT_INT_16, HXT_INT_8, HXT_FLOAT, HXT_FIXED, HXT_BOOLEAN};
constexpr hx_token kRealTypes[] = {HXT_FLOAT, HXT_FIXED};
constexpr hx_token kBooleanTypes[] = {HXT_BOOLEAN};
constexpr hx_token kNoValueTypes[] = {HXT_NONE, HXT_BOOLEAN};

void TextError(hx_lexer* lexer, const char* message)
{
    char where[300];
    HxWarning("%s%s", HxLexerPosition(lexer, where, sizeof where), message);
    *static_cast<bool*>(lexer->errorArg) = true; // the parse has failed
}

// The full base name for a one-letter abbreviation.
const char* Expand(const char* name)
{
    if (name[0] && !name[1]) {
        switch (name[0] | 0x20) {
        case 'b': return "pixel_bits";
        case 'h': return "height";
        case 'm': return "mode";
        case 'w': return "width";
        default: break;
        }
    }
    return name;
}

} // namespace

hx_tv_template* HxTVTemplateAllocate(void* parent, hx_tv_template_entry* entries, int n)
{
    auto* tpl = static_cast<hx_tv_template*>(
        HxResAllocate(parent ? parent : fw.anchor, sizeof(hx_tv_template), HX_RES_TOKEN_TEMPLATE));
    if (!tpl)
        return nullptr;
    tpl->entries = entries;
    tpl->n = n;
    return tpl;
}

void HxTVTemplateFree(hx_tv_template* tpl)
{
    HxResFree(tpl);
}

hx_error HxTokenValueQuery(hx_value* value, void* buffer, size_t bufferSize, hx_token t, void* record,
                           hx_tv_template* tpl)
{
    hx_tv_template_entry* e = Lookup(tpl, Map::Query, t);
    if (!e)
        return HXE_UNKNOWN_TOKEN;
    return QueryEntry(value, &buffer, &bufferSize, record, e);
}

hx_error HxTokenValueQueryMany(hx_token_value* tv, void* buffer, size_t bufferSize, int* count, void* record,
                               hx_tv_template* tpl)
{
    int n = 0;
    for (; tv->t; ++tv) {
        hx_tv_template_entry* e = Lookup(tpl, Map::Query, tv->t);
        if (e && QueryEntry(&tv->v, &buffer, &bufferSize, record, e) == HX_OK)
            ++n;
    }
    if (count)
        *count = n;
    return HX_OK;
}

hx_error HxTokenValueQueryManySize(size_t* size, hx_token_value* tv, void* record, hx_tv_template* tpl)
{
    size_t total = 0;
    for (; tv->t; ++tv)
        if (hx_tv_template_entry* e = Lookup(tpl, Map::Query, tv->t))
            total += EntrySize(record, e);
    *size = total;
    return HX_OK;
}

hx_error HxTokenValueQueryAllSize(size_t* size, void* record, hx_tv_template* tpl)
{
    *size = 0;
    if (!tpl || !Resolve(tpl))
        return HXE_FAIL;
    size_t total = sizeof(hx_token_value);
    for (int i = 0; i < tpl->n; ++i) {
        const hx_tv_template_entry& e = tpl->entries[i];
        if ((e.flags & HX_TV_ALL) && (e.flags & HX_TV_QUERY))
            total += sizeof(hx_token_value) + EntrySize(record, &e);
    }
    *size = total;
    return HX_OK;
}

hx_error HxTokenValueQueryAll(hx_token_value* out, size_t bufferSize, void* record, hx_tv_template* tpl)
{
    if (!tpl || !Resolve(tpl))
        return HXE_FAIL;
    size_t pairs = 1;
    for (int i = 0; i < tpl->n; ++i)
        pairs += (tpl->entries[i].flags & (HX_TV_ALL | HX_TV_QUERY)) == (HX_TV_ALL | HX_TV_QUERY);
    if (bufferSize < pairs * sizeof(hx_token_value))
        return HXE_NO_ROOM;
    void* buffer = out + pairs;
    size_t room = bufferSize - pairs * sizeof(hx_token_value);
    hx_token_value* pair = out;
    hx_error error = HX_OK;
    for (int i = 0; i < tpl->n && error == HX_OK; ++i) {
        const hx_tv_template_entry& e = tpl->entries[i];
        if ((e.flags & (HX_TV_ALL | HX_TV_QUERY)) != (HX_TV_ALL | HX_TV_QUERY))
            continue;
        pair->t = e.token;
        error = QueryEntry(&pair->v, &buffer, &room, record, &e);
        if (error == HX_OK)
            ++pair;
    }
    pair->t = 0;
    pair->v.u = 0;
    return error;
}

hx_error HxTokenValueSet(void* record, uint32_t* changed, hx_token t, hx_value value, hx_tv_template* tpl)
{
    hx_tv_template_entry* e = Lookup(tpl, Map::Set, t);
    if (!e)
        return HXE_UNKNOWN_TOKEN;
    hx_error error = SetEntry(record, value, e);
    if (error == HX_OK && changed)
        *changed |= e->changeMask;
    return error;
}

hx_error HxTokenValueSetMany(void* record, int* count, uint32_t* changed, const hx_token_value* tv,
                             hx_tv_template* tpl)
{
    int n = 0;
    uint32_t bits = 0;
    for (; tv->t; ++tv)
        if (HxTokenValueSet(record, &bits, tv->t, tv->v, tpl) == HX_OK)
            ++n;
    if (count)
        *count = n;
    if (changed)
        *changed |= bits;
    return HX_OK;
}

void HxTokenValueDump(const hx_token_value* tv, const char* prefix, hx_tv_putline_cbfn callback, void* arg)
{
    for (int i = 0; tv && tv[i].t; ++i)
        DumpPair(i, tv[i], prefix ? prefix : "", callback, arg);
}

hx_bool HxTokenValueCompare(const hx_token_value* a, const hx_token_value* b)
{
    if (!a || !b)
        return a == b;
    for (;; ++a, ++b) {
        if (a->t != b->t)
            return 0;
        if (!a->t)
            return 1;
        if (!ValuesEqual(HxTokenType(a->t), a->v, b->v))
            return 0;
    }
}

hx_error HxStringToTokenValue(void* buffer, size_t bufferSize, const char* text)
{
    auto* pairs = static_cast<hx_token_value*>(buffer);
    size_t maxPairs = bufferSize / sizeof(hx_token_value);
    if (maxPairs == 0)
        return HXE_NO_ROOM;
    char* strings = static_cast<char*>(buffer) + bufferSize; // grows down
    size_t n = 0;
    pairs[0] = {};

    hx_lexer* lexer = HxLexerAllocate(kKeywords, 2);
    if (!lexer)
        return HXE_NO_MEMORY;
    bool failed = false;
    lexer->errorArg = &failed;
    HxLexerErrorSet(lexer, TextError);
    hx_error result = HxLexerPushString(lexer, text, "token-value text");
    if (result != HX_OK) {
        HxLexerFree(lexer);
        return result;
    }
    HxLexerAdvance(lexer);

    while (lexer->current != HX_LEX_END && !failed && result == HX_OK) {
        if (lexer->current != HX_LEX_IDENT) {
            HxLexerTokenError(lexer, HX_LEX_IDENT);
            break;
        }
        char name[256];
        std::snprintf(name, sizeof name, "%s", Expand(lexer->value.text));
        HxLexerAdvance(lexer);

        const hx_token* types = kNoValueTypes;
        int nTypes = 2;
        double number = 0;
        bool negative = false;
        char word[256] = "";
        int form = 0; // 0 none, 1 name, 2 string, 3 integer, 4 real, 5 boolean
        if (lexer->current == '=' || lexer->current == ':') {
            HxLexerAdvance(lexer);
            if (lexer->current == '-' || lexer->current == '+') {
                negative = lexer->current == '-';
                HxLexerAdvance(lexer);
            }
            switch (lexer->current) {
            case HX_LEX_IDENT:
                form = 1, types = kNameTypes, nTypes = 1;
                std::snprintf(word, sizeof word, "%s", lexer->value.text);
                break;
            case HX_LEX_STRING:
                form = 2, types = kStringTypes, nTypes = 2;
                std::snprintf(word, sizeof word, "%s", lexer->value.text);
                break;
            case HX_LEX_INTEGER:
                form = 3, number = double(uint32_t(lexer->value.integer));
                types = negative ? kSignedTypes : kUnsignedTypes;
                nTypes = negative ? int(std::size(kSignedTypes)) : int(std::size(kUnsignedTypes));
                break;
            case HX_LEX_REAL:
                form = 4, number = lexer->value.real, types = kRealTypes, nTypes = 2;
                break;
            case kKeywordTrue:
            case kKeywordFalse:
                form = 5, number = lexer->current == kKeywordTrue, types = kBooleanTypes, nTypes = 1;
                break;
            default:
                TextError(lexer, "expecting a value");
                continue;
            }
            if (negative && form != 3 && form != 4) {
                TextError(lexer, "expecting a value");
                continue;
            }
            if (negative)
                number = -number;
            HxLexerAdvance(lexer);
        }

        hx_token t = HxTokenMatchBase(name, uint32_t(std::strlen(name)), types, nTypes);
        if (!t) {
            TextError(lexer, "unknown token");
            continue;
        }
        size_t stringBytes = form == 2 ? std::strlen(word) + 1 : 0;
        char* stringsAfter = strings - stringBytes;
        // Room for this pair, the terminating pair and the string.
        if ((n + 2) * sizeof(hx_token_value) > size_t(stringsAfter - static_cast<char*>(buffer))) {
            result = HXE_NO_ROOM;
            break;
        }
        hx_value v;
        v.u = 0;
        switch (HxTokenType(t)) {
        case HXT_TOKEN:
            v.t = HxTokenFind(word);
            break;
        case HXT_STRING:
        case HXT_CONSTANT_STRING:
            strings = stringsAfter;
            std::memcpy(strings, word, stringBytes);
            v.p = strings;
            break;
        case HXT_FLOAT:
            v.f = float(number);
            break;
        case HXT_FIXED:
            v.x = form == 3 ? hx_fixed(uint32_t(int64_t(number)) << 16) : HxFloatToFixedSaturate(number);
            break;
        case HXT_BOOLEAN:
            v.u = form == 0 ? 1 : number != 0;
            break;
        case HXT_NONE:
            break;
        default:
            v.i = intptr_t(int64_t(number));
        }
        pairs[n++] = {t, v};
        pairs[n] = {};
        if (lexer->current == ',')
            HxLexerAdvance(lexer);
        else if (lexer->current != HX_LEX_END)
            HxLexerTokenError(lexer, ',');
    }
    HxLexerFree(lexer);
    pairs[n] = {};
    if (result == HX_OK && failed)
        result = HXE_FAIL;
    return result;
}
