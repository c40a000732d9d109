// The file-backed key store. See registry.h.
#include "platform/registry.h"

#include "platform/files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace platform {
namespace {

std::string gOverride;

std::string StorePath()
{
    if (!gOverride.empty())
        return gOverride;
    if (const char* path = std::getenv("KELVANDRIST_REGISTRY"); path && *path)
        return path;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/kelvandrist/registry.reg";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.config/kelvandrist/registry.reg";
}

std::string FullKey(const char* root, const char* key)
{
    std::string full = root && *root ? root : "HKEY_LOCAL_MACHINE";
    std::string_view rest = key ? key : "";
    while (!rest.empty() && rest.front() == '\\')
        rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == '\\')
        rest.remove_suffix(1);
    if (!rest.empty()) {
        full += '\\';
        full += rest;
    }
    return full;
}

// A quoted text starting at `s[pos]`, with its escapes: \\ and \" for
// themselves, \n and \r for the line breaks that a line of the store cannot
// hold. On success pos is past the closing quote.
bool Quoted(std::string_view s, std::size_t& pos, std::string& out)
{
    if (pos >= s.size() || s[pos] != '"')
        return false;
    out.clear();
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < s.size()) {
            c = s[++pos];
            c = c == 'n' ? '\n' : c == 'r' ? '\r'
                                           : c;
        }
        out += c;
    }
    return false;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = FoldNameCase(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

bool ParseData(std::string_view s, RegistryValue& v)
{
    std::size_t pos = 0;
    if (!s.empty() && s[0] == '"') {
        v.type = RegistryType::String;
        return Quoted(s, pos, v.data);
    }
    if (s.substr(0, 6) == "dword:") {
        v.type = RegistryType::Dword;
        uint32_t value = 0;
        std::string_view digits = s.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            value = value * 16 + static_cast<uint32_t>(d);
        }
        v.data.clear();
        for (int i = 0; i < 4; ++i)
            v.data += static_cast<char>((value >> (8 * i)) & 0xFF);
        return true;
    }
    if (s.substr(0, 4) == "hex:") {
        v.type = RegistryType::Binary;
        v.data.clear();
        std::string_view bytes = s.substr(4);
        for (std::size_t i = 0; i < bytes.size();) {
            if (bytes[i] == ',' || bytes[i] == ' ') {
                ++i;
                continue;
            }
            if (i + 1 >= bytes.size() || HexDigit(bytes[i]) < 0 || HexDigit(bytes[i + 1]) < 0)
                return false;
            v.data += static_cast<char>(HexDigit(bytes[i]) * 16 + HexDigit(bytes[i + 1]));
            i += 2;
        }
        return true;
    }
    return false;
}

// The quoted form that Quoted reads back; a text without a backslash, a
// quote or a line break is only put in quotes.
std::string Escape(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out + "\"";
}

// Keys in the store, each with no values yet ("[key]" lines alone count).
std::vector<std::string> StoreKeys(std::string_view text)
{
    std::vector<std::string> keys;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
            keys.emplace_back(line.substr(1, line.size() - 2));
    }
    return keys;
}

// The store as read: its values and its keys. Kept for the open reading
// batch (files.h), so that gathering a configuration reads it once.
struct ParsedStore {
    uint64_t batch = 0;
    std::string path;
    ConfigRead state = ConfigRead::Missing;
    std::vector<RegistryValue> values;
    std::vector<std::string> keys;
};
ParsedStore gStore;

const ParsedStore& Store()
{
    std::string path = StorePath();
    uint64_t batch = CurrentConfigBatch();
    if (batch != 0 && gStore.batch == batch && gStore.path == path)
        return gStore;
    gStore = {};
    gStore.batch = batch;
    gStore.path = path;
    std::string text;
    gStore.state = ReadConfigFile(path.c_str(), text);
    gStore.values = ParseRegistry(text);
    gStore.keys = StoreKeys(text);
    return gStore;
}

} // namespace

