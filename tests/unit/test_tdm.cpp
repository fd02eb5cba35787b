#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include "store/tdm.h"

using namespace sayvell::store;

namespace {

// Runs SQL on the file with a connection of its own, as another program would.
QString sql(const QString& path, const QString& statements) {
    sqlite3* db = nullptr;
    QString result;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) == SQLITE_OK) {
        char* err = nullptr;
        auto collect = [](void* out, int n, char** values, char**) {
            auto* text = static_cast<QString*>(out);
            for (int i = 0; i < n; ++i) {
                if (!text->isEmpty()) text->append(u'|');
                text->append(values[i] ? QString::fromUtf8(values[i]) : QStringLiteral("NULL"));
            }
            return 0;
        };
        if (sqlite3_exec(db, statements.toUtf8().constData(), collect, &result, &err) != SQLITE_OK) {
            ADD_FAILURE() << err;
            sqlite3_free(err);
        }
    }
    sqlite3_close(db);
    return result;
}

class TdmTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile schema(QStringLiteral(SAYVELL_SOURCE_DIR "/resources/draft.sql"));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        sql(path, QString::fromUtf8(schema.readAll()));
    }

    std::unique_ptr<TDM> openDb() {
        QString error;
        auto tdm = TDM::open(path, &error);
        EXPECT_TRUE(tdm) << error.toStdString();
        if (tdm) tdm->setClock([this] { return clock; });
        return tdm;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("draft.dat"));
    QDateTime clock{QDate(2024, 3, 1), QTime(9, 0)};
};

