// Stand-in for the error routine that ends the process, whose home module
// has not landed yet: a weak definition, replaced as soon as the real one
// links.
#include "system/errors.h"

#include <cstdlib>

__attribute__((weak)) void QuitProgram()
{
    std::exit(0);
}
