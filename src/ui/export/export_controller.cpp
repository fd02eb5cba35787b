#include "ui/export/export_controller.h"

#include "audio/wav_formats.h"
#include "audio/wav_writer.h"
#include "music/track_list.h"
#include "reading/reading_state.h"
#include "reading/speech_engine.h"
#include "store/settings_file.h"
#include "store/settings_keys.h"
#include "text/byte_text.h"
#include "ui/common/dialogs.h"
#include "ui/common/reading_gate.h"
#include "ui/export/export_job.h"
#include "ui/export/export_target.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

namespace sayvell::ui {
namespace {

const QString kChooseVoice = QStringLiteral("請選擇語音引擎!");
const QString kReadingRuns = QStringLiteral("正在朗讀，請先停止朗讀再輸出聲音文件。");
const QString kDone = QStringLiteral("文本已成功轉換為聲音文件,并存放在");
const QString kFailed = QStringLiteral("聲音文件未能輸出：");
const QString kSoundFilter = QStringLiteral("聲音文件 (%1)").arg(audio::soundExtensions(QStringLiteral("*.%1")));

// The dialog of the export as read: where to, and what goes with the speech.
class ReadExportDialog : public QDialog {
public:
    ReadExportDialog(QWidget* parent, Dialogs& dialogs, bool musicOffered, bool hasSelection)
        : QDialog(parent), dialogs_(dialogs) {
        setObjectName(QStringLiteral("ReadExportDialog"));
        setWindowTitle(QStringLiteral("輸出朗讀效果"));
        setAccessibleName(windowTitle());
        auto* layout = new QVBoxLayout(this);
        auto* intro =
            new QLabel(QStringLiteral("把文本按朗讀時的樣子輸出為聲音文件：分段、停頓、延時符號和日期都與朗讀相同。\n"
                                      "文件類型由擴展名決定：.wav、.mp3、.ogg、.opus 或 .flac。"),
                       this);
        intro->setWordWrap(true);
        layout->addWidget(intro);
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(QStringLiteral("聲音文件:"), this);
        file = new QLineEdit(this);
        file->setObjectName(QStringLiteral("fileEdit"));
        file->setAccessibleName(QStringLiteral("聲音文件"));
        label->setBuddy(file);
        browse = new QPushButton(QStringLiteral("瀏覽(&B)…"), this);
        browse->setObjectName(QStringLiteral("browseButton"));
        browse->setAccessibleName(QStringLiteral("瀏覽"));
        row->addWidget(label);
        row->addWidget(file, 1);
        row->addWidget(browse);
        layout->addLayout(row);
        folder_ = defaultSoundFolder();
        auto* where = new QLabel(QStringLiteral("只寫文件名時保存在：%1").arg(QDir::toNativeSeparators(folder_)), this);
        where->setObjectName(QStringLiteral("folderNote"));
        where->setTextFormat(Qt::PlainText);
        where->setWordWrap(true);
        layout->addWidget(where);
        music = new QCheckBox(QStringLiteral("加入背景音樂(&M)"), this);
        music->setObjectName(QStringLiteral("musicCheck"));
        music->setToolTip(QStringLiteral("背景音樂面板的音樂、播放順序和兩個音量，朗讀時自動降低"));
        music->setVisible(musicOffered);
        subtitles = new QCheckBox(QStringLiteral("同時輸出字幕文件 .srt 和 .lrc(&T)"), this);
        subtitles->setObjectName(QStringLiteral("subtitleCheck"));
        selectionOnly = new QCheckBox(QStringLiteral("只輸出選擇范圍(&S)"), this);
        selectionOnly->setObjectName(QStringLiteral("selectionCheck"));
        selectionOnly->setEnabled(hasSelection);
        layout->addWidget(music);
        layout->addWidget(subtitles);
        layout->addWidget(selectionOnly);
        auto* buttons = new QDialogButtonBox(this);
        ok = buttons->addButton(QStringLiteral("輸出(&O)"), QDialogButtonBox::AcceptRole);
        ok->setObjectName(QStringLiteral("okButton"));
        auto* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("cancelButton"));
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, [this] {
            if (file->text().trimmed().isEmpty())
                dialogs_.warning(QStringLiteral("請輸入要保存的文件名!"));
            else if (mayReplace(dialogs_, exportFiles(fileName(), subtitles->isChecked())))
                accept();
        });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(browse, &QPushButton::clicked, this, [this] {
            // Asked once, for the sound file and its subtitles together, when 輸出 is pressed.
            const QString name = dialogs_.saveDocumentName(windowTitle(), kSoundFilter);
            if (!name.isEmpty()) file->setText(name);
        });
    }

