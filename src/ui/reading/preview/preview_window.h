#pragma once
// "預覽朗讀文字": each piece a reading would speak (as written, as the voice is given it, the
// pause after it), so the user can proof-read what will be heard. Worked out on a thread of
// its own and capped, so a very long text never holds up the window.
#include "ui/reading/preview/preview_pieces.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>
#include <thread>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace sayvell::ui {

inline constexpr int kPreviewMaxPieces = 5000;

class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Written, Spoken, Pause, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;

    void setPieces(std::vector<PreviewPiece> pieces);
    const std::vector<PreviewPiece>& pieces() const { return pieces_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<PreviewPiece> pieces_;
};

class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    // request(fromTop): what the pieces depend on, taken on the UI thread when a preview starts.
    PreviewWindow(QPlainTextEdit* memo, std::function<PreviewRequest(bool fromTop)> request, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Shows the window and works the pieces out again from the caret (or the top).
    void open();
    // True from a refresh until its rows are shown.
    bool busy() const { return pending_; }
    PreviewModel& model() { return model_; }

    QTableView* grid = nullptr;
    QCheckBox* fromTop = nullptr;  // "從文首開始"
    QPushButton* refreshButton = nullptr;
    QPushButton* closeButton = nullptr;
    QLabel* status = nullptr;

public slots:
    void refresh();
    // Selects the row's piece in the editor, as a reading would.
    void selectPiece(const QModelIndex& index);

private:
    void finished(quint64 generation, PreviewResult result, QString note);
    void stopWorker();

    QPlainTextEdit* memo_;
    std::function<PreviewRequest(bool)> request_;
    PreviewModel model_;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool pending_ = false;
    quint64 generation_ = 0;
    bool stale_ = false;
    text::ByteText shown_;  // the text the rows were worked out from
};

}  // namespace sayvell::ui
