#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <limits>
#include <set>
#include <tuple>

#include "store/app_paths.h"
#include "store/settings_file.h"

using namespace sayvell::store;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path() const { return dir.filePath(QStringLiteral("setinfo.ini")); }

    void put(const QByteArray& bytes) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray contents() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST(AppPaths, FilesLiveInTheExecutableFolder) {
    setAppDirForTesting(QStringLiteral("/opt/sayvell/"));
    EXPECT_EQ(appDir(), QStringLiteral("/opt/sayvell"));
    EXPECT_EQ(settingsPath(), QStringLiteral("/opt/sayvell/setinfo.ini"));
    EXPECT_EQ(databasePath(), QStringLiteral("/opt/sayvell/draft.dat"));
    setAppDirForTesting(QString());
    // Not the working directory: the folder of this test binary.
    EXPECT_EQ(appDir(), QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
}

TEST_F(SettingsFileTest, LookupIgnoresCaseTakesFirstMatchAndStripsQuotes) {
    put("Rate=9\r\n"  // before any section: belongs to none
        "[speaker]\r\n"
        "RATE = 5 \r\n"
        "rate=7\r\n"
        "Name=  \"  quoted  \"  \r\n"
        "Single='x'\r\n"
        "Mixed=\"x'\r\n"
        "Empty=\r\n"
        "[Speaker]\r\n"
        "Volume=80\r\n");
    SettingsFile ini(path());
    EXPECT_EQ(ini.readInteger("Speaker", "Rate", 2), 5);
    EXPECT_EQ(ini.readString("SPEAKER", "name", "-"), QStringLiteral("  quoted  "));
    EXPECT_EQ(ini.readString("Speaker", "Single", "-"), QStringLiteral("x"));
    EXPECT_EQ(ini.readString("Speaker", "Mixed", "-"), QStringLiteral("\"x'"));
    EXPECT_EQ(ini.readString("Speaker", "Empty", "-"), QString());
    // Only the first section of a name is looked at.
    EXPECT_EQ(ini.readInteger("Speaker", "Volume", 120), 120);
    EXPECT_EQ(ini.readString("Memo", "fontname", "MS Sans Serif"), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(SettingsFile(dir.filePath("absent.ini")).readInteger("System", "Delay2", 800), 800);
}

TEST_F(SettingsFileTest, ReadIsCappedAt2047Characters) {
    put("[System]\nMp3bj=" + QByteArray(3000, 'a') + "\n");
    EXPECT_EQ(SettingsFile(path()).readString("System", "Mp3bj", {}).size(), 2047);
}

TEST_F(SettingsFileTest, IntegerAndBooleanForms) {
    const std::vector<std::pair<QByteArray, int>> cases = {
        {"16", 16},
        {"-5", -5},
        {"0x10", 16},
        {"0X1f", 31},
        {"$FF", 255},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"2147483648", -99},
        {"99999999999", -99},
        {"$100000000", -99},
        {"", -99},
        {"abc", -99},
        {"12abc", -99},
        {"1 2", -99},
        {"-", -99},
        {"$", -99},
        {"0x", -99},
        {"true", -99},
    };
    for (const auto& [text, expected] : cases) {
        put("[System]\nReadtimes=" + text + "\n");
        EXPECT_EQ(SettingsFile(path()).readInteger("System", "Readtimes", -99), expected) << text.constData();
    }

    put("[System]\nF7=true\nF9=0\nF11=-1\nPrompt_tone=\n");
    SettingsFile ini(path());
    EXPECT_TRUE(ini.readBool("System", "F7", true));
    EXPECT_FALSE(ini.readBool("System", "F7", false));
    EXPECT_FALSE(ini.readBool("System", "F9", true));
    EXPECT_TRUE(ini.readBool("System", "F11", false));
    EXPECT_TRUE(ini.readBool("System", "Prompt_tone", true));

    ini.writeBool("System", "F7", false);
    ini.writeInteger("System", "Readtimes", -42);
    EXPECT_FALSE(ini.readBool("System", "F7", true));
    EXPECT_EQ(ini.readInteger("System", "Readtimes", 2), -42);
    EXPECT_TRUE(contents().contains("F7=0\n"));
}

TEST_F(SettingsFileTest, WriteInPlaceKeepsEveryOtherByte) {
    const QByteArray before =
        "; kept comment\r\n"
        "[System]\r\n"
        "Unknown = keep me \r\n"
        "Yinping = 24\r\n"
        "garbage line without equals\r\n"
        "\r\n"
        "[Memo]\r\n"
        "fontname=\xb7\x73\xb2\xd3\xa9\xfa\xc5\xe9\r\n";  // 新細明體 in Big5
    put(before);
    SettingsFile(path()).writeInteger("system", "YINPING", 30);
    QByteArray expected = before;
    expected.replace("Yinping = 24", "Yinping =30");
    EXPECT_EQ(contents(), expected);
}

TEST_F(SettingsFileTest, WriteAddsKeysAndSectionsWhereTheyBelong) {
    put("[System]\r\nF7=1\r\n\r\n[Memo]\r\nfontsize=12");  // no newline at the end
    SettingsFile ini(path());
    ini.writeBool("System", "F9", false);
    ini.writeString("Memo", "memocolor", "clTeal");
    ini.writeInteger("Position", "Lastposi", 120);
    EXPECT_EQ(contents(), QByteArray("[System]\r\nF7=1\r\nF9=0\r\n\r\n"
                                     "[Memo]\r\nfontsize=12\r\nmemocolor=clTeal\r\n"
                                     "[Position]\r\nLastposi=120\r\n"));
    EXPECT_EQ(ini.readString("memo", "MEMOCOLOR", {}), QStringLiteral("clTeal"));

    // A missing file is created with the section and key.
    SettingsFile fresh(dir.filePath("new.ini"));
    fresh.writeString("Memo", "memocolor", "clTeal");
    QFile f(fresh.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[Memo]\nmemocolor=clTeal\n"));
}

TEST_F(SettingsFileTest, ValueWithLineBreakCannotAddLines) {
    SettingsFile ini(path());
    ini.writeString("System", "Mp3bj", "/music\n[Speaker]\nRate=15");
    EXPECT_EQ(ini.readInteger("Speaker", "Rate", 2), 2);
    EXPECT_EQ(ini.readString("System", "Mp3bj", {}), QStringLiteral("/music [Speaker] Rate=15"));
}

TEST_F(SettingsFileTest, ChineseValuesAreBig5InTheFile) {
    SettingsFile ini(path());
    const QString folder = QStringLiteral("/home/用戶/背景音樂 中文");
    ini.writeString("System", "Mp3bj", folder);
    ini.writeString("Memo", "fontname", QStringLiteral("新細明體"));
    EXPECT_TRUE(contents().contains("\xa5\xce\xa4\xe1/\xad\x49\xb4\xba\xad\xb5\xbc\xd6 \xa4\xa4\xa4\xe5"));
    EXPECT_TRUE(contents().contains("fontname=\xb7\x73\xb2\xd3\xa9\xfa\xc5\xe9\n"));
    EXPECT_EQ(ini.readString("System", "Mp3bj", {}), folder);
    EXPECT_EQ(ini.readString("Memo", "fontname", {}), QStringLiteral("新細明體"));
}

TEST_F(SettingsFileTest, AValueBig5CannotHoldTurnsTheFileIntoUtf8AndLosesNothing) {
    put("; kept\r\n[Memo]\r\nfontname=\xb7\x73\xb2\xd3\xa9\xfa\xc5\xe9\r\n");
    SettingsFile ini(path());
    const QString folder = QStringLiteral("/home/用戶/音樂😀");
    ini.writeString("System", "Mp3bj", folder);
    EXPECT_TRUE(contents().startsWith(
        "\xEF\xBB\xBF; kept\r\n[Memo]\r\nfontname=" + QStringLiteral("新細明體").toUtf8() + "\r\n"))
        << contents().toStdString();
    EXPECT_EQ(ini.readString("System", "Mp3bj", {}), folder);
    EXPECT_EQ(ini.readString("Memo", "fontname", {}), QStringLiteral("新細明體"));
    // It stays UTF-8 from then on, also for values Big5 could hold.
    ini.writeString("Memo", "fontname", QStringLiteral("標楷體"));
    EXPECT_TRUE(contents().contains("fontname=" + QStringLiteral("標楷體").toUtf8() + "\r\n"));
    EXPECT_EQ(ini.readString("System", "Mp3bj", {}), folder);
}

// Writing back the value the file holds leaves the file alone: the start writes some values
// back every time, and each real write is a sync to disk.
TEST_F(SettingsFileTest, TheSameValueAgainLeavesTheFileAsItIs) {
    put("[Memo]\r\nmemocolor=$00747400\r\n");
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);
    SettingsFile(path()).writeString("Memo", "memocolor", QStringLiteral("$00747400"));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(contents(), QByteArray("[Memo]\r\nmemocolor=$00747400\r\n"));
    SettingsFile(path()).writeString("Memo", "memocolor", QStringLiteral("$00FFFFFF"));
    EXPECT_EQ(contents(), QByteArray("[Memo]\r\nmemocolor=$00FFFFFF\r\n"));
}

TEST_F(SettingsFileTest, KeepsThePermissionsOfTheFile) {
    put("[System]\nF7=1\n");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path(), mode));
    SettingsFile(path()).writeBool("System", "F7", false);
    // Owner, group and other bits (the "user" bits of QFileDevice describe the caller, not the file).
    EXPECT_EQ(QFile::permissions(path()) & 0x7077, mode & 0x7077);
}

