// The universe's tables: the planetary-system bodies read from the csv, the
// star catalogue read from stars.bin, their lookups, the made-up values of
// bodies and the orbits. See universe.h.
#include "world/universe.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/files.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/res/resman.h"
#include "world/pools.h"
#include "world/starmap.h"

SystemBody gBodies[kMaxBodies];
int gBodyCount = 0;
SystemBody* gSystemRoots[kMaxBodies];
int gSystemRootCount = 0;

Star gStars[kStarCount];
int gStarsLoaded = 0;
int gNamedStarCount = 0;
int gFaintStarCount = 0;

uint8_t gUniverseCreated = 0;

namespace {

constexpr double kDegreesToRadians = 0.017453292;
constexpr int kCsvFields = 13;

// ---- The csv reader ---------------------------------------------------------------

// Reads a line of fields at a time. A field ends at a comma or at the end
// of its line; quotes and carriage returns are dropped.
struct CsvReader {
    const char* at;
    const char* end;
    int line = 1;

    bool AtEnd() const { return at >= end; }

    // Reads the next field of the current line into out (kBodyFieldSize
    // bytes, terminated). False at the end of the line (out empty).
    bool Field(char* out, bool& lineEnded)
    {
        size_t n = 0;
        bool cut = false;
        out[0] = 0;
        if (lineEnded)
            return false;
        while (at < end) {
            const char c = *at++;
            if (c == ',')
                break;
            if (c == '\n') {
                lineEnded = true;
                ++line;
                break;
            }
            if (c == '"' || c == '\r')
                continue;
            if (n + 1 < kBodyFieldSize)
                out[n++] = c;
            else
                cut = true;
        }
        if (at >= end)
            lineEnded = true;
        out[n] = 0;
        if (cut)
            DebugPrintf("excelrichsys.csv line %d: a field over %d characters was cut\n", line,
                        kBodyFieldSize - 1);
        return true;
    }

    // Skips the rest of the current line.
    void SkipLine(bool& lineEnded)
    {
        while (!lineEnded && at < end) {
            if (*at++ == '\n') {
                ++line;
                lineEnded = true;
            }
        }
        lineEnded = true;
    }

    // True when the line starting here holds nothing but blanks.
    bool BlankLine() const
    {
        for (const char* p = at; p < end && *p != '\n'; ++p)
            if (*p != ' ' && *p != '\t' && *p != '\r' && *p != ',' && *p != '"')
                return false;
        return true;
    }
};

// An integer field: decimal (leading zeros too), or hexadecimal after 0x;
// 0 when empty or unreadable; held to the range of a 16-bit id.
int ReadInteger(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    const char* digits = text;
    if (*digits == '-' || *digits == '+')
        ++digits;
    const int base = (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) ? 16 : 10;
    errno = 0;
    long v = std::strtol(text, nullptr, base);
    if (v > 32767)
        v = 32767;
    if (v < -32768)
        v = -32768;
    return static_cast<int>(v);
}

// A real field: 0 when empty, unreadable or not finite.
float ReadReal(const char* text)
{
    const float v = std::strtof(text, nullptr);
    return std::isfinite(v) ? v : 0.0f;
}

// The body with the id, searched depth first from the root: a node, then
// its children, then its following siblings.
SystemBody* FindInTree(SystemBody* root, int id)
{
    std::vector<SystemBody*> pending{root};
    while (!pending.empty()) {
        SystemBody* node = pending.back();
        pending.pop_back();
        if (node->id == id)
            return node;
        if (node->nextSibling && node != root)
            pending.push_back(node->nextSibling);
        if (node->firstChild)
            pending.push_back(node->firstChild);
    }
    return nullptr;
}

// The mass of a body of the class when none is given, by its class
// letter: the bits that loading adds (largest child orbit, L points,
// mission) do not turn a star or a gas giant into a 2 kg rock.
double DefaultMass(int32_t classFlags)
{
    if (classFlags & (kBodyStar | 1024))
        return 1.99e30;
    if (classFlags & kBodyMoon)
        return 8.9e22;
    if (classFlags & (kBodyPlanet | kBodyGasGiant))
        return 5.98e24;
    return 2.0;
}

int32_t ClassFlagsOf(const char* field)
{
    switch (field[0]) {
    case 'S': return kBodyStar;
    case 'M': return kBodyMoon;
    case 'B': return kBodyBelt;
    case 'G': return kBodyGasGiant | kBodyPlanet;
    case 'L': return field[1] == '4' ? (kBodyL4 | kBodyLagrange) : (kBodyL5 | kBodyLagrange);
    default: return kBodyPlanet;
    }
}

void ClearBodies()
{
    std::memset(gBodies, 0, sizeof gBodies);
    gBodyCount = 0;
    gSystemRootCount = 0;
}

} // namespace

