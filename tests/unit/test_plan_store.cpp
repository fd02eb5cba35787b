// The plan in draft.dat, its log, its JSON form and holiday calendars: what reaches the file,
// and that refused input changes nothing.
#include "plan/holiday_ics.h"
#include "plan/plan_json.h"
#include "plan/plan_store.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace sayvell::plan;

namespace {

void runSql(const QString& path, const QByteArray& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statements.constData(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

Entry sample(const char* name) {
    Entry e;
    e.name = QString::fromUtf8(name);
    e.text = QStringLiteral("各位顧客，\"今日\"優惠，%Date%");
    e.times = {9 * 3600, 21 * 3600 + 45 * 60};
    e.everyMinutes = 30;
    e.fromSecond = 10 * 3600;
    e.toSecond = 21 * 3600;
    e.weekdays = 0x1f;
    e.chime = kBuiltinChime;
    e.repeat = 2;
    e.gapSeconds = 2;
    e.sink = QStringLiteral("zone2");
    e.firstDate = QDate(2026, 1, 1);
    e.onDaysOff = true;
    return e;
}

class PlanStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile schema(QStringLiteral(SAYVELL_SOURCE_DIR "/resources/draft.sql"));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        runSql(path, schema.readAll());
    }
    std::unique_ptr<PlanStore> openStore() {
        QString error;
        auto s = PlanStore::open(path, &error);
        EXPECT_TRUE(s) << error.toStdString();
        return s;
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("draft.dat"));
};

}  // namespace

TEST_F(PlanStoreTest, APlanSurvivesTheFileAndAnOlderFileGetsTheTables) {
    runSql(path, "DROP TABLE plan_entry; DROP TABLE plan_exception; DROP TABLE plan_log; DROP TABLE plan_state");
    Plan p;
    p.entries = {sample("開門"), sample("打烊")};
    p.entries[1].enabled = false;
    p.entries[1].textFile = dir.filePath(QStringLiteral("closing.txt"));
    p.exceptions = {{QDate(2026, 12, 25), DayKind::DayOff, 1, QStringLiteral("聖誕節")},
                    {QDate(2026, 12, 26), DayKind::WorkingDay, 5, QStringLiteral("補班")}};
    {
        auto s = openStore();
        ASSERT_TRUE(s);
        ASSERT_TRUE(s->save(&p));
        EXPECT_GT(p.entries[0].id, 0);
    }
    Plan back;
    ASSERT_TRUE(openStore()->load(&back));
    ASSERT_EQ(back.entries.size(), 2u);
    const Entry& a = back.entries[0];
    EXPECT_EQ(a.id, p.entries[0].id);
    EXPECT_EQ(a.text, p.entries[0].text);
    EXPECT_EQ(a.times, p.entries[0].times);
    EXPECT_EQ(a.everyMinutes, 30);
    EXPECT_EQ(a.toSecond, 21 * 3600);
    EXPECT_EQ(a.weekdays, 0x1f);
    EXPECT_EQ(a.sink, QStringLiteral("zone2"));
    EXPECT_EQ(a.firstDate, QDate(2026, 1, 1));
    EXPECT_FALSE(a.lastDate.isValid());
    EXPECT_TRUE(a.onDaysOff);
    EXPECT_FALSE(back.entries[1].enabled);
    EXPECT_EQ(back.entries[1].textFile, p.entries[1].textFile);
    ASSERT_EQ(back.exceptions.size(), 2u);
    EXPECT_EQ(back.exceptions[1].kind, DayKind::WorkingDay);
    EXPECT_EQ(back.exceptions[1].followsWeekday, 5);

    // A bad entry is refused with its problem and the stored plan stays whole.
    Plan bad = back;
    bad.entries[0].everyMinutes = 30;
    bad.entries[0].fromSecond = 12 * 3600;
    bad.entries[0].toSecond = 11 * 3600;
    const auto r = openStore()->save(&bad);
    EXPECT_FALSE(r);
    EXPECT_TRUE(r.message.contains(QStringLiteral("結束時間早於開始時間"))) << r.message.toStdString();
    Plan still;
    ASSERT_TRUE(openStore()->load(&still));
    EXPECT_EQ(still.entries[0].fromSecond, 10 * 3600);
}

TEST_F(PlanStoreTest, EntriesThatCannotPlayAreRefusedWithAClearMessage) {
    auto check = [](Entry e, const char* expected) {
        const QString why = validateEntry(e);
        EXPECT_TRUE(why.contains(QString::fromUtf8(expected))) << why.toStdString() << " / " << expected;
    };
    Entry e = sample("甲");
    EXPECT_TRUE(validateEntry(e).isEmpty());
    Entry empty = e;
    empty.text = QStringLiteral("   ");
    check(empty, "沒有要播報的文字");
    Entry zero = e;
    zero.times.clear();
    zero.everyMinutes = 0;
    check(zero, "沒有播報時間");
    Entry never = e;
    never.weekdays = 0;
    check(never, "沒有選擇星期幾");
    Entry dates = e;
    dates.lastDate = QDate(2025, 1, 1);
    check(dates, "結束日期早於開始日期");
}