std::vector<RegistryValue> ParseRegistry(std::string_view text)
{
    std::vector<RegistryValue> values;
    std::string key;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            key = line.back() == ']' ? std::string(line.substr(1, line.size() - 2)) : std::string();
            continue;
        }
        if (key.empty())
            continue;
        RegistryValue v;
        v.key = key;
        std::size_t pos = 0;
        if (line.front() == '@')
            pos = 1;
        else if (!Quoted(line, pos, v.name))
            continue;
        if (pos >= line.size() || line[pos] != '=')
            continue;
        if (ParseData(line.substr(pos + 1), v))
            values.push_back(std::move(v));
    }
    return values;
}

RegistryResult RegistryQueryString(const char* root, const char* key, const char* name, std::string& value)
{
    value.clear();
    const ParsedStore& store = Store();
    std::string full = FullKey(root, key);
    std::string_view wanted = name ? name : "";
    for (const RegistryValue& v : store.values) {
        if (SameNameIgnoringCase(v.key, full) && SameNameIgnoringCase(v.name, wanted)) {
            if (v.type != RegistryType::String)
                return RegistryResult::NotString;
            value = v.data;
            return RegistryResult::Ok;
        }
    }
    return RegistryResult::Missing;
}

bool RegistryKeyExists(const char* root, const char* key)
{
    std::string full = FullKey(root, key);
    for (const std::string& k : Store().keys)
        if (SameNameIgnoringCase(k, full))
            return true;
    return false;
}

bool RegistrySetString(const char* root, const char* key, const char* name, const char* value)
{
    // A store that exists but cannot be read is left as it is, not replaced.
    ParsedStore store = Store();
    gStore.batch = 0; // the next query reads what is written here
    if (store.state == ConfigRead::Refused)
        return false;
    std::string full = FullKey(root, key);
    if (full.find_first_of("\r\n") != std::string::npos)
        return false; // a key is a line of its own: it cannot hold a break
    std::string_view wanted = name ? name : "";
    std::vector<RegistryValue>& values = store.values;
    std::vector<std::string>& keys = store.keys;
    bool replaced = false;
    for (RegistryValue& v : values) {
        if (SameNameIgnoringCase(v.key, full) && SameNameIgnoringCase(v.name, wanted)) {
            v.type = RegistryType::String;
            v.data = value ? value : "";
            replaced = true;
        }
    }
    if (!replaced)
        values.push_back({full, std::string(wanted), RegistryType::String, value ? value : ""});
    bool known = false;
    for (const std::string& k : keys)
        known = known || SameNameIgnoringCase(k, full);
    if (!known)
        keys.push_back(full);

    // Written back key by key, values in their original order.
    std::string out = "Windows Registry Editor Version 5.00\r\n";
    for (const std::string& k : keys) {
        out += "\r\n[" + k + "]\r\n";
        for (const RegistryValue& v : values) {
            if (!SameNameIgnoringCase(v.key, k))
                continue;
            out += v.name.empty() ? std::string("@") : Escape(v.name);
            out += '=';
            if (v.type == RegistryType::String) {
                out += Escape(v.data);
            } else if (v.type == RegistryType::Dword) {
                uint32_t d = 0;
                for (int i = 3; i >= 0; --i)
                    d = d * 256 + static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
                char hex[16];
                std::snprintf(hex, sizeof hex, "dword:%08x", d);
                out += hex;
            } else {
                out += "hex:";
                for (std::size_t i = 0; i < v.data.size(); ++i) {
                    char hex[4];
                    std::snprintf(hex, sizeof hex, i ? ",%02x" : "%02x", static_cast<unsigned char>(v.data[i]));
                    out += hex;
                }
            }
            out += "\r\n";
        }
    }
    std::filesystem::path path = StorePath();
    std::error_code error;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    return WriteFileAtomically(path.string().c_str(), out.data(), out.size());
}

void SetRegistryFile(const char* path)
{
    gOverride = path ? path : "";
}

} // namespace platform