// ---- Bodies --------------------------------------------------------------------------

int ParsePlanetarySystems(const char* text, size_t size)
{
    ClearBodies();
    CsvReader csv{text, text + size};
    bool lineEnded = false;
    csv.SkipLine(lineEnded); // the header of 13 titles
    SystemBody* root = nullptr;

    while (!csv.AtEnd()) {
        if (csv.BlankLine()) {
            lineEnded = false;
            csv.SkipLine(lineEnded);
            continue;
        }
        if (gBodyCount == kMaxBodies) {
            DebugPrintf("excelrichsys.csv holds more than %d bodies: the rest is not read\n",
                        kMaxBodies);
            break;
        }
        lineEnded = false;
        const int line = csv.line;
        char fields[kCsvFields][kBodyFieldSize];
        int columns = 0;
        for (auto& f : fields) {
            if (csv.Field(f, lineEnded))
                ++columns;
            else
                f[0] = 0;
        }
        csv.SkipLine(lineEnded); // fields past the thirteenth
        if (columns < kCsvFields)
            DebugPrintf("excelrichsys.csv line %d: %d of the %d columns; the missing ones read as 0\n", line,
                        columns, kCsvFields);

        SystemBody* body = &gBodies[gBodyCount++];
        body->id = static_cast<int16_t>(ReadInteger(fields[0]));
        std::memcpy(body->name, fields[1], kBodyFieldSize);
        const int parentId = ReadInteger(fields[2]);
        if (parentId == 0 || parentId == body->id) {
            root = body;
        } else if (SystemBody* parent = root ? FindInTree(root, parentId) : nullptr) {
            body->parent = parent;
            SystemBody** slot = &parent->firstChild;
            while (*slot)
                slot = &(*slot)->nextSibling;
            *slot = body;
        }
        body->classFlags = ClassFlagsOf(fields[3]);
        if ((body->classFlags & kBodyLagrange) && body->parent)
            body->parent->classFlags |= kBodyHasLagrangePoints;
        body->number = static_cast<int16_t>(ReadInteger(fields[4]));
        body->value = ReadReal(fields[5]);
        body->mass = ReadReal(fields[6]);
        body->radius = ReadReal(fields[7]);
        body->orbitRadius = ReadReal(fields[8]);
        if (body->parent && body->orbitRadius != 0 && body->id >= 101)
            body->orbitRadius += body->parent->radius * 1000.0f * 2.0f;
        body->period = ReadReal(fields[9]);
        body->longitude = ReadReal(fields[10]);
        body->eccentricity = ReadReal(fields[11]);
        if (body->eccentricity > 1)
            body->eccentricity = body->orbitRadius != 0 ? body->eccentricity / body->orbitRadius : 0;
        body->inclination = ReadReal(fields[12]) * 2.0f;
        body->phase = static_cast<float>(ShiftRegisterRandom() % 1000) / 1000.0f;
        if (!(body->classFlags & kBodyLagrange) && body->parent &&
            body->parent->largestChildOrbit < body->orbitRadius) {
            body->parent->largestChildOrbit = body->orbitRadius;
            body->parent->classFlags |= kBodyLargestOrbitRecorded;
        }
        if (!body->parent)
            gSystemRoots[gSystemRootCount++] = body;
    }
    return gBodyCount;
}

bool LoadPlanetarySystems(const char* path)
{
    std::string text;
    const bool read = platform::ReadWholeFile(path, text, kPlanetarySystemsMaxBytes);
    if (!read || text.empty()) {
        ReportDataFileFailure(path, read ? "empty" : platform::DataFileFailure());
        FatalError("Can't load planetary systems...");
        return false;
    }
    ParsePlanetarySystems(text.data(), text.size());
    return true;
}

