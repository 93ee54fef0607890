// Environment codes: layout, round trips, presets, and rejection of damaged codes.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "interface_contract/Base64.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/Varint.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/OrbEnvironment.h"
#include "tracking/environments/EnvironmentCodeWriter.h"
#include "tracking/environments/EnvironmentKinds.h"
#include "tracking/environments/RigidPresets.h"

using namespace Kestrel::Orb::Tracking;
using Kestrel::InterfaceContract::Ref;

namespace {

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

std::string messageOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

RigidParameters sampleRigid() {
    RigidParameters rigid;
    rigid.version = 1;
    rigid.name = "hall";
    rigid.width = 3;
    rigid.depth = 2;
    rigid.barLength = 1.25f;
    rigid.middleRatio = 0.3f;
    rigid.barAngle = -0.1f;
    rigid.barOffsetX = 0.2f;
    rigid.barOffsetY = -0.05f;
    rigid.ceiling = true;
    rigid.planeHeight = 2.75f;
    rigid.tileSize = 0.6f;
    rigid.tiles = {{0, 0, 1}, {2, 1, 7}, {1, 0, 0}};
    return rigid;
}

void expectSameRigid(const RigidParameters& a, const RigidParameters& b) {
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.depth, b.depth);
    EXPECT_EQ(bitsOf(a.barLength), bitsOf(b.barLength));
    EXPECT_EQ(bitsOf(a.middleRatio), bitsOf(b.middleRatio));
    EXPECT_EQ(bitsOf(a.barAngle), bitsOf(b.barAngle));
    EXPECT_EQ(bitsOf(a.barOffsetX), bitsOf(b.barOffsetX));
    EXPECT_EQ(bitsOf(a.barOffsetY), bitsOf(b.barOffsetY));
    EXPECT_EQ(a.ceiling, b.ceiling);
    EXPECT_EQ(bitsOf(a.planeHeight), bitsOf(b.planeHeight));
    EXPECT_EQ(bitsOf(a.tileSize), bitsOf(b.tileSize));
    ASSERT_EQ(a.tiles.size(), b.tiles.size());
    for (std::size_t i = 0; i < a.tiles.size(); ++i) {
        EXPECT_EQ(a.tiles[i].x, b.tiles[i].x);
        EXPECT_EQ(a.tiles[i].y, b.tiles[i].y);
        EXPECT_EQ(a.tiles[i].orientation, b.tiles[i].orientation);
    }
}

std::string toUrlSafeUnpadded(std::string code) {
    for (char& c : code)
        c = c == '+' ? '-' : c == '/' ? '_' : c;
    while (!code.empty() && code.back() == '=')
        code.pop_back();
    return code;
}

} // namespace

TEST(EnvironmentCode, SingleCodeHasTheDocumentedBytes) {
    // 00 | 06 "Single" | 08 | 1.0f = 00 00 80 3F | 0.3f = 9A 99 99 3E
    const std::string expected("\x00\x06Single\x08\x00\x00\x80\x3F\x9A\x99\x99\x3E", 17);
    EXPECT_EQ(Kestrel::Codec::decodeBase64(encodeBarEnvironment("Single", {1.0f, 0.3f})), expected);
    EXPECT_EQ(encodeBarEnvironment("Single", {1.0f, 0.3f}), "AAZTaW5nbGUIAACAP5qZmT4=");
}

