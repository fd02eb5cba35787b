#include "ui/recorder/tfrecunit1.h"

#include "audio/wav_formats.h"
#include "store/app_paths.h"
#include "ui/common/dialogs.h"

#include <QButtonGroup>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

// Resources of a static library are linked only when asked for by name.
static void initRecorderResources() { Q_INIT_RESOURCE(recorder); }

namespace sayvell::ui {
namespace {

const QString kInitFailed = QStringLiteral("媒体設備初始化失敗！");
const QString kSaveFailed = QStringLiteral("保存聲音文件出錯!");
const QString kSaved = QStringLiteral("聲音錄制完畢,保存在：");
const QString kNoName = QStringLiteral("請輸入要保存的文件名!");
const QString kLost = QStringLiteral("錄音失敗：聲音設備已斷開！已錄下的聲音保存在：");
const QString kStillRecording = QStringLiteral("正在錄音，請先停止當前的錄音。");

QPixmap micImage(bool first) {
    return QIcon(first ? QStringLiteral(":/recorder/mic1.svg") : QStringLiteral(":/recorder/mic2.svg")).pixmap(32, 32);
}

QRadioButton* choice(QGroupBox* box, QButtonGroup* group, const QString& caption, bool checked) {
    auto* b = new QRadioButton(caption, box);
    b->setChecked(checked);
    group->addButton(b);
    box->layout()->addWidget(b);
    return b;
}

QGroupBox* group(QWidget* page, const QString& caption) {
    auto* box = new QGroupBox(caption, page);
    box->setAccessibleName(caption);
    new QVBoxLayout(box);
    box->layout()->setContentsMargins(6, 2, 6, 2);
    box->layout()->setSpacing(0);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    return b;
}

}  // namespace

TFrecunit1::TFrecunit1(std::unique_ptr<audio::SoundRecorder> recorder, Dialogs& dialogs, QWidget* parent)
    // Customised, or the window manager adds minimise and maximise to the close box.
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      recorder_(std::move(recorder)), dialogs_(dialogs) {
    initRecorderResources();
    setObjectName(QStringLiteral("TFrecunit1"));
    setWindowTitle(QStringLiteral("錄音程序(錄制電腦發出的聲音)"));
    setAccessibleName(windowTitle());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("錄音方法"));
    layout->addWidget(PageControl1);

    auto* page1 = new QWidget(PageControl1);
    auto* row1 = new QHBoxLayout(page1);
    QGroupBox* rates = group(page1, QStringLiteral("頻率(Hz)"));
    auto* rateGroup = new QButtonGroup(page1);
    rate11025 = choice(rates, rateGroup, QStringLiteral("11025"), false);
    rate22050 = choice(rates, rateGroup, QStringLiteral("22050"), true);
    rate44100 = choice(rates, rateGroup, QStringLiteral("44100"), false);
    QGroupBox* channels = group(page1, QStringLiteral("通道"));
    auto* channelGroup = new QButtonGroup(page1);
    mono = choice(channels, channelGroup, QStringLiteral("單通道"), true);
    stereo = choice(channels, channelGroup, QStringLiteral("立体聲"), false);
    QGroupBox* quality = group(page1, QStringLiteral("音質"));
    auto* bitsGroup = new QButtonGroup(page1);
    bits8 = choice(quality, bitsGroup, QStringLiteral("8位"), true);
    bits16 = choice(quality, bitsGroup, QStringLiteral("16位"), false);
    auto* buttons1 = new QVBoxLayout;
    btn_start = button(page1, "btn_start", QStringLiteral("開始"));
    btn_stop = button(page1, "btn_stop", QStringLiteral("停止"));
    buttons1->addWidget(btn_start);
    buttons1->addWidget(btn_stop);
    buttons1->addStretch();
    row1->addWidget(rates);
    row1->addWidget(channels);
    row1->addWidget(quality);
    row1->addLayout(buttons1);
    PageControl1->addTab(page1, QStringLiteral("方法一"));

    auto* page2 = new QWidget(PageControl1);
    auto* row2 = new QHBoxLayout(page2);
    QGroupBox* rates2 = group(page2, QStringLiteral("頻率 (Hz)"));
    auto* rateGroup2 = new QButtonGroup(page2);
    rate11025b = choice(rates2, rateGroup2, QStringLiteral("11025"), false);
    rate22050b = choice(rates2, rateGroup2, QStringLiteral("22050"), false);
    rate44100b = choice(rates2, rateGroup2, QStringLiteral("44100"), true);
    QGroupBox* quality2 = group(page2, QStringLiteral("音質"));
    auto* bitsGroup2 = new QButtonGroup(page2);
    bits8b = choice(quality2, bitsGroup2, QStringLiteral("8"), false);
    bits16b = choice(quality2, bitsGroup2, QStringLiteral("16"), true);
    auto* buttons2 = new QVBoxLayout;
    btn_start1 = button(page2, "btn_start1", QStringLiteral("&S.開始"));
    btn_stop1 = button(page2, "btn_stop1", QStringLiteral("&E.停止"));
    buttons2->addWidget(btn_start1);
    buttons2->addWidget(btn_stop1);
    buttons2->addStretch();
    row2->addWidget(rates2);
    row2->addWidget(quality2);
    row2->addLayout(buttons2);
    PageControl1->addTab(page2, QStringLiteral("方法二"));

