// Profile (ini) files. See profile.h.
#include "platform/profile.h"

#include "platform/files.h"

#include <map>

namespace platform {
namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Splits text into lines without their line ends.
std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

// A section line gives its name; false for any other line.
bool SectionName(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

// An entry line gives its key and value; false for any other line.
bool EntryLine(std::string_view line, std::string_view& key, std::string_view& value)
{
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return false;
    std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = Trim(trimmed.substr(0, equals));
    value = Trim(trimmed.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return !key.empty();
}

// The profiles read during the open reading batch (files.h), by file name as
// the caller spelled it: gathering a configuration parses each file once.
struct ParsedProfiles {
    uint64_t batch = 0;
    std::map<std::string, Profile> files;
};
ParsedProfiles gParsed;

const Profile& Parsed(const char* file)
{
    uint64_t batch = CurrentConfigBatch();
    if (gParsed.batch != batch || batch == 0) {
        gParsed.files.clear();
        gParsed.batch = batch;
    }
    auto found = gParsed.files.find(file);
    if (found != gParsed.files.end())
        return found->second;
    std::string text;
    ReadConfigFile(file, text);
    return gParsed.files[file] = ParseProfile(text);
}

void ForgetParsed(const char* file)
{
    gParsed.files.erase(file);
}

} // namespace

Profile ParseProfile(std::string_view text)
{
    Profile profile;
    std::string section;
    bool inSection = false;
    for (std::string_view line : Lines(text)) {
        std::string_view name, key, value;
        if (SectionName(line, name)) {
            section.assign(name);
            inSection = true;
            profile.sections.push_back(section);
        } else if (inSection && EntryLine(line, key, value)) {
            profile.entries.push_back({section, std::string(key), std::string(value)});
        }
    }
    return profile;
}

bool ProfileSectionExists(const char* file, const char* section)
{
    if (!file || !section)
        return false;
    for (const std::string& s : Parsed(file).sections)
        if (SameNameIgnoringCase(s, section))
            return true;
    return false;
}

bool ProfileQuery(const char* file, const char* section, const char* key, std::string& value)
{
    value.clear();
    if (!file || !section || !key)
        return false;
    for (const ProfileEntry& e : Parsed(file).entries) {
        if (SameNameIgnoringCase(e.section, section) && SameNameIgnoringCase(e.key, key)) {
            value = e.value;
            return true;
        }
    }
    return false;
}

std::string ProfileString(const char* file, const char* section, const char* key, const char* defaultValue)
{
    std::string value;
    if (!ProfileQuery(file, section, key, value))
        value = defaultValue ? defaultValue : "";
    return value;
}

bool WriteProfileString(const char* file, const char* section, const char* key, const char* value)
{
    if (!section || !key)
        return false;
    std::string text; // a missing file starts empty
    ForgetParsed(file);
    if (ReadConfigFile(file, text) == ConfigRead::Refused)
        return false; // a file that exists but cannot be read is left as it is
    std::vector<std::string_view> lines = Lines(text);
    std::string out;
    bool inTarget = false, done = false, sectionSeen = false;
    std::string entry = std::string(key) + "=" + (value ? value : "") + "\r\n";
    for (std::string_view line : lines) {
        std::string_view name, k, v;
        if (SectionName(line, name)) {
            if (inTarget && !done && value) {
                out += entry; // the key was not in its section: add it at the end
                done = true;
            }
            inTarget = SameNameIgnoringCase(name, section);
            sectionSeen = sectionSeen || inTarget;
        } else if (inTarget && !done && EntryLine(line, k, v) && SameNameIgnoringCase(k, key)) {
            if (value)
                out += entry;
            done = true;
            continue;
        }
        out.append(line);
        out += '\n';
    }
    if (!done && value) {
        if (!sectionSeen) {
            if (!out.empty() && out.back() != '\n')
                out += "\r\n";
            out += '[';
            out += section;
            out += "]\r\n";
        }
        out += entry;
    }
    return WriteFileAtomically(file, out.data(), out.size());
}

} // namespace platform