TEST(EnvironmentCode, RoundTripOfEveryKindAndEveryAlphabet) {
    const std::string single = encodeBarEnvironment("Single", {0.75f, 0.35f});
    const std::string quad = encodeBarEnvironment("Quad", {1.5f, 0.25f});
    RigidParameters legacy = sampleRigid();
    legacy.version = 0;
    legacy.preset = "yellow";
    const std::string rigidV1 = encodeRigidEnvironment(sampleRigid());
    const std::string rigidV0 = encodeRigidEnvironment(legacy);

    for (const std::string& form : {single, toUrlSafeUnpadded(single)}) {
        const EnvironmentCode code = parseEnvironmentCode(form);
        EXPECT_EQ(code.kind, "Single");
        ASSERT_TRUE(code.bar);
        EXPECT_EQ(code.bar->barLength, 0.75f);
        EXPECT_EQ(code.bar->middleRatio, 0.35f);
    }
    for (const std::string& form : {quad, toUrlSafeUnpadded(quad)}) {
        const EnvironmentCode code = parseEnvironmentCode(form);
        EXPECT_EQ(code.kind, "Quad");
        ASSERT_TRUE(code.bar);
        EXPECT_EQ(code.bar->barLength, 1.5f);
        EXPECT_EQ(code.bar->middleRatio, 0.25f);
    }
    for (const std::string& form : {rigidV1, toUrlSafeUnpadded(rigidV1)}) {
        const EnvironmentCode code = parseEnvironmentCode(form);
        ASSERT_TRUE(code.rigid);
        EXPECT_EQ(code.rigid->version, 1u);
        EXPECT_EQ(code.rigid->name, "hall");
        expectSameRigid(*code.rigid, sampleRigid());
    }
    for (const std::string& form : {rigidV0, toUrlSafeUnpadded(rigidV0)}) {
        const EnvironmentCode code = parseEnvironmentCode(form);
        ASSERT_TRUE(code.rigid);
        EXPECT_EQ(code.rigid->version, 0u);
        EXPECT_EQ(code.rigid->preset, "yellow");
        EXPECT_EQ(code.rigid->tiles.size(), 3u);
        EXPECT_FALSE(code.rigid->ceiling);  // presets never carry the caller's ceiling or height
        EXPECT_EQ(code.rigid->planeHeight, 0.0f);
    }
    // The URL-safe alphabet really differs for this code.
    EXPECT_NE(toUrlSafeUnpadded(rigidV1).find_first_of("-_"), std::string::npos);
}

TEST(EnvironmentCode, PresetsHoldTheNearestFloats) {
    const auto& presets = rigidPresets();
    ASSERT_EQ(presets.size(), 6u);
    const char* names[] = {"puzzle", "puzzle58", "yellow", "ceiling", "custom2x", "custom3x"};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_STREQ(presets[i].name, names[i]);
    EXPECT_EQ(bitsOf(presets[0].tileSize), 0x3F19999Au);  // 0.6
    EXPECT_EQ(bitsOf(presets[1].tileSize), 0x3F147AE1u);  // 0.58
    EXPECT_EQ(bitsOf(presets[2].barOffsetX), 0x3E99999Au);  // 0.3
    EXPECT_EQ(bitsOf(presets[0].middleRatio), 0x3EAAAAABu);  // 0.33333334
    EXPECT_EQ(bitsOf(presets[5].middleRatio), 0x3EAAA64Cu);  // 0.3333
    EXPECT_EQ(bitsOf(presets[2].barLength), 0x3F8953B8u);    // 1.0728674
    EXPECT_EQ(bitsOf(presets[2].barAngle), 0xBD638EAFu);     // -0.055555996
    EXPECT_EQ(bitsOf(presets[2].middleRatio), 0x3EA046DCu);  // 0.31304061
    EXPECT_EQ(bitsOf(presets[3].barLength), 0x3F5F0508u);    // 0.87117052
    EXPECT_EQ(bitsOf(presets[3].barAngle), 0xBDCE8E25u);     // -0.10085706
    EXPECT_EQ(bitsOf(presets[3].middleRatio), 0x3ECCCCCDu);  // 0.4
    EXPECT_EQ(findRigidPreset("Puzzle"), nullptr);
    EXPECT_EQ(findRigidPreset("custom2x"), &presets[4]);
}

TEST(EnvironmentCode, LegacyPuzzle58HasTheSmallerTilesAndThePuzzleBar) {
    RigidParameters legacy;
    legacy.version = 0;
    legacy.preset = "puzzle58";
    legacy.width = 2;
    legacy.depth = 2;
    legacy.tiles = {{1, 1, 2}};
    const EnvironmentCode code = parseEnvironmentCode(encodeRigidEnvironment(legacy));
    ASSERT_TRUE(code.rigid);
    EXPECT_EQ(bitsOf(code.rigid->tileSize), 0x3F147AE1u);
    EXPECT_EQ(code.rigid->barLength, 1.5f);
    EXPECT_EQ(bitsOf(code.rigid->middleRatio), 0x3EAAAAABu);
    EXPECT_EQ(code.rigid->barAngle, 0.0f);
    EXPECT_EQ(code.rigid->barOffsetX, 0.0f);
}

