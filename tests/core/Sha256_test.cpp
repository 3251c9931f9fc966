// SHA-256 against the standard's examples and the lengths where padding takes another block, fed
// whole and in every split: a detached file's record and a re-run's comparison both rest on it.
#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Known {
    std::string message;
    const char* digest;
};

TEST(Sha256, KnownDigestsWholeAndInEverySplit) {
    const auto as = [](size_t n) { return std::string(n, 'a'); };
    const Known known[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {as(55), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {as(56), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {as(63), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {as(64), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {as(65), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
        {as(119), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {as(120), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
    };
    base::Sha256 sha;
    for (const Known& k : known) {
        SCOPED_TRACE(k.message.size());
        EXPECT_EQ(base::Sha256::Hex(base::Sha256::Of(k.message)), k.digest);
        // Fed in two pieces at every point, and byte by byte: the same digest, and the object
        // starts afresh after each Finish.
        for (size_t cut = 0; cut <= k.message.size(); ++cut) {
            sha.Update(k.message.data(), cut);
            sha.Update(k.message.data() + cut, k.message.size() - cut);
            ASSERT_EQ(base::Sha256::Hex(sha.Finish()), k.digest) << "cut at " << cut;
        }
        for (const char c : k.message) sha.Update(&c, 1);
        EXPECT_EQ(base::Sha256::Hex(sha.Finish()), k.digest);
    }
}

TEST(Sha256, AMillionBytesInChunksOfAFile) {
    const std::string chunk(1000, 'a');
    base::Sha256 sha;
    for (int i = 0; i < 1000; ++i) sha.Update(chunk.data(), chunk.size());
    EXPECT_EQ(base::Sha256::Hex(sha.Finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
