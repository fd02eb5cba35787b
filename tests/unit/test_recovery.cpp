#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include "store/recovery.h"
#include "store/tdm.h"

using namespace sayvell::store;

namespace {

void run(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

class RecoveryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // The delivered file, as an older build made it: without the recovery table.
        QFile schema(QStringLiteral(SAYVELL_SOURCE_DIR "/resources/draft.sql"));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        run(path, schema.readAll().constData());
    }
    std::unique_ptr<RecoveryStore> open() {
        QString error;
        auto store = RecoveryStore::open(path, &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("draft.dat"));
};

TEST_F(RecoveryStoreTest, KeepsTextFileAndCaretAcrossRunsInAnOlderFile) {
    const QString novel = QStringLiteral("第一章　風起\u2029他說：「走吧。」\u2029") + QString(5000, QChar(0x4E2D));
    {
        auto store = open();
        ASSERT_TRUE(store);
        EXPECT_FALSE(store->load().has_value());
        ASSERT_TRUE(store->save({novel, QStringLiteral("/home/u/小說.txt"), 12, {}}));
    }
    // The data module still accepts the file, and a new connection finds the record.
    ASSERT_TRUE(TDM::open(path));
    auto store = open();
    ASSERT_TRUE(store);
    auto back = store->load();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->text, QString(novel).replace(QChar(0x2029), u'\n'));
    EXPECT_EQ(back->fileName, QStringLiteral("/home/u/小說.txt"));
    EXPECT_EQ(back->caret, 12);
    EXPECT_TRUE(back->savedAt.isValid());

    ASSERT_TRUE(store->clear());
    EXPECT_FALSE(store->load().has_value());
    EXPECT_FALSE(open()->load().has_value());
}

// A record kept before encodings were stored reads as "found in the file"; the table gains the
// column and keeps the encoding from then on.
TEST_F(RecoveryStoreTest, TheFilesEncodingIsKeptAndAnOlderTableGainsIt) {
    run(path,
        "CREATE TABLE recovery(id INTEGER PRIMARY KEY CHECK (id = 1), content TEXT NOT NULL,"
        " filename TEXT NOT NULL DEFAULT '', caret INTEGER NOT NULL DEFAULT 0, saved_at TEXT NOT NULL DEFAULT '');"
        "INSERT INTO recovery(id, content, filename) VALUES(1, '舊的', '/a.txt');");
    auto store = open();
    ASSERT_TRUE(store);
    auto back = store->load();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->text, QStringLiteral("舊的"));
    EXPECT_TRUE(back->encoding.isEmpty());
    ASSERT_TRUE(store->save({QStringLiteral("新的"), QStringLiteral("/a.txt"), 0, {}, QStringLiteral("gb18030")}));
    store.reset();
    back = open()->load();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->encoding, QStringLiteral("gb18030"));
}

TEST_F(RecoveryStoreTest, AClearedLargeTextGivesItsSpaceBack) {
    const qint64 before = QFileInfo(path).size();
    auto store = open();
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->save({QString(3'000'000, QChar(0x6587)), {}, 0, {}}));
    EXPECT_GT(QFileInfo(path).size(), before + 8'000'000);
    ASSERT_TRUE(store->clear());
    EXPECT_LT(QFileInfo(path).size(), before + 1'000'000);
}

TEST_F(RecoveryStoreTest, RefusesFilesItCannotKeepARecordIn) {
    QString error;
    // Read-only: the record could never be written.
    QFile::setPermissions(path, QFile::ReadOwner);
    if (!QFileInfo(path).isWritable()) {  // root writes anything
        EXPECT_FALSE(RecoveryStore::open(path, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);

    // A table of that name in another shape is left alone.
    run(path, "CREATE TABLE recovery(x TEXT)");
    error.clear();
    EXPECT_FALSE(RecoveryStore::open(path, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no column"))) << error.toStdString();

    // Missing, a directory, or not a database.
    EXPECT_FALSE(RecoveryStore::open(dir.filePath(QStringLiteral("none.dat"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("none.dat"))));
    QDir(dir.path()).mkdir(QStringLiteral("folder.dat"));
    EXPECT_FALSE(RecoveryStore::open(dir.filePath(QStringLiteral("folder.dat"))));
    QFile junk(dir.filePath(QStringLiteral("junk.dat")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_FALSE(RecoveryStore::open(junk.fileName()));
}

TEST_F(RecoveryStoreTest, WriterKeepsTheNewestRequestWhateverTheOrder) {
    {
        RecoveryWriter writer(open());
        for (int i = 0; i < 200; ++i) writer.submit({QStringLiteral("版本 %1").arg(i), {}, i, {}});
        ASSERT_TRUE(writer.flush());
        EXPECT_EQ(writer.load()->text, QStringLiteral("版本 199"));
        // Fewer writes than requests: a snapshot overtaken before it was written is dropped.
        EXPECT_LE(writer.writes(), 200);

        // A save at the session's end wins over everything asked before it.
        for (int i = 0; i < 50; ++i) writer.submit({QString(100'000, QChar(u'a' + i % 26)), {}, 0, {}});
        ASSERT_TRUE(writer.saveNow({QStringLiteral("最後"), {}, 1, {}}));
        ASSERT_TRUE(writer.flush());
        EXPECT_EQ(writer.load()->text, QStringLiteral("最後"));

        writer.submit({QStringLiteral("未寫"), {}, 0, {}});
        writer.clear();
        // The destructor finishes what is still waiting.
    }
    EXPECT_FALSE(open()->load().has_value());
}

}  // namespace