    auto* fileRow = new QHBoxLayout;
    Button3 = button(this, "Button3", QStringLiteral("聲音文件 "));
    Button3->setToolTip(QStringLiteral("點此輸入目錄及文件名"));
    Button3->setAccessibleDescription(Button3->toolTip());
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("聲音文件名"));
    Edit1->setReadOnly(true);
    Edit1->setText(store::recordingPath());
    ImgRecord = new QLabel(this);
    ImgRecord->setObjectName(QStringLiteral("ImgRecord"));
    ImgRecord->setAccessibleName(QStringLiteral("正在錄音"));
    ImgRecord->setFixedSize(32, 32);
    ImgRecord->setPixmap(micImage(true));
    ImgRecord->hide();
    fileRow->addWidget(Button3);
    fileRow->addWidget(Edit1, 1);
    fileRow->addWidget(ImgRecord);
    layout->addLayout(fileRow);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    statusPanel0 = new QLabel(StatusBar1);
    StatusBar1->addWidget(statusPanel0, 1);
    layout->addWidget(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(btn_start, &QPushButton::clicked, this, &TFrecunit1::btn_startClick);
    connect(btn_stop, &QPushButton::clicked, this, &TFrecunit1::btn_stopClick);
    connect(btn_start1, &QPushButton::clicked, this, &TFrecunit1::btn_start1Click);
    connect(btn_stop1, &QPushButton::clicked, this, &TFrecunit1::btn_stop1Click);
    connect(Button3, &QPushButton::clicked, this, &TFrecunit1::Button3Click);
    connect(Timer1, &QTimer::timeout, this, &TFrecunit1::Timer1Timer);

    resize(321, 228);
    setFixedSize(sizeHint().expandedTo(QSize(321, 228)));
    showButtons();
}

TFrecunit1::~TFrecunit1() {
    // A recording still running at the end is saved, never dropped.
    if (method_ != 0) {
        QString ignored;
        recorder_->stop(&ignored);
    }
}

void TFrecunit1::showButtons() {
    btn_start->setEnabled(method_ == 0);
    btn_start1->setEnabled(method_ == 0);
    btn_stop->setEnabled(method_ == 1);
    btn_stop1->setEnabled(method_ == 2);
}

void TFrecunit1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showButtons();
}

bool TFrecunit1::startRecording(int method, const audio::PcmFormat& format) {
    if (method_ != 0 || recorder_->recording()) {
        dialogs_.warning(kStillRecording);
        return false;
    }
    QString why;
    if (!recorder_->start(Edit1->text(), format, &why)) {
        showButtons();
        dialogs_.error(kInitFailed);
        return false;
    }
    method_ = method;
    ImgRecord->show();
    elapsedSeconds = 0;
    Timer1->start();
    showButtons();
    return true;
}

void TFrecunit1::stopRecording(int method) {
    const bool wasRecording = method_ == method;
    QString why;
    const bool saved = wasRecording && recorder_->stop(&why);
    method_ = 0;
    ImgRecord->hide();
    Timer1->stop();
    showButtons();
    if (saved)
        dialogs_.information(kSaved + Edit1->text());
    else
        dialogs_.error(kSaveFailed);
}

void TFrecunit1::btn_startClick() {
    const int rate = rate11025->isChecked() ? 11025 : rate44100->isChecked() ? 44100 : 22050;
    startRecording(1, {rate, bits8->isChecked() ? 8 : 16, mono->isChecked() ? 1 : 2});
}

void TFrecunit1::btn_stopClick() { stopRecording(1); }

void TFrecunit1::btn_start1Click() {
    if (Edit1->text().trimmed().isEmpty()) {
        dialogs_.warning(kNoName);
        return;
    }
    const int rate = rate11025b->isChecked() ? 11025 : rate22050b->isChecked() ? 22050 : 44100;
    // This method always records two channels ("set wave channels 2").
    startRecording(2, {rate, bits8b->isChecked() ? 8 : 16, 2});
}

void TFrecunit1::btn_stop1Click() { stopRecording(2); }

void TFrecunit1::Button3Click() {
    const QString name = dialogs_.saveFileName(QStringLiteral("聲音文件"), QStringLiteral("WAV文件(*.wav)"));
    if (!name.isEmpty()) Edit1->setText(audio::withExtension(name, QStringLiteral(".wav")));
}

void TFrecunit1::recordingLost() {
    QString why;
    const bool saved = recorder_->stop(&why);
    method_ = 0;
    ImgRecord->hide();
    Timer1->stop();
    showButtons();
    dialogs_.error(saved ? kLost + Edit1->text() : kSaveFailed);
}

void TFrecunit1::Timer1Timer() {
    // A server that went away records nothing more: the count would claim seconds never heard.
    if (method_ != 0 && recorder_->lost()) {
        recordingLost();
        return;
    }
    ++tag_;
    if (ImgRecord->isVisible()) ImgRecord->setPixmap(micImage(tag_ % 2 == 0));
    statusPanel0->setText(QStringLiteral("已錄音：%1 秒").arg(elapsedSeconds));
    ++elapsedSeconds;
}

}  // namespace sayvell::ui