TEST_F(PlanStoreTest, TenThousandEntriesAndAYearOfLogStayQuick) {
    auto s = openStore();
    Plan big;
    for (int i = 0; i < 10000; ++i) big.entries.push_back(sample("項目"));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(s->save(&big));
    Plan back;
    ASSERT_TRUE(s->load(&back));
    EXPECT_EQ(back.entries.size(), 10000u);

    runSql(path,
           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 119999)"
           " INSERT INTO plan_log (planned, played, entry_id, entry_name, status) SELECT 1767225600 + i * 263,"
           " 1767225601 + i * 263, 1, '優惠', 0 FROM n");
    EXPECT_EQ(s->logCount(), 120000);
    t.restart();
    const auto day = s->log(1767225600 + 200 * 86400, 1767225600 + 201 * 86400);
    EXPECT_LT(t.elapsed(), 200);
    EXPECT_NEAR(double(day.size()), 86400.0 / 263, 1.0);
    const QByteArray csv = logCsv(day);
    EXPECT_TRUE(csv.startsWith("預定時間,實際時間,項目,結果,說明\n"));
    EXPECT_EQ(csv.count('\n'), qsizetype(day.size()) + 1);
    EXPECT_TRUE(csv.contains(",優惠,已播放,"));
}

TEST(PlanJson, RoundTripAndRefusals) {
    Plan p;
    p.entries = {sample("開門")};
    p.exceptions = {{QDate(2026, 12, 26), DayKind::WorkingDay, 5, QStringLiteral("補班")}};
    const QByteArray json = planToJson(p);
    Plan back;
    QString error;
    ASSERT_TRUE(planFromJson(json, &back, &error)) << error.toStdString();
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].text, p.entries[0].text);
    EXPECT_EQ(back.entries[0].times, p.entries[0].times);
    EXPECT_EQ(back.entries[0].chime, kBuiltinChime);
    EXPECT_EQ(back.entries[0].weekdays, 0x1f);
    EXPECT_EQ(back.exceptions[0].followsWeekday, 5);

    Plan kept = back;
    auto refused = [&](QByteArray data, const char* message) {
        EXPECT_FALSE(planFromJson(data, &kept, &error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(message))) << error.toStdString();
        EXPECT_EQ(kept.entries.size(), 1u);
    };
    refused(json.left(json.size() / 2), "計畫檔損壞");
    QByteArray newer = json;
    newer.replace("\"version\": 1", "\"version\": 7");
    refused(newer, "較新版本");
    QByteArray every0 = json;
    every0.replace("\"minutes\": 30", "\"minutes\": 0");
    refused(every0, "第 1 項");
    QByteArray badTime = json;
    badTime.replace("\"21:45\"", "\"25:45\"");
    refused(badTime, "25:45");
}

TEST(HolidayIcs, ARealWorldCalendarAndABrokenOne) {
    const QByteArray ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//Holidays//ZH\r\n"
        "BEGIN:VEVENT\r\nUID:1\r\nDTSTART;VALUE=DATE:20270101\r\nDTEND;VALUE=DATE:20270102\r\nSUMMARY:元旦\r\nEND:"
        "VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:2\r\nDTSTART;VALUE=DATE:20270205\r\nDTEND;VALUE=DATE:20270209\r\nSUMMARY:春節\r\n"
        " 連假\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:3\r\nDTSTART;VALUE=DATE:20261010\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:國慶日\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    std::vector<Exception> days;
    QString error;
    ASSERT_TRUE(daysOffFromIcs(ics, 2026, 2028, &days, &error)) << error.toStdString();
    std::vector<QDate> dates;
    for (const auto& d : days) dates.push_back(d.date);
    EXPECT_EQ(dates,
              (std::vector<QDate>{QDate(2026, 10, 10), QDate(2027, 1, 1), QDate(2027, 2, 5), QDate(2027, 2, 6),
                                  QDate(2027, 2, 7), QDate(2027, 2, 8), QDate(2027, 10, 10), QDate(2028, 10, 10)}));
    EXPECT_EQ(days[2].note, QStringLiteral("春節連假"));

    Plan p;
    p.exceptions = {{QDate(2027, 1, 1), DayKind::WorkingDay, 5, {}}};
    mergeDaysOff(&p, days);
    EXPECT_EQ(p.exceptions.size(), days.size());
    EXPECT_EQ(p.exceptions[1].kind, DayKind::WorkingDay);

    QByteArray broken = ics;
    broken.replace("SUMMARY:元旦\r\n", "SUMMARY:元旦\r\nthis is not a line\r\n");
    days.clear();
    EXPECT_FALSE(daysOffFromIcs(broken, 2026, 2028, &days, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("第 9 行"))) << error.toStdString();
    EXPECT_TRUE(days.empty());
    QByteArray unclosed = ics;
    unclosed.replace("END:VCALENDAR\r\n", "");
    EXPECT_FALSE(daysOffFromIcs(unclosed, 2026, 2028, &days, &error));
    QByteArray noStart = ics;
    noStart.replace("DTSTART;VALUE=DATE:20270101\r\n", "");
    EXPECT_FALSE(daysOffFromIcs(noStart, 2026, 2028, &days, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("第 4 行"))) << error.toStdString();
}