TEST_F(SettingsFileTest, RefusedWriteNamesTheFullPath) {
    // Root is not stopped by permissions; a regular file in place of the folder stops anyone.
    put("not a folder");
    const QString blocked = path() + QStringLiteral("/setinfo.ini");
    SettingsFile ini(blocked);
    try {
        ini.writeInteger("Speaker", "Rate", 3);
        FAIL() << "write did not fail";
    } catch (const SettingsWriteError& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + blocked).toUtf8().constData());
    }
    // A folder where the file should be.
    EXPECT_THROW(SettingsFile(dir.path()).writeBool("System", "F7", true), SettingsWriteError);
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST_F(SettingsFileTest, DamagedFilesGiveDefaultsAndAreNotLost) {
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char& c : garbage) c = char(rng.bounded(256));
    put(garbage);
    SettingsFile ini(path());
    EXPECT_EQ(ini.readInteger("Speaker", "Rate", 2), 2);
    ini.writeInteger("Speaker", "Rate", 4);
    EXPECT_EQ(ini.readInteger("Speaker", "Rate", 2), 4);
    EXPECT_TRUE(contents().startsWith(garbage));

    // Far too large to be a settings file: defaults, and a write leaves it alone.
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Speaker]\nRate=9\n");
        ASSERT_TRUE(f.resize(50 * 1024 * 1024));
    }
    EXPECT_EQ(ini.readInteger("Speaker", "Rate", 2), 2);
    EXPECT_THROW(ini.writeInteger("Speaker", "Rate", 5), SettingsWriteError);
    EXPECT_EQ(QFileInfo(path()).size(), 50 * 1024 * 1024);
}