    QString fileName() const { return exportSoundPath(file->text().trimmed(), folder_); }

    QLineEdit* file;
    QPushButton* browse;
    QCheckBox* music;
    QCheckBox* subtitles;
    QCheckBox* selectionOnly;
    QPushButton* ok;

private:
    Dialogs& dialogs_;
    QString folder_;
};

}  // namespace

ExportController::ExportController(ExportWidgets widgets, reading::SpeechEngine& speech, Dialogs& dialogs,
                                   reading::ReadingState& state, std::timed_mutex& readingLock, ReadingGate& gate,
                                   std::function<int()> baseRate, QObject* parent)
    : QObject(parent), w_(widgets), speech_(speech), dialogs_(dialogs), state_(state), readingLock_(readingLock),
      gate_(gate), baseRate_(std::move(baseRate)) {
    ComboBox1_ = new QComboBox(w_.window);
    ComboBox1_->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1_->setAccessibleName(QStringLiteral("輸出格式"));
    for (const audio::WavFormatEntry& f : audio::wavFormats()) ComboBox1_->addItem(QString::fromLatin1(f.name));
    ComboBox1_->hide();
    {
        const store::SettingsFile ini;
        const int index = ini.read(store::keys::Yinping);
        ComboBox1_->setCurrentIndex(index >= 0 && index < audio::kWavFormatCount ? index : -1);
    }

    exportAsRead_ = new QAction(QStringLiteral("輸出朗讀效果(&R)…"), this);
    exportAsRead_->setObjectName(QStringLiteral("N_exportAsRead"));
    exportAsRead_->setStatusTip(QStringLiteral("按朗讀時的停頓、日期和背景音樂輸出聲音文件"));
    exportAsRead_->setToolTip(exportAsRead_->statusTip());
    if (w_.M_file) w_.M_file->insertAction(w_.insertBefore, exportAsRead_);

    if (w_.SB_outwav) connect(w_.SB_outwav, &QToolButton::clicked, this, &ExportController::SB_outwavClick);
    if (w_.WAV1) connect(w_.WAV1, &QAction::triggered, this, &ExportController::WAV1Click);
    if (w_.N14) connect(w_.N14, &QAction::triggered, this, &ExportController::N14Click);
    connect(exportAsRead_, &QAction::triggered, this, &ExportController::exportAsReadClick);
}

void ExportController::SB_outwavClick() {
    state_.setRangeText(w_.Memo1->toPlainText());
    exportwav();
}

void ExportController::WAV1Click() { SB_outwavClick(); }

void ExportController::N14Click() {
    state_.setRangeText(w_.Memo1->textCursor().selectedText().replace(QChar(0x2029), QLatin1Char('\n')));
    exportwav();
}

bool ExportController::prepareEngine(QString* voiceId) {
    if (job_ && job_->running()) return false;  // its progress dialog is up
    if (gate_.readingActive()) {
        dialogs_.warning(kReadingRuns);
        return false;
    }
    const QList<reading::Voice> voices = speech_.voices();
    const int index = w_.flatComboBox1->currentIndex();
    if (index < 0 || index >= voices.size()) {
        dialogs_.warning(kChooseVoice);
        return false;
    }
    speech_.setVoice(voices[index]);
    speech_.setRate(w_.TrackBar2->value() + (baseRate_ ? baseRate_() : 0));
    *voiceId = voices[index].id;
    return true;
}

void ExportController::exportwav() {
    QString voiceId;
    if (!prepareEngine(&voiceId)) return;
    audio::PlainExport job;
    job.languageCode = audio::languageCodeOf(voiceId);
    job.text = state_.rangeText();
    dialogs_.information(audio::estimateMessage(text::byteLength(job.text)));
    const QString name = dialogs_.saveFileName(QStringLiteral("輸出聲音文件"), QStringLiteral("Wave files(*.wav)"));
    if (name.isEmpty()) return;
    job.path = audio::withExtension(name, QStringLiteral(".wav"));
    job.format = audio::pcmFormatOf(ComboBox1_->currentIndex());
    reading::SpeechEngine& speech = speech_;
    render(
        QStringLiteral("正在把文本轉換為聲音文件…"),
        [&speech, job](audio::ExportControl& c) { return audio::exportSpeech(speech, job, c); },
        [this, path = job.path](const audio::ExportResult& r) {
            if (r.ok)
                dialogs_.information(kDone + path);
            else if (!r.cancelled)
                dialogs_.error(kFailed + r.error);
        });
}

