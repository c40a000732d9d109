// The program's entry on the host: the arguments become one command line,
// as the game's entry expects it.
#include "game/entry.h"

#include <string>

int main(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return WinMain(line.c_str(), 1);
}