TEST(EnvironmentCode, LegacyAndCurrentRigidWithTheSameNumbersReadTheSame) {
    RigidParameters legacy;
    legacy.version = 0;
    legacy.preset = "ceiling";
    legacy.width = 4;
    legacy.depth = 3;
    legacy.tiles = {{0, 0, 0}, {3, 2, 1}, {1, 2, 3}};
    RigidParameters current = legacy;
    current.version = 1;
    current.name = "whatever";
    current.barLength = 0.87117052f;
    current.barAngle = -0.10085706f;
    current.middleRatio = 0.4f;
    current.tileSize = 0.6f;
    current.barOffsetX = 0.3f;
    current.barOffsetY = 0;
    const EnvironmentCode a = parseEnvironmentCode(encodeRigidEnvironment(legacy));
    const EnvironmentCode b = parseEnvironmentCode(encodeRigidEnvironment(current));
    ASSERT_TRUE(a.rigid && b.rigid);
    expectSameRigid(*a.rigid, *b.rigid);
}

TEST(EnvironmentCode, UnknownPresetGivesZeros) {
    RigidParameters legacy;
    legacy.version = 0;
    legacy.preset = "Puzzle";  // names are exact
    legacy.width = 1;
    legacy.depth = 1;
    legacy.tiles = {{0, 0, 0}};
    const EnvironmentCode code = parseEnvironmentCode(encodeRigidEnvironment(legacy));
    ASSERT_TRUE(code.rigid);
    EXPECT_EQ(code.rigid->barLength, 0.0f);
    EXPECT_EQ(code.rigid->middleRatio, 0.0f);
    EXPECT_EQ(code.rigid->tileSize, 0.0f);
    EXPECT_EQ(code.rigid->tiles.size(), 1u);
}

TEST(CreateEnvironment, BuildsTheSingleBar) {
    Ref<IEnvironment> environment = createEnvironment(encodeBarEnvironment("Single", {1.0f, 0.3f}));
    ASSERT_TRUE(environment);
    std::vector<Vec3f> markers;
    auto out = Kestrel::InterfaceContract::outArray(markers);
    Kestrel::InterfaceContract::check(environment.get(), environment->markerPositions(&out));
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_FLOAT_EQ(markers[0].x(), -0.5f);
    EXPECT_FLOAT_EQ(markers[1].x(), -0.2f);
    EXPECT_FLOAT_EQ(markers[2].x(), 0.5f);
}

TEST(CreateEnvironment, UnknownKindIsAnEmptyReference) {
    EXPECT_FALSE(createEnvironment(encodeBarEnvironment("single", {1.0f, 0.3f})));
    EXPECT_FALSE(createEnvironment(encodeBarEnvironment("SINGLE", {1.0f, 0.3f})));
    // Even without a readable payload of its own.
    EXPECT_FALSE(createEnvironment(Kestrel::Codec::encodeBase64(environmentRecord("Garland", "\x01"))));
}