void ExportController::exportAsReadClick() {
    QString voiceId;
    if (!prepareEngine(&voiceId)) return;
    const bool hasSelection = w_.Memo1->textCursor().hasSelection();
    ReadExportDialog dialog(w_.window, dialogs_, static_cast<bool>(music_), hasSelection);
    if (dialog.exec() != QDialog::Accepted) return;

    audio::ReadExport job;
    job.path = dialog.fileName();
    job.text = dialog.selectionOnly->isChecked() && hasSelection
                   ? w_.Memo1->textCursor().selectedText().replace(QChar(0x2029), QLatin1Char('\n'))
                   : w_.Memo1->toPlainText();
    job.format = audio::pcmFormatOf(ComboBox1_->currentIndex());
    job.delimiters = state_.delimiterTable();
    job.symbolDelayMs = state_.symbolDelayMs.load();
    job.dateFormatType = state_.dateFormatType.load();
    job.now = QDateTime::currentDateTime();
    job.voiceId = voiceId;
    if (lexicon_) job.lexicon = lexicon_();
    job.subtitles = dialog.subtitles->isChecked();
    if (music_ && dialog.music->isChecked()) {
        const MusicSettings m = music_();
        audio::MusicBed bed;
        for (const QString& name : music::listMusicFiles(m.folder)) bed.files << QDir(m.folder).filePath(name);
        bed.startIndex = m.currentRow;
        bed.random = m.random;
        bed.musicVolume = m.musicVolume;
        bed.readingVolume = m.readingVolume;
        if (bed.files.isEmpty())
            dialogs_.warning(QStringLiteral("背景音樂目錄中沒有音樂文件，將只輸出語音。"));
        else
            job.music = bed;
    }
    reading::SpeechEngine& speech = speech_;
    render(
        QStringLiteral("正在輸出朗讀效果…"),
        [&speech, job](audio::ExportControl& c) { return audio::exportAsRead(speech, job, c); },
        [this](const audio::ExportResult& r) {
            if (r.ok)
                dialogs_.information(kDone + r.written.join(QStringLiteral("、")));
            else if (!r.cancelled)
                dialogs_.error(kFailed + r.error);
        });
}

void ExportController::endExport() {
    delete job_;
    job_ = nullptr;
}

void ExportController::render(const QString& caption,
                              const std::function<audio::ExportResult(audio::ExportControl&)>& work,
                              std::function<void(const audio::ExportResult&)> done) {
    if (!job_) job_ = new ExportJob(speech_, readingLock_, this);
    if (job_->running()) return;
    auto* progress = new QProgressDialog(caption, QStringLiteral("取消"), 0, 1000, w_.window);
    progress->setObjectName(QStringLiteral("exportProgress"));
    progress->setWindowTitle(QStringLiteral("輸出聲音文件"));
    progress->setAccessibleName(caption);
    progress->setWindowModality(Qt::WindowModal);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    // The bar is set directly: QProgressDialog::setValue of a modal dialog runs the event loop.
    auto* bar = new QProgressBar(progress);
    bar->setRange(0, 1000);
    bar->setValue(0);
    progress->setBar(bar);
    progress->show();

    connect(job_, &ExportJob::progress, bar, [bar](int permille) { bar->setValue(std::min(permille, 999)); });
    // It stays up until the job has really ended, so that its end is what the user sees.
    disconnect(progress, &QProgressDialog::canceled, progress, &QProgressDialog::cancel);
    connect(progress, &QProgressDialog::canceled, job_, &ExportJob::cancel);
    connect(progress, &QDialog::rejected, job_, &ExportJob::cancel);
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(job_, &ExportJob::finished, this,
                    [this, progress, once, done = std::move(done)](const audio::ExportResult& r) {
                        disconnect(*once);
                        disconnect(progress, nullptr, job_, nullptr);  // closing it would cancel
                        progress->close();
                        done(r);
                    });
    job_->start(work);
}

}  // namespace sayvell::ui
