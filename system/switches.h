// Command-line switches: the table of switch names and their handlers, the
// splitting of the command line into words, and ApplySwitch.
//
// Each switch sets one process-wide setting (settings.h) or chooses the
// display back end (display.h). Switches are applied once, before the main
// window exists.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

struct Switch {
    const char* name; // without the leading '-'
    void (*handler)();
    const char* meaning; // one line for the switch list
};

// The 34 switches in table order; the first equal name wins.
extern const std::array<Switch, 34> kSwitchTable;

// Splits a command line at commas and blanks; empty words never appear.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Applies one word that begins with '-': the text after its first character
// is compared, case-sensitively, with each switch name in table order.
// False for a switch no row names, which changes nothing. With no word at
// all (null) it sets the no-command-line-mission flag.
bool ApplySwitch(const char* word);

// Applies a split command line: with no word at all, ApplySwitch(null); then
// every leading word that begins with '-' (an unknown one is named on the
// debug output and ignored); the first other word becomes the mission script
// name unless the no-command-line-mission flag is on. Words after the
// mission name are ignored.
void ApplyCommandLine(const std::vector<std::string>& words);

// Whether a leading word asks for the switch list ("--help", "-help", "-h",
// "-?").
bool AsksForHelp(const std::vector<std::string>& words);

// The usage line and every switch with its meaning, one a line.
std::string SwitchList();
