// A file-backed key store standing in for the host registry.
//
// The store is a text file in the registry editor's export format:
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Vorn]
//   @="E:\\"
//   "Name"="text"
//   "Count"=dword:00000010
//
// Key paths and value names ignore case; "@" is a key's default value. The
// file is $KELVANDRIST_REGISTRY, else kelvandrist/registry.reg under
// $XDG_CONFIG_HOME (or ~/.config). Tests point it at their own file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryType {
    String,
    Dword,
    Binary
};

struct RegistryValue {
    std::string key;  // full path with its root, e.g. HKEY_LOCAL_MACHINE\SOFTWARE\...
    std::string name; // empty for the default value
    RegistryType type = RegistryType::String;
    std::string data; // the text, or the raw bytes
};

// Reads the store's text; lines it cannot read are skipped.
std::vector<RegistryValue> ParseRegistry(std::string_view text);

enum class RegistryResult {
    Ok,
    Missing,
    NotString
};

// The string value `name` (null or empty: the default value) of `key` under
// `root` ("HKEY_LOCAL_MACHINE" when null).
RegistryResult RegistryQueryString(const char* root, const char* key, const char* name, std::string& value);
// True when the key exists in the store.
bool RegistryKeyExists(const char* root, const char* key);
// Sets a string value, creating the key; the store is written atomically.
// Any text reads back as it was set (line breaks are escaped in the file);
// false when the store cannot be written or the key path holds a line
// break.
bool RegistrySetString(const char* root, const char* key, const char* name, const char* value);

// Points the store at another file; null goes back to the standard one.
void SetRegistryFile(const char* path);

} // namespace platform
