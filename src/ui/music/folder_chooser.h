#pragma once
// The folder dialog of the music panel, behind an interface so tests answer it.
#include <QString>

class QWidget;

namespace sayvell::ui {

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Opens on `start`; empty when cancelled.
    virtual QString chooseFolder(const QString& start) = 0;
};

class WidgetFolderChooser final : public FolderChooser {
public:
    explicit WidgetFolderChooser(QWidget* parent) : parent_(parent) {}
    QString chooseFolder(const QString& start) override;

private:
    QWidget* parent_;
};

}  // namespace sayvell::ui
