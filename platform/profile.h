// Profile (ini) files: sections of key=value lines, read and written with the
// semantics of the host's profile-string functions. Section and key names
// ignore case; values lose surrounding blanks and one pair of surrounding
// quotes; lines starting with ';' are comments. Files are named by data path
// (files.h) and written atomically; every line the writer does not change is
// kept as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

struct Profile {
    std::vector<std::string> sections; // in file order
    std::vector<ProfileEntry> entries; // in file order
};

// Reads a profile from text. Anything that is not a section, an entry or a
// comment is skipped.
Profile ParseProfile(std::string_view text);

// True when the file has the section.
bool ProfileSectionExists(const char* file, const char* section);
// The value of a key; false (and `value` empty) when the file, the section
// or the key is missing. The first of repeated keys wins.
bool ProfileQuery(const char* file, const char* section, const char* key, std::string& value);
// The value, or the default when missing.
std::string ProfileString(const char* file, const char* section, const char* key, const char* defaultValue);
// Sets a key (creating the file and the section when needed); a null value
// removes the key. False when the file cannot be written.
bool WriteProfileString(const char* file, const char* section, const char* key, const char* value);

} // namespace platform
