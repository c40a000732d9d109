// Tokens and the token list.
#include "framework/token.h"

#include <cstring>
#include <iterator>
#include <strings.h>

#include "framework/fw_state.h"

namespace {

struct PredefinedToken {
    const char* name;
    hx_token type;
    hx_token number;
};

constexpr PredefinedToken kPredefined[] = {
#include "framework/token_table.inc"
};
static_assert(std::size(kPredefined) == kHxPredefinedTokenCount);

struct Suffix {
    const char* text;
    hx_token type;
};

constexpr Suffix kSuffixes[] = {
#include "framework/token_suffixes.inc"
};
static_assert(std::size(kSuffixes) == 36);

// The predefined records live here; begin links them into the list and
// indexes them by number.
hx_token_record predefined[kHxPredefinedTokenCount];
hx_token_record* predefinedByNumber[kHxFirstFreeToken];

bool EndsWith(const char* name, size_t length, const char* suffix)
{
    size_t n = std::strlen(suffix);
    return length > n && std::memcmp(name + length - n, suffix, n) == 0;
}

// The type that a name's suffix gives, and the suffix's length.
hx_token TypeOfName(const char* name, size_t length, uint32_t* suffixLength)
{
    for (const Suffix& s : kSuffixes) {
        if (EndsWith(name, length, s.text)) {
            *suffixLength = uint32_t(std::strlen(s.text));
            return s.type;
        }
    }
    *suffixLength = 0;
    return HXT_NONE;
}

hx_token_record* First()
{
    return reinterpret_cast<hx_token_record*>(fw.tokens.head);
}

hx_token_record* Next(hx_token_record* r)
{
    return reinterpret_cast<hx_token_record*>(r->node.next);
}

// False at the list's end, and for the empty list of an inactive framework.
bool IsRecord(hx_token_record* r)
{
    return r && r->node.next != nullptr;
}

hx_token_record* Lookup(hx_token t)
{
    if (!fw.active)
        return nullptr;
    if (t < kHxFirstFreeToken)
        return predefinedByNumber[t];
    for (hx_token_record* r = First(); IsRecord(r); r = Next(r))
        if (r->number == t)
            return r;
    return nullptr;
}

} // namespace

void HxTokenListBegin()
{
    HxNewList(&fw.tokens);
    for (int i = 0; i < kHxPredefinedTokenCount; ++i) {
        const PredefinedToken& p = kPredefined[i];
        hx_token_record& r = predefined[i];
        uint32_t suffixLength;
        TypeOfName(p.name, std::strlen(p.name), &suffixLength);
        r = {{}, p.name, p.type, p.number, uint32_t(std::strlen(p.name)) - suffixLength};
        HxAddHead(&fw.tokens, &r.node);
        predefinedByNumber[p.number] = &r;
    }
    fw.nextFreeToken = kHxFirstFreeToken;
}

hx_token HxTokenCreate(const char* name, hx_token type)
{
    if (!fw.active)
        return 0;
    for (hx_token_record* r = First(); IsRecord(r); r = Next(r))
        if (std::strcmp(r->name, name) == 0)
            return r->number;
    size_t length = std::strlen(name);
    uint32_t suffixLength = 0;
    if (type) {
        const char* suffix = HxTokenTypeSuffix(type);
        if (!suffix || !EndsWith(name, length, suffix))
            return 0;
        suffixLength = uint32_t(std::strlen(suffix));
    } else {
        type = TypeOfName(name, length, &suffixLength);
    }
    auto* r = static_cast<hx_token_record*>(
        HxResAllocate(fw.anchor, uint32_t(sizeof(hx_token_record) + length + 1), HX_RES_TOKEN));
    if (!r)
        return 0;
    char* copy = reinterpret_cast<char*>(r + 1);
    std::memcpy(copy, name, length + 1);
    r->name = copy;
    r->type = type;
    r->number = fw.nextFreeToken++;
    r->baseLength = uint32_t(length) - suffixLength;
    HxAddHead(&fw.tokens, &r->node);
    return r->number;
}

const char* HxTokenIdentifier(hx_token t)
{
    hx_token_record* r = Lookup(t);
    return r ? r->name : nullptr;
}

hx_token HxTokenType(hx_token t)
{
    hx_token_record* r = Lookup(t);
    return r ? r->type : 0;
}

int HxTokenCount(const char* pattern)
{
    int n = 0;
    for (hx_token_record* r = First(); IsRecord(r); r = Next(r))
        n += HxNamePatternMatch(pattern, r->name);
    return n;
}

hx_token HxTokenFind(const char* pattern)
{
    for (hx_token_record* r = First(); IsRecord(r); r = Next(r))
        if (HxNamePatternMatch(pattern, r->name))
            return r->number;
    return 0;
}

int HxTokenFindMany(const char* pattern, hx_token* out, int max)
{
    int n = 0;
    for (hx_token_record* r = First(); IsRecord(r) && n < max; r = Next(r))
        if (HxNamePatternMatch(pattern, r->name))
            out[n++] = r->number;
    return n;
}

const char* HxTokenTypeSuffix(hx_token type)
{
    for (const Suffix& s : kSuffixes)
        if (s.type == type)
            return s.text;
    return nullptr;
}

hx_token HxTokenMatchBase(const char* text, uint32_t length, const hx_token* types, int nTypes)
{
    for (hx_token_record* r = First(); IsRecord(r); r = Next(r)) {
        if (r->baseLength != length || strncasecmp(r->name, text, length) != 0)
            continue;
        for (int i = 0; i < nTypes; ++i)
            if (r->type == types[i])
                return r->number;
    }
    return 0;
}
