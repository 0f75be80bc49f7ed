// Bit-exact reference hashes of both engines' outputs for the sizes 1, 4, 32, 256 and
// 2048 along each axis: inputs from the generator of engine_test_support.h at seed
// 20240601, FNV-1a 64 over all 2 W H output floats in storage order. Every path the
// processor supports must reproduce them.
#include "engine/test_support.h"
#include "filt/engine/engines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace engine_test;

struct VectorCase {
  int w, h;
  std::uint64_t forward;  // complex engine, forward
  std::uint64_t inverse;  // complex engine, inverse, all rows kept
  std::uint64_t
      inverseMasked;   // rows outside centred band [H/4, 3H/4] zeroed, inverse with that band
  std::uint64_t real;  // real-input engine, forward
};

const VectorCase kCases[] = {
    {1, 1, 0xc81978963e5bb982ull, 0xc81978963e5bb982ull, 0xc81978963e5bb982ull,
     0xf5e4a89da2645efdull},
    {1, 4, 0x92987a28584326dcull, 0x3383e801756a79ccull, 0xc0bca46f44821b8bull,
     0xca104a2b71a3fabaull},
    {1, 32, 0x9e7aa86589e8bb0bull, 0xbee4a1d4b2161acdull, 0xf57e786da2aa4615ull,
     0xb46f1c109f88e02cull},
    {1, 256, 0x71c311b9f9125c9full, 0xc2984cea1e4be13cull, 0xffebb0d9c5b3c923ull,
     0x6feee3c5f44c0031ull},
    {1, 2048, 0x06d3f3f1c4fa7813ull, 0x39d2706bbb521481ull, 0xabe00b4e42afb1daull,
     0x6c49c043336d866dull},
    {4, 1, 0x92987a28584326dcull, 0x3383e801756a79ccull, 0x3383e801756a79ccull,
     0xca104a2b71a3fabaull},
    {4, 4, 0x741d35dfa4b982ecull, 0xa7cfaa790c84efd0ull, 0x7da95305d0d38a89ull,
     0x29104ba7fe4432d5ull},
    {4, 32, 0x3a1962b4942a4186ull, 0x956fe68fa06d0956ull, 0xd82bca27ed94f432ull,
     0x7e80d7bb57b75b09ull},
    {4, 256, 0xe656b778763b9dfeull, 0x75d540def4bc3c8bull, 0xc1f29f4897d9895full,
     0x271514e1175d12a5ull},
    {4, 2048, 0x7a7d81355514a2b2ull, 0xbd2708fed5f1ab27ull, 0x3150ae25730d30a0ull,
     0x6fb39c5cfdc78d2cull},
    {32, 1, 0x9e7aa86589e8bb0bull, 0xbee4a1d4b2161acdull, 0xbee4a1d4b2161acdull,
     0x97616f13e392a6c6ull},
    {32, 4, 0x6eec9e95ff253f80ull, 0xdba8864f583d057eull, 0x3954920587fb64f8ull,
     0x3b67dd15006dd24bull},
    {32, 32, 0x4dd40ce274742511ull, 0x649e186572ecee79ull, 0xda2927bbea264212ull,
     0x64e53ea48a37cf94ull},
    {32, 256, 0x8bd045d5f3135c8bull, 0xf9398d5034651074ull, 0x96e1d93a0b92dd5eull,
     0xe2d4e65c28865db9ull},
    {32, 2048, 0x71c735855e4a6af6ull, 0x8071d5129aa92561ull, 0x39159244f5ea1d1aull,
     0x0a9f2c342910ea77ull},
    {256, 1, 0x71c311b9f9125c9full, 0xc2984cea1e4be13cull, 0xc2984cea1e4be13cull,
     0x26ead5792790c46eull},
    {256, 4, 0xd55a5a7e2ec8e7f7ull, 0x3fdfd18c0dadcbf9ull, 0xf68033d6fd369599ull,
     0xc08a35c6aa7a13a9ull},
    {256, 32, 0x5a995a2672c4dba2ull, 0x181be943dbd20c0dull, 0x17f51ec152aa6ef2ull,
     0xe19e312ef68cbbf7ull},
    {256, 256, 0x9b0a9a7dff242d15ull, 0xb81e9d9d0a0fa298ull, 0x612508e993fbaaf4ull,
     0xd955a4b8493b17a9ull},
    {256, 2048, 0x5dad75924af724edull, 0xd555953dc86c405bull, 0x7f288a7973395cedull,
     0x2cd53ffe7d605e2dull},
    {2048, 1, 0x06d3f3f1c4fa7813ull, 0x39d2706bbb521481ull, 0x39d2706bbb521481ull,
     0xa0293535c10d68c2ull},
    {2048, 4, 0x8f43a5d3e42af8dfull, 0x45c019f591403f2eull, 0x43bbc70995e3e0ceull,
     0x4a5a0c2ed1b26fd4ull},
    {2048, 32, 0x613c9547e2b186b9ull, 0x4d204b5bbc934102ull, 0xd282483b9dd893baull,
     0xa6065f5e51a76218ull},
    {2048, 256, 0x9accdca14e9bc3deull, 0xd9308ff2c61a91fbull, 0xbac91f47ccb86b86ull,
     0xba2c0613e19c1919ull},
    {2048, 2048, 0xfa82118d8a6009b9ull, 0x0543c4e7a5d66715ull, 0xda7ccdafac9c7400ull,
     0x110148f151423c0dull},
};

// Every tested path reproduces every hash.
TEST(EngineVectors, EveryPathReproducesEveryHash) {
  onEveryPath([](const TestPath&) {
    for (const VectorCase& c : kCases) {
      SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
      const vxPair<long> size(c.w, c.h);
      const std::vector<float> input = complexInput(c.w, c.h);
      std::vector<float> a = input;
      vf_ComplexFFT2D(a.data(), size, +1, 0, c.h);
      EXPECT_EQ(fnv1a64(a), c.forward);
      a = input;
      vf_ComplexFFT2D(a.data(), size, -1, 0, c.h);
      EXPECT_EQ(fnv1a64(a), c.inverse);
      a = input;
      zeroOutsideBand(a, c.w, c.h, c.h / 4, 3 * c.h / 4);
      vf_ComplexFFT2D(a.data(), size, -1, c.h / 4, 3 * c.h / 4);
      EXPECT_EQ(fnv1a64(a), c.inverseMasked);
      a = realInput(c.w, c.h);
      vf_RealFFT2D(a.data(), size, +1, 0, c.h);
      EXPECT_EQ(fnv1a64(a), c.real);
    }
  });
}

}  // namespace
