// The key list that F10 shows on the bridge, made from the key script
// itself: each BINDKEY line becomes a line of the picture naming its key and
// what the command does, so the picture and the keys the game binds cannot
// drift apart. Also the list of the commands a player uses, which the demo
// key script must bind.
//
// Not here: drawing the picture (the demo data generator does it) or the
// key map itself (script/configstatements.h reads the script).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A command of the bridge key handler that a player uses, with the words
// the key list shows for it.
struct PlayerCommand {
    int16_t command;
    const char* words;
};
std::span<const PlayerCommand> PlayerCommands();

// One binding of the key script: "Shift+F5", "Repair team 1 / wing 1".
struct KeyListLine {
    std::string keys;
    std::string words;
};

// The key list of a key script's text, in its order; false with `error`
// ("line <n>: <why>") for a BINDKEY line that does not read, names a key
// without a name, or binds a command that is not a player's.
bool MakeKeyList(const std::string& script, std::vector<KeyListLine>& lines, std::string& error);
