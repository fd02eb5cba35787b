#pragma once
// Messages that more than one command shows.
#include <QString>

namespace sayvell::ui {

inline const QString kChooseVoice = QStringLiteral("請選擇語音引擎!");
inline const QString kSaveChanged = QStringLiteral("文章已被修改，要保存嗎？");

}  // namespace sayvell::ui
