#include "ui/reading/voice_controls.h"

#include "reading/speech_engine.h"
#include "store/settings_file.h"
#include "ui/common/dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>
#include <algorithm>

namespace sayvell::ui {

namespace {
const QString kChooseVoice = QStringLiteral("請選擇語音引擎!");
}

VoiceControls::VoiceControls(VoiceWidgets w, reading::SpeechEngine& speech, Dialogs& dialogs, QObject* parent)
    : QObject(parent), w_(w), speech_(speech), dialogs_(dialogs) {
    connect(w_.TrackBar2, &QSlider::valueChanged, this, &VoiceControls::TrackBar2Change);
    connect(w_.TrackBar1, &QSlider::valueChanged, this, &VoiceControls::TrackBar1Change);
    connect(w_.flatComboBox1, qOverload<int>(&QComboBox::activated), this, &VoiceControls::flatComboBox1Change);
}

void VoiceControls::rememberBaseRate() { baseRate_ = speech_.rate(); }

void VoiceControls::applyRateAndVolume(const store::SettingsFile& ini) {
    const int rate = ini.read(store::keys::Rate);
    w_.TrackBar2->blockSignals(true);
    w_.TrackBar2->setValue(std::clamp(rate, w_.TrackBar2->minimum(), w_.TrackBar2->maximum()));
    w_.TrackBar2->blockSignals(false);
    // Sent also when the position did not change: the engine starts at its own rate.
    TrackBar2Change();
    w_.TrackBar1->setValue(std::clamp(ini.read(store::keys::Volume), 0, 100));
}

void VoiceControls::fillVoiceList() {
    w_.flatComboBox1->clear();
    for (const reading::Voice& v : speech_.voices()) w_.flatComboBox1->addItem(v.displayName);
}

void VoiceControls::selectStoredVoice(const store::SettingsFile& ini) {
    const int index = ini.read(store::keys::Voice);
    w_.flatComboBox1->setCurrentIndex(index >= 0 && index < w_.flatComboBox1->count() ? index : -1);
}

void VoiceControls::saveAtExit(store::SettingsFile& ini) const {
    ini.write(store::keys::Voice, w_.flatComboBox1->currentIndex());
    ini.write(store::keys::Rate, w_.TrackBar2->value());
    ini.write(store::keys::Volume, w_.TrackBar1->value());
}

bool VoiceControls::voiceChosen() {
    if (!w_.flatComboBox1->currentText().trimmed().isEmpty()) return true;
    dialogs_.warning(kChooseVoice);
    return false;
}

QString VoiceControls::currentVoiceName() const { return w_.flatComboBox1->currentText(); }

QString VoiceControls::selectVoice() {
    const QList<reading::Voice> voices = speech_.voices();
    const int index = w_.flatComboBox1->currentIndex();
    if (index < 0 || index >= voices.size()) return {};
    speech_.setVoice(voices[index]);
    return voices[index].id;
}

void VoiceControls::TrackBar2Change() {
    const int position = w_.TrackBar2->value();
    w_.StaticText6->setText(QString::number(position));
    speech_.setRate(position + baseRate_);
    w_.Memo1->setFocus();
}

void VoiceControls::TrackBar1Change() {
    const int position = w_.TrackBar1->value();
    w_.StaticText9->setText(QString::number(position));
    speech_.setVolume(position);
    w_.Memo1->setFocus();
}

void VoiceControls::flatComboBox1Change() { w_.Memo1->setFocus(); }

}  // namespace sayvell::ui
