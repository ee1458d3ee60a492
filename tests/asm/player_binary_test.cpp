// The player binary that the build assembles fills sound RAM $0000-$10FF exactly.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

TEST(PlayerBinary, Is4352Bytes) {
  std::ifstream in(SPCASM_PLAYER_FILE, std::ios::binary);
  ASSERT_TRUE(in) << "cannot open " << SPCASM_PLAYER_FILE;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.size(), 4352u);
}

}  // namespace