TEST(CreateEnvironment, QuadAndRigidAreBuilt) {
    const auto quad = createEnvironment(encodeBarEnvironment("Quad", {1.0f, 0.3f}));
    ASSERT_TRUE(quad);
    OrbEnvironment* native = nativeEnvironment(quad.get());
    ASSERT_NE(native, nullptr);
    EXPECT_TRUE(native->isAdaptive());
    EXPECT_EQ(native->revision(), -1);
    EXPECT_EQ(native->markerPositions().size(), 12u);
    EXPECT_FLOAT_EQ(native->barLength, 1.0f);
    EXPECT_FLOAT_EQ(native->middleRatio, 0.3f);
    EXPECT_TRUE(quad.query<IEnvironmentMutable>());
    const auto rigid = createEnvironment(encodeRigidEnvironment(sampleRigid()));
    ASSERT_TRUE(rigid);
    EXPECT_EQ(nativeEnvironment(rigid.get())->markerPositions().size(), 9u);
    EXPECT_FALSE(rigid.query<IEnvironmentMutable>());
    // A damaged payload is reported as damaged.
    const std::string shortQuad = Kestrel::Codec::encodeBase64(environmentRecord("Quad", std::string(7, '\0')));
    EXPECT_NE(messageOf([&] { createEnvironment(shortQuad); }).find("record ends early"), std::string::npos);
}

TEST(CreateEnvironment, VersionsOtherThanTheKnownOnesNeedAConverter) {
    std::string outer;
    Kestrel::Codec::appendVarint(outer, 1);
    Kestrel::Codec::appendString(outer, "Single");
    Kestrel::Codec::appendString(outer, barPayload({1.0f, 0.3f}));
    EXPECT_EQ(messageOf([&] { createEnvironment(Kestrel::Codec::encodeBase64(outer)); }),
              "need VersionConverter implementation");
    std::string rigid;
    Kestrel::Codec::appendVarint(rigid, 2);
    EXPECT_EQ(messageOf([&] { createEnvironment(Kestrel::Codec::encodeBase64(environmentRecord("Rigid", rigid))); }),
              "need VersionConverter implementation");
    EXPECT_EQ(messageOf([] { createEnvironment("AAZTaW5nbGUIAACAP5qZ*T4="); }), "Wrong base64 string");
}

TEST(CreateEnvironment, RejectsLayoutsThatCannotBeHonest) {
    RigidParameters rigid = sampleRigid();
    rigid.tiles.push_back({3, 0, 0});  // width is 3
    EXPECT_NE(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); }).find("outside the 3 x 2 grid"),
              std::string::npos);
    rigid = sampleRigid();
    rigid.width = 5000;
    EXPECT_NE(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); }).find("too large"), std::string::npos);
    rigid.width = 4096;
    rigid.depth = 4096;
    EXPECT_NE(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); }).find("too large"), std::string::npos);
    // More tiles than a layout can be built with, named with the limit.
    rigid = sampleRigid();
    rigid.width = rigid.depth = 65;
    rigid.tiles.clear();
    for (uint32_t t = 0; t < 4097; ++t)
        rigid.tiles.push_back({t % 65, t / 65, 0});
    EXPECT_EQ(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); }),
              "rigid layout too large: 4097 tiles (at most 4096)");
    rigid.tiles.pop_back();
    EXPECT_EQ(parseEnvironmentCode(encodeRigidEnvironment(rigid)).rigid->tiles.size(), 4096u);
    rigid = sampleRigid();
    rigid.barLength = std::numeric_limits<float>::quiet_NaN();
    EXPECT_NE(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); }).find("'barLength' is not a finite"),
              std::string::npos);
    EXPECT_NE(messageOf([] { createEnvironment(encodeBarEnvironment("Single", {1.0f, INFINITY})); })
                  .find("'middleRatio' is not a finite"),
              std::string::npos);
    // A tile count beyond what the remaining bytes can hold.
    std::string payload;
    Kestrel::Codec::appendVarint(payload, 0);
    Kestrel::Codec::appendString(payload, "puzzle");
    Kestrel::Codec::appendVarint(payload, 4);
    Kestrel::Codec::appendVarint(payload, 4);
    Kestrel::Codec::appendVarint(payload, uint64_t(1) << 60);
    EXPECT_NE(messageOf([&] { parseEnvironmentCode(Kestrel::Codec::encodeBase64(environmentRecord("Rigid", payload))); })
                  .find("record ends early"),
              std::string::npos);
}

