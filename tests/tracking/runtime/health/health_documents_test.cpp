// The health report's JSON and HTML documents parse, and the HTML carries its figures inline.

#include <gtest/gtest.h>

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include "tracking/runtime/health/HealthDocuments.h"

namespace {

using namespace Kestrel::Orb::Tracking::Health;

// A report with a finding whose words need escaping in both documents, a marker, a stray source
// and three windows.
HealthReport sample() {
    HealthReport r;
    r.seconds = 3;
    r.windowSeconds = 1;
    r.optical.frames = 600;
    r.optical.frameRate = std::nan("");  // written as null
    for (int k = 0; k < 3; ++k) {
        HealthWindow w;
        w.start = k;
        w.duration = 1;
        w.frames = 200 - k;
        r.windows.push_back(w);
    }
    r.markers.push_back(MarkerFigures{7, {1, 0, -1}, 300, 12, 0.04});
    StraySource s;
    s.position = {0.5, 0, 0.25};
    s.hits = 400;
    r.straySources.push_back(s);
    r.strayImage.size = 2;
    r.strayImage.counts = {0, 3, 1, 0};
    Finding f;
    f.kind = FindingKind::StrayLight;
    f.text = "A \"steady\" light <here> & there\\";
    f.evidence = "line\nbreak";
    f.hasPosition = true;
    r.findings.push_back(f);
    return r;
}

TEST(HealthDocuments, JsonParsesWithItsFigures) {
    const HealthReport r = sample();
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(healthJson(r)), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject top = json.object();
    EXPECT_EQ(top["optical"].toObject()["frames"].toInt(), 600);
    EXPECT_TRUE(top["optical"].toObject()["frameRate"].isNull());
    EXPECT_EQ(top["windows"].toArray().size(), 3);
    EXPECT_EQ(top["windows"].toArray()[2].toObject()["frames"].toInt(), 198);
    EXPECT_EQ(top["markers"].toArray()[0].toObject()["index"].toInt(), 7);
    EXPECT_EQ(top["strayImage"].toObject()["counts"].toArray()[1].toInt(), 3);
    const QJsonObject finding = top["findings"].toArray()[0].toObject();
    EXPECT_EQ(finding["kind"].toString(), "StrayLight");
    EXPECT_EQ(finding["text"].toString().toStdString(), r.findings[0].text);
    EXPECT_EQ(finding["evidence"].toString().toStdString(), "line\nbreak");
}

TEST(HealthDocuments, HtmlIsWellFormedAndSelfContained) {
    const std::string html = healthHtml(sample(), "Health of <node 2>");
    QXmlStreamReader xml(QByteArray::fromStdString(html));
    int svg = 0, text = 0;
    bool findingText = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            svg += xml.name() == QLatin1String("svg");
            // Nothing fetched from elsewhere: no scripts, links, images or sources.
            for (const char* outside : {"script", "link", "img", "iframe"})
                EXPECT_NE(xml.name(), QLatin1String(outside));
            for (const QXmlStreamAttribute& a : xml.attributes())
                EXPECT_NE(a.name(), QLatin1String("src"));
        }
        if (xml.isCharacters() && xml.text().contains(QLatin1String("A \"steady\" light <here> & there\\")))
            findingText = true;
        text += xml.isCharacters();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
    // Eight plots over time, the heat map and the room.
    EXPECT_EQ(svg, 10);
    EXPECT_TRUE(findingText);
    EXPECT_GT(text, 0);
}

} // namespace
