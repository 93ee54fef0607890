#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "CalibrationFixture.h"
#include "interface_contract/Varint.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"
#include "tracking/runtime/calibration/SensorCalibration.h"

using namespace Kestrel::Orb::Tracking;

namespace {

std::string floatBytes(float value) {
    std::string out;
    Kestrel::Codec::appendFloat(out, value);
    return out;
}

std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no exception)";
}

} // namespace

TEST(GeometrySettings, RecordLayoutPlacesEveryFieldAtItsIndex) {
    // Hand-built record: d[i] = i + 0.5 so that every field shows where it was read from.
    std::string bytes;
    Kestrel::Codec::appendVarint(bytes, 2);
    for (int i = 0; i < 442; ++i)
        Kestrel::Codec::appendDouble(bytes, i + 0.5);
    ASSERT_EQ(1u + 3536u, bytes.size());
    GeometrySettings g = parseGeometrySettings(bytes);
    EXPECT_EQ(0.5f, g.unused[0]);
    EXPECT_EQ(3.5f, g.cx);
    EXPECT_EQ(4.5f, g.cy);
    EXPECT_EQ(5.5f, g.f);
    EXPECT_EQ(6.5f, g.k);
    EXPECT_EQ(7.5f, g.p[0]);
    EXPECT_EQ(14.5f, g.p[7]);
    EXPECT_EQ(15.5f, g.c[0]);
    EXPECT_EQ(26.5f, g.c[11]);
    EXPECT_EQ(27.5f, g.xi);
    EXPECT_EQ(28.5f, g.correction[0][0].value);
    EXPECT_EQ(29.5f, g.correction[0][0].a);
    EXPECT_EQ(30.5f, g.correction[0][0].b);
    EXPECT_EQ(28.5f + 3 * 60, g.correction[0][60].value);
    EXPECT_EQ(28.5f + 183, g.correction[1][0].value);
    EXPECT_EQ(393.5f, g.correction[1][60].b);
    EXPECT_EQ(394.5f, g.accelerometer.pairs[0][0]);
    EXPECT_EQ(395.5f, g.accelerometer.pairs[0][1]);
    EXPECT_EQ(417.5f, g.accelerometer.pairs[11][1]);
    EXPECT_EQ(418.5f, g.gyroscope.pairs[0][0]);
    EXPECT_EQ(441.5f, g.gyroscope.pairs[11][1]);
}

TEST(GeometrySettings, SerializedRecordParsesBackUnchanged) {
    GeometrySettings g = CalibrationFixture::referenceSettings();
    g.gyroscope.pairs[5] = {1.25f, -0.5f};
    std::string bytes = serializeGeometrySettings(g);
    EXPECT_EQ(3537u, bytes.size());
    EXPECT_EQ(2, bytes[0]);
    GeometrySettings back = parseGeometrySettings(bytes);
    EXPECT_EQ(serializeGeometrySettings(back), bytes);
    EXPECT_EQ(g.correction[1][37].b, back.correction[1][37].b);
    EXPECT_EQ(-0.5f, back.gyroscope.pairs[5][1]);
}

TEST(GeometrySettings, WrongVersionAndShortRecordsFailWithClearMessages) {
    std::string bytes = serializeGeometrySettings(GeometrySettings{});
    std::string v3 = bytes;
    v3[0] = 3;
    EXPECT_EQ("need VersionConverter implementation", messageOf([&] { parseGeometrySettings(v3); }));
    EXPECT_EQ("GeometrySettings: record of 3536 bytes is too short, needs 3537",
              messageOf([&] { parseGeometrySettings(bytes.substr(0, 3536)); }));
    EXPECT_EQ("GeometrySettings: record of 0 bytes has no version", messageOf([&] { parseGeometrySettings(""); }));
    // A two-byte varint 2 (0x82 0x00) is still version 2 and shifts the doubles by one byte.
    std::string longVarint = "\x82" + std::string(1, '\0') + bytes.substr(1);
    EXPECT_EQ(bytes, serializeGeometrySettings(parseGeometrySettings(longVarint)));
}