void FinishBodies()
{
    for (int i = 0; i < gBodyCount; ++i) {
        SystemBody* b = &gBodies[i];
        SystemBody* p = b->parent;
        // An L point lies on its body's orbit, 60 degrees behind (L4) or
        // ahead (L5). One under a root has no orbit to share and stays.
        if ((b->classFlags & kBodyLagrange) && p && p->parent) {
            b->parent = p->parent;
            b->orbitRadius = p->orbitRadius;
            b->period = p->period;
            b->eccentricity = p->eccentricity;
            b->inclination = p->inclination;
            b->phase = p->phase;
            b->longitude = p->longitude + ((b->classFlags & kBodyL4) ? -60.0f : 60.0f);
            p = b->parent;
        }
        if ((b->classFlags & kBodyHasLagrangePoints) && p && p->parent &&
            (p->parent->classFlags & kBodyStar)) {
            b->phase = static_cast<float>(p->phase - p->longitude / 360.0 + b->longitude / 360.0 +
                                          0.375 + (ShiftRegisterRandom() % 250) * 0.0001);
        }
        if (b->mass < 1) {
            const double d = DefaultMass(b->classFlags);
            b->mass = static_cast<float>(d * 0.001 * (750 + CRand() % 500));
        }
        if (b->radius < 1 && b->radius >= 0) {
            b->radius = static_cast<float>(std::pow(b->mass / 2.23e12, 0.3333) *
                                           (900 + CRand() % 200) / 1000.0);
        }
        if ((b->orbitRadius >= 1 && b->period >= 1) || !p)
            continue;
        const double m = p->mass >= 0.1 ? p->mass : DefaultMass(p->classFlags);
        if (b->orbitRadius < 1) {
            const double perYear = 2.0 / b->period;
            double a = std::cbrt(m * 6.81e-12 / (perYear * perYear));
            if (!std::isfinite(a))
                a = 0;
            if (p->radius * 200.0 > a)
                a = p->radius * 200.0;
            a += p->radius * 1000.0 * 2.0;
            b->orbitRadius = static_cast<float>(a);
        }
        if (b->period < 1) {
            const double a = b->orbitRadius;
            b->period = static_cast<float>(std::sqrt(4.0 * a * a * a / (m * 6.18e-12)));
        }
    }
}

namespace {

SystemBody* BodyById(int id)
{
    for (int i = 0; i < gBodyCount; ++i)
        if (gBodies[i].id == id)
            return &gBodies[i];
    return nullptr;
}

} // namespace

SystemBody* FindBody(int system, const char* text)
{
    if (!text)
        return nullptr;
    if (*text >= '0' && *text <= '9')
        return BodyById(ReadInteger(text));
    const int low = system * kBodiesPerSystem - kBodiesPerSystem;
    const int high = system * kBodiesPerSystem - 1;
    for (int i = 0; i < gBodyCount; ++i)
        if (gBodies[i].id >= low && gBodies[i].id <= high && std::strcmp(gBodies[i].name, text) == 0)
            return &gBodies[i];
    return nullptr;
}

const char* LookUpBodyName(const char* text)
{
    SystemBody* body = text ? BodyById(ReadInteger(text)) : nullptr;
    return body ? body->name : nullptr;
}

WorldPosition BodyOrbitalPosition(const SystemBody* body, double t, double s)
{
    const double period = body->period > 0.0001 ? body->period : 0.0001;
    const double f = t / period - std::floor(t / period);
    const double angle = (f + body->phase) * 6.28318530718;
    const double r = body->orbitRadius;
    double x = (std::cos(angle) * r + r * body->eccentricity) * s;
    double y = 0;
    double z = std::sin(angle) * (r - r * body->eccentricity) * s;
    const double inc = body->inclination * kDegreesToRadians;
    const double y1 = y * std::cos(inc) + z * std::sin(inc);
    const double z1 = z * std::cos(inc) - y * std::sin(inc);
    y = y1;
    z = z1;
    const double lon = body->longitude * kDegreesToRadians;
    const double x2 = x * std::cos(lon) + z * std::sin(lon);
    const double z2 = z * std::cos(lon) - x * std::sin(lon);
    WorldPosition p{x2, y, z2};
    if (body->parent && body->parent->position) {
        p.x += body->parent->position->x;
        p.y += body->parent->position->y;
        p.z += body->parent->position->z;
    }
    return p;
}

// ---- Stars -----------------------------------------------------------------------------

