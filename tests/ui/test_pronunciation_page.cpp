// The "讀音表" page of the system settings window, driven through its own buttons.
#include "store/pronunciation_table.h"
#include "ui/settings/pronunciation_page.h"
#include "ui/settings/tfdelaytime.h"
#include "ui/window_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

using namespace sayvell;
using sayvell::testing::waitFor;
using sayvell::testing::WindowRig;

namespace {

ui::PronunciationPage* openPage(WindowRig& rig) {
    rig.window->ui.sb_delay->click();
    auto* w = rig.window->findChild<ui::TFdelaytime*>();
    if (!w) return nullptr;
    w->PageControl1->setCurrentWidget(w->pronunciationPage);
    EXPECT_EQ(w->PageControl1->tabText(w->PageControl1->currentIndex()), QStringLiteral("讀音表"));
    return w->pronunciationPage;
}

// The rows as another connection reads them from the file.
std::vector<store::PronunciationRow> rowsInFile(WindowRig& rig) {
    auto other = store::PronunciationTable::open(rig.path("draft.dat"));
    EXPECT_TRUE(other);
    return other ? other->rows() : std::vector<store::PronunciationRow>{};
}

const store::PronunciationRow* findRow(const std::vector<store::PronunciationRow>& rows, const QString& word) {
    for (const auto& r : rows)
        if (r.written == word) return &r;
    return nullptr;
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

}  // namespace

TEST(PronunciationPage, AddedWordReachesTheNextPieceOfARunningReadingAndDeleteAsksNothing) {
    WindowRig rig;
    ui::PronunciationPage* page = openPage(rig);
    ASSERT_TRUE(page);
    const int delivered = int(rowsInFile(rig).size());
    ASSERT_GT(delivered, 0);
    EXPECT_EQ(page->countLabel->text(), QStringLiteral("共 %1 條").arg(delivered));

    rig.window->ui.flatComboBox1->setCurrentIndex(0);  // the Mandarin voice
    rig.window->ui.Chk_prompt->setChecked(false);
    rig.type(QStringLiteral("測試詞，測試詞。"));
    rig.engine.hold();
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] { return rig.engine.texts().size() >= 1; }));  // the first piece is being spoken

    page->wordEdit->setText(QStringLiteral("測試詞"));
    page->readingEdit->setText(QStringLiteral("ce4 shi4 ci2"));
    page->languageBox->setCurrentIndex(page->languageBox->findData(QStringLiteral("cmn")));
    page->addButton->click();
    EXPECT_EQ(page->countLabel->text(), QStringLiteral("共 %1 條").arg(delivered + 1));
    const auto added = rowsInFile(rig);
    const auto* row = findRow(added, QStringLiteral("測試詞"));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->spoken, QStringLiteral("ce4 shi4 ci2"));
    EXPECT_EQ(row->language, QStringLiteral("cmn"));

    rig.engine.release();
    ASSERT_TRUE(waitFor([&] { return rig.engine.texts().size() >= 2; }));
    ASSERT_TRUE(rig.waitIdle());
    const QStringList spoken = rig.engine.texts();
    ASSERT_EQ(spoken.size(), 2);
    EXPECT_TRUE(spoken[0].contains(QStringLiteral("測試詞"))) << spoken[0].toStdString();
    EXPECT_TRUE(spoken[1].contains(QStringLiteral("ce4 shi4 ci2"))) << spoken[1].toStdString();

    // An empty reading is refused with a message and adds nothing.
    page->wordEdit->setText(QStringLiteral("空讀音"));
    page->addButton->click();
    EXPECT_EQ(rig.dialogs.shown.value(rig.dialogs.shown.size() - 1), "warning:" + store::kEmptyReadingMessage);
    EXPECT_EQ(int(rowsInFile(rig).size()), delivered + 1);

    rig.dialogs.shown.clear();
    const int at = int(row - added.data());
    page->grid->setCurrentIndex(page->model()->index(at, 0));
    page->grid->selectRow(at);
    page->deleteButton->click();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty()) << rig.dialogs.shown.join(u'|').toStdString();
    EXPECT_FALSE(findRow(rowsInFile(rig), QStringLiteral("測試詞")));
    EXPECT_EQ(page->countLabel->text(), QStringLiteral("共 %1 條").arg(delivered));
}

