// Bit-exact reference hashes of both engines' outputs in the compatible mode for the
// sizes 1, 4, 32, 256 and 2048 along each axis (engine_hashes.txt, which says how they
// are made). Every path the processor supports must reproduce them.
#include "engine/test_support.h"
#include "filt/engine/engines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace engine_test;

// Every tested path reproduces every hash.
TEST(EngineVectors, EveryPathReproducesEveryHash) {
  onEveryPath([](const TestPath&) {
    const std::vector<EngineHashes> cases = engineHashes("compatible");
    ASSERT_EQ(cases.size(), 25u);
    for (const EngineHashes& c : cases) expectEngineHashes(c);
  });
}

}  // namespace