namespace {

float GetF32(const uint8_t* p)
{
    const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

void PutF32(uint8_t* p, float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(u >> (8 * i));
}

void ClearStars()
{
    std::memset(gStars, 0, sizeof gStars);
    for (Star& s : gStars)
        s.namePointer = s.name;
    gStarsLoaded = 0;
    gNamedStarCount = 0;
    gFaintStarCount = 0;
}

} // namespace

void DecodeStarRecord(const uint8_t* in, Star& star)
{
    star.position = {GetF32(in), GetF32(in + 4), GetF32(in + 8)};
    std::memcpy(star.name, in + 12, kStarNameSize);
    star.name[kStarNameSize] = 0;
    star.namePointer = star.name;
    star.catalogueValue = GetF32(in + 32);
    star.magnitude = GetF32(in + 36);
    star.system = in[40];
    const uint32_t flags = uint32_t(in[41]) | uint32_t(in[42]) << 8 | uint32_t(in[43]) << 16 |
                           uint32_t(in[44]) << 24;
    star.flags = static_cast<int32_t>(flags);
}

void EncodeStarRecord(const Star& star, uint8_t* out)
{
    PutF32(out, star.position.x);
    PutF32(out + 4, star.position.y);
    PutF32(out + 8, star.position.z);
    std::memset(out + 12, 0, kStarNameSize);
    std::memcpy(out + 12, star.name, strnlen(star.name, kStarNameSize));
    PutF32(out + 32, star.catalogueValue);
    PutF32(out + 36, star.magnitude);
    out[40] = star.system;
    const uint32_t flags = static_cast<uint32_t>(star.flags);
    for (int i = 0; i < 4; ++i)
        out[41 + i] = static_cast<uint8_t>(flags >> (8 * i));
}

bool ParseStars(const uint8_t* data, size_t size)
{
    ClearStars();
    if (size < kStarFileSize)
        return false;
    for (int i = 0; i < kStarCount; ++i) {
        Star& s = gStars[i];
        DecodeStarRecord(data + i * kStarRecordSize, s);
        s.flags &= ~kStarRepresentsSystem;
        if (s.flags & kStarFaint)
            ++gFaintStarCount;
        if (s.name[0])
            ++gNamedStarCount;
    }
    gStarsLoaded = kStarCount;
    return true;
}

bool LoadStars(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes, kStarFileSize * 2)) {
        ClearStars();
        DebugPrintf("Star catalogue %s is %s: the sky is empty\n", path, platform::DataFileFailure());
        return false;
    }
    if (!ParseStars(bytes.data(), bytes.size())) {
        DebugPrintf("Star catalogue %s holds %zu bytes, not %zu: the sky is empty\n", path,
                    bytes.size(), kStarFileSize);
        return false;
    }
    return true;
}

bool SaveStars(const char* path)
{
    std::vector<uint8_t> bytes(kStarFileSize);
    for (int i = 0; i < kStarCount; ++i)
        EncodeStarRecord(gStars[i], bytes.data() + i * kStarRecordSize);
    return platform::WriteFileAtomically(path, bytes.data(), bytes.size());
}

Star* FindStar(const char* text, int count)
{
    if (!text)
        return nullptr;
    if (count > gStarsLoaded)
        count = gStarsLoaded;
    if (*text >= '0' && *text <= '9') {
        const int system = ReadInteger(text);
        for (int i = 0; i < count; ++i)
            if (gStars[i].system == system)
                return &gStars[i];
        return nullptr;
    }
    if (std::strcmp(text, "NULL") == 0)
        return nullptr;
    for (int i = 0; i < count; ++i)
        if (std::strcmp(gStars[i].name, text) == 0)
            return &gStars[i];
    return nullptr;
}

const char* LookUpStarName(int system)
{
    for (int i = 0; i < gStarsLoaded; ++i)
        if (gStars[i].system == system)
            return gStars[i].namePointer;
    return "";
}