TEST(Colors, EveryNameRoundTrips) {
    const auto names = namedColors();
    ASSERT_EQ(names.size(), 52u);
    std::set<quint32> values;
    for (const NamedColor& c : names) {
        values.insert(c.value);
        quint32 v = 0;
        ASSERT_TRUE(textToColor(QString::fromLatin1(c.name).toUpper(), &v)) << c.name;
        EXPECT_EQ(v, c.value) << c.name;
        EXPECT_EQ(colorToText(v), QLatin1String(c.name));
    }
    EXPECT_EQ(values.size(), 52u);

    EXPECT_EQ(*namedColor("clTeal"), 0x00808000u);
    EXPECT_EQ(*namedColor("clSkyBlue"), rgbToColor(166, 202, 240));
    EXPECT_EQ(*namedColor("clMenuBar"), 0xFF00001Eu);
    EXPECT_EQ(*namedColor("clNone"), 0x1FFFFFFFu);
    EXPECT_EQ(*namedColor("clDefault"), 0x20000000u);
    EXPECT_EQ(systemColorIndex(*namedColor("clBtnFace")), 15);
    EXPECT_EQ(systemColorIndex(kColorTeal), -1);
    EXPECT_EQ(systemColorIndex(kColorNone), -1);
}

TEST(Colors, OtherColoursAreHexAndUnknownTextIsRefused) {
    const quint32 picked = rgbToColor(0x40, 0x80, 0xFF);
    EXPECT_EQ(colorToText(picked), QStringLiteral("$00FF8040"));
    quint32 v = 0;
    ASSERT_TRUE(textToColor(QStringLiteral("$00FF8040"), &v));
    EXPECT_EQ(v, picked);
    int r, g, b;
    colorToRgb(v, &r, &g, &b);
    EXPECT_EQ(std::tie(r, g, b), std::make_tuple(0x40, 0x80, 0xFF));
    ASSERT_TRUE(textToColor(QStringLiteral("255"), &v));
    EXPECT_EQ(colorToText(v), QStringLiteral("clRed"));
    ASSERT_TRUE(textToColor(QStringLiteral("0x00808000"), &v));
    EXPECT_EQ(colorToText(v), QStringLiteral("clTeal"));

    v = 1234;
    for (const char* bad : {"clPink", "", "teal", "$GG", "#FF0000"}) {
        EXPECT_FALSE(textToColor(QString::fromLatin1(bad), &v)) << bad;
        EXPECT_EQ(v, 1234u);
    }
}

TEST(FontStyle, WrittenInFixedOrderAndReadByName) {
    EXPECT_EQ(fontStyleToText({}), QStringLiteral("[]"));
    EXPECT_EQ(fontStyleToText({true, false, true, false}), QStringLiteral("[fsBold,fsUnderline]"));
    EXPECT_EQ(fontStyleToText({true, true, true, true}), QStringLiteral("[fsBold,fsItalic,fsUnderline,fsStrikeOut]"));

    EXPECT_EQ(textToFontStyle("[fsItalic]"), (FontStyles{false, true, false, false}));
    EXPECT_EQ(textToFontStyle("fsBold fsStrikeOut"), (FontStyles{true, false, false, true}));
    EXPECT_EQ(textToFontStyle("bold"), FontStyles{});
    EXPECT_EQ(textToFontStyle("[FSBOLD]"), FontStyles{});
    for (int bits = 0; bits < 16; ++bits) {
        const FontStyles s{bool(bits & 1), bool(bits & 2), bool(bits & 4), bool(bits & 8)};
        EXPECT_EQ(textToFontStyle(fontStyleToText(s)), s);
    }
}

}  // namespace
