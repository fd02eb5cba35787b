#include "ui/reading/preview/preview_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextCursor>
#include <QVBoxLayout>

namespace sayvell::ui {

namespace {

// Line breaks read as written in the editor would break the rows apart.
QString oneLine(QString s) {
    s.replace(u'\n', QStringLiteral("↵"));
    return s;
}

}  // namespace

void PreviewModel::setPieces(std::vector<PreviewPiece> pieces) {
    beginResetModel();
    pieces_ = std::move(pieces);
    endResetModel();
}

int PreviewModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(pieces_.size()); }

int PreviewModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const PreviewPiece& p = pieces_[size_t(index.row())];
    if (role == Qt::ToolTipRole && index.column() != Pause) return index.column() == Written ? p.written : p.spoken;
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    switch (index.column()) {
    case Written: return oneLine(p.written);
    case Spoken: return oneLine(p.spoken);
    case Pause:
        if (p.symbolWaitMs >= 0) return QStringLiteral("%1（朗讀前延時 %2）").arg(p.delayMs).arg(p.symbolWaitMs);
        return QString::number(p.delayMs);
    default: return {};
    }
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
    case Written: return QStringLiteral("原文");
    case Spoken: return QStringLiteral("朗讀文字");
    case Pause: return QStringLiteral("停頓（毫秒）");
    default: return {};
    }
}

PreviewWindow::PreviewWindow(QPlainTextEdit* memo, std::function<PreviewRequest(bool)> request, QWidget* parent)
    : QWidget(parent, Qt::Window), memo_(memo), request_(std::move(request)) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("預覽朗讀文字"));
    resize(640, 420);

    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("PreviewGrid"));
    grid->setAccessibleName(QStringLiteral("朗讀文字預覽"));
    grid->setToolTip(QStringLiteral("雙擊一行，在編輯區選中該段文字"));
    grid->setModel(&model_);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    grid->setColumnWidth(PreviewModel::Written, 230);
    grid->setColumnWidth(PreviewModel::Spoken, 250);
    grid->horizontalHeader()->setStretchLastSection(true);
    connect(grid, &QAbstractItemView::doubleClicked, this, &PreviewWindow::selectPiece);
    connect(grid, &QAbstractItemView::activated, this, &PreviewWindow::selectPiece);

    fromTop = new QCheckBox(QStringLiteral("從文首開始"), this);
    fromTop->setObjectName(QStringLiteral("PreviewFromTop"));
    fromTop->setToolTip(QStringLiteral("不勾選時從游標處開始，與朗讀相同"));
    refreshButton = new QPushButton(QStringLiteral("重新整理"), this);
    refreshButton->setObjectName(QStringLiteral("PreviewRefresh"));
    refreshButton->setAccessibleName(refreshButton->text());
    closeButton = new QPushButton(QStringLiteral("關閉"), this);
    closeButton->setObjectName(QStringLiteral("PreviewClose"));
    closeButton->setAccessibleName(closeButton->text());
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("PreviewStatus"));
    status->setWordWrap(true);
    connect(fromTop, &QCheckBox::toggled, this, &PreviewWindow::refresh);
    connect(refreshButton, &QPushButton::clicked, this, &PreviewWindow::refresh);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    // Rows worked out from an older text would select the wrong words.
    connect(memo_->document(), &QTextDocument::contentsChanged, this, [this] {
        if (stale_ || model_.rowCount() == 0) return;
        stale_ = true;
        status->setText(QStringLiteral("文字已修改，請按「重新整理」。"));
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fromTop);
    buttons->addStretch();
    buttons->addWidget(refreshButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid);
    layout->addWidget(status);
    layout->addLayout(buttons);
}

PreviewWindow::~PreviewWindow() { stopWorker(); }

void PreviewWindow::stopWorker() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
}

void PreviewWindow::open() {
    show();
    raise();
    activateWindow();
    refresh();
}

void PreviewWindow::refresh() {
    stopWorker();
    const quint64 generation = ++generation_;
    PreviewRequest request = request_(fromTop->isChecked());
    shown_ = request.text;
    stale_ = false;
    model_.setPieces({});
    status->setText(QStringLiteral("正在計算…"));
    const QString note = request.language == reading::SpeechLanguage::Other
                             ? QStringLiteral("所選語音不是普通話或粵語：數字和讀音表不轉換。")
                             : QString();
    pending_ = true;
    worker_ = std::thread([this, generation, note, request = std::move(request)] {
        PreviewResult result = previewPieces(request, kPreviewMaxPieces, &cancel_);
        // Dropped with the window if it is gone by then; the destructor joins this thread first.
        QMetaObject::invokeMethod(
            this,
            [this, generation, note, result = std::move(result)]() mutable {
                finished(generation, std::move(result), note);
            },
            Qt::QueuedConnection);
    });
}

void PreviewWindow::finished(quint64 generation, PreviewResult result, QString note) {
    if (generation != generation_) return;
    pending_ = false;
    const bool capped = result.capped;
    const int count = int(result.pieces.size());
    model_.setPieces(std::move(result.pieces));
    QString text = count == 0 ? QStringLiteral("沒有要朗讀的文字。")
                   : capped   ? QStringLiteral("只列出前 %1 段。").arg(count)
                              : QStringLiteral("共 %1 段。").arg(count);
    if (!note.isEmpty()) text += u' ' + note;
    status->setText(text);
    if (count > 0) grid->setCurrentIndex(model_.index(0, PreviewModel::Written));
}

void PreviewWindow::selectPiece(const QModelIndex& index) {
    if (!index.isValid() || index.row() >= model_.rowCount()) return;
    if (stale_) {
        status->setText(QStringLiteral("文字已修改，請先按「重新整理」。"));
        return;
    }
    const PreviewPiece& p = model_.pieces()[size_t(index.row())];
    QTextCursor cursor(memo_->document());
    cursor.setPosition(int(shown_.posOfByte(p.byteStart)));
    cursor.setPosition(int(shown_.posOfByte(p.byteStart + p.byteLength)), QTextCursor::KeepAnchor);
    memo_->setTextCursor(cursor);
    memo_->ensureCursorVisible();
}

}  // namespace sayvell::ui