// Every code cut short, as bytes and as text, fails with a message and reads nothing beyond
// its end (this test runs under AddressSanitizer too).
TEST(CreateEnvironment, EveryTruncationIsRejected) {
    RigidParameters legacy = sampleRigid();
    legacy.version = 0;
    legacy.preset = "puzzle";
    const std::vector<std::string> records = {
        environmentRecord("Single", barPayload({1.0f, 0.3f})),
        environmentRecord("Quad", barPayload({1.0f, 0.3f})),
        environmentRecord("Rigid", rigidPayload(sampleRigid())),
        environmentRecord("Rigid", rigidPayload(legacy)),
    };
    for (const std::string& record : records) {
        for (std::size_t length = 0; length < record.size(); ++length) {
            const std::string cut = record.substr(0, length);
            // Exact-size copy so that AddressSanitizer sees any read past the end.
            std::unique_ptr<char[]> exact(new char[length ? length : 1]);
            std::memcpy(exact.get(), cut.data(), length);
            EXPECT_THROW(readEnvironmentRecord(std::string_view(exact.get(), length)), std::runtime_error)
                << "record of " << record.size() << " bytes cut to " << length;
        }
        const std::string text = Kestrel::Codec::encodeBase64(record);
        for (std::size_t length = 0; length < text.size(); ++length) {
            // Cutting only "=" padding keeps the whole record.
            const std::string cut = text.substr(0, length);
            if (Kestrel::Codec::decodeBase64(cut).size() == record.size())
                continue;
            EXPECT_THROW(parseEnvironmentCode(cut), std::runtime_error) << "code cut to " << length << " characters";
        }
    }
}

// Damaged bytes either read as some code or fail with a runtime error; nothing else happens.
TEST(CreateEnvironment, CorruptedCodesFailCleanly) {
    const std::string record = environmentRecord("Rigid", rigidPayload(sampleRigid()));
    std::mt19937 random(5);
    std::uniform_int_distribution<std::size_t> position(0, record.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    int rejected = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string damaged = record;
        for (int flips = 1 + i % 3; flips > 0; --flips)
            damaged[position(random)] = char(byte(random));
        try {
            createEnvironment(Kestrel::Codec::encodeBase64(damaged));
        } catch (const std::runtime_error&) {
            ++rejected;
        }
    }
    EXPECT_GT(rejected, 0);
    // Arbitrary bytes of every length up to 64; anything but a runtime error fails the test.
    for (int i = 0; i < 3000; ++i) {
        std::string bytes(std::size_t(i % 65), '\0');
        for (char& c : bytes)
            c = char(byte(random));
        std::unique_ptr<char[]> exact(new char[bytes.size() + 1]);
        std::memcpy(exact.get(), bytes.data(), bytes.size());
        try {
            createEnvironment(readEnvironmentRecord(std::string_view(exact.get(), bytes.size())));
        } catch (const std::runtime_error&) {
        }
    }
}

