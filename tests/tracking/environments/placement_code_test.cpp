// Placement codes.

#include <gtest/gtest.h>

#include <cmath>

#include "interface_contract/Base64.h"
#include "interface_contract/Varint.h"
#include "tracking/environments/PlacementCode.h"

using namespace Kestrel::Orb::Tracking;

namespace {
Vec3f v(float x, float y, float z) { return Vec3f{{x, y, z}}; }
} // namespace

TEST(PlacementCode, ZeroPlacementIsTheIdentity) {
    // 0x00, then six zero floats: 25 bytes.
    const std::string code = Kestrel::Codec::encodeBase64(std::string(25, '\0'));
    const Placement placement = decodePlacementCode(code);
    EXPECT_EQ(placement.position, v(0, 0, 0));
    EXPECT_EQ(placement.rotation.x, 0.0f);
    EXPECT_EQ(placement.rotation.y, 0.0f);
    EXPECT_EQ(placement.rotation.z, 0.0f);
    EXPECT_EQ(placement.rotation.w, 1.0f);
    EXPECT_EQ(encodePlacementCode(v(0, 0, 0), v(0, 0, 0)), code);
}

TEST(PlacementCode, OnlyBTurnsAboutY) {
    const Placement placement = decodePlacementCode(encodePlacementCode(v(0.1f, -0.2f, 0.3f), v(0, 0.8f, 0)));
    EXPECT_EQ(placement.position, v(0.1f, -0.2f, 0.3f));
    EXPECT_NEAR(placement.rotation.x, 0, 1e-7);
    EXPECT_NEAR(placement.rotation.y, std::sin(0.4), 1e-6);
    EXPECT_NEAR(placement.rotation.z, 0, 1e-7);
    EXPECT_NEAR(placement.rotation.w, std::cos(0.4), 1e-6);
}

TEST(PlacementCode, RotationIsYThenXThenZ) {
    // Ry(-0.7) Rx(0.3) Rz(1.1) as matrices, converted to a quaternion by a separate script.
    const Placement placement = decodePlacementCode(encodePlacementCode(v(1, 2, 3), v(0.3f, -0.7f, 1.1f)));
    EXPECT_NEAR(placement.rotation.x, -0.057539988, 1e-6);
    EXPECT_NEAR(placement.rotation.y, -0.362420094, 1e-6);
    EXPECT_NEAR(placement.rotation.z, 0.529169809, 1e-6);
    EXPECT_NEAR(placement.rotation.w, 0.765062179, 1e-6);
}

TEST(PlacementCode, UrlSafeAndUnpaddedFormsDecodeTheSame) {
    const std::string code = encodePlacementCode(v(-1.5f, 0.25f, 3.75f), v(-2.5f, 1.25f, 0.5f));
    std::string other = code;
    for (char& c : other)
        c = c == '+' ? '-' : c == '/' ? '_' : c;
    while (other.back() == '=')
        other.pop_back();
    const Placement a = decodePlacementCode(code), b = decodePlacementCode(other);
    EXPECT_EQ(a.position, b.position);
    EXPECT_EQ(a.rotation, b.rotation);
}

TEST(PlacementCode, OtherVersionsAndDamagedCodesAreRejected) {
    std::string record;
    Kestrel::Codec::appendVarint(record, 1);
    record.append(24, '\0');
    try {
        decodePlacementCode(Kestrel::Codec::encodeBase64(record));
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "need VersionConverter implementation");
    }
    EXPECT_THROW(decodePlacementCode("AAAA*AAA"), std::runtime_error);
    const std::string full = Kestrel::Codec::decodeBase64(encodePlacementCode(v(1, 2, 3), v(0.1f, 0.2f, 0.3f)));
    ASSERT_EQ(full.size(), 25u);
    for (std::size_t length = 0; length < full.size(); ++length)
        EXPECT_THROW(decodePlacementCode(Kestrel::Codec::encodeBase64(full.substr(0, length))), std::runtime_error)
            << length;
    EXPECT_THROW(decodePlacementCode(encodePlacementCode(v(NAN, 0, 0), v(0, 0, 0))), std::runtime_error);
}
