#pragma once
// Messages that commands in more than one file show.
#include <QString>

namespace sayvell::ui {

inline const QString kSaveChanged = QStringLiteral("文章已被修改，要保存嗎？");

}  // namespace sayvell::ui
