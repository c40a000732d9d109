// The script tokeniser: compiles a script file, line by line and through its
// includes, into ScriptToken pairs appended to the token buffer.
//
// Only the start of a line decides its kind: block comments ("/*" ... "*/",
// nesting), comment lines (";", "//"), directives ("#INCLUDE name"), and
// statement lines, which are split into words at commas, blanks, tabs and
// line ends. A word is a label definition ("name:"), a keyword, a quoted
// text, a number or a symbol. Every line, whatever its kind, ends with a
// line marker. Faults in a script end the process with "SCRIPT Tokenize
// Error" naming the file and line.
#pragma once

#include <cstdint>
#include <cstddef>
#include <cstdio>

struct ScriptToken;

constexpr int kScriptLineMax = 511; // characters of a line, without "\n" or "\r\n"
constexpr int kQuotedTextMax = 99;  // a quoted text that spans words, quotes included
constexpr int kIncludeDepthMax = 16;

// An open script being read line by line. Its bytes come from the file a
// block at a time; bytesRead counts those handed out as lines.
struct ScriptReader {
    std::FILE* file;
    long size;           // recorded size: reading stops where the script ends
    long bytesRead;      // offset of the next line
    int blockAt = 0;     // next unread byte of the block
    int blockFilled = 0; // bytes in the block
    char block[4096] = {};
};

// Compiles the named script and appends END; returns its first token, or
// null when the file cannot be opened (nothing is printed then).
ScriptToken* TokeniseScript(const char* name);

// Compiles an open file at the write cursor (no END appended).
void TokeniseStream(ScriptReader& reader, int includeDepth);

// Reads the next line into `line` (kScriptLineBuffer bytes, zero-terminated)
// and returns its length with its line end. The script ends (kEndOfScript)
// when fewer than two bytes of its recorded size remain; a line longer than
// kScriptLineMax is consumed whole and answered with kLineTooLong.
constexpr int kScriptLineBuffer = kScriptLineMax + 3; // with "\r\n" and a zero
constexpr int kEndOfScript = -1;
constexpr int kLineTooLong = -2;
int ReadScriptLine(ScriptReader& reader, char* line);

// "%s(%u) : %s" with the current file name and the line of the marker before
// the position, titled "SCRIPT Tokenize Error"; then the process ends.
[[noreturn]] void ReportTokeniseError(const char* message, uint32_t position);

// Scans the longest leading decimal number of a word (optional sign, digits
// with an optional point, optional exponent), as the C library's "%e" does in
// the C locale, without hexadecimal, infinity or NaN. False when the word
// does not start with a number.
bool ScanScriptNumber(const char* word, std::size_t length, float* number);
