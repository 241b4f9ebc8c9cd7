// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace q71x {
namespace {

TEST(Sha256Test, KnownDigests) {
  EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
            Sha256Hex(Sha256Of("")));
  EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
            Sha256Hex(Sha256Of("abc")));
  // 56 bytes: the length no longer fits the first block's padding.
  EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
            Sha256Hex(Sha256Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
  EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
            Sha256Hex(Sha256Of(std::string(1000000, 'a'))));
}

}  // namespace
}  // namespace q71x
