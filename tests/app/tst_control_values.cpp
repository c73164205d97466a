// Hexadecimal colour text and slider conversions.

#include "app/ControlValues.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace lumivex;

class ControlValuesTest : public QObject {
    Q_OBJECT
private slots:
    void parseHexColor_data();
    void parseHexColor();
    void formatHexColor_data();
    void formatHexColor();
    void formatHexDigitsHasNoPadding_data();
    void formatHexDigitsHasNoPadding();
    void everySliderPositionRoundTrips_data();
    void everySliderPositionRoundTrips();
    void storedValuesAreFloat32();
    void positionsFromValues_data();
    void positionsFromValues();
};

void ControlValuesTest::parseHexColor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("FF is pure red") << "FF" << 0x0000FFu;
    QTest::newRow("FF0000 is pure blue") << "FF0000" << 0xFF0000u;
    QTest::newRow("default text colour") << "202090" << 0x202090u;
    QTest::newRow("blank counts as zero digit") << "1 2" << 0x102u;
    QTest::newRow("number sign counts as zero digit") << "#FF" << 0xFFu;
    QTest::newRow("letter beyond F") << "G1" << 0x01u;
    QTest::newRow("lower case is no digit") << "ff" << 0x00u;
    QTest::newRow("empty") << "" << 0x0u;
    QTest::newRow("seven digits set the top byte") << "1000000" << 0x1000000u;
    QTest::newRow("only the last eight count") << "123456789" << 0x23456789u;
    QTest::newRow("eight F") << "FFFFFFFF" << 0xFFFFFFFFu;
    QTest::newRow("umlaut counts as zero digit") << QString::fromUtf8("1Ä") << 0x10u;
    QTest::newRow("character beyond the BMP is one zero digit") << QString::fromUtf8("1\U0001F600") << 0x10u;
}

void ControlValuesTest::parseHexColor()
{
    QFETCH(QString, text);
    QFETCH(quint32, expected);
    QCOMPARE(lumivex::parseHexColor(text.toStdU32String()), expected);
}

void ControlValuesTest::formatHexColor_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0u << "000000";
    QTest::newRow("red") << 0xFFu << "0000FF";
    QTest::newRow("grey") << 0xF0F0F0u << "F0F0F0";
    QTest::newRow("seven digits are cut to the first six") << 0x1234567u << "123456";
    QTest::newRow("eight digits") << 0xFFFFFFFFu << "FFFFFF";
    QTest::newRow("upper case") << 0xABCDEFu << "ABCDEF";
}

void ControlValuesTest::formatHexColor()
{
    QFETCH(quint32, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(lumivex::formatHexColor(value)), expected);
}

void ControlValuesTest::formatHexDigitsHasNoPadding_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0u << "0";
    QTest::newRow("red") << 0xFFu << "FF";
    QTest::newRow("grey") << 0x707070u << "707070";
    QTest::newRow("all eight digits") << 0x12345678u << "12345678";
}

void ControlValuesTest::formatHexDigitsHasNoPadding()
{
    QFETCH(quint32, value);
    QFETCH(QString, expected);
    const std::string digits = formatHexDigits(value);
    QCOMPARE(QString::fromStdString(digits), expected);
    // The unpadded digits always read back as the value they came from.
    QCOMPARE(lumivex::parseHexColor(QString::fromStdString(digits).toStdU32String()), value);
}

void ControlValuesTest::everySliderPositionRoundTrips_data()
{
    QTest::addColumn<int>("slider");
    QTest::addColumn<int>("maximum");
    QTest::newRow("36 text elevation") << 36 << 400;
    QTest::newRow("47 brightness up") << 47 << 100;
    QTest::newRow("48 brightness down") << 48 << 100;
    QTest::newRow("56 reflection fade step") << 56 << 150;
}

void ControlValuesTest::everySliderPositionRoundTrips()
{
    QFETCH(int, slider);
    QFETCH(int, maximum);
    for (int position = 0; position <= maximum; ++position) {
        int back = -1;
        switch (slider) {
        case 36:
            back = positionFromTextElevation(textElevationFromPosition(position));
            break;
        case 47:
        case 48:
            back = positionFromBrightness(brightnessFromPosition(position));
            break;
        case 56:
            back = positionFromFadeStep(fadeStepFromPosition(position));
            break;
        }
        QVERIFY2(back == position, qPrintable(QStringLiteral("position %1 came back as %2").arg(position).arg(back)));
    }
}

void ControlValuesTest::storedValuesAreFloat32()
{
    QCOMPARE(textElevationFromPosition(160), 0.8f);
    QCOMPARE(textElevationFromPosition(1), static_cast<float>(1 / 200.0));
    QCOMPARE(brightnessFromPosition(60), 0.6f);
    QCOMPARE(brightnessFromPosition(33), static_cast<float>(33 / 100.0));
    QCOMPARE(fadeStepFromPosition(0), 0.001f);
    // Exponent rounded to float first, then the power rounded again.
    const float exponent = static_cast<float>(85 / 100.0 - 3.0);
    QCOMPARE(fadeStepFromPosition(85), static_cast<float>(std::pow(10.0, static_cast<double>(exponent))));
    QVERIFY(std::abs(fadeStepFromPosition(85) - 0.0070795f) < 1e-7f);
    QVERIFY(std::abs(fadeStepFromPosition(150) - 0.0316228f) < 1e-6f);
}

void ControlValuesTest::positionsFromValues_data()
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr int kMin = std::numeric_limits<std::int32_t>::min();
    QTest::addColumn<int>("slider");
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("default elevation") << 36 << 0.8f << 160;
    QTest::newRow("elevation beyond the range") << 36 << 3.0f << 600;
    QTest::newRow("elevation NaN") << 36 << nan << kMin;
    QTest::newRow("elevation out of int32") << 36 << 1e30f << kMin;
    QTest::newRow("default brightness up") << 47 << 0.6f << 60;
    QTest::newRow("default brightness down") << 48 << 0.8f << 80;
    QTest::newRow("brightness infinite") << 47 << inf << kMin;
    QTest::newRow("default fade step between steps") << 56 << 0.007f << 85;
    QTest::newRow("fade step zero") << 56 << 0.0f << kMin;
    QTest::newRow("fade step negative") << 56 << -0.5f << kMin;
    QTest::newRow("fade step infinite") << 56 << inf << kMin;
}

void ControlValuesTest::positionsFromValues()
{
    QFETCH(int, slider);
    QFETCH(float, value);
    QFETCH(int, expected);
    int position = 0;
    if (slider == 36)
        position = positionFromTextElevation(value);
    else if (slider == 56)
        position = positionFromFadeStep(value);
    else
        position = positionFromBrightness(value);
    QCOMPARE(position, expected);
}

QTEST_APPLESS_MAIN(ControlValuesTest)
#include "tst_control_values.moc"