TEST_F(TdmTest, RefusesAnythingButTheDatabase) {
    QString error;
    const QString missing = dir.filePath(QStringLiteral("none.dat"));
    EXPECT_FALSE(TDM::open(missing, &error));
    EXPECT_FALSE(QFile::exists(missing));  // never created

    const QString text = dir.filePath(QStringLiteral("text.dat"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    EXPECT_FALSE(TDM::open(text, &error));

    const QString empty = dir.filePath(QStringLiteral("empty.dat"));
    QFile(empty).open(QIODevice::WriteOnly);
    EXPECT_FALSE(TDM::open(empty, &error));

    const QString wrong = dir.filePath(QStringLiteral("wrong.dat"));
    sql(wrong, QStringLiteral("CREATE TABLE history(filename TEXT, opendate TEXT);"
                              "CREATE TABLE delaytime(name TEXT, descript TEXT, delaytime INTEGER);"));
    EXPECT_FALSE(TDM::open(wrong, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("candelete"))) << error.toStdString();

    EXPECT_FALSE(TDM::open(dir.path(), &error));
    EXPECT_TRUE(openDb());
}

TEST_F(TdmTest, DeliveredPauseTableReadsInOrder) {
    auto tdm = openDb();
    QString delimiters;
    DelayArray delays;
    delays.fill(-1);
    tdm->q_delaytime.readAll(&delimiters, &delays);
    EXPECT_EQ(delimiters, QStringLiteral("。；：？！，,;:?!"));
    const DelayArray expected{600, 400, 300, 600, 600, 250, 250, 400, 300, 600, 600};
    EXPECT_EQ(delays, expected);
    EXPECT_EQ(tdm->q_delaytime.rows().front().name, QStringLiteral("句號"));

    // System rows cannot be deleted, from the first to the last.
    do {
        const DbResult r = tdm->q_delaytime.deleteCurrent();
        EXPECT_FALSE(r);
        EXPECT_EQ(r.message, kSystemRowMessage);
    } while (tdm->q_delaytime.next());
    EXPECT_EQ(sql(path, "SELECT count(*) FROM delaytime"), QStringLiteral("11"));
}

TEST_F(TdmTest, MarksAreTrimmedAndBadPausesReadAsZero) {
    sql(path, QStringLiteral("INSERT INTO delaytime VALUES('頓號', ' 、 ', 'abc', 1);"
                             "INSERT INTO delaytime VALUES('x', '\t—\r\n', -5, 1);"
                             "INSERT INTO delaytime VALUES('空', '', 700, NULL);"
                             "INSERT INTO delaytime VALUES('全角空格', '　', 100, 1);"));
    auto tdm = openDb();
    QString delimiters;
    DelayArray delays;
    tdm->q_delaytime.readAll(&delimiters, &delays);
    EXPECT_TRUE(delimiters.endsWith(QStringLiteral("!、—　"))) << delimiters.toStdString();
    EXPECT_EQ(delays[11], 0);
    EXPECT_EQ(delays[12], 0);
    EXPECT_EQ(delays[13], 700);  // an empty mark still holds its place
    EXPECT_EQ(delays[14], 100);
    EXPECT_FALSE(tdm->q_delaytime.rows()[13].candelete);  // an unset flag protects the row
    EXPECT_EQ(tdm->q_delaytime.marks().size(), 14u);
}

TEST_F(TdmTest, AddedRowsCanBeDeletedAndTheTableStopsAtThirty) {
    auto tdm = openDb();
    auto& table = tdm->q_delaytime;
    ASSERT_TRUE(table.add(QStringLiteral("頓號"), QStringLiteral("、"), 200));
    EXPECT_EQ(table.currentIndex(), 11);
    EXPECT_TRUE(table.current()->candelete);
    EXPECT_EQ(sql(path, "SELECT name, descript, delaytime, candelete FROM delaytime WHERE rowid=12"),
              QStringLiteral("頓號|、|200|1"));
    ASSERT_TRUE(table.deleteCurrent());
    EXPECT_EQ(table.count(), 11);
    EXPECT_EQ(sql(path, "SELECT count(*) FROM delaytime"), QStringLiteral("11"));

    for (int i = table.count(); i < kMaxDelayRows; ++i)
        ASSERT_TRUE(table.add(QStringLiteral("n%1").arg(i), QStringLiteral("#%1").arg(i), i));
    const DbResult full = table.add(QStringLiteral("多"), QStringLiteral("~"), 1);
    EXPECT_FALSE(full);
    EXPECT_EQ(full.message, kTableFullMessage);
    EXPECT_EQ(sql(path, "SELECT count(*) FROM delaytime"), QStringLiteral("30"));

    QString delimiters;
    DelayArray delays;
    table.readAll(&delimiters, &delays);
    EXPECT_TRUE(delimiters.endsWith(QStringLiteral("#28#29")));
    EXPECT_EQ(delays[29], 29);
}

TEST_F(TdmTest, RowsPastTheThirtiethAreIgnored) {
    for (int i = 0; i < 25; ++i)
        sql(path, QStringLiteral("INSERT INTO delaytime VALUES('n', '%1', %2, 1)").arg(QChar(u'a' + i)).arg(i + 1));
    auto tdm = openDb();
    QString delimiters;
    DelayArray delays;
    tdm->q_delaytime.readAll(&delimiters, &delays);
    EXPECT_TRUE(delimiters.endsWith(u"!abcdefghijklmnopqrs")) << delimiters.toStdString();
    EXPECT_EQ(delays[29], 19);
    EXPECT_EQ(tdm->q_delaytime.marks().size(), 30u);
}

TEST_F(TdmTest, QuotesAndEditsAreStoredAsGiven) {
    {
        auto tdm = openDb();
        auto& table = tdm->q_delaytime;
        ASSERT_TRUE(table.add(QStringLiteral("it's"), QStringLiteral("'"), 100));
        ASSERT_TRUE(table.add(QStringLiteral("\"q\""), QStringLiteral("\"');--"), 50));
        ASSERT_TRUE(table.setCurrentIndex(0));
        ASSERT_TRUE(table.setCurrentName(QStringLiteral("全角句號")));
        ASSERT_TRUE(table.setCurrentDelay(900));
    }
    auto tdm = openDb();
    const auto& rows = tdm->q_delaytime.rows();
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0].name, QStringLiteral("全角句號"));
    EXPECT_EQ(rows[0].delaytime, 900);
    EXPECT_EQ(rows[11].name, QStringLiteral("it's"));
    EXPECT_EQ(rows[11].descript, QStringLiteral("'"));
    EXPECT_EQ(rows[12].name, QStringLiteral("\"q\""));
    EXPECT_EQ(rows[12].descript, QStringLiteral("\"');--"));
}

TEST_F(TdmTest, HistoryIsMostRecentFirst) {
    sql(path, QStringLiteral("INSERT INTO history VALUES('/a.txt', '2024-01-01T10:00:00.000');"
                             "INSERT INTO history VALUES('/c.txt', '2024-02-01T09:00:00.000');"
                             "INSERT INTO history VALUES('', '2024-05-01T09:00:00.000');"
                             "INSERT INTO history VALUES(NULL, '2024-05-01T09:00:00.000');"
                             "INSERT INTO history VALUES('/b.txt', '2024-01-15T08:00:00.000');"));
    auto tdm = openDb();
    EXPECT_EQ(tdm->Q_history.list(), (QStringList{"/c.txt", "/b.txt", "/a.txt"}));

    // Reopening the oldest renews its date but keeps the order of this run...
    ASSERT_TRUE(tdm->Q_history.recordOpen(QStringLiteral("/a.txt")));
    clock = clock.addSecs(60);
    ASSERT_TRUE(tdm->Q_history.recordOpen(QStringLiteral("/new.txt")));
    EXPECT_EQ(tdm->Q_history.rows().back().filename, QStringLiteral("/new.txt"));
    // ...and the next start shows it by the new dates.
    tdm.reset();
    tdm = openDb();
    EXPECT_EQ(tdm->Q_history.list(), (QStringList{"/new.txt", "/a.txt", "/c.txt", "/b.txt"}));
}