TEST(MaximumViewAngle, ParsingAcceptsTheClosedRangeOnly) {
    EXPECT_EQ(3.1415927f, parseMaximumViewAngle(floatBytes(3.1415927f)));
    EXPECT_EQ(0.0f, parseMaximumViewAngle(floatBytes(0.0f)));
    EXPECT_EQ(1.25f, parseMaximumViewAngle(floatBytes(1.25f)));
    EXPECT_EQ("MaximumViewAngle: Angle too small", messageOf([] { parseMaximumViewAngle(floatBytes(-1e-6f)); }));
    EXPECT_EQ("MaximumViewAngle: Angle too big",
              messageOf([] { parseMaximumViewAngle(floatBytes(std::nextafter(3.1415927f, 4.0f))); }));
    EXPECT_EQ("MaximumViewAngle: Invalid format", messageOf([] { parseMaximumViewAngle("abc"); }));
    EXPECT_EQ("MaximumViewAngle: Invalid format", messageOf([] { parseMaximumViewAngle(floatBytes(1.0f) + "x"); }));
    EXPECT_EQ("MaximumViewAngle: Invalid format", messageOf([] { parseMaximumViewAngle(floatBytes(NAN)); }));
}

TEST(MaximumViewAngle, RadiusSquaredInBothHalvesOfTheModel) {
    // Independent values: r = sin A / n, n = |(sin A, cos A + xi)|, divided by 1 - (c/n)^2 when
    // c/n < 0.
    EXPECT_NEAR(1.3333335, maximumRadiusSquared(2.0943952f, 0.0f), 1e-5);
    EXPECT_NEAR(0.5675381, maximumRadiusSquared(1.5f, 0.8f), 1e-6);
    EXPECT_NEAR(2.7919788, maximumRadiusSquared(2.5f, 0.0f), 1e-5);
    EXPECT_NEAR(0.9230770, maximumRadiusSquared(2.0943952f, 0.75f), 1e-6);
}

TEST(SensorCalibration, EntriesAreLinearInTemperature) {
    TemperatureLinearCalibration stored;
    // Row-major (m0, m1, m2, bias) pairs; values and expectations chosen by hand.
    float offsets[12] = {2, 0, 0, 0.25f, 0, 4, 0, -0.5f, 0.5f, 0, 1, 0};
    float slopes[12] = {0.1f, 0, 0, 0.01f, 0, 0, 0.2f, 0, 0, 0, -0.02f, 0.005f};
    for (int i = 0; i < 12; ++i)
        stored.pairs[i] = {offsets[i], slopes[i]};
    SensorCalibration at40 = SensorCalibration::atTemperature(stored, 40.0f);
    EXPECT_FLOAT_EQ(6.0f, at40.matrix[0][0]);
    EXPECT_FLOAT_EQ(0.65f, at40.bias[0]);
    EXPECT_FLOAT_EQ(8.0f, at40.matrix[1][2]);
    EXPECT_FLOAT_EQ(0.2f, at40.matrix[2][2]);
    EXPECT_FLOAT_EQ(0.2f, at40.bias[2]);
    // raw (16384, -8192, 32767) at scale 2^-15: (0.5, -0.25, 0.99997) minus bias (0.65, -0.5, 0.2)
    // = (-0.15, 0.25, 0.79997); M rows (6,0,0), (0,4,8), (0.5,0,0.2).
    auto out = at40.apply({16384, -8192, 32767}, 1.0f / 32768.0f);
    EXPECT_NEAR(-0.9, out[0], 1e-5);
    EXPECT_NEAR(1.0 + 8 * 0.7999695, out[1], 1e-5);
    EXPECT_NEAR(-0.075 + 0.2 * 0.7999695, out[2], 1e-5);
}
