// A digest of the world's state: the scene list in order (records, motion,
// parameters), the parked list, the random source, the message traffic, the
// game clock and the world origin offset. Two runs with the same frame step, seed and input give the
// same digest; that is how whole runs are compared.
#pragma once

#include <cstdint>

uint64_t WorldStateDigest();