TEST_F(TdmTest, SameFileTwiceKeepsOneRowWithTheNewDate) {
    auto tdm = openDb();
    ASSERT_TRUE(tdm->Q_history.recordOpen(QStringLiteral("/docs/廣告.txt")));
    clock = clock.addDays(1).addMSecs(5);
    ASSERT_TRUE(tdm->Q_history.recordOpen(QStringLiteral("/docs/廣告.txt")));
    EXPECT_EQ(sql(path, "SELECT filename, opendate FROM history"),
              QStringLiteral("/docs/廣告.txt|2024-03-02T09:00:00.005"));
    EXPECT_EQ(tdm->Q_history.rows().size(), 1u);
}

TEST_F(TdmTest, PathsMatchExactlyNotByPrefix) {
    sql(path, QStringLiteral("INSERT INTO history VALUES('/docs/a.txt.old', '2024-01-01T10:00:00.000')"));
    auto tdm = openDb();
    EXPECT_FALSE(tdm->Q_history.findByFile(QStringLiteral("/docs/a.txt")));
    EXPECT_TRUE(tdm->Q_history.touch(QStringLiteral("/docs/a.txt")).isEmpty());
    ASSERT_TRUE(tdm->Q_history.recordOpen(QStringLiteral("/docs/a.txt")));
    EXPECT_EQ(sql(path, "SELECT filename, opendate FROM history ORDER BY rowid"),
              QStringLiteral("/docs/a.txt.old|2024-01-01T10:00:00.000|/docs/a.txt|2024-03-01T09:00:00.000"));

    clock = clock.addSecs(30);
    DbResult r;
    EXPECT_EQ(tdm->Q_history.touch(QStringLiteral("/docs/a.txt.old"), &r), QStringLiteral("/docs/a.txt.old"));
    EXPECT_TRUE(r);
    EXPECT_EQ(sql(path, "SELECT opendate FROM history WHERE rowid=1"), QStringLiteral("2024-03-01T09:00:30.000"));

    ASSERT_TRUE(tdm->Q_history.remove(QStringLiteral("/docs/a.txt")));
    EXPECT_TRUE(tdm->Q_history.remove(QStringLiteral("/not/there.txt")));
    EXPECT_EQ(sql(path, "SELECT filename FROM history"), QStringLiteral("/docs/a.txt.old"));
    EXPECT_EQ(tdm->Q_history.list(), QStringList{"/docs/a.txt.old"});
}

TEST_F(TdmTest, RefusedWritesAreReportedAndChangeNothing) {
    auto tdm = openDb();
    ASSERT_TRUE(tdm->Q_history.recordOpen(QStringLiteral("/x.txt")));
    ASSERT_TRUE(tdm->q_delaytime.add(QStringLiteral("n"), QStringLiteral("、"), 10));
    // The file refuses every change from here on, as a full disk would.
    sql(path,
        QStringLiteral("CREATE TRIGGER no_add BEFORE INSERT ON delaytime BEGIN SELECT RAISE(ABORT, 'disk full'); END;"
                       "CREATE TRIGGER no_del BEFORE DELETE ON delaytime BEGIN SELECT RAISE(ABORT, 'disk full'); END;"
                       "CREATE TRIGGER no_upd BEFORE UPDATE ON history BEGIN SELECT RAISE(ABORT, 'disk full'); END;"));
    const DbResult add = tdm->q_delaytime.add(QStringLiteral("m"), QStringLiteral("—"), 10);
    EXPECT_FALSE(add);
    EXPECT_TRUE(add.message.contains(QStringLiteral("disk full"))) << add.message.toStdString();
    EXPECT_EQ(tdm->q_delaytime.count(), 12);
    EXPECT_FALSE(tdm->q_delaytime.deleteCurrent());
    EXPECT_EQ(tdm->q_delaytime.count(), 12);

    const QString before = tdm->Q_history.rows().front().opendate;
    clock = clock.addSecs(1);
    DbResult touched;
    EXPECT_EQ(tdm->Q_history.touch(QStringLiteral("/x.txt"), &touched), QStringLiteral("/x.txt"));
    EXPECT_FALSE(touched);
    EXPECT_EQ(tdm->Q_history.rows().front().opendate, before);
}

}  // namespace