TEST(PronunciationPage, ImportsAndExportsUtf8CsvAndExplainsABadFile) {
    WindowRig rig;
    ui::PronunciationPage* page = openPage(rig);
    ASSERT_TRUE(page);
    const int delivered = int(rowsInFile(rig).size());

    // A BOM, a header, a reading holding a comma and quotes, a Cantonese row, a row without reading.
    writeFile(rig.path("words.csv"), QByteArray("\xEF\xBB\xBF") +
                                         "詞語,讀音,語言\r\n"
                                         "甲乙,\"jia3, \"\"yi3\"\"\",cmn\r\n"
                                         "丙丁,bing2 ding1,yue\r\n"
                                         "戊己,,cmn\r\n");
    rig.dialogs.openAnswer = rig.path("words.csv");
    page->importButton->click();
    EXPECT_EQ(rig.dialogs.shown.value(rig.dialogs.shown.size() - 1),
              QStringLiteral("information:已匯入 2 條讀音。\n略過 1 行（缺少詞語或讀音，或語言不是 cmn / yue）。"));
    const auto rows = rowsInFile(rig);
    ASSERT_EQ(int(rows.size()), delivered + 2);
    ASSERT_TRUE(findRow(rows, QStringLiteral("甲乙")));
    EXPECT_EQ(findRow(rows, QStringLiteral("甲乙"))->spoken, QStringLiteral("jia3, \"yi3\""));
    EXPECT_EQ(findRow(rows, QStringLiteral("丙丁"))->language, QStringLiteral("yue"));
    EXPECT_EQ(page->countLabel->text(), QStringLiteral("共 %1 條").arg(delivered + 2));

    // Exported without a suffix: the file gets ".csv" and reads back into the same rows.
    rig.dialogs.saveAnswer = rig.path("out");
    page->exportButton->click();
    EXPECT_EQ(rig.dialogs.shown.value(rig.dialogs.shown.size() - 1),
              QStringLiteral("information:已匯出 %1 條讀音到 %2").arg(delivered + 2).arg(rig.path("out.csv")));
    QFile out(rig.path("out.csv"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const auto parsed = store::parseCsv(out.readAll());
    ASSERT_EQ(int(parsed.size()), delivered + 3);  // with the header
    bool found = false;
    for (const QStringList& fields : parsed)
        found = found ||
                fields == QStringList{QStringLiteral("甲乙"), QStringLiteral("jia3, \"yi3\""), QStringLiteral("cmn")};
    EXPECT_TRUE(found);

    // Files that are not a UTF-8 table change nothing and say why.
    writeFile(rig.path("big5.csv"), QByteArray("\xBB\xC8\xA6\xE6,yin2 hang2,cmn\r\n"));  // 銀行 in Big5
    writeFile(rig.path("empty.csv"), QByteArray("\r\n"));
    writeFile(rig.path("header.csv"), QByteArray("詞語,讀音,語言\r\n,,\r\n"));
    const struct {
        const char* file;
        QString shown;
    } bad[] = {
        {"big5.csv", "error:檔案不是 UTF-8 編碼的 CSV：" + rig.path("big5.csv") + "\n請用 UTF-8 編碼另存後再匯入。"},
        {"empty.csv", "error:檔案是空的：" + rig.path("empty.csv")},
        {"header.csv",
         "warning:檔案中沒有可匯入的讀音：" + rig.path("header.csv") + "\n每行應為：詞語,讀音,語言（cmn 或 yue）。"},
        {"missing.csv", "error:無法讀取檔案：" + rig.path("missing.csv")},
    };
    for (const auto& b : bad) {
        rig.dialogs.openAnswer = rig.path(QString::fromLatin1(b.file));
        page->importButton->click();
        EXPECT_EQ(rig.dialogs.shown.value(rig.dialogs.shown.size() - 1), b.shown) << b.file;
    }
    EXPECT_EQ(int(rowsInFile(rig).size()), delivered + 2);

    // Every control of the page can be named by a screen reader.
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (qobject_cast<QLabel*>(w) || !w->isVisibleTo(page) || w->focusPolicy() == Qt::NoFocus) continue;
        if (w->parentWidget() != page) continue;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
}
