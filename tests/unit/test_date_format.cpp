// The "%Date%" token: the eight formats against a fixed moment and locale, the pattern rules
// and the substitution rules.
#include "reading/date_format.h"

#include <gtest/gtest.h>

using namespace sayvell::reading;

namespace {

// Monday, 7 April 2014, 09:05:03.
const QDateTime kMorning(QDate(2014, 4, 7), QTime(9, 5, 3));
const QDateTime kAfternoon(QDate(2014, 4, 7), QTime(14, 3, 9));

const DateFormatter& taiwan() {
    static const DateFormatter f(QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan));
    return f;
}

}  // namespace

TEST(DateFormat, TheEightTypesOnATaiwaneseSystem) {
    const QStringList expected{
        QStringLiteral("2014-04-07"),
        QStringLiteral("9:05:03"),
        QStringLiteral("上午9:05"),
        QStringLiteral("04月07日"),
        QStringLiteral("2014-04-07 09:05"),
        QStringLiteral("週一"),
        QStringLiteral("4月"),
        QStringLiteral("2014年04月07日 星期一"),
    };
    for (int type = 1; type <= 8; ++type)
        EXPECT_EQ(taiwan().formatType(type, kMorning), expected[type - 1]) << "type " << type;
    EXPECT_EQ(taiwan().formatType(3, kAfternoon), QStringLiteral("下午2:03"));
    EXPECT_EQ(taiwan().formatType(2, kAfternoon), QStringLiteral("14:03:09"));
}

TEST(DateFormat, NamesAndTimeFormsComeFromTheLocaleGiven) {
    const DateFormatter c(QLocale::c());
    EXPECT_EQ(c.formatType(6, kMorning), QStringLiteral("Mon"));
    EXPECT_EQ(c.formatType(7, kMorning), QStringLiteral("April"));
    EXPECT_EQ(c.formatType(8, kMorning), QStringLiteral("2014年04月07日 Monday"));
    // ":" is the locale's time separator, not a literal colon.
    const DateFormatter finnish(QLocale(QLocale::Finnish, QLocale::Finland));
    EXPECT_EQ(finnish.timeSeparator(), QStringLiteral("."));
    EXPECT_EQ(finnish.formatType(2, kMorning), QStringLiteral("9.05.03"));
    EXPECT_EQ(finnish.formatType(5, kMorning), QStringLiteral("2014-04-07 09.05"));
}

TEST(DateFormat, TypeFourIsTakenFromMidnightOfThatDay) {
    EXPECT_EQ(taiwan().formatType(4, QDateTime(QDate(2014, 12, 31), QTime(23, 59, 59))), QStringLiteral("12月31日"));
}

TEST(DateFormat, MmIsMinutesOnlyRightAfterAnHourElement) {
    const DateFormatter c(QLocale::c());
    EXPECT_EQ(c.format("hh:mm", kMorning), "09:05");
    EXPECT_EQ(c.format("yyyy-mm-dd hh:mm", kMorning), "2014-04-07 09:05");
    EXPECT_EQ(c.format(QStringLiteral("mm月dd日"), kMorning), QStringLiteral("04月07日"));
    // Blanks and separators keep the hour context; a double-byte character ends it.
    EXPECT_EQ(c.format("h - mm", kMorning), "9 - 05");
    EXPECT_EQ(c.format(QStringLiteral("h點mm"), kMorning), QStringLiteral("9點04"));
    // Any other letter element in between ends it too.
    EXPECT_EQ(c.format("hh dd mm", kMorning), "09 07 04");
    // Letters are read without regard to case.
    EXPECT_EQ(c.format("YYYY-MM-DD HH:MM:SS", kMorning), "2014-04-07 09:05:03");
    EXPECT_EQ(c.format("d/m/yy h:m:s", kMorning), "7/4/14 9:5:3");
}

TEST(DateFormat, QuotedTextAndOtherCharactersAreCopied) {
    const DateFormatter c(QLocale::c());
    EXPECT_EQ(c.format("yyyy'年 mm dd'", kMorning), QStringLiteral("2014年 mm dd"));
    EXPECT_EQ(c.format("\"at\" hh", kMorning), "at 09");
    EXPECT_EQ(c.format("hh'x'mm", kMorning), "09x05");
    // An unterminated quote copies to the end instead of running past it.
    EXPECT_EQ(c.format("yyyy'abc", kMorning), "2014abc");
    EXPECT_EQ(c.format(QStringLiteral("[yyyy]·𠀋"), kMorning), QStringLiteral("[2014]·𠀋"));
    EXPECT_EQ(c.format(QString(), kMorning), QString());
}

TEST(DateFormat, TokenIsReplacedOnlyWhenWrittenExactlyAndThenInAnyCase) {
    const DateFormatter& f = taiwan();
    EXPECT_EQ(f.substitute(QStringLiteral("%Date%"), 2, kAfternoon), QStringLiteral("14:03:09"));
    EXPECT_EQ(f.substitute(QStringLiteral("今天%date%。"), 1, kMorning), QStringLiteral("今天%date%。"));
    EXPECT_EQ(f.substitute(QStringLiteral("%DATE%"), 1, kMorning), QStringLiteral("%DATE%"));
    EXPECT_EQ(f.substitute(QStringLiteral("%Date%，%date%"), 1, kMorning), QStringLiteral("2014-04-07，2014-04-07"));
    EXPECT_EQ(f.substitute(QStringLiteral("從%Date%到%Date%"), 5, kMorning),
              QStringLiteral("從2014-04-07 09:05到2014-04-07 09:05"));
}

TEST(DateFormat, TypeOutsideOneToEightLeavesTheTokenAsWritten) {
    for (int type : {0, 9, -1, 1000})
        EXPECT_EQ(taiwan().substitute(QStringLiteral("現在%Date%"), type, kMorning), QStringLiteral("現在%Date%"));
    EXPECT_TRUE(dateFormatPattern(9).isEmpty());
    EXPECT_TRUE(taiwan().formatType(0, kMorning).isEmpty());
}