bool ImportStarCatalogue(const char* path, int limit, const char* output)
{
    std::string text;
    if (!platform::ReadWholeFile(path, text))
        return false;
    if (limit <= 0 || limit > kStarCount)
        limit = kStarCount;
    ClearStars();
    size_t at = 0;
    int lineNumber = 0, count = 0;
    while (at < text.size() && count < limit) {
        size_t eol = text.find('\n', at);
        if (eol == std::string::npos)
            eol = text.size();
        std::string line = text.substr(at, std::min<size_t>(eol - at, 300));
        at = eol + 1;
        if (lineNumber++ < 3)
            continue;
        line.resize(80, ' ');
        auto column = [&](size_t from, size_t to) { return line.substr(from, to - from); };
        int h = 0, m = 0, s = 0, dd = 0, system = 0;
        float dm = 0, parallax = 0, magnitude = 0, value = 0;
        std::sscanf(column(0, 12).c_str(), " %d %d %d", &h, &m, &s);
        std::sscanf(column(12, 24).c_str(), " %d %f", &dd, &dm);
        std::sscanf(column(24, 36).c_str(), " %f ", &parallax);
        std::sscanf(column(36, 40).c_str(), " %d", &system);
        std::string name = column(40, 60).substr(0, kStarNameSize - 1);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        size_t lead = name.find_first_not_of(' ');
        name = lead == std::string::npos ? std::string() : name.substr(lead);
        std::sscanf(column(60, 70).c_str(), " %f ", &magnitude);
        std::sscanf(column(70, 80).c_str(), " %f ", &value);
        // "inf" and "nan" read as numbers: they count as a blank field, so
        // that no star is placed at infinity or nowhere.
        for (float* field : {&dm, &parallax, &magnitude, &value})
            if (!std::isfinite(*field))
                *field = 0;

        const double ra = (h + m / 60.0 + s / 3600.0) / 24.0 * 360.0 * kDegreesToRadians;
        const double dec = (dd < 1 ? dd - dm / 60.0 : dd + dm / 60.0) * kDegreesToRadians;
        const double angle = parallax / 10000.0 / 3600.0 * kDegreesToRadians;
        // No parallax puts a star at 1e20; a parallax so small that the
        // distance is past what a float holds stops at the largest float.
        constexpr double kFarthest = std::numeric_limits<float>::max();
        const double distance = std::sin(angle) > 0 ? std::min(kDistanceUnit / std::sin(angle), kFarthest) : 1e20;
        Star& star = gStars[count++];
        star.position = {static_cast<float>(std::cos(dec) * std::cos(ra) * distance),
                         static_cast<float>(-std::sin(dec) * distance),
                         static_cast<float>(std::cos(dec) * std::sin(ra) * distance)};
        std::memcpy(star.name, name.c_str(), name.size() + 1);
        star.magnitude = magnitude;
        star.catalogueValue = value;
        star.system = static_cast<uint8_t>(system < 0 || system > 255 ? 0 : system);
        if (star.system)
            star.flags |= kStarHasSystem | kStarRepresentsSystem;
        if (distance < 3e17)
            star.flags |= kStarNear;
    }
    gStars[0].position = {0, 0, 0};
    for (int i = 1; i < kStarCount; ++i)
        if (gStars[i].magnitude > 12)
            gStars[i].flags |= kStarFaint;
    gStarsLoaded = kStarCount;
    return SaveStars(output);
}

// ---- The universe --------------------------------------------------------------------------

void CreateUniverse()
{
    ResetSolarSystemState();
    // clang-format off
    static const char* const kIcons[] = {
        "zqk\\resource\\art\\icons\\gsv_lp.bbm",  "zqk\\resource\\art\\icons\\gsv_lps.bbm",
        "zqk\\resource\\art\\icons\\gsv_stc.bbm", "zqk\\resource\\art\\icons\\gsv_sts.bbm",
        "zqk\\resource\\art\\icons\\gsv_os.bbm",  "zqk\\resource\\art\\icons\\gsv_stl.bbm",
    };
    // clang-format on
    for (int i = 0; i < 6; ++i)
        gStarMapIcons[i] = ResFileExists(kIcons[i]) ? ResLoadNamed(kIcons[i], ResType::LbmRaster) : nullptr;
    if (gUniverseCreated)
        return;
    ConsolePrint("CREATING UNIVERSE...\n");
    if (!LoadPlanetarySystems(kPlanetarySystemsPath))
        return;
    FinishBodies();
    ConsolePrint("CREATING STARS...\n");
    LoadStars(kStarsPath);
    SetUpStarMap();
    ConsolePrint("UNIVERSE CREATED...\n");
    gUniverseCreated = 255;
}

void ResetUniverse()
{
    ResetSolarSystemState();
    ClearBodies();
    ClearStars();
    gUniverseCreated = 0;
    gCurrentStar = nullptr;
    gCurrentSystemNumber = 0;
}
