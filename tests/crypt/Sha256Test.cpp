#include "crypt/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string HexOf(const std::string& message)
{
    return CSha256::ToHex(CSha256::Of(message.data(), message.size()));
}

TEST(Sha256Test, PublishedVectors)
{
    struct Case {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(c.digest, HexOf(c.message));
    }
}

TEST(Sha256Test, OneMillionLettersAFedInUnevenPieces)
{
    const std::string piece(997, 'a');
    CSha256 sha;
    size_t left = 1000000;
    while (left > 0) {
        const size_t n = std::min(left, piece.size());
        sha.Update(piece.data(), n);
        left -= n;
    }
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", CSha256::ToHex(sha.Finish()));
}

// Lengths around the block and length-field boundaries, split at every point, must give the
// digest of the whole message.
TEST(Sha256Test, SplitUpdatesMatchOneShotAroundBlockBoundaries)
{
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u}) {
        std::string message(length, '\0');
        for (size_t i = 0; i < length; ++i) message[i] = static_cast<char>('0' + i % 43);
        const std::string whole = HexOf(message);
        for (size_t split = 0; split <= length; ++split) {
            CSha256 sha;
            sha.Update(message.data(), split);
            sha.Update(message.data() + split, length - split);
            ASSERT_EQ(whole, CSha256::ToHex(sha.Finish())) << length << " split at " << split;
        }
    }
}

// The processor's SHA extensions, where present, and the portable rounds give the same digests,
// for whole blocks fed at once as well as for pieces.
TEST(Sha256Test, EnginesAgree)
{
    std::string message(200000, '\0');
    for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (size_t length : {0u, 1u, 63u, 64u, 65u, 127u, 128u, 129u, 1000u, 4096u, 200000u}) {
        CSha256 fastest, portable(CSha256::Engine::Portable);
        fastest.Update(message.data(), length);
        for (size_t at = 0; at < length; at += 999)
            portable.Update(message.data() + at, std::min<size_t>(999, length - at));
        ASSERT_EQ(CSha256::ToHex(portable.Finish()), CSha256::ToHex(fastest.Finish())) << length;
    }
    CSha256 portable(CSha256::Engine::Portable);
    portable.Update("abc", 3);
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", CSha256::ToHex(portable.Finish()));
}

TEST(Sha256Test, FinishStartsANewMessage)
{
    CSha256 sha;
    sha.Update("junk", 4);
    sha.Finish();
    sha.Update("abc", 3);
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", CSha256::ToHex(sha.Finish()));
}

} // namespace