// Sizes no tracker could see are refused at each limit, naming the field, the value and the
// limit; the values on the limits themselves are accepted.
TEST(EnvironmentCode, SizesBeyondTheLimitsAreRefusedAtEachBoundary) {
    struct Case {
        const char* field;
        float RigidParameters::*member;
        float accepted, refused;
    };
    const Case cases[] = {
        {"barLength", &RigidParameters::barLength, 0.01f, 0.0099f},
        {"barLength", &RigidParameters::barLength, 100.0f, 100.01f},
        {"barLength", &RigidParameters::barLength, 1.0f, 0.0f},
        {"barLength", &RigidParameters::barLength, 1.0f, -1.5f},
        {"tileSize", &RigidParameters::tileSize, 0.01f, 0.0099f},
        {"tileSize", &RigidParameters::tileSize, 100.0f, 1e30f},
        {"tileSize", &RigidParameters::tileSize, 0.6f, -0.6f},
        {"middleRatio", &RigidParameters::middleRatio, 0.01f, 0.0099f},
        {"middleRatio", &RigidParameters::middleRatio, 0.99f, 0.9901f},
        {"middleRatio", &RigidParameters::middleRatio, 0.5f, 0.0f},
        {"middleRatio", &RigidParameters::middleRatio, 0.5f, 1.0f},
        {"barOffsetX", &RigidParameters::barOffsetX, -100.0f, -100.01f},
        {"barOffsetY", &RigidParameters::barOffsetY, 100.0f, 100.01f},
        {"planeHeight", &RigidParameters::planeHeight, -10000.0f, -10001.0f},
        {"planeHeight", &RigidParameters::planeHeight, 10000.0f, 10001.0f},
    };
    for (const Case& c : cases) {
        RigidParameters rigid = sampleRigid();
        rigid.*c.member = c.accepted;
        EXPECT_EQ(messageOf([&] { createEnvironment(encodeRigidEnvironment(rigid)); }), "(no error)")
            << c.field << " " << c.accepted;
        rigid.*c.member = c.refused;
        EXPECT_NE(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); })
                      .find(std::string("environment code field '") + c.field + "' is "),
                  std::string::npos)
            << c.field << " " << c.refused;
    }
    RigidParameters rigid = sampleRigid();
    rigid.tileSize = 1e30f;
    EXPECT_EQ(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); }),
              "environment code field 'tileSize' is 1e+30 m: it must lie between 0.01 and 100 m");
    // The layout's extent: 100 tiles of 100 m are the most along one side.
    rigid = sampleRigid();
    rigid.tileSize = 100.0f;
    rigid.width = 100;
    EXPECT_NO_THROW(parseEnvironmentCode(encodeRigidEnvironment(rigid)));
    rigid.depth = 101;
    EXPECT_EQ(messageOf([&] { parseEnvironmentCode(encodeRigidEnvironment(rigid)); }),
              "environment code field 'tileSize times the longer grid side' is 10100 m: it must lie between 0 and "
              "10000 m");
    // The bar kinds, and a legacy code naming an unknown preset (it reads as zeros, builds not).
    EXPECT_NE(messageOf([] { createEnvironment(encodeBarEnvironment("Single", {0.0f, 0.3f})); })
                  .find("'barLength' is 0 m: it must lie between 0.01 and 100 m"),
              std::string::npos);
    EXPECT_NE(messageOf([] { createEnvironment(encodeBarEnvironment("Quad", {1.0f, 1.0f})); })
                  .find("'middleRatio' is 1: it must lie between 0.01 and 0.99"),
              std::string::npos);
    RigidParameters legacy;
    legacy.version = 0;
    legacy.preset = "unknown";
    legacy.width = legacy.depth = 1;
    legacy.tiles = {{0, 0, 0}};
    const std::string unknownPreset = encodeRigidEnvironment(legacy);
    ASSERT_NO_THROW(parseEnvironmentCode(unknownPreset));
    EXPECT_NE(messageOf([&] { createEnvironment(unknownPreset); }).find("'barLength' is 0 m"), std::string::npos);
}

// The environment fuzzer's input whose rounding of a tile offset to an integer had no defined
// result (fuzz/regressions/environment_code_fuzz/bars-beyond-any-grid, its record): bars of
// 1.7e22 m on tiles of 3.8e-37 m, which no grid can hold. The reader refuses it before anything
// is built, naming the first field beyond its limit.
TEST(EnvironmentCode, TheFuzzersLayoutOfBarsBeyondAnyGridIsRefused) {
    const unsigned char record[] = {
        0x00, 0x05, 'R',  'i',  'g',  'i',  'd',  0x36, 0x01, 0x05, 'f',  'l',  'o',  'o',  '{',  0x04,
        0x04, 0x51, 0x75, 0x61, 0x64, 0xcd, 0x98, 0x4c, 0xba, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x40, 0x40, 0x9a, 0x99, 0x19, 0x3f, 0x05, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x03, 0x01, 0x01,
        0x02, 0x3f, 0x9b, 0x88, 0x3f, 0xb7, 0x38, 0x05, 0xbe, 0xd1, 0x4a, 0x52, 0x3f, 0x46};
    const std::string_view bytes(reinterpret_cast<const char*>(record), sizeof record);
    EXPECT_EQ(messageOf([&] { readEnvironmentRecord(bytes); }),
              "environment code field 'barLength' is 1.66359e+22 m: it must lie between 0.01 and 100 m");
}
